#include "cli/RecompressOptions.h"

#include <cstdlib>

#include "platform/Errors.h"
#include "platform/Text.h"
#include "recompress/CompressorList.h"

namespace rw::cli {

namespace {

struct TOptionName {
  const char* Name;
  std::string TRecompressSettings::*Field;
};
constexpr TOptionName OptionNames[] = {
    {"--size", &TRecompressSettings::Size},           {"--rate", &TRecompressSettings::Rate},
    {"--resize", &TRecompressSettings::Resize},       {"--vcodec", &TRecompressSettings::VideoCodec},
    {"--acodec", &TRecompressSettings::AudioCodec},
};

void ParseSize(const std::string& Text, int32_t& Width, int32_t& Height) {
  char* end = nullptr;
  const long w = std::strtol(Text.c_str(), &end, 10);
  const long h = *end == 'x' || *end == 'X' ? std::strtol(end + 1, &end, 10) : 0;
  if (*end || w < 1 || h < 1 || w > 16384 || h > 16384) throw ERecompressOption("invalid frame size '" + Text + "' (WxH)");
  Width = static_cast<int32_t>(w);
  Height = static_cast<int32_t>(h);
}

// The compressor named on the command line (its name or its display name), none for "none";
// otherwise the proposed one.
std::shared_ptr<TCompressorFilter> ChooseCompressor(bool Audio, const std::string& Given) {
  std::vector<std::string> names;
  TMonikerList monikers;
  ListJoinCompressors(Audio, names, monikers);
  int index = -1;
  if (Given.empty()) {
    index = Audio ? SelectDefaultAudioCompressor(names, -1) : SelectDefaultVideoCompressor(names, -1);
  } else if (LowerASCII(Given) != "none") {
    index = FindCompressor(names, monikers, Given);
    if (index < 0)
      throw ERecompressOption(std::string("unknown ") + (Audio ? "audio" : "video") + " compressor '" + Given +
                              "' (see reelwright-cli compressors)");
  }
  return GetCompressorFilter(monikers, index);
}

}  // namespace

bool TRecompressSettings::Any() const {
  return !Size.empty() || !Rate.empty() || !Resize.empty() || !VideoCodec.empty() || !AudioCodec.empty();
}

bool ParseRecompressOption(const TArgs& Args, size_t& I, TRecompressSettings& Settings, std::string& Error) {
  for (const TOptionName& o : OptionNames) {
    if (Args[I] != o.Name) continue;
    if (I + 1 >= Args.size() || Args[I + 1].empty())
      Error = std::string("option ") + o.Name + " needs a value";
    else
      Settings.*o.Field = Args[++I];
    return true;
  }
  return false;
}

void RecompressUsage(FILE* Out) {
  std::fprintf(Out,
               "Recompression options (each implies --recompress; what is not given is what the\n"
               "join options propose: the smallest frame size rounded down to a multiple of 8,\n"
               "the lowest frame rate, letterbox or no resize, the preferred compressors):\n"
               "  --size WxH        output frame size\n"
               "  --rate FPS        output frame rate\n"
               "  --resize METHOD   letterbox, crop, stretch or none\n"
               "  --vcodec NAME     video compressor (reelwright-cli compressors), or none\n"
               "  --acodec NAME     audio compressor, or none for PCM sound\n");
}

TRecompression RecompressionOf(const TFileInfoList& Infos, const TRecompressSettings& Settings) {
  const TJoinDefaults d = ComputeJoinDefaults(Infos, FillFrameRates(Infos));
  TRecompression r;
  r.Width = d.Width;
  r.Height = d.Height;
  if (!Settings.Size.empty()) ParseSize(Settings.Size, r.Width, r.Height);
  const std::string rate = Settings.Rate.empty() ? d.FrameRates[static_cast<size_t>(d.FrameRateIndex)] : Settings.Rate;
  try {
    r.FrameRate = ParseFrameRate(rate);
  } catch (const Exception&) {
    r.FrameRate = 0;
  }
  if (!(r.FrameRate > 0 && r.FrameRate <= 1000)) throw ERecompressOption("invalid frame rate '" + rate + "'");
  if (Settings.Resize.empty())
    ResizeMethodOfItem(d.ResizeIndex, r.ResizeMethod);
  else if (!ResizeMethodOfWord(Settings.Resize, r.ResizeMethod))
    throw ERecompressOption("unknown resize method '" + Settings.Resize + "' (letterbox, crop, stretch or none)");
  r.VideoCompressor = ChooseCompressor(false, Settings.VideoCodec);
  r.AudioCompressor = ChooseCompressor(true, Settings.AudioCodec);
  return r;
}

}  // namespace rw::cli
