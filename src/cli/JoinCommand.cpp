// reelwright-cli join: adds the files to a file list, lets the core's join decision take the
// options as the join options dialog takes its settings, and runs the join.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
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
  void Hide() override { Emit("hide"); }
  void SetShowTimeLeft(bool Value) override { Emit("timeleft", Value ? "1" : "0"); }
  void SetProgress(double Percent) override {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", Percent);
    Emit("progress", text);
    if (const int pause = WorkerPauseMs()) ::usleep(static_cast<useconds_t>(pause) * 1000);
  }
  bool IsCancelled() override { return TStopSignals::Received() != 0; }
};

// For tests: a join asked to crash (WorkerCrashAsked) aborts at its first report of progress,
// or at its end when it reported none (a short render); otherwise the view's own.
class TCrashSwitch : public IProgressView {
public:
  explicit TCrashSwitch(IProgressView& View) : FView(View) {}
  void SetCaption(const std::string& Caption) override { FView.SetCaption(Caption); }
  void SetText(const std::string& Text) override { FView.SetText(Text); }
  void Show() override { FView.Show(); }
  void Hide() override {
    CrashIfAsked();
    FView.Hide();
  }
  void SetShowTimeLeft(bool Value) override { FView.SetShowTimeLeft(Value); }
  void SetProgress(double Percent) override {
    if (Percent > 0) CrashIfAsked();
    FView.SetProgress(Percent);
  }
  bool IsCancelled() override { return FView.IsCancelled(); }

private:
  static void CrashIfAsked() {
    if (WorkerCrashAsked("join")) std::abort();
  }
  IProgressView& FView;
};

// On the command line a fault of the engine ends the program; until then the join's failure
// is told as every failure is, and its temporary file is removed. The texts are made before the
// join: the handler only writes and removes.
constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
char FatalTexts[std::size(FatalSignals)][1024];
char FatalTempFile[4096];

extern "C" void OnFatalSignal(int Signal) {
  for (size_t i = 0; i < std::size(FatalSignals); ++i)
    if (FatalSignals[i] == Signal && ::write(2, FatalTexts[i], std::strlen(FatalTexts[i])) < 0)
      break;
  if (FatalTempFile[0]) ::unlink(FatalTempFile);
  // The handler was reset: the signal ends the program as it would have.
  ::raise(Signal);
}

class TFatalSignalReport {
public:
  explicit TFatalSignalReport(const std::string& Work) {
    FatalTempFile[0] = 0;
    for (size_t i = 0; i < std::size(FatalSignals); ++i) {
      const std::string text =
          TerminalText(JoinFailsText(WorkerStoppedText(Work, FatalSignals[i], 0)), QuotedNames) +
          "\n";
      std::snprintf(FatalTexts[i], sizeof FatalTexts[i], "%s", text.c_str());
      struct sigaction action {};
      action.sa_handler = OnFatalSignal;
      sigemptyset(&action.sa_mask);
      action.sa_flags = SA_RESETHAND | SA_NODEFER;
      ::sigaction(FatalSignals[i], &action, &FPrevious[i]);
    }
  }
  ~TFatalSignalReport() {
    for (size_t i = 0; i < std::size(FatalSignals); ++i)
      ::sigaction(FatalSignals[i], &FPrevious[i], nullptr);
    FatalTempFile[0] = 0;
  }
  TFatalSignalReport(const TFatalSignalReport&) = delete;
  TFatalSignalReport& operator=(const TFatalSignalReport&) = delete;

  static void SetTempFile(const std::string& Name) {
    if (Name.size() < sizeof FatalTempFile)
      std::memcpy(FatalTempFile, Name.c_str(), Name.size() + 1);
  }

private:
  struct sigaction FPrevious[std::size(FatalSignals)];
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
      TWorkerProgress view;
      TCrashSwitch progress(view);
      const TJoinResult result = JoinFiles(std::move(Request), progress);
      for (const std::string& warning : result.Warnings) Emit("warning", warning);
      Emit("result", std::string(result.Cancelled ? "1" : "0") + (result.Kept ? "1" : "0"));
      return 0;
    }
    Request.OutputReserved = TFatalSignalReport::SetTempFile;
    TFatalSignalReport fatal(JoinWorkText(Request));
    TTerminalProgress view;
    TCrashSwitch progress(view);
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
    ApplyCuts(list, options.Cuts);
    decision = DecideJoin(list, options.Choices);
  } catch (const EJoinRefused& E) {
    Report(E.what(), false);
    if (!WorkerMode && options.Choices.Mode == TJoinMode::Copy)
      Fail(
          "Run the command with --convert to convert the files that differ, or with "
          "--recompress.");
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
  // The window's list read the files before this process did: a file changed in between is
  // not the file the user chose.
  if (options.Identities.size() == decision.Request.Files.size())
    decision.Request.Identities = options.Identities;
  if (const int stop = TStopSignals::Received()) return 128 + stop;
  return Join(std::move(decision.Request));
}

}  // namespace rw::cli
