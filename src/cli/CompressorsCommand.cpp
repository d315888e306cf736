// reelwright-cli compressors: the video and audio compressors as the join options list them,
// each with the name that --vcodec and --acodec take; '*' marks the one proposed by default.
#include <cstdio>
#include <string>
#include <vector>

#include "core/JoinDefaults.h"
#include "cli/Commands.h"
#include "recompress/CompressorList.h"

namespace rw::cli {

namespace {

void PrintList(const char* Title, const TCompressorList& List, int Proposed) {
  std::printf("%s\n", Title);
  for (size_t i = 0; i < List.size(); ++i) {
    const std::string id = List[i].Name.empty() ? "none" : List[i].Name;
    std::printf("%c %-20s %s\n", static_cast<int>(i) == Proposed ? '*' : ' ', id.c_str(),
                List[i].DisplayName.c_str());
  }
}

}  // namespace

int RunCompressors(const TArgs& Args) {
  if (!Args.empty()) {
    if (Args[0] == "--help" || Args[0] == "-h") {
      std::printf(
          "Usage: reelwright-cli compressors\n"
          "Lists the video and audio compressors of a recompressing join. The first\n"
          "column is the name --vcodec and --acodec take; '*' marks the default.\n");
      return 0;
    }
    std::fprintf(stderr, "reelwright-cli compressors: unexpected argument '%s'\n", Args[0].c_str());
    return 2;
  }
  const TCompressorList video = ListJoinCompressors(false), audio = ListJoinCompressors(true);
  PrintList("Video compressors:", video, SelectDefaultVideoCompressor(DisplayNames(video), -1));
  std::printf("\n");
  PrintList("Audio compressors:", audio, SelectDefaultAudioCompressor(DisplayNames(audio), -1));
  return 0;
}

}  // namespace rw::cli
