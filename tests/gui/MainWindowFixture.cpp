#include "gui/MainWindowFixture.h"

#include <QDesktopServices>
#include <QLabel>
#include <QSettings>
#include <QTest>

#include "core/SavedFolders.h"
#include "gui/FileListWidget.h"
#include "gui/QtStrings.h"

namespace rw::test {

void MainWindow::SetUp() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, TextToQ(Dir.File("config")));
  LastSaveFolder.clear();
  LastProjectFolder.clear();
  FSavedHook = MessageBoxHook();
  MessageBoxHook() = [this](const TMessageRequest& Request) {
    Shown.push_back(Request);
    TMessageResult answer =
        Request.Buttons == TMessageButtons::mbOK ? TMessageResult::mrOK : TMessageResult::mrYes;
    if (!Answers.empty()) {
      answer = Answers.front();
      Answers.pop_front();
    }
    return answer;
  };
  FSavedRunner = FileDialogRunner();
  FileDialogRunner() = [this](QFileDialog& Dialog) {
    DialogFilters = Dialog.nameFilters();
    DialogFolder = Dialog.directory().absolutePath();
    std::optional<QList<QUrl>> answer;
    if (DialogAnswer) {
      answer.emplace();
      for (const QString& name : *DialogAnswer) answer->append(QUrl::fromLocalFile(name));
    }
    DialogAnswer.reset();
    return answer;
  };
  FSavedOpener = DesktopOpener();
  DesktopOpener() = [this](const std::string& Path, TOpenFailed) {
    Urls.Opened << QUrl::fromLocalFile(PathToQ(Path));
  };
}

void MainWindow::TearDown() {
  FWindow.reset();
  DesktopOpener() = FSavedOpener;
  MessageBoxHook() = FSavedHook;
  FileDialogRunner() = FSavedRunner;
}

TfrmMain& MainWindow::Window() {
  if (!FWindow) FWindow = std::make_unique<TfrmMain>();
  return *FWindow;
}

void MainWindow::ShowActive() {
  Window().show();
  Window().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
}

void MainWindow::AddThroughDialog(const QStringList& Names) {
  DialogAnswer = Names;
  Window().acnAddFiles->trigger();
}

void MainWindow::Click(int Row) {
  TFileListWidget& view = Window().FilesView();
  // A plain click: whatever modifier keys an earlier simulated key left behind.
  view.setCurrentItem(view.topLevelItem(Row), 0,
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<std::string> MainWindow::RowNames() { return Window().List().FileNames(); }

QString MainWindow::Panel(int Index) {
  return Window().findChild<QLabel*>(QString("StatusPanel%1").arg(Index))->text();
}

int MainWindow::PanelWidth(int Index) {
  return Window().findChild<QLabel*>(QString("StatusPanel%1").arg(Index))->width();
}

}  // namespace rw::test
