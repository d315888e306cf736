#pragma once
// The progress of a join on the command line: a bar with the percentage and the
// time-remaining text, redrawn in place on a terminal (nothing is drawn otherwise), and the
// signals that stop a join: Ctrl+C (SIGINT), SIGTERM and SIGHUP act as its Cancel button.
#include <cstdio>

#include "join/JoinProgress.h"

namespace rw::cli {

// While it lives, SIGINT, SIGTERM and SIGHUP do not end the program: the first one is recorded
// (the join in progress then stops at its next report, finishes its output and keeps it), and
// any further one is ignored, so that nothing interrupts that finishing.
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
