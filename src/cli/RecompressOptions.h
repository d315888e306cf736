#pragma once
// The recompression options of `reelwright-cli join` (--size, --rate, --resize, --vcodec,
// --acodec, --vopt, --aopt) and the settings they make. Whatever is not given is what the join options dialog
// proposes for the same files.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/JoinDefaults.h"
#include "core/JoinRequest.h"
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
  // --vopt and --aopt KEY=VALUE, in the order given: the compressor's own options.
  std::vector<std::string> VideoOptions;
  std::vector<std::string> AudioOptions;
  bool Any() const;
};

// Takes Args[I] (and its value, moving I on) when it is a recompression option; false when it
// is not one. A missing value sets Error.
bool ParseRecompressOption(const TArgs& Args, size_t& I, TRecompressSettings& Settings, std::string& Error);
void RecompressUsage(FILE* Out);

// The settings of a recompressing join of the files described by Infos (in join order): the
// options given, the proposals for the rest. A bad option value raises ERecompressOption, and so
// does a compressor option that the chosen compressor does not have or refuses. A
// frame size the video compressor cannot hold is fitted to one it can; Note then tells how.
TRecompression RecompressionOf(const TFileInfoList& Infos, const TRecompressSettings& Settings,
                               std::string* Note = nullptr);

}  // namespace rw::cli
