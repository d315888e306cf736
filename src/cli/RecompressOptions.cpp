#include "cli/RecompressOptions.h"

#include <cstdlib>

#include "platform/Errors.h"
#include "platform/Text.h"
#include "recompress/CompressorList.h"
#include "recompress/RecompressJoiner.h"

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
  // A compressor named by its encoder's name is tried alone: trying every one to list them
  // takes seconds.
  if (!Given.empty() && LowerASCII(Given) != "none")
    if (std::shared_ptr<TCompressorFilter> named = ListedCompressor(Audio, Given)) return named;
  const TCompressorList list = ListJoinCompressors(Audio);
  int index = -1;
  if (Given.empty()) {
    const std::vector<std::string> names = DisplayNames(list);
    index = Audio ? SelectDefaultAudioCompressor(names, -1) : SelectDefaultVideoCompressor(names, -1);
  } else if (LowerASCII(Given) != "none") {
    index = FindCompressor(list, Given);
    if (index < 0)
      throw ERecompressOption(std::string("unknown ") + (Audio ? "audio" : "video") + " compressor '" + Given +
                              "' (see reelwright-cli compressors)");
  }
  return GetCompressorFilter(list, index);
}

// Sets the KEY=VALUE options on the compressor, as its options dialog would; one it does not
// have or refuses is a usage error that says why.
void SetCompressorOptions(const char* Option, TCompressorFilter* Compressor, const std::vector<std::string>& Options) {
  for (const std::string& o : Options) {
    if (!Compressor) throw ERecompressOption(std::string(Option) + " " + o + ": no compressor takes it (uncompressed)");
    const size_t eq = o.find('=');
    try {
      Compressor->SetOption(o.substr(0, eq), o.substr(eq + 1));
    } catch (const Exception& E) {
      throw ERecompressOption(std::string(Option) + " " + o + ": " + E.what());
    }
  }
}

}  // namespace

bool TRecompressSettings::Any() const {
  return !Size.empty() || !Rate.empty() || !Resize.empty() || !VideoCodec.empty() || !AudioCodec.empty() ||
         !VideoOptions.empty() || !AudioOptions.empty();
}

bool ParseRecompressOption(const TArgs& Args, size_t& I, TRecompressSettings& Settings, std::string& Error) {
  for (const auto& [name, list] : {std::pair{"--vopt", &Settings.VideoOptions}, std::pair{"--aopt", &Settings.AudioOptions}}) {
    if (Args[I] != name) continue;
    const std::string value = I + 1 < Args.size() ? Args[I + 1] : "";
    if (value.find('=') == std::string::npos || value.front() == '=')
      Error = std::string("option ") + name + " needs KEY=VALUE";
    else
      list->push_back(Args[++I]);
    return true;
  }
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
               "  --acodec NAME     audio compressor, or none for PCM sound\n"
               "  --vopt KEY=VALUE  an option of the video compressor (repeatable): its own\n"
               "                    options (bit rate b=1500k, crf=20, preset=slow...) or\n"
               "                    qscale (constant quantizer or quality)\n"
               "  --aopt KEY=VALUE  an option of the audio compressor (b=256k, qscale=2...)\n");
}

TRecompression RecompressionOf(const TFileInfoList& Infos, const TRecompressSettings& Settings, std::string* Note) {
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
  const std::optional<TResizeMethod> method = Settings.Resize.empty()
                                                 ? ResizeMethodOfItem(d.ResizeIndex)
                                                 : ResizeMethodOfWord(Settings.Resize);
  if (!method)
    throw ERecompressOption("unknown resize method '" + Settings.Resize +
                            "' (letterbox, crop, stretch or none)");
  r.ResizeMethod = *method;
  r.VideoCompressor = ChooseCompressor(false, Settings.VideoCodec);
  r.AudioCompressor = ChooseCompressor(true, Settings.AudioCodec);
  SetCompressorOptions("--vopt", r.VideoCompressor.get(), Settings.VideoOptions);
  SetCompressorOptions("--aopt", r.AudioCompressor.get(), Settings.AudioOptions);
  const TFittedFrame fit = FitFrameSize(r.VideoCompressor.get(), r.Width, r.Height);
  r.Width = fit.Width;
  r.Height = fit.Height;
  if (Note) *Note = fit.Note;
  return r;
}

}  // namespace rw::cli
