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

void PrintList(const char* Title, const std::vector<std::string>& Names, const TMonikerList& Monikers, int Proposed) {
  std::printf("%s\n", Title);
  for (size_t i = 0; i < Names.size(); ++i) {
    const std::string id = Monikers[i] ? Monikers[i]->EncoderName() : "none";
    std::printf("%c %-20s %s\n", static_cast<int>(i) == Proposed ? '*' : ' ', id.c_str(), Names[i].c_str());
  }
}

}  // namespace

int RunCompressors(const TArgs& Args) {
  if (!Args.empty()) {
    if (Args[0] == "--help" || Args[0] == "-h") {
      std::printf("Usage: reelwright-cli compressors\n"
                  "Lists the video and audio compressors of a recompressing join. The first\n"
                  "column is the name --vcodec and --acodec take; '*' marks the default.\n");
      return 0;
    }
    std::fprintf(stderr, "reelwright-cli compressors: unexpected argument '%s'\n", Args[0].c_str());
    return 2;
  }
  std::vector<std::string> videoNames, audioNames;
  TMonikerList video, audio;
  ListJoinCompressors(false, videoNames, video);
  ListJoinCompressors(true, audioNames, audio);
  PrintList("Video compressors:", videoNames, video, SelectDefaultVideoCompressor(videoNames, -1));
  std::printf("\n");
  PrintList("Audio compressors:", audioNames, audio, SelectDefaultAudioCompressor(audioNames, -1));
  return 0;
}

}  // namespace rw::cli
