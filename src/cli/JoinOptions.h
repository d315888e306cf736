#pragma once
// The options of `reelwright-cli join`: one table of them (name, value, help) that the parser,
// the usage text and the project expansion all read, and the choices they make.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/CutText.h"
#include "core/JoinDecision.h"
#include "platform/Files.h"

namespace rw::cli {

// The names of the options that take the next argument as their value.
std::set<std::string> JoinValueOptions();

struct TJoinOptions {
  bool Help = false;
  // Run for the window: progress, warnings, the result and errors go to standard output as
  // worker lines (core/EngineWorker.h), and nothing is asked.
  bool Worker = false;
  // The files as the window's list described them (--identity), in the files' order.
  std::vector<TFileIdentity> Identities;
  std::vector<std::string> Files;
  // The files' cuts (--cut), in the order given.
  std::vector<TCutText> Cuts;
  // The output, --yes, --copy or --recompress, and the recompression settings.
  TJoinChoices Choices;

  // Reads the arguments after the verb; returns the text of a usage error, or "".
  std::string Parse(const TArgs& Args);
};

void JoinUsage(FILE* Out);

}  // namespace rw::cli
