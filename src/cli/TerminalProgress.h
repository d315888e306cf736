#pragma once
// The progress of a join on the command line: a bar with the percentage and the
// time-remaining text, redrawn in place on a terminal (nothing is drawn otherwise). Ctrl+C
// while it is shown acts as its Cancel button; a second Ctrl+C ends the program.
#include <cstdio>

#include "join/JoinProgress.h"

namespace rw::cli {

class TTerminalProgress : public TProgressTracker {
public:
  explicit TTerminalProgress(FILE* Out = stderr);
  ~TTerminalProgress() override;

  // Whether Ctrl+C was pressed while a progress was shown.
  static bool Interrupted();

protected:
  void ShowBar(int Position) override;
  void ShowTimeText(const std::string& Text) override;
  void HideTimeLabel() override;
  void ShowView() override;
  void HideView() override;
  void ProcessMessages() override;

private:
  void Draw();

  FILE* FOut;
  bool FDraw;
  bool FShown = false;
  bool FTimeHidden = false;
};

}  // namespace rw::cli
