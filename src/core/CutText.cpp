#include "core/CutText.h"

#include <charconv>
#include <cmath>

#include "core/FileList.h"
#include "core/ListTexts.h"
#include "media/VideoFileInfo.h"

namespace rw {

namespace {

// Digits only, as a number; false when there are none or it does not fit.
bool ReadCount(const std::string& Text, uint64_t& Value) {
  if (Text.empty() || Text.size() > 10) return false;
  Value = 0;
  for (char c : Text) {
    if (c < '0' || c > '9') return false;
    Value = Value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// Seconds, MM:SS.mmm or HH:MM:SS.mmm; false when it is none of them.
bool ReadSeconds(const std::string& Text, double& Seconds) {
  Seconds = 0;
  size_t at = 0;
  int fields = 0;
  while (true) {
    const size_t colon = Text.find(':', at);
    const std::string field = Text.substr(at, colon == std::string::npos ? colon : colon - at);
    if (colon == std::string::npos) {
      // The last field: seconds, with a fraction.
      if (field.empty() || field.front() == '.' || field.back() == '.') return false;
      size_t dots = 0;
      for (char c : field)
        if (c == '.')
          ++dots;
        else if (c < '0' || c > '9')
          return false;
      if (dots > 1) return false;
      double value = 0;
      if (std::from_chars(field.data(), field.data() + field.size(), value).ec != std::errc())
        return false;
      if (fields > 0 && value >= 60) return false;
      Seconds = Seconds * 60 + value;
      return std::isfinite(Seconds);
    }
    uint64_t whole = 0;
    if (++fields > 2 || !ReadCount(field, whole) || (fields == 2 && whole >= 60)) return false;
    Seconds = Seconds * 60 + static_cast<double>(whole);
    at = colon + 1;
  }
}

std::string Quoted(const std::string& Text) { return "'" + Text + "'"; }

}  // namespace

TCutText ParseCutText(const std::string& Text) {
  const std::string form = " (--cut N=START-END, for example 2=1.5-00:01:04.2 or 3=#10-)";
  const size_t equals = Text.find('=');
  const size_t dash = equals == std::string::npos ? std::string::npos : Text.find('-', equals);
  if (equals == std::string::npos || dash == std::string::npos ||
      Text.find('-', dash + 1) != std::string::npos)
    throw EJoinChoice("The cut " + Quoted(Text) + " is not understood" + form);
  uint64_t position = 0;
  if (!ReadCount(Text.substr(0, equals), position) || position == 0)
    throw EJoinChoice("The cut " + Quoted(Text) + " does not name a file by its position from 1" +
                      form);
  TCutText cut;
  cut.Position = static_cast<size_t>(position);
  cut.Start = Text.substr(equals + 1, dash - equals - 1);
  cut.End = Text.substr(dash + 1);
  return cut;
}

TPictureCut PictureCutOf(const TCutText& Cut, const std::string& FileName, uint32_t Pictures,
                         double Rate) {
  const std::string ofFile = "The cut of the file " + FileName;
  // One side: a picture number, or the picture shown at a time (Start), or the last picture
  // shown before it (End).
  auto side = [&](const std::string& Text, bool Start) -> int64_t {
    uint64_t number = 0;
    if (!Text.empty() && Text.front() == '#') {
      if (!ReadCount(Text.substr(1), number))
        throw EJoinChoice(ofFile + ": " + Quoted(Text) + " is not a picture number");
      return static_cast<int64_t>(number);
    }
    double seconds = 0;
    if (!ReadSeconds(Text, seconds))
      throw EJoinChoice(ofFile + ": " + Quoted(Text) +
                        " is neither a time (seconds, MM:SS.mmm, HH:MM:SS.mmm) nor a picture "
                        "number (#N)");
    // Picture N is shown from N / Rate to (N + 1) / Rate; a time given to the millisecond
    // that falls within a millionth of a picture of a boundary is on it.
    const int64_t shown = static_cast<int64_t>(std::floor(seconds * Rate + 1e-6));
    return Start ? shown : shown - 1;
  };
  TPictureCut cut;
  const int64_t in = Cut.Start.empty() ? 0 : side(Cut.Start, true);
  const int64_t out = Cut.End.empty() ? -1 : side(Cut.End, false);
  const std::string count = std::to_string(Pictures) + " pictures, #0 to #" +
                            std::to_string(Pictures > 0 ? Pictures - 1 : 0);
  if (in >= Pictures) throw EJoinChoice(ofFile + " starts past its end (it has " + count + ")");
  if (!Cut.End.empty() && out >= Pictures)
    throw EJoinChoice(ofFile + " ends past its end (it has " + count + ")");
  if (!Cut.End.empty() && out < in)
    throw EJoinChoice(ofFile + " ends before it starts (it would keep no picture)");
  cut.In = static_cast<uint32_t>(in);
  cut.Out = Cut.End.empty() ? TPictureCut::ToEnd : static_cast<uint32_t>(out);
  return cut;
}

void ApplyCuts(TFileList& List, const std::vector<TCutText>& Cuts) {
  for (const TCutText& cut : Cuts) {
    if (cut.Position > static_cast<size_t>(List.Count()))
      throw EJoinChoice("The cut of file " + std::to_string(cut.Position) +
                        " names no file: " + std::to_string(List.Count()) + " file(s) are joined");
    const int row = static_cast<int>(cut.Position - 1);
    const TVideoFileInfo& info = List.Info(row);
    List.SetCut(row,
                PictureCutOf(cut, info.FileName, ListPictureCount(info), ListPictureRate(info)));
  }
}

std::string CutArgument(size_t Position, const TPictureCut& Cut) {
  std::string text = std::to_string(Position);
  text += "=#";
  text += std::to_string(Cut.In);
  text += '-';
  if (Cut.Out != TPictureCut::ToEnd) {
    text += '#';
    text += std::to_string(Cut.Out);
  }
  return text;
}

}  // namespace rw
