#pragma once
// The recompressing join of `reelwright-cli join`: its options (--size, --rate, --resize,
// --vcodec, --acodec) and the run. Whatever is not given is what the join options dialog
// proposes for the same files.
#include <cstdio>
#include <string>
#include <vector>

#include "core/JoinDefaults.h"
#include "join/JoinProgress.h"
#include "cli/Commands.h"
#include "platform/Errors.h"

namespace rw::cli {

// A recompression option whose value is not understood.
class ERecompressOption : public Exception {
public:
  using Exception::Exception;
};

// The recompression options as given; empty texts take the proposed defaults.
struct TRecompressSettings {
  std::string Size;        // WxH
  std::string Rate;        // frames per second
  std::string Resize;      // letterbox, crop, stretch, none
  std::string VideoCodec;  // a compressor's name (see `compressors`) or none
  std::string AudioCodec;
  bool Any() const;
};

// Takes Args[I] (and its value, moving I on) when it is a recompression option; false when it
// is not one. A missing value sets Error.
bool ParseRecompressOption(const TArgs& Args, size_t& I, TRecompressSettings& Settings, std::string& Error);
void RecompressUsage(FILE* Out);

// Joins Files (described by Infos, in the same order) into OutFileName by recompression,
// reporting to Progress. A bad option value raises ERecompressOption before anything is
// written; a failed join raises its error.
void RunRecompressJoin(const TFileInfoList& Infos, const std::vector<std::string>& Files,
                       const std::string& OutFileName, const TRecompressSettings& Settings, IProgress& Progress);

}  // namespace rw::cli
