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

bool IsControl(char C) { return static_cast<unsigned char>(C) < 0x20 || C == 0x7F; }

std::string Printable(std::string Text) {
  for (char& c : Text)
    if (IsControl(c)) c = '?';
  return Text;
}

// Every occurrence of Name in Text made printable.
void ReplaceName(std::string& Text, const std::string& Name) {
  if (Name.empty() || Printable(Name) == Name) return;
  const std::string shown = Printable(Name);
  for (size_t at = Text.find(Name); at != std::string::npos;
       at = Text.find(Name, at + shown.size()))
    Text.replace(at, Name.size(), shown);
}

}  // namespace

std::string TerminalText(const std::string& Text, const std::vector<std::string>& Names) {
  std::string text = Text;
  for (const std::string& name : Names) {
    ReplaceName(text, name);
    ReplaceName(text, name.substr(name.rfind('/') + 1));
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const bool lineEnd =
        text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
    if (IsControl(text[i]) && !lineEnd) text[i] = '?';
  }
  return text;
}

TStopSignals::TStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int s : StopSignals) sigaddset(&action.sa_mask, s);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(StopSignals); ++i) {
    sigaction(StopSignals[i], nullptr, &PreviousActions[i]);
    // A signal ignored when the program started (`nohup` ignores SIGHUP) stays ignored.
    if (PreviousActions[i].sa_handler != SIG_IGN) sigaction(StopSignals[i], &action, nullptr);
  }
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
