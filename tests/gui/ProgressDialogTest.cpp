#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>

#include "gui/ProgressDialog.h"

// The font library keeps caches to the end of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace rw {
namespace {

class ProgressDialogTest : public ::testing::Test {
protected:
  ProgressDialogTest() : Owner(std::make_unique<QMainWindow>()), main(*Owner) { main.show(); }
  std::unique_ptr<QMainWindow> Owner;
  QMainWindow& main;
};

TEST_F(ProgressDialogTest, ShowDisablesTheOtherWindowsAndHideGivesThemBack) {
  QWidget other;
  other.show();
  auto dlg = std::make_unique<TfrmProgress>(&main);
  EXPECT_EQ(dlg->size(), QSize(392, 148));
  EXPECT_FALSE(dlg->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(dlg->windowTitle(), "Processing...");
  dlg->SetCaption("Joining...");
  dlg->SetText("The selected file is being joined. Please wait...");
  dlg->Show();
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(main.isEnabled());
  EXPECT_FALSE(other.isEnabled());
  EXPECT_TRUE(dlg->isEnabled());
  EXPECT_EQ(dlg->windowTitle(), "Joining...");
  EXPECT_EQ(dlg->lblText->text(), "The selected file is being joined. Please wait...");
  dlg->Hide();
  EXPECT_TRUE(main.isEnabled());
  EXPECT_TRUE(other.isEnabled());

  // Destroying a visible dialog also gives the windows back.
  dlg->Show();
  EXPECT_FALSE(main.isEnabled());
  dlg.reset();
  EXPECT_TRUE(main.isEnabled());
  EXPECT_TRUE(other.isEnabled());
}

TEST_F(ProgressDialogTest, CancelKeepsTheDialogAndACloseRequestHidesIt) {
  TfrmProgress dlg(&main);
  dlg.Show();
  dlg.SetProgress(99.9);
  EXPECT_EQ(dlg.ProgressBar->value(), 99);
  dlg.SetProgress(100);
  EXPECT_EQ(dlg.ProgressBar->value(), 100);

  EXPECT_FALSE(dlg.IsCancelled());
  dlg.btnCancel->click();
  EXPECT_TRUE(dlg.IsCancelled());
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(main.isEnabled());

  dlg.Show();  // a new show clears the flag and the bar
  EXPECT_FALSE(dlg.IsCancelled());
  EXPECT_EQ(dlg.ProgressBar->value(), 0);
  dlg.close();
  EXPECT_TRUE(dlg.IsCancelled());
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_TRUE(main.isEnabled());
}

TEST_F(ProgressDialogTest, TurningTheEstimateOffHidesTheTimeLabel) {
  TfrmProgress dlg(&main);
  dlg.Show();
  EXPECT_TRUE(dlg.lblTime->isVisible());
  dlg.SetShowTimeLeft(false);
  EXPECT_FALSE(dlg.lblTime->isVisible());
  dlg.SetShowTimeLeft(true);
  EXPECT_FALSE(dlg.lblTime->isVisible());
  EXPECT_FALSE(dlg.btnMinimize->isVisible());
}

}  // namespace
}  // namespace rw
