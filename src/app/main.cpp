// reelwright: the window program.
#include <QApplication>
#include <QIcon>

#include "app/JoinCls.h"
#include "app/MainForm.h"
#include "app/MessageDlg.h"
#include "app/ProdInfo.h"
#include "app/QuitSignals.h"
#include "ui/JoinForm.h"
#include "ui/QtStrings.h"

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
  } catch (const std::exception& E) {
    rw::ShowErrorBox(nullptr, E.what());
  }
  return status;
}
