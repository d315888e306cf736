#include "cli/RecompressOptions.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Errors.h"
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

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char C) { return std::tolower(C); });
  return Text;
}

// The resize methods by name, in the order the join options offer them.
TResizeMethod ResizeMethodOf(const std::string& Name) {
  static const std::pair<const char*, TResizeMethod> Methods[] = {
      {"letterbox", rmLetterbox}, {"crop", rmCrop}, {"stretch", rmStretch}, {"none", rmNoResize}};
  for (const auto& [name, method] : Methods)
    if (Lower(Name) == name) return method;
  throw ERecompressOption("unknown resize method '" + Name + "' (letterbox, crop, stretch or none)");
}

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
  if (Audio) {
    names.push_back("No-compressing");
    monikers.push_back(nullptr);
  }
  EnumCompressors(Audio, &names, &monikers);
  int index = -1;
  if (Given.empty()) {
    index = Audio ? SelectDefaultAudioCompressor(names, -1) : SelectDefaultVideoCompressor(names, -1);
  } else if (Lower(Given) != "none") {
    for (size_t i = 0; i < names.size() && index < 0; ++i)
      if ((monikers[i] && monikers[i]->EncoderName() == Given) || Lower(names[i]) == Lower(Given))
        index = static_cast<int>(i);
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

void RunRecompressJoin(const TFileInfoList& Infos, const std::vector<std::string>& Files,
                       const std::string& OutFileName, const TRecompressSettings& Settings, IProgress& Progress) {
  const TJoinDefaults d = ComputeJoinDefaults(Infos, FillFrameRates(Infos));
  TDSVideoJoiner joiner;
  joiner.FFiles = Files;
  joiner.FOutFileName = OutFileName;
  joiner.FWidth = d.Width;
  joiner.FHeight = d.Height;
  if (!Settings.Size.empty()) ParseSize(Settings.Size, joiner.FWidth, joiner.FHeight);
  const std::string rate = Settings.Rate.empty() ? d.FrameRates[static_cast<size_t>(d.FrameRateIndex)] : Settings.Rate;
  try {
    joiner.FFrameRate = ParseFrameRate(rate);
  } catch (const Exception&) {
    joiner.FFrameRate = 0;
  }
  if (!(joiner.FFrameRate > 0 && joiner.FFrameRate <= 1000)) throw ERecompressOption("invalid frame rate '" + rate + "'");
  if (Settings.Resize.empty())
    ResizeMethodOfItem(d.ResizeIndex, joiner.FResizeMethod);
  else
    joiner.FResizeMethod = ResizeMethodOf(Settings.Resize);
  joiner.FVideoCompressor = ChooseCompressor(false, Settings.VideoCodec);
  joiner.FAudioCompressor = ChooseCompressor(true, Settings.AudioCodec);

  Progress.SetCaption("Joining...");
  Progress.SetText("The selected files are being joined. Please wait...");
  Progress.Show();
  joiner.OnProgress = [&Progress](TDSVideoJoiner&, bool& Cancel, double Percent) {
    Progress.SetProgress(Percent);
    Cancel = Progress.IsCancelled();
  };
  try {
    joiner.Join();
  } catch (...) {
    Progress.Hide();
    throw;
  }
  Progress.Hide();
}

}  // namespace rw::cli
