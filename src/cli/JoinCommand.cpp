// reelwright-cli join: adds the files to a file list, decides as the join options dialog
// would whether they are joined without recompression, and runs the join.
#include <cstdio>
#include <exception>

#include "core/FileList.h"
#include "core/JoinFacts.h"
#include "cli/Commands.h"
#include "cli/JoinOptions.h"
#include "cli/TerminalProgress.h"
#include "platform/Files.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace rw::cli {

namespace {

constexpr int ExitInterrupted = 130;

void Fail(const std::string& Message) { std::fprintf(stderr, "%s\n", Message.c_str()); }

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

int JoinWithoutRecompression(const TJoinOptions& Options, const TFileList& List, bool DropAudio) {
  TAVIFileJoiner joiner([] { return std::make_unique<TTerminalProgress>(); });
  joiner.FFiles = List.FileNames();
  joiner.FOutFileName = Options.OutFileName;
  joiner.FDropAudio = DropAudio;
  try {
    joiner.Execute();
  } catch (const std::exception& E) {
    Fail(std::string("Join fails: ") + E.what());
    return 1;
  }
  for (const std::string& warning : joiner.Warnings()) Fail("Warning: " + warning + ".");
  return TTerminalProgress::Interrupted() ? ExitInterrupted : 0;
}

int JoinWithRecompression(const TJoinOptions& Options, const TFileList& List) {
  TTerminalProgress progress;
  try {
    RunRecompressJoin(List.Infos(), List.FileNames(), Options.OutFileName, Options.Recompression, progress);
  } catch (const ERecompressOption& E) {
    std::fprintf(stderr, "reelwright-cli join: %s\n", E.what());
    return 2;
  } catch (const std::exception& E) {
    Fail(std::string("Join fails: ") + E.what());
    return 1;
  }
  return TTerminalProgress::Interrupted() ? ExitInterrupted : 0;
}

}  // namespace

int RunJoin(const TArgs& Args) {
  TJoinOptions options;
  std::string error = options.Parse(Args);
  if (!error.empty()) {
    std::fprintf(stderr, "reelwright-cli join: %s\n", error.c_str());
    JoinUsage(stderr);
    return 2;
  }
  if (options.Help) {
    JoinUsage(stdout);
    return 0;
  }

  TNullFileListView view;
  TFileList list(view);
  if (!AddFiles(list, options.Files)) return 1;

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

  if (FileExists(options.OutFileName) && !options.Overwrite) {
    Fail("The \"" + options.OutFileName +
         "\" file already exists. \r\nDo you want to overwrite it?");
    return 1;
  }
  if (!copy) return JoinWithRecompression(options, list);
  if (facts.DropAudio && !facts.NoAudio) Fail(cNoteWithoutSound);
  return JoinWithoutRecompression(options, list, facts.DropAudio);
}

}  // namespace rw::cli
