// reelwright-cli join: adds the files to a file list, lets the core's join decision take the
// options as the join options dialog takes its settings, and runs the join.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <exception>
#include <utility>

#include "core/EngineWorker.h"
#include "core/FileList.h"
#include "core/JoinDecision.h"
#include "core/JoinRequest.h"
#include "cli/Commands.h"
#include "cli/JoinOptions.h"
#include "cli/TerminalProgress.h"

namespace rw::cli {

namespace {

// The file names of the command, which its messages may quote.
std::vector<std::string> QuotedNames;

// Run for the window: everything it shows goes to standard output as worker lines.
bool WorkerMode = false;

void Fail(const std::string& Message) {
  std::fprintf(stderr, "%s\n", TerminalText(Message, QuotedNames).c_str());
}

void Emit(const std::string& Word, const std::string& Text = {}) {
  std::fputs(WorkerLine(Word, Text).c_str(), stdout);
  std::fflush(stdout);
}

// A failure: on the terminal "Join fails: " + Reason (only Reason when JoinFails is false); to
// the window the reason alone, which it tells as every failed join.
void Report(const std::string& Reason, bool JoinFails) {
  if (WorkerMode)
    Emit("error", Reason);
  else
    Fail(JoinFails ? JoinFailsText(Reason) : Reason);
}

// The window's progress dialog, driven through lines; a stop signal (the dialog's Cancel)
// cancels.
class TWorkerProgress : public IProgressView {
public:
  void SetCaption(const std::string& Caption) override { Emit("caption", Caption); }
  void SetText(const std::string& Text) override { Emit("text", Text); }
  void Show() override { Emit("show"); }
  void Hide() override {
    // A join that reported no progress (a short render) is ended by the switch when it ends.
    CrashIfAsked();
    Emit("hide");
  }
  void SetShowTimeLeft(bool Value) override { Emit("timeleft", Value ? "1" : "0"); }
  void SetProgress(double Percent) override {
    if (Percent > 0) CrashIfAsked();
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", Percent);
    Emit("progress", text);
    if (const int pause = WorkerPauseMs()) ::usleep(static_cast<useconds_t>(pause) * 1000);
  }
  bool IsCancelled() override { return TStopSignals::Received() != 0; }

private:
  // For tests: a worker asked to crash does so at the join's first report of progress, or at
  // its end when it reported none.
  static void CrashIfAsked() {
    if (WorkerCrashAsked("join")) std::abort();
  }
};

// Adds every file in order; false (after the message) when one cannot be added.
bool AddFiles(TFileList& List, const std::vector<std::string>& Files) {
  for (const std::string& name : Files) {
    try {
      List.AddFile(name);
    } catch (const std::exception& E) {
      Report(UnableToAddText(name, E.what()), false);
      return false;
    }
  }
  List.UpdateAllDiffs();
  return true;
}

// Runs the request with the terminal's progress; the exit status: 128 + the signal that
// stopped the join (130 for Ctrl+C), whose output is finished and in place.
int Join(TJoinRequest Request) {
  try {
    if (WorkerMode) {
      Request.OutputReserved = [](const std::string& TempFileName) { Emit("part", TempFileName); };
      Emit("work", JoinWorkText(Request));
      TWorkerProgress progress;
      const TJoinResult result = JoinFiles(std::move(Request), progress);
      for (const std::string& warning : result.Warnings) Emit("warning", warning);
      Emit("result", std::string(result.Cancelled ? "1" : "0") + (result.Kept ? "1" : "0"));
      return 0;
    }
    TTerminalProgress progress;
    const TJoinResult result = JoinFiles(std::move(Request), progress);
    // Sources that gave less than they declare were joined as far as they could be read.
    for (const std::string& warning : result.Warnings) Fail("Warning: " + warning + ".");
  } catch (const std::exception& E) {
    Report(E.what(), true);
    return 1;
  }
  const int stop = TStopSignals::Received();
  return stop != 0 ? 128 + stop : 0;
}

}  // namespace

int RunJoin(const TArgs& Args) {
  // Handled before any work: a stop signal while the files are read or the compressors are
  // tried ends the command before the join begins, with the same exit status.
  TStopSignals signals;
  TJoinOptions options;
  const std::string error = options.Parse(Args);
  if (!error.empty()) {
    std::fprintf(stderr, "reelwright-cli join: %s\n", TerminalText(error).c_str());
    JoinUsage(stderr);
    return 2;
  }
  if (options.Help) {
    JoinUsage(stdout);
    return 0;
  }
  WorkerMode = options.Worker;
  if (WorkerMode) Emit("work", cReadingFilesWork);
  QuotedNames = options.Files;
  QuotedNames.push_back(options.Choices.OutFileName);

  TNullFileListView view;
  TFileList list(view);
  if (!AddFiles(list, options.Files)) return 1;

  if (const int stop = TStopSignals::Received()) return 128 + stop;

  TJoinDecision decision;
  try {
    decision = DecideJoin(list, options.Choices);
  } catch (const EJoinRefused& E) {
    Report(E.what(), false);
    return 1;
  } catch (const EOutputExists& E) {
    if (WorkerMode) {
      Report(E.what(), true);
      return 1;
    }
    // Nothing is asked on the command line: it says how to answer yes.
    Fail(OverwriteQuestionLine(E.FileName()));
    Fail("Run the command with --yes to replace it.");
    return 1;
  } catch (const EJoinChoice& E) {
    if (WorkerMode) {
      Report(E.what(), true);
      return 2;
    }
    std::fprintf(stderr, "reelwright-cli join: %s\n", TerminalText(E.what()).c_str());
    return 2;
  } catch (const std::exception& E) {
    Report(E.what(), true);
    return 1;
  }
  if (!WorkerMode)
    for (const std::string& note : decision.Notes) Fail(note);
  if (const int stop = TStopSignals::Received()) return 128 + stop;
  return Join(std::move(decision.Request));
}

}  // namespace rw::cli
