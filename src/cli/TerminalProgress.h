#pragma once
// The progress of a join on the command line: a bar with the percentage and the
// time-remaining text, redrawn in place on a terminal (nothing is drawn otherwise), and the
// signals that stop a join: Ctrl+C (SIGINT), SIGTERM and SIGHUP act as its Cancel button.
#include <cstdio>
#include <string>
#include <vector>

#include "join/JoinProgress.h"

namespace rw::cli {

// Text as it may reach a terminal: each of Names (file names the text may quote, and their
// last parts) with its control characters as '?', as `info` prints them, so that a name can
// neither send the terminal a command nor break a line; then any other control character but
// a line break (and the CR LF pair of the system's own questions) as '?' too.
std::string TerminalText(const std::string& Text, const std::vector<std::string>& Names = {});

// While it lives, SIGINT, SIGTERM and SIGHUP do not end the program: the first one is recorded
// (the join in progress then stops at its next report, finishes its output and keeps it), and
// any further one is ignored, so that nothing interrupts that finishing. A signal that was
// ignored when it began stays ignored.
class TStopSignals {
public:
  TStopSignals();
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // The first of those signals received, 0 for none.
  static int Received();
};

class TTerminalProgress : public TProgressTracker {
public:
  explicit TTerminalProgress(FILE* Out = stderr);
  ~TTerminalProgress() override;

protected:
  void ShowBar(int Position) override;
  void ShowTimeText(const std::string& Text) override;
  void HideTimeLabel() override;
  void ShowView() override;
  void HideView() override;
  // A stop signal presses Cancel.
  void ProcessMessages() override;

private:
  void Draw();

  FILE* FOut;
  bool FDraw;
  bool FShown = false;
  bool FTimeHidden = false;
};

}  // namespace rw::cli
