#include "cli/TerminalProgress.h"

#include <algorithm>
#include <csignal>
#include <iterator>
#include <string>
#include <unistd.h>

namespace rw::cli {

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t ReceivedSignal = 0;
struct sigaction PreviousActions[std::size(StopSignals)];

extern "C" void OnStopSignal(int Signal) {
  if (ReceivedSignal == 0) ReceivedSignal = Signal;
}

constexpr int BarWidth = 30;

}  // namespace

TStopSignals::TStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int s : StopSignals) sigaddset(&action.sa_mask, s);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(StopSignals); ++i)
    sigaction(StopSignals[i], &action, &PreviousActions[i]);
}

TStopSignals::~TStopSignals() {
  for (size_t i = 0; i < std::size(StopSignals); ++i)
    sigaction(StopSignals[i], &PreviousActions[i], nullptr);
}

int TStopSignals::Received() { return ReceivedSignal; }

TTerminalProgress::TTerminalProgress(FILE* Out) : FOut(Out), FDraw(::isatty(::fileno(Out)) != 0) {}

TTerminalProgress::~TTerminalProgress() {
  if (FShown) HideView();
}

void TTerminalProgress::ShowView() {
  FShown = true;
  if (FDraw) std::fprintf(FOut, "%s\n", Text().c_str());
  Draw();
}

void TTerminalProgress::HideView() {
  if (!FShown) return;
  FShown = false;
  if (FDraw) std::fputc('\n', FOut);
}

void TTerminalProgress::ProcessMessages() {
  if (TStopSignals::Received() != 0) Cancel();
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
