#include "core/JoinDefaults.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "core/ListTexts.h"
#include "media/VideoFileInfo.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "recompress/RecompressJoiner.h"

namespace rw {

namespace {

// The last of Names holding the first of Keys that any name holds.
int SelectByPreference(const std::vector<std::string>& Names, const std::vector<std::string>& Keys,
                       int Current) {
  std::vector<int> last(Keys.size(), -1);
  for (size_t i = 0; i < Names.size(); ++i) {
    const std::string name = LowerASCII(Names[i]);
    for (size_t k = 0; k < Keys.size(); ++k)
      if (name.find(Keys[k]) != std::string::npos) last[k] = static_cast<int>(i);
  }
  for (int index : last)
    if (index >= 0) return index;
  return Current;
}

}  // namespace

int AddFrameRate(std::vector<std::string>& List, double Rate, char DecimalSeparator) {
  const std::string text = FormatFrameRate(Rate, DecimalSeparator);
  auto at = std::find(List.begin(), List.end(), text);
  if (at != List.end()) return static_cast<int>(at - List.begin());
  List.push_back(text);
  return static_cast<int>(List.size()) - 1;
}

std::vector<std::string> FillFrameRates(const TFileInfoList& Files, char DecimalSeparator) {
  std::vector<std::string> rates;
  // A header rate no pictures are made at is offered neither: the join retimes those pictures.
  for (const TVideoFileInfo* f : Files)
    if (PlausibleFrameRate(f->FrameRate)) AddFrameRate(rates, f->FrameRate, DecimalSeparator);
  for (double r : {24.0, 25.0, 29.97}) AddFrameRate(rates, r, DecimalSeparator);
  std::sort(rates.begin(), rates.end());
  return rates;
}

double ParseFrameRate(const std::string& Text, char DecimalSeparator) {
  std::string text = Text;
  std::replace(text.begin(), text.end(), DecimalSeparator, '.');
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  if (first == std::string::npos)
    throw Exception("'" + Text + "' is not a valid floating point value");
  text = text.substr(first, last - first + 1);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    throw Exception("'" + Text + "' is not a valid floating point value");
  return value;
}

TJoinDefaults ComputeJoinDefaults(const TFileInfoList& Files, std::vector<std::string> FrameRates,
                                  char DecimalSeparator) {
  TJoinDefaults d;
  if (Files.empty()) {
    d.FrameRates = std::move(FrameRates);
    d.FrameRateIndex = AddFrameRate(d.FrameRates, StandInFrameRate, DecimalSeparator);
    return d;
  }
  uint32_t minWidth = 100000, minHeight = 100000;
  std::optional<double> lowest;
  for (const TVideoFileInfo* f : Files) {
    minWidth = std::min<uint32_t>(minWidth, f->Width);
    minHeight = std::min<uint32_t>(minHeight, f->Height);
    // An entry without a known rate, or with one no pictures are made at, proposes none; with
    // none known the stand-in rate stays.
    if (PlausibleFrameRate(f->FrameRate) && (!lowest || f->FrameRate < *lowest))
      lowest = f->FrameRate;
  }
  d.Width = static_cast<int32_t>(minWidth / 8 * 8);
  d.Height = static_cast<int32_t>(minHeight / 8 * 8);
  int64_t largest = 0;
  for (const TVideoFileInfo* f : Files)
    largest = std::max({largest, static_cast<int64_t>(f->Width) - d.Width,
                        static_cast<int64_t>(f->Height) - d.Height});
  d.FrameRates = std::move(FrameRates);
  d.FrameRateIndex =
      AddFrameRate(d.FrameRates, lowest.value_or(StandInFrameRate), DecimalSeparator);
  d.ResizeIndex = largest >= 8 ? riLetterbox : riNoResize;
  return d;
}

int SelectDefaultVideoCompressor(const std::vector<std::string>& Names, int Current) {
  return SelectByPreference(Names, {"divx", "xvid"}, Current);
}

int SelectDefaultAudioCompressor(const std::vector<std::string>& Names, int Current) {
  return SelectByPreference(Names, {"mp3", "mpeg", "pcm"}, Current);
}

}  // namespace rw
