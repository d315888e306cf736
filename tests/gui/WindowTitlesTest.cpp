#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include "gui/ApplicationNames.h"
#include "gui/MessageBoxes.h"

namespace rw {
namespace {

TEST(WindowTitles, NoDisplayNameIsAppendedToThem) {
  SetApplicationNames();
  EXPECT_EQ(QApplication::organizationName(), "Kestrova");
  EXPECT_EQ(QApplication::applicationName(), "reelwright");
  EXPECT_EQ(QGuiApplication::desktopFileName(), "reelwright");
  // Once a display name is set, Qt shows it after every window's title (" - Reelwright" on
  // X11). Unset, the display name follows the application name.
  QApplication::setApplicationName("probe");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
  QApplication::setApplicationName("reelwright");
}

// Shows a real message box of Kind, answers it with Button once it shows, and returns its
// window title and the answer read from it.
std::pair<QString, TMessageResult> ShowAndAnswer(TMessageKind Kind, TMessageButtons Buttons,
                                                 QMessageBox::StandardButton Button) {
  QString title;
  QTimer::singleShot(0, [&title, Button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    title = box->windowTitle();
    box->button(Button)->click();
  });
  const TMessageResult result = ShowMessageBox(nullptr, "Text", Kind, Buttons);
  return {title, result};
}

TEST(WindowTitles, AMessageBoxIsTitledByItsCaption) {
  EXPECT_EQ(ShowAndAnswer(TMessageKind::mkWarning, TMessageButtons::mbOK, QMessageBox::Ok),
            std::make_pair(QString("Warning"), TMessageResult::mrOK));
  EXPECT_EQ(ShowAndAnswer(TMessageKind::mkConfirmation, TMessageButtons::mbYesNo, QMessageBox::No),
            std::make_pair(QString("Confirm"), TMessageResult::mrNo));
}

}  // namespace
}  // namespace rw
