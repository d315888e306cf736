#include "core/ListTexts.h"

#include <charconv>
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
size_t LastDelimiter(const std::string& FileName) {
  return FileName.find_last_of(cPathDelimiters);
}

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
  return WithDecimalSeparator(ToChars(Rate, std::chars_format::fixed, 2), std::string(1, DecimalSeparator));
}

std::string FrameRateText(double FrameRate, const std::string& DecimalSeparator) {
  double whole;
  if (std::modf(FrameRate, &whole) == 0) return ToChars(FrameRate, std::chars_format::fixed, 0);
  std::string text;
  if (std::isfinite(FrameRate) && std::fabs(FrameRate) < 1e7) {
    // Up to seven significant digits, then two decimals.
    const double significant = std::strtod(
        ToChars(FrameRate, std::chars_format::scientific, 6).c_str(), nullptr);
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

std::string FrameRateText(double FrameRate) { return FrameRateText(FrameRate, UserDecimalSeparator()); }

std::string AudioText(const TVideoFileInfo& Info) {
  if (!Info.HasAudio) return "none";
  return std::to_string(Info.AudioSampleRate / 1000) + "KHz" +
         (Info.AudioChannels == 1 ? " Mono" : " Stereo");
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
  const bool keep = FileName[last] != cPathDelimiter || last == 0 ||
                    IsPathDelimiter(FileName[last - 1]);
  return FileName.substr(0, keep ? last + 1 : last);
}

TRowTexts RowTexts(const TVideoFileInfo& Info) {
  return {
      FileNameText(Info.FileName),
      FormatDuration(Info.Duration),
      TypeText(Info),
      std::to_string(Info.Width) + "x" + std::to_string(Info.Height),
      FrameRateText(Info.FrameRate),
      AudioText(Info),
      FolderText(Info.FileName),
  };
}

}  // namespace rw
