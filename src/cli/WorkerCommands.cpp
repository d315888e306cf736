// The verbs the window runs reelwright-cli with, for the engine's work it keeps out of its own
// process (core/EngineWorker.h). They are not listed in the usage.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "cli/Commands.h"
#include "core/EngineWorker.h"
#include "engine/EngineClient.h"
#include "engine/EngineLoader.h"
#include "recompress/CompressorList.h"

namespace rw::cli {

namespace {

void Emit(const std::string& Word, const std::string& Text = {}) {
  std::fputs(WorkerLine(Word, Text).c_str(), stdout);
}

}  // namespace

int RunPictureWorker(const TArgs&) {
  // One request a line, "picture WIDTH HEIGHT FILE" (the file's first key frame) or
  // "pictureat NUMBER WIDTH HEIGHT FILE" (its picture NUMBER); each is answered with
  // "picture W H" and its rows, W * H * 3 bytes of RGB, or with "none".
  std::string line, word, text;
  while (std::getline(std::cin, line)) {
    ReadWorkerLine(line, word, text);
    int width = 0, height = 0, used = 0;
    unsigned long number = 0;
    const bool at = word == "pictureat";
    const bool valid =
        at ? std::sscanf(text.c_str(), "%lu %d %d %n", &number, &width, &height, &used) >= 3 &&
                 number < 0xFFFFFFFFul
           : word == "picture" &&
                 std::sscanf(text.c_str(), "%d %d %n", &width, &height, &used) >= 2;
    if (!valid || used <= 0) {
      Emit("none");
      std::fflush(stdout);
      continue;
    }
    const std::string file = text.substr(static_cast<size_t>(used));
    if (WorkerCrashAsked("picture")) std::abort();
    TEngineResult<TThumbnail> made;
    try {
      made = at ? MediaEngine().PictureAt(file, static_cast<uint32_t>(number), width, height)
                : MediaEngine().Thumbnail(file, width, height);
    } catch (const std::exception&) {
      made.Error.Code = 1;
    }
    const TThumbnail& t = made.Value;
    if (made.Error.Failed() || t.Width <= 0 || t.Height <= 0 || t.Width > width ||
        t.Height > height || t.Rgb.size() != static_cast<size_t>(t.Width) * t.Height * 3) {
      Emit("none");
    } else {
      Emit("picture", std::to_string(t.Width) + " " + std::to_string(t.Height));
      std::fwrite(t.Rgb.data(), 1, t.Rgb.size(), stdout);
    }
    std::fflush(stdout);
  }
  return 0;
}

int RunEngineWorker(const TArgs&) {
  // Questions and answers on the socket given as standard input and output.
  return ServeEngineRequests([]() -> IMediaEngine& { return MediaEngine(); }, 0, 1);
}

int RunCompressorWorker(const TArgs& Args) {
  // "video" or "audio": the compressors EnumCompressors lists, one "compressor NAME<TAB>SHOWN"
  // a line; "key": the CompressorListingKey. A failure is an "error" line.
  try {
    if (Args.size() == 1 && Args[0] == "key") {
      Emit("key", CompressorListingKey());
      return 0;
    }
    if (Args.size() == 1 && (Args[0] == "video" || Args[0] == "audio")) {
      for (const TCompressorEntry& e : EnumCompressors(Args[0] == "audio"))
        Emit("compressor", e.Name + "\t" + e.DisplayName);
      return 0;
    }
  } catch (const std::exception& E) {
    Emit("error", E.what());
    return 1;
  }
  Emit("error", "compressor-worker takes video, audio or key");
  return 2;
}

}  // namespace rw::cli
