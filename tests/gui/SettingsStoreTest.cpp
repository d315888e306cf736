#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

#include "gui/SettingsStore.h"
#include "platform/Errors.h"
#include "support/TempDir.h"
#include "gui/QtStrings.h"

namespace rw {
namespace {

const std::string Key = "\\Software\\Kestrova\\reelwright";
const std::string FormKey = Key + "\\forms\\frmMain";

// Every test gets its own settings folder.
class Settings : public ::testing::Test {
protected:
  void SetUp() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       TextToQ(FDir.Path().string()));
  }

  // The stored text of a value as the settings file holds it; "-" when missing.
  QString Stored(const QString& Name) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "reelwright");
    return s.value(Name, "-").toString();
  }
  void Store(const QString& Name, const QVariant& Value) {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "reelwright");
    s.setValue(Name, Value);
  }

  test::TTempDir FDir;
};

TEST_F(Settings, FirstRunReadsNothingAndANormalExitWritesEveryValue) {
  QWidget form;
  form.setGeometry(272, 138, 565, 354);
  EXPECT_EQ(ReadRegString(TRegRoot::CurrentUser, Key, "LastOpenFolder"), "");
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, false);
  EXPECT_EQ(form.geometry(), QRect(272, 138, 565, 354));

  form.setGeometry(10, 20, 300, 200);
  SaveFormPlacement(TRegRoot::CurrentUser, FormKey, form);
  WriteRegString(TRegRoot::CurrentUser, Key, "LastOpenFolder", "/clips/été");
  WriteRegString(TRegRoot::CurrentUser, Key, "LastSaveFolder", "");
  EXPECT_EQ(Stored("forms/frmMain/Top"), "20");
  EXPECT_EQ(Stored("forms/frmMain/Left"), "10");
  EXPECT_EQ(Stored("forms/frmMain/Width"), "300");
  EXPECT_EQ(Stored("forms/frmMain/Height"), "200");
  EXPECT_EQ(Stored("forms/frmMain/WindowState"), "0");
  EXPECT_EQ(Stored("LastSaveFolder"), "");
  EXPECT_EQ(ReadRegString(TRegRoot::CurrentUser, Key, "LastOpenFolder"), "/clips/été");

  QWidget next;
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, next, false);
  EXPECT_EQ(next.pos(), QPoint(10, 20));
  EXPECT_EQ(next.size(), QSize(300, 200));
  EXPECT_FALSE(next.isMaximized());
}

TEST_F(Settings, MaximizedKeepsTheNormalBoundsAndMinimizedWritesNothing) {
  QWidget form;
  form.setGeometry(10, 20, 300, 200);
  SaveFormPlacement(TRegRoot::CurrentUser, FormKey, form);

  form.setGeometry(0, 0, 1000, 700);
  form.setWindowState(Qt::WindowMaximized);
  SaveFormPlacement(TRegRoot::CurrentUser, FormKey, form);
  EXPECT_EQ(Stored("forms/frmMain/WindowState"), "1");
  EXPECT_EQ(Stored("forms/frmMain/Width"), "300");

  QWidget next;
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, next, false);
  EXPECT_EQ(next.size(), QSize(300, 200));
  EXPECT_TRUE(next.isMaximized());

  next.setWindowState(Qt::WindowMinimized);
  next.setGeometry(1, 2, 3, 4);
  SaveFormPlacement(TRegRoot::CurrentUser, FormKey, next);
  EXPECT_EQ(Stored("forms/frmMain/WindowState"), "1");
  EXPECT_EQ(Stored("forms/frmMain/Top"), "20");
}

TEST_F(Settings, UnknownWindowStateIsIgnoredAndPositionOnlySkipsTheSize) {
  Store("forms/frmMain/Top", 5);
  Store("forms/frmMain/Width", 400);
  Store("forms/frmMain/WindowState", 2);
  QWidget form;
  form.setGeometry(272, 138, 565, 354);
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, true);
  EXPECT_EQ(form.geometry(), QRect(272, 5, 565, 354));
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, false);
  EXPECT_EQ(form.geometry(), QRect(272, 5, 400, 354));
  EXPECT_EQ(form.windowState(), Qt::WindowNoState);
}

