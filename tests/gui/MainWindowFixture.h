#pragma once
// A main window for one test: its own settings folder, message boxes and file dialogs answered
// by the test, and desktop "open" requests recorded instead of starting programs.
#include <QFileDialog>
#include <QObject>
#include <QUrl>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "support/TempDir.h"
#include "gui/FileDialogs.h"

namespace rw::test {

// Receives the desktop's "open" requests.
class TUrlRecorder : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Opened;
public slots:
  void Open(const QUrl& Url) { Opened << Url; }
};

class MainWindow : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the window (after a test has prepared the settings).
  TfrmMain& Window();
  // Destroys the window, which stores its settings.
  void CloseWindow() { FWindow.reset(); }

  // Shows the window and makes it the active one, so that its shortcuts work.
  void ShowActive();
  // Adds files through the Add Files dialog, the user picking Names in this order.
  void AddThroughDialog(const QStringList& Names);
  // Selects Row in the list view as a click would.
  void Click(int Row);
  std::vector<std::string> RowNames();
  QString Panel(int Index);
  int PanelWidth(int Index);

  TTempDir Dir;
  // Answers for the next message boxes (OK or Yes when empty) and the boxes shown.
  std::deque<TMessageResult> Answers;
  std::vector<TMessageRequest> Shown;
  // The next file dialog's answer and how it was set up.
  std::optional<QStringList> DialogAnswer;
  QStringList DialogFilters;
  QString DialogFolder;
  TUrlRecorder Urls;

private:
  std::unique_ptr<TfrmMain> FWindow;
  TMessageBoxHook FSavedHook;
  TFileDialogRunner FSavedRunner;

protected:
  // The desktop's own opener, for tests of what it reports.
  TDesktopOpener FSavedOpener;
};

}  // namespace rw::test
