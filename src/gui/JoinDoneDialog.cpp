// The message that a join is done, with its Open Folder and Play buttons.
#include "gui/JoinDoneDialog.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "core/ListTexts.h"
#include "gui/MessageBoxes.h"
#include "gui/QtStrings.h"

namespace rw {

TModalRunner& JoinDoneRunner() {
  static TModalRunner runner = [](QDialog& Dialog) { return Dialog.exec(); };
  return runner;
}

TfrmJoinDone::TfrmJoinDone(QWidget* Owner, const TJoinOutputFacts& Output, const std::string& Text)
    : QDialog(Owner), FFileName(Output.FileName) {
  setObjectName("frmJoinDone");
  setWindowTitle("Join Complete");
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  lblText = new QLabel(PathToQ(Text.empty() ? JoinDoneText(Output) : Text), this);
  lblText->setObjectName("lblText");
  lblText->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblText->setTextFormat(Qt::PlainText);
  btnOpenFolder = new QPushButton("Open &Folder", this);
  btnPlay = new QPushButton("&Play", this);
  btnClose = new QPushButton("&Close", this);
  // Enter and Escape close the message; the other buttons need their click or access key.
  for (QPushButton* button : {btnOpenFolder, btnPlay}) button->setAutoDefault(false);
  btnClose->setDefault(true);
  btnClose->setFocus();

  auto* message = new QHBoxLayout;
  message->addWidget(icon);
  message->addWidget(lblText, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnOpenFolder);
  buttons->addWidget(btnPlay);
  buttons->addStretch(1);
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(message);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(btnOpenFolder, &QPushButton::clicked, this, &TfrmJoinDone::btnOpenFolderClick);
  connect(btnPlay, &QPushButton::clicked, this, &TfrmJoinDone::btnPlayClick);
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

// The message stays open: the user may want the other button, or to read a failure over it.
void TfrmJoinDone::btnOpenFolderClick() { OpenOnDesktop(this, FolderText(FFileName)); }

void TfrmJoinDone::btnPlayClick() { OpenOnDesktop(this, FFileName); }

void ShowJoinDone(QWidget* Owner, const std::string& OutFileName) {
  TfrmJoinDone dialog(Owner, DescribeJoinOutput(OutFileName));
  JoinDoneRunner()(dialog);
}

void ShowJoinStopped(QWidget* Owner, const std::string& OutFileName, bool Kept, double Total) {
  const TJoinOutputFacts output =
      Kept ? DescribeJoinOutput(OutFileName) : TJoinOutputFacts{OutFileName};
  TfrmJoinDone dialog(Owner, output, JoinStoppedText(output, Kept, Total));
  dialog.setWindowTitle("Join Stopped");
  dialog.btnOpenFolder->setVisible(Kept);
  dialog.btnPlay->setVisible(Kept);
  JoinDoneRunner()(dialog);
}

}  // namespace rw
