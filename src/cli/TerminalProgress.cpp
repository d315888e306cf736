#include "cli/TerminalProgress.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <unistd.h>

namespace rw::cli {

namespace {

volatile std::sig_atomic_t Interrupts = 0;
struct sigaction PreviousAction;

void OnInterrupt(int) { Interrupts = 1; }

constexpr int BarWidth = 30;

}  // namespace

TTerminalProgress::TTerminalProgress(FILE* Out) : FOut(Out), FDraw(::isatty(::fileno(Out)) != 0) {}

TTerminalProgress::~TTerminalProgress() {
  if (FShown) HideView();
}

bool TTerminalProgress::Interrupted() { return Interrupts != 0; }

void TTerminalProgress::ShowView() {
  FShown = true;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // a second Ctrl+C ends the program
  sigaction(SIGINT, &action, &PreviousAction);
  if (FDraw) std::fprintf(FOut, "%s\n", Text().c_str());
  Draw();
}

void TTerminalProgress::HideView() {
  if (!FShown) return;
  FShown = false;
  sigaction(SIGINT, &PreviousAction, nullptr);
  if (FDraw) std::fputc('\n', FOut);
}

void TTerminalProgress::ProcessMessages() {
  if (Interrupts) Cancel();
}

void TTerminalProgress::ShowBar(int) { Draw(); }
void TTerminalProgress::ShowTimeText(const std::string&) { Draw(); }

void TTerminalProgress::HideTimeLabel() {
  FTimeHidden = true;
  Draw();
}

void TTerminalProgress::Draw() {
  if (!FDraw || !FShown) return;
  int position = std::max(0, std::min(100, Position()));
  int filled = position * BarWidth / 100;
  std::string line = "\r[" + std::string(filled, '#') + std::string(BarWidth - filled, '-') + "] " +
                     std::to_string(position) + "%";
  if (!FTimeHidden && !TimeText().empty()) line += "  " + TimeText();
  line += "\033[K";
  std::fputs(line.c_str(), FOut);
  std::fflush(FOut);
}

}  // namespace rw::cli
