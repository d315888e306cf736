// reelwright-cli join: adds the files to a file list, lets the core's join decision take the
// options as the join options dialog takes its settings, and runs the join.
#include <cstdio>
#include <exception>
#include <utility>

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

void Fail(const std::string& Message) {
  std::fprintf(stderr, "%s\n", TerminalText(Message, QuotedNames).c_str());
}

// Adds every file in order; false (after the message) when one cannot be added.
bool AddFiles(TFileList& List, const std::vector<std::string>& Files) {
  for (const std::string& name : Files) {
    try {
      List.AddFile(name);
    } catch (const std::exception& E) {
      Fail(UnableToAddText(name, E.what()));
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
    TTerminalProgress progress;
    const TJoinResult result = JoinFiles(std::move(Request), progress);
    // Sources that gave less than they declare were joined as far as they could be read.
    for (const std::string& warning : result.Warnings) Fail("Warning: " + warning + ".");
  } catch (const std::exception& E) {
    Fail(JoinFailsText(E.what()));
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
    Fail(E.what());
    if (options.Choices.Mode == TJoinMode::Copy)
      Fail(
          "Run the command with --convert to convert the files that differ, or with "
          "--recompress.");
    return 1;
  } catch (const EOutputExists& E) {
    // Nothing is asked on the command line: it says how to answer yes.
    Fail(OverwriteQuestionLine(E.FileName()));
    Fail("Run the command with --yes to replace it.");
    return 1;
  } catch (const EJoinChoice& E) {
    std::fprintf(stderr, "reelwright-cli join: %s\n", TerminalText(E.what()).c_str());
    return 2;
  } catch (const std::exception& E) {
    Fail(JoinFailsText(E.what()));
    return 1;
  }
  for (const std::string& note : decision.Notes) Fail(note);
  if (const int stop = TStopSignals::Received()) return 128 + stop;
  return Join(std::move(decision.Request));
}

}  // namespace rw::cli