TEST_F(Settings, PlacementIsClampedToTheScreens) {
  // Sizes no screen holds and positions beyond every screen: the window lands on a screen,
  // no larger than it. (Such a size once took the memory of the machine.)
  Store("forms/frmMain/Top", -2000000000);
  Store("forms/frmMain/Left", 2000000000);
  Store("forms/frmMain/Width", 2147483647);
  Store("forms/frmMain/Height", 2147483647);
  QWidget form;
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, false);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(form.size(), screen.size());
  EXPECT_TRUE(screen.contains(form.pos())) << form.x() << "," << form.y();
  // A window hanging partly over an edge keeps its place; a tiny one gets a usable size.
  EXPECT_EQ(ClampToScreens(screen.right() - 150, 10, 400, 300),
            QRect(screen.right() - 150, 10, 400, 300));
  EXPECT_EQ(ClampToScreens(10, 10, -5, 0).size(), QSize(160, 120));
}

TEST_F(Settings, ValuesOfTheWrongTypeAreReportedByName) {
  Store("forms/frmMain/Left", "wide");
  Store("LastProjectFolder", QStringList{"a", "b"});
  QWidget form;
  try {
    LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, false);
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "Invalid data type for 'Left'");
  }
  try {
    ReadRegString(TRegRoot::CurrentUser, Key, "LastProjectFolder");
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "Invalid data type for 'LastProjectFolder'");
  }
}

TEST_F(Settings, AFileOrAValueLargerThanAnySettingOfOursIsRefusedAndReportedOnce) {
  // A value longer than a path can be: reported by name; the other values still read.
  Store("LastOpenFolder", QString(4096, 'f'));
  Store("LastSaveFolder", QString(4095, 's'));
  try {
    ReadRegString(TRegRoot::CurrentUser, Key, "LastOpenFolder");
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "The value of 'LastOpenFolder' is longer than any folder name");
  }
  EXPECT_EQ(ReadRegString(TRegRoot::CurrentUser, Key, "LastSaveFolder"), std::string(4095, 's'));

  // A file far larger than our settings: the first access reports it, and no later one reads
  // or writes it (each would cost the whole file).
  Store("forms/frmMain/Top", 5);
  Store("Padding", QString(70000, 'x'));
  const std::string file = FDir.File("Kestrova/reelwright.conf");
  const std::string before = test::ReadFileBytes(file);
  QWidget form;
  form.setGeometry(272, 138, 565, 354);
  try {
    LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, false);
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()), "The settings file " + file +
                                         " is larger than any settings "
                                         "of this program (" +
                                         std::to_string(before.size()) +
                                         " bytes): it is neither read nor written");
  }
  EXPECT_EQ(form.geometry(), QRect(272, 138, 565, 354));
  EXPECT_EQ(ReadRegString(TRegRoot::CurrentUser, Key, "LastSaveFolder"), "");
  LoadFormPlacement(TRegRoot::CurrentUser, FormKey, form, false);
  EXPECT_EQ(form.y(), 138);
  SaveFormPlacement(TRegRoot::CurrentUser, FormKey, form);
  WriteRegString(TRegRoot::CurrentUser, Key, "LastSaveFolder", "/x");
  EXPECT_EQ(test::ReadFileBytes(file), before);
}

TEST_F(Settings, ARefusedWriteIsReportedByName) {
  // A plain file where the settings folder should be: nothing can be stored.
  test::WriteFileBytes(FDir.File("blocked"), "x");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, TextToQ(FDir.File("blocked")));
  try {
    WriteRegString(TRegRoot::CurrentUser, Key, "LastSaveFolder", "/x");
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "Failed to set data for 'LastSaveFolder'");
  }
  QWidget form;
  EXPECT_THROW(SaveFormPlacement(TRegRoot::CurrentUser, FormKey, form), Exception);
}

}  // namespace
}  // namespace rw
