// reelwright-cli join: adds the files to a file list, decides as the join options dialog
// would whether they are joined without recompression, and runs the join.
#include <cstdio>
#include <exception>
#include <utility>

#include "core/FileList.h"
#include "core/JoinFacts.h"
#include "core/JoinRequest.h"
#include "cli/Commands.h"
#include "cli/JoinOptions.h"
#include "cli/TerminalProgress.h"
#include "platform/Files.h"

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
      Fail("Unable to add file " + name + ": " + E.what() + ".");
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
    const std::vector<std::string> warnings =
        JoinFiles(std::move(Request), [] { return std::make_unique<TTerminalProgress>(); });
    // Sources that gave less than they declare were joined as far as they could be read.
    for (const std::string& warning : warnings) Fail("Warning: " + warning + ".");
  } catch (const std::exception& E) {
    Fail(std::string("Join fails: ") + E.what());
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
  std::string error = options.Parse(Args);
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
  QuotedNames.push_back(options.OutFileName);

  TNullFileListView view;
  TFileList list(view);
  if (!AddFiles(list, options.Files)) return 1;

  if (const int stop = TStopSignals::Received()) return 128 + stop;

  const TJoinFacts facts = GetJoinFacts(list.Infos());
  bool copy = DefaultJoinWORecomp(facts);
  if (options.Mode == TJoinOptions::TMode::Copy) {
    if (!facts.CanJoinWORecomp) {
      Fail(JoinNotesText(facts));
      return 1;
    }
    copy = true;
  } else if (options.Mode == TJoinOptions::TMode::Recompress) {
    copy = false;
  }

  // A symbolic link is a name the join would replace, even when it points nowhere.
  if (NameExists(options.OutFileName) && !options.Overwrite) {
    Fail("The \"" + options.OutFileName +
         "\" file already exists. \r\nDo you want to overwrite it?");
    Fail("Run the command with --yes to replace it.");
    return 1;
  }
  TJoinRequest request;
  request.Files = list.FileNames();
  request.OutFileName = options.OutFileName;
  request.JoinWORecomp = copy;
  if (copy) {
    request.DropAudio = facts.DropAudio;
    if (facts.DropAudio && !facts.NoAudio) Fail(cNoteWithoutSound);
  } else {
    try {
      std::string note;
      request.Recompression = RecompressionOf(list.Infos(), options.Recompression, &note);
      if (!note.empty()) Fail(note);
    } catch (const ERecompressOption& E) {
      std::fprintf(stderr, "reelwright-cli join: %s\n", TerminalText(E.what()).c_str());
      return 2;
    } catch (const std::exception& E) {
      Fail(std::string("Join fails: ") + E.what());
      return 1;
    }
  }
  if (const int stop = TStopSignals::Received()) return 128 + stop;
  return Join(std::move(request));
}

}  // namespace rw::cli
