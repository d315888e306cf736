// reelwright: the window program.
#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>

#include "core/EngineWorker.h"
#include "gui/ApplicationNames.h"
#include "gui/JoinFilesCommand.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "core/ProductInfo.h"
#include "gui/QuitSignals.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/QtStrings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  rw::SetApplicationNames();
  // Names after the program's own: AVI files to add, or a project to open.
  // The names as the system gave them (the toolkit has taken its own options out of argv): a
  // name that is not valid UTF-8 still names its file.
  std::vector<std::string> names(argv + 1, argv + argc);
  if (!names.empty() && (names.front() == "--help" || names.front() == "-h")) {
    std::printf(
        "Usage: reelwright [FILE.avi...] [PROJECT.rwp]\n"
        "Opens the window with the files in its list, or with the project's files.\n");
    return 0;
  }
  if (!names.empty() && names.front() == "--") names.erase(names.begin());
  int status = 1;
  // The window's process never loads the media engine: what the Join Options ask of it is
  // answered by a worker.
  rw::UseEngineWorker(rw::WorkerProgram());
  try {
    rw::TfrmMain frmMain;
    QIcon icon;
    icon.addFile(":/icons/reelwright-32.png");
    icon.addFile(":/icons/reelwright-64.png");
    QApplication::setWindowIcon(QIcon::fromTheme("reelwright", icon));
    frmMain.setWindowTitle(rw::TextToQ(rw::ProductInfo().Title));
    // Created once, hidden; it lists the compressors in the background once the window has
    // painted (in a worker process, so the engine never loads here), or remembers them from an
    // earlier run.
    rw::TfrmJoin frmJoin(
        &frmMain, [&frmMain] { return frmMain.List().Infos(); }, rw::WorkerCompressors,
        rw::WorkerListingKey);
    rw::InstallJoinFiles(frmMain, frmJoin);
    rw::InstallQuitSignals(frmMain);
    frmMain.show();
    frmMain.AfterPainted([&frmJoin] { frmJoin.StartListing(); });
    // The files are added once the window shows, so their progress can be seen.
    QTimer::singleShot(0, &frmMain, [&frmMain, names] { frmMain.OpenCommandLine(names); });
    status = QApplication::exec();
    // Closing waits for no listing still running.
    rw::StopWorkers();
    // Asked to stop by a signal: the window closed as at File, Exit, but the exit tells why.
    if (const int signal = rw::QuitSignal()) status = 128 + signal;
  } catch (const std::exception& E) {
    rw::ShowErrorBox(nullptr, E.what());
  }
  return status;
}
