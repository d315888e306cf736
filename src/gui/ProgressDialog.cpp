#include "gui/ProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

namespace rw {

TfrmProgress::TfrmProgress(QWidget* Owner)
    : QDialog(Owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle("Processing...");
  setFixedSize(392, 148);

  Panel1 = new QFrame(this);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setGeometry(10, 10, 371, 93);
  lblText = new QLabel(Panel1);
  lblText->setGeometry(15, 18, 340, 16);
  ProgressBar = new QProgressBar(Panel1);
  ProgressBar->setGeometry(15, 45, 340, 16);
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setTextVisible(false);
  lblTime = new QLabel(Panel1);
  lblTime->setGeometry(15, 70, 340, 16);

  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setGeometry(392 - 10 - 75, 148 - 10 - 25, 75, 25);
  btnCancel->setFocusPolicy(Qt::NoFocus);
  btnCancel->setAutoDefault(false);
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  // Quit (Ctrl+Q) reaches the window's question whether to stop the join and quit.
  auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit, &QShortcut::activated, this, [this] {
    if (QWidget* owner = parentWidget()) owner->window()->close();
  });
  btnMinimize = new QPushButton("Minimize", this);
  btnMinimize->setVisible(false);

  // FormCreate: both labels start empty; the creator sets the caption and the message.
  lblText->clear();
  lblTime->clear();
}

TfrmProgress::~TfrmProgress() {
  // Destroying a visible dialog hides it first, so the program gets its windows back.
  if (isVisible()) FormHide();
}

void TfrmProgress::SetCaption(const std::string& Caption) {
  TProgressTracker::SetCaption(Caption);
  setWindowTitle(QString::fromStdString(Caption));
}

void TfrmProgress::SetText(const std::string& Text) {
  TProgressTracker::SetText(Text);
  lblText->setText(QString::fromStdString(Text));
}

void TfrmProgress::ShowBar(int Position) { ProgressBar->setValue(Position); }

void TfrmProgress::ShowTimeText(const std::string& Text) {
  lblTime->setText(QString::fromStdString(Text));
}

void TfrmProgress::HideTimeLabel() { lblTime->hide(); }

void TfrmProgress::ShowView() {
  ProgressBar->setValue(0);
  show();
}

void TfrmProgress::HideView() { hide(); }

void TfrmProgress::ProcessMessages() { QCoreApplication::processEvents(); }

void TfrmProgress::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!Event->spontaneous()) FormShow();
}

void TfrmProgress::hideEvent(QHideEvent* Event) {
  if (!Event->spontaneous()) FormHide();
  QDialog::hideEvent(Event);
}

void TfrmProgress::closeEvent(QCloseEvent* Event) {
  Cancel();
  Event->accept();
}

void TfrmProgress::reject() { Cancel(); }

void TfrmProgress::FormShow() {
  if (!FTaskWindows.empty()) return;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w == this || !w->isEnabled()) continue;
    w->setEnabled(false);
    FTaskWindows.emplace_back(w);
  }
  // Disabling the owner disables its child windows too; this one is a window and may be
  // enabled on its own.
  setEnabled(true);
}

void TfrmProgress::FormHide() {
  for (const QPointer<QWidget>& w : FTaskWindows)
    if (w) w->setEnabled(true);
  FTaskWindows.clear();
}

void TfrmProgress::btnCancelClick() { Cancel(); }

}  // namespace rw
