#include "core/ListTexts.h"

#include <charconv>
#include <cstdio>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "media/RiffFormat.h"

namespace rw {

namespace {

#ifdef _WIN32
constexpr const char* cPathDelimiters = "\\:";
constexpr char cPathDelimiter = '\\';
#else
constexpr const char* cPathDelimiters = "/";
constexpr char cPathDelimiter = '/';
#endif

std::string TwoDigits(int64_t Value) {
  std::string text = std::to_string(Value);
  return text.size() < 2 ? "0" + text : text;
}

std::string ToChars(double Value, std::chars_format Format, int Precision) {
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, Value, Format, Precision);
  return std::string(buf, result.ptr);
}

bool IsPathDelimiter(char C) {
  for (const char* d = cPathDelimiters; *d; ++d)
    if (*d == C) return true;
  return false;
}

// Index of the last delimiter, or npos.
size_t LastDelimiter(const std::string& FileName) { return FileName.find_last_of(cPathDelimiters); }

// Text with its decimal point replaced by DecimalSeparator.
std::string WithDecimalSeparator(std::string Text, const std::string& DecimalSeparator) {
  const size_t point = Text.find('.');
  if (point != std::string::npos) Text.replace(point, 1, DecimalSeparator);
  return Text;
}

}  // namespace

std::string FormatDuration(double Seconds) {
  double rounded = std::nearbyint(Seconds);  // halves to even under the default rounding
  // Descriptions hold no negative durations; out-of-range values are clamped so the integer
  // conversion stays defined.
  if (!(rounded > 0)) rounded = 0;
  if (rounded > 9.0e18) rounded = 9.0e18;
  const auto s = static_cast<int64_t>(rounded);
  const int64_t hh = s / 3600;
  std::string text = TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
  return hh == 0 ? text : TwoDigits(hh) + ":" + text;
}

std::string FormatFrameRate(double Rate, char DecimalSeparator) {
  return WithDecimalSeparator(ToChars(Rate, std::chars_format::fixed, 2),
                              std::string(1, DecimalSeparator));
}

std::string FrameRateText(double FrameRate, const std::string& DecimalSeparator) {
  double whole;
  if (std::modf(FrameRate, &whole) == 0) return ToChars(FrameRate, std::chars_format::fixed, 0);
  std::string text;
  if (std::isfinite(FrameRate) && std::fabs(FrameRate) < 1e7) {
    // Up to seven significant digits, then two decimals.
    // Read back with from_chars: strtod would stop at the point under a comma-decimal locale.
    const std::string rounded = ToChars(FrameRate, std::chars_format::scientific, 6);
    double significant = FrameRate;
    std::from_chars(rounded.data(), rounded.data() + rounded.size(), significant);
    text = ToChars(significant, std::chars_format::fixed, 2);
  } else {
    text = ToChars(FrameRate, std::chars_format::scientific, 6);
    for (char& c : text)
      if (c == 'e') c = 'E';
  }
  return WithDecimalSeparator(text, DecimalSeparator);
}

std::string UserDecimalSeparator() {
  const std::lconv* conv = std::localeconv();
  return conv && conv->decimal_point && *conv->decimal_point ? conv->decimal_point : ".";
}

std::string FrameRateText(double FrameRate) {
  return FrameRateText(FrameRate, UserDecimalSeparator());
}

std::string AudioText(const TVideoFileInfo& Info) {
  if (!Info.HasAudio) return "none";
  const std::string rate = std::to_string(Info.AudioSampleRate / 1000) + "KHz";
  if (Info.AudioChannels == 1) return rate + " Mono";
  if (Info.AudioChannels == 2) return rate + " Stereo";
  return rate + " " + std::to_string(Info.AudioChannels) + "ch";
}

std::string TypeText(const TVideoFileInfo& Info) {
  if (Info.TypeName == "AVI") return Info.TypeName + ":" + FourCCToStr(Info.VideoFourCC);
  return Info.TypeName;
}

std::string FileNameText(const std::string& FileName) {
  const size_t last = LastDelimiter(FileName);
  return last == std::string::npos ? FileName : FileName.substr(last + 1);
}

std::string FolderText(const std::string& FileName) {
  const size_t last = LastDelimiter(FileName);
  if (last == std::string::npos) return {};
  // A path delimiter goes with the folder only at the start or after another delimiter
  // (the root, "//"); a drive delimiter always does.
  const bool keep =
      FileName[last] != cPathDelimiter || last == 0 || IsPathDelimiter(FileName[last - 1]);
  return FileName.substr(0, keep ? last + 1 : last);
}

double ListPictureRate(const TVideoFileInfo& Info) {
  return PlausibleFrameRate(Info.FrameRate) ? Info.FrameRate : StandInFrameRate;
}

uint32_t ListPictureCount(const TVideoFileInfo& Info) {
  // The exact duration is the count over this rate: the product gives the count back.
  const double count = std::nearbyint(Info.ExactDuration * ListPictureRate(Info));
  if (!(count > 0)) return 0;
  return count >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(count);
}

double KeptSeconds(const TVideoFileInfo& Info, const TPictureCut& Cut) {
  if (Cut.Whole()) return Info.ExactDuration;
  return Cut.KeptOf(ListPictureCount(Info)) / ListPictureRate(Info);
}

std::string PictureTimeText(double Seconds) {
  // Up, so that the time falls within the picture that starts at Seconds, not before it.
  double ms = std::ceil(Seconds * 1000 - 1e-3);
  if (!(ms > 0)) ms = 0;
  if (ms > 9.0e15) ms = 9.0e15;
  const auto whole = static_cast<int64_t>(ms);
  std::string milli = std::to_string(whole % 1000);
  milli.insert(0, 3 - milli.size(), '0');
  return FormatDuration(static_cast<double>(whole / 1000)) + "." + milli;
}

