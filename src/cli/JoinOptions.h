#pragma once
// The options of `reelwright-cli join`, parsed into one small record so further options
// (the recompression settings) can be added beside the existing ones.
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/RecompressOptions.h"

namespace rw::cli {

struct TJoinOptions {
  // How "Join without recompression" is set: as the join options dialog proposes it, checked
  // (--copy) or unchecked (--recompress).
  enum class TMode { Default, Copy, Recompress };

  std::string OutFileName;
  bool Overwrite = false;  // --yes
  TMode Mode = TMode::Default;
  bool Help = false;
  std::vector<std::string> Files;
  // --size, --rate, --resize, --vcodec, --acodec; any of them implies --recompress.
  TRecompressSettings Recompression;

  // Reads the arguments after the verb; returns the text of a usage error, or "".
  std::string Parse(const TArgs& Args);
};

void JoinUsage(FILE* Out);

}  // namespace rw::cli
