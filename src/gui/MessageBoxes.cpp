#include "gui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <memory>

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

namespace {

// Most of what an opener says on standard error is kept: its last words say why it failed.
constexpr qint64 MaxOpenerTalk = 4096;

// Runs xdg-open without waiting for it. It fails (exit status not 0) when the desktop has no
// program for the file, or the program did not start; it may also run as long as the program
// it started, so its end is awaited by the event loop.
void OpenWithXdgOpen(const std::string& Path, TOpenFailed Failed) {
  const QString opener = QStandardPaths::findExecutable("xdg-open");
  if (opener.isEmpty()) {
    Failed({});
    return;
  }
  auto* process = new QProcess(QCoreApplication::instance());
  auto talk = std::make_shared<QByteArray>();
  process->setProgram(opener);
  process->setArguments({PathToQ(Path)});
  process->setStandardOutputFile(QProcess::nullDevice());
  QObject::connect(process, &QProcess::readyReadStandardError, process, [process, talk] {
    *talk += process->readAllStandardError();
    if (talk->size() > MaxOpenerTalk) *talk = talk->right(MaxOpenerTalk);
  });
  QObject::connect(process, &QProcess::finished, process,
                   [process, talk, Failed](int Code, QProcess::ExitStatus Status) {
                     *talk += process->readAllStandardError();
                     if (Status != QProcess::NormalExit || Code != 0)
                       Failed(TextFromQ(QString::fromLocal8Bit(talk->trimmed())));
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, Failed](QProcess::ProcessError Error) {
                     if (Error != QProcess::FailedToStart) return;
                     Failed(TextFromQ(process->errorString()));
                     process->deleteLater();
                   });
  process->start();
}

}  // namespace

TDesktopOpener& DesktopOpener() {
  static TDesktopOpener opener = OpenWithXdgOpen;
  return opener;
}

void OpenOnDesktop(QWidget* Owner, const std::string& Path, std::function<void()> Instead) {
  // The owner may be gone when a slow opener fails.
  QPointer<QWidget> owner(Owner);
  DesktopOpener()(Path, [owner, Path, Instead](const std::string& Reason) {
    if (Instead) {
      Instead();
      return;
    }
    ShowMessageBox(
        owner, "There is no program to open " + Path + "." + (Reason.empty() ? "" : "\n" + Reason),
        TMessageKind::mkWarning, TMessageButtons::mbOK);
  });
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
