#include "gui/QuitSignals.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "gui/MessageBoxes.h"

namespace rw {
namespace {

// The signal handler only writes a byte here; the GUI thread reads it in its event loop.
int QuitPipe[2] = {-1, -1};
volatile std::sig_atomic_t FirstSignal = 0;

extern "C" void OnQuitSignal(int Signal) {
  if (FirstSignal == 0) FirstSignal = Signal;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(QuitPipe[1], &byte, 1);
}

}  // namespace

int QuitSignal() { return FirstSignal; }

void InstallQuitSignals(QWidget& MainWindow) {
  if (QuitPipe[0] >= 0 || ::pipe2(QuitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(QuitPipe[0], QSocketNotifier::Read, &MainWindow);
  QPointer<QWidget> window(&MainWindow);
  QObject::connect(notifier, &QSocketNotifier::activated, &MainWindow, [window] {
    char buffer[16];
    while (::read(QuitPipe[0], buffer, sizeof buffer) > 0) {}
    // No one is there to answer a message box any more (a settings failure at the end, say):
    // what it would show goes to standard error, and a question gets the answer that changes
    // nothing.
    MessageBoxHook() = [](const TMessageRequest& Request) {
      std::fprintf(stderr, "%s: %s\n", Request.Caption.c_str(), Request.Text.c_str());
      return Request.Buttons == TMessageButtons::mbYesNo ? TMessageResult::mrNo
                                                         : TMessageResult::mrOK;
    };
    // Open dialogs go first (closing a join's progress stops the join as Cancel does), then
    // the main window, which ends the program.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    for (QWidget* other : QApplication::topLevelWidgets())
      if (other != window && other->isVisible()) other->close();
    if (window) window->close();
  });
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    // A signal ignored when the program started (`nohup` ignores SIGHUP) stays ignored.
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace rw
