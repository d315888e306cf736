// reelwright: the window program.
#include <QApplication>
#include <QIcon>

#include "gui/JoinFilesCommand.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "core/ProductInfo.h"
#include "gui/QuitSignals.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/QtStrings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Kestrova");
  QApplication::setApplicationName("reelwright");
  QApplication::setApplicationDisplayName(rw::TextToQ(rw::ProductInfo().Title));
  int status = 1;
  try {
    rw::TfrmMain frmMain;
    QIcon icon;
    icon.addFile(":/icons/reelwright-32.png");
    icon.addFile(":/icons/reelwright-64.png");
    QApplication::setWindowIcon(icon);
    frmMain.setWindowTitle(rw::TextToQ(rw::ProductInfo().Title));
    // Created once, hidden; it lists the installed compressors now.
    rw::TfrmJoin frmJoin(&frmMain, [&frmMain] { return frmMain.List().Infos(); });
    rw::InstallJoinFiles(frmMain, frmJoin);
    rw::InstallQuitSignals(frmMain);
    frmMain.show();
    status = QApplication::exec();
    // Asked to stop by a signal: the window closed as at File, Exit, but the exit tells why.
    if (const int signal = rw::QuitSignal()) status = 128 + signal;
  } catch (const std::exception& E) {
    rw::ShowErrorBox(nullptr, E.what());
  }
  return status;
}