std::string CutText(const TVideoFileInfo& Info, const TPictureCut& Cut) {
  if (Cut.Whole()) return "";
  const double rate = ListPictureRate(Info);
  return PictureTimeText(Cut.In / rate) + "-" +
         (Cut.Out == TPictureCut::ToEnd ? std::string("end")
                                        : PictureTimeText((Cut.Out + 1.0) / rate));
}

TRowTexts RowTexts(const TVideoFileInfo& Info, const TPictureCut& Cut) {
  return {
      FileNameText(Info.FileName),
      Cut.Whole() ? FormatDuration(Info.Duration) : FormatDuration(KeptSeconds(Info, Cut)),
      TypeText(Info),
      std::to_string(Info.Width) + "x" + std::to_string(Info.Height),
      FrameRateText(Info.FrameRate),
      AudioText(Info),
      FolderText(Info.FileName),
      CutText(Info, Cut),
  };
}

std::string ShortRateText(double Rate, const std::string& DecimalSeparator) {
  if (!std::isfinite(Rate) || std::fabs(Rate) >= 1e9) return FrameRateText(Rate, DecimalSeparator);
  std::string text = ToChars(Rate, std::chars_format::fixed, 3);
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return WithDecimalSeparator(text, DecimalSeparator);
}

namespace {

std::string ChannelsText(unsigned Channels) {
  if (Channels == 1) return "Mono";
  if (Channels == 2) return "Stereo";
  if (Channels == 6) return "5.1";
  if (Channels == 8) return "7.1";
  return std::to_string(Channels) + " channels";
}

std::string CodecText(const TVideoFileInfo& Info) {
  std::string code = FourCCToStr(Info.VideoFourCC);
  while (!code.empty() && (code.back() == ' ' || code.back() == '\0')) code.pop_back();
  if (Info.TypeName != "AVI") return Info.TypeName + (code.empty() ? "" : ":" + code);
  return code.empty() ? "no codec code" : code;
}

// "A; the first file has B".
std::string Against(const std::string& Row, const std::string& First) {
  return Row + "; the first file has " + First;
}

// The codec of the sound: the sub-format's for an extensible format.
uint16_t SoundTag(const TVideoFileInfo& Info) {
  return Info.AudioCodecTag != 0 ? Info.AudioCodecTag : Info.AudioFormatTag;
}

// The sound in plain words: "PCM sound, 48 kHz, 16-bit", "MP3, 44.1 kHz" (Sound false), with
// the channels when WithChannels.
std::string SoundWords(const TVideoFileInfo& Info, bool Sound, bool WithChannels) {
  std::string text = SoundCodecName(SoundTag(Info)) + (Sound ? " sound" : "");
  if (Info.AudioSampleRate != 0)
    text += ", " + ShortRateText(Info.AudioSampleRate / 1000.0, UserDecimalSeparator()) + " kHz";
  if (IsSampleSound(SoundTag(Info)) && Info.AudioBitsPerSample != 0)
    text += ", " + std::to_string(Info.AudioBitsPerSample) + "-bit";
  if (WithChannels) text += ", " + ChannelsText(Info.AudioChannels);
  return text;
}

// Named by the same comparison that highlights the row, in the words a listener uses.
std::string SoundDifference(const TVideoFileInfo& Row, const TVideoFileInfo& First) {
  if (SameAudioFormat(Row, First)) return "";
  if (!Row.HasAudio) return Against("No sound", SoundWords(First, true, false));
  if (!First.HasAudio) return Against(SoundWords(Row, true, false), "none");
  const bool bits = IsSampleSound(SoundTag(Row)) || IsSampleSound(SoundTag(First));
  if (SoundTag(Row) == SoundTag(First) && Row.AudioSampleRate == First.AudioSampleRate &&
      Row.AudioChannels == First.AudioChannels &&
      (!bits || Row.AudioBitsPerSample == First.AudioBitsPerSample))
    // The same sound, stored in other blocks or on another clock.
    return Against("Differently stored sound", "its own");
  const bool channels = Row.AudioChannels != First.AudioChannels;
  return Against(SoundWords(Row, true, channels), SoundWords(First, false, channels));
}

}  // namespace

std::string DifferenceText(const TVideoFileInfo& Row, const TVideoFileInfo& First, int Column) {
  const std::string separator = UserDecimalSeparator();
  switch (Column) {
    case colType:
      if (Row.TypeName == First.TypeName && Row.VideoFourCC == First.VideoFourCC) return "";
      return Against("Codec " + CodecText(Row), CodecText(First));
    case colFrameSize:
      if (Row.Width == First.Width && Row.Height == First.Height) return "";
      return Against(std::to_string(Row.Width) + "x" + std::to_string(Row.Height),
                     std::to_string(First.Width) + "x" + std::to_string(First.Height));
    case colFrameRate:
      if (SameRate(Row.FrameRate, First.FrameRate)) return "";
      return Against(ShortRateText(Row.FrameRate, separator) + " fps",
                     ShortRateText(First.FrameRate, separator));
    case colAudio:
      return SoundDifference(Row, First);
    default:
      return "";
  }
}

std::string JoinProblemText(const TVideoFileInfo& Info) {
  if (Info.HasIndex) return "";
  return "The file has no index (a recording that was cut short?): it is joined as far as its "
         "data can be read";
}

}  // namespace rw
