#pragma once
// Modal message boxes centred on their owner, behind one replaceable hook so that tests can
// answer them.
#include <functional>
#include <string>

#include "core/FileList.h"

class QWidget;

namespace rw {

enum class TMessageIcon { miWarning, miQuestion, miInformation, miError };

struct TMessageRequest {
  QWidget* Owner = nullptr;
  std::string Caption;
  std::string Text;
  TMessageIcon Icon = TMessageIcon::miInformation;
  TMessageButtons Buttons = TMessageButtons::mbOK;
};

using TMessageBoxHook = std::function<TMessageResult(const TMessageRequest& Request)>;
// The function that shows every message box of the program.
TMessageBoxHook& MessageBoxHook();

// A warning ("Warning"), confirmation ("Confirm") or information box.
TMessageResult ShowMessageBox(QWidget* Owner, const std::string& Text, TMessageKind Kind,
                              TMessageButtons Buttons);
// The default error display: the program's title as caption, a stop icon, OK, and the message
// with a full stop appended when it ends in a character above '.'.
void ShowErrorBox(QWidget* Owner, const std::string& Message);

// Asks the desktop to open a local file or folder with the program it has for it (xdg-open);
// the one replaceable hook, so that tests can stand in for the desktop. Calls Failed, at once
// or when the opener ends, with the opener's reason (perhaps empty) when nothing opened it.
using TOpenFailed = std::function<void(const std::string& Reason)>;
using TDesktopOpener = std::function<void(const std::string& Path, TOpenFailed Failed)>;
TDesktopOpener& DesktopOpener();
// Opens Path on the desktop; when the desktop cannot, Instead runs, or without it a warning
// says so ("There is no program to open NAME.", then the opener's reason).
void OpenOnDesktop(QWidget* Owner, const std::string& Path,
                   std::function<void()> Instead = nullptr);

// Runs Body; an error that escapes it is shown in the default error display.
void RunGuarded(QWidget* Owner, const std::function<void()>& Body);

}  // namespace rw
