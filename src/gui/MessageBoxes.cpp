#include "gui/MessageBoxes.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "core/ProductInfo.h"
#include "platform/Errors.h"
#include "gui/QtStrings.h"

namespace rw {
namespace {

QMessageBox::Icon ToQtIcon(TMessageIcon Icon) {
  switch (Icon) {
    case TMessageIcon::miWarning:
      return QMessageBox::Warning;
    case TMessageIcon::miQuestion:
      return QMessageBox::Question;
    case TMessageIcon::miError:
      return QMessageBox::Critical;
    case TMessageIcon::miInformation:
      break;
  }
  return QMessageBox::Information;
}

TMessageResult ExecMessageBox(const TMessageRequest& Request) {
  // Line breaks of the messages are CR LF; the toolkit wants LF.
  QString text = TextToQ(Request.Text);
  text.replace("\r\n", "\n");
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  if (Request.Buttons == TMessageButtons::mbYesNo) buttons = QMessageBox::Yes | QMessageBox::No;
  if (Request.Buttons == TMessageButtons::mbYesCancel)
    buttons = QMessageBox::Yes | QMessageBox::Cancel;
  QMessageBox box(ToQtIcon(Request.Icon), TextToQ(Request.Caption), text, buttons,
                  Request.Owner ? Request.Owner : QApplication::activeWindow());
  switch (box.exec()) {
    case QMessageBox::Yes:
      return TMessageResult::mrYes;
    case QMessageBox::No:
      return TMessageResult::mrNo;
    case QMessageBox::Cancel:
      return TMessageResult::mrCancel;
    case QMessageBox::Ok:
      return TMessageResult::mrOK;
    default:
      return TMessageResult::mrNone;
  }
}

}  // namespace

TMessageBoxHook& MessageBoxHook() {
  static TMessageBoxHook hook = ExecMessageBox;
  return hook;
}

TMessageResult ShowMessageBox(QWidget* Owner, const std::string& Text, TMessageKind Kind,
                              TMessageButtons Buttons) {
  TMessageRequest request;
  request.Owner = Owner;
  request.Text = Text;
  request.Buttons = Buttons;
  switch (Kind) {
    case TMessageKind::mkWarning:
      request.Caption = "Warning";
      request.Icon = TMessageIcon::miWarning;
      break;
    case TMessageKind::mkConfirmation:
      request.Caption = "Confirm";
      request.Icon = TMessageIcon::miQuestion;
      break;
    case TMessageKind::mkInformation:
      request.Caption = ProductInfo().Title;
      request.Icon = TMessageIcon::miInformation;
      break;
  }
  return MessageBoxHook()(request);
}

TDesktopOpener& DesktopOpener() {
  static TDesktopOpener opener = [](const std::string& Path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(PathToQ(Path)));
  };
  return opener;
}

void OpenOnDesktop(QWidget* Owner, const std::string& Path) {
  if (!DesktopOpener()(Path))
    ShowMessageBox(Owner, "There is no program to open " + Path + ".", TMessageKind::mkWarning,
                   TMessageButtons::mbOK);
}

void ShowErrorBox(QWidget* Owner, const std::string& Message) {
  TMessageRequest request;
  request.Owner = Owner;
  request.Caption = ProductInfo().Title;
  request.Text = WithFullStop(Message);
  request.Icon = TMessageIcon::miError;
  MessageBoxHook()(request);
}

void RunGuarded(QWidget* Owner, const std::function<void()>& Body) {
  try {
    Body();
  } catch (const std::exception& E) {
    ShowErrorBox(Owner, E.what());
  }
}

}  // namespace rw
