// The recording date and 'INFO' texts of an AVI header: cleaning, the chunks that carry them,
// and putting them into a file another writer made.
#include "media/AVIFacts.h"

#include <algorithm>

#include "media/RiffFormat.h"
#include "platform/Files.h"

namespace rw {

namespace {

constexpr uint32_t ckIDIT = FourCC("IDIT");

// Appends a chunk of Id holding Text and a zero byte, padded to an even size.
void AppendTextChunk(std::string& Out, uint32_t Id, const std::string& Text) {
  const auto size = static_cast<uint32_t>(Text.size() + 1);
  AppendLE32(Out, Id);
  AppendLE32(Out, size);
  Out += Text;
  Out += '\0';
  if (size & 1) Out += '\0';
}

}  // namespace

std::string CleanFactText(const char* Text, size_t Size) {
  std::string text(Text, std::find(Text, Text + Size, '\0'));
  if (text.size() > TAVIFacts::MaxText) text.resize(TAVIFacts::MaxText);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool IsInfoId(uint32_t Id) {
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(Id >> (8 * i));
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

void TAVIFacts::SetInfo(uint32_t Id, const std::string& Text) {
  const std::string text = CleanFactText(Text.data(), Text.size());
  if (text.empty() || !IsInfoId(Id)) return;
  for (auto& entry : Info)
    if (entry.first == Id) {
      entry.second = text;
      return;
    }
  if (Info.size() < MaxInfoEntries) Info.emplace_back(Id, text);
}

std::string TAVIFacts::InfoText(uint32_t Id) const {
  for (const auto& entry : Info)
    if (entry.first == Id) return entry.second;
  return {};
}

std::string RecordingDateChunk(const TAVIFacts& Facts) {
  std::string out;
  if (!Facts.RecordingDate.empty()) AppendTextChunk(out, ckIDIT, Facts.RecordingDate);
  return out;
}

std::string InfoListChunk(const TAVIFacts& Facts) {
  if (Facts.Info.empty()) return {};
  std::string entries;
  for (const auto& [id, text] : Facts.Info) AppendTextChunk(entries, id, text);
  std::string out;
  AppendLE32(out, riff::ckLIST);
  AppendLE32(out, static_cast<uint32_t>(entries.size() + 4));
  AppendLE32(out, riff::listInfo);
  return out + entries;
}

bool PutFactsInHeader(const std::string& FileName, const TAVIFacts& Facts) {
  if (Facts.Empty()) return true;
  TFile file = TFile::OpenReadWrite(FileName);
  // The headers of a file another writer made: 'hdrl' first, then what lies before 'movi'.
  constexpr size_t HeadBytes = 1 << 16;
  std::string head(HeadBytes, '\0');
  head.resize(file.ReadAt(head.data(), head.size(), 0));
  if (head.size() < 2 * riff::ListHeaderSize || GetLE32(head.data()) != riff::ckRIFF) return false;
  uint64_t pos = riff::ListHeaderSize;
  uint64_t hdrlAt = 0, hdrlEnd = 0;
  while (pos + riff::ListHeaderSize <= head.size()) {
    const uint32_t id = GetLE32(head.data() + pos), size = GetLE32(head.data() + pos + 4);
    const uint32_t type = GetLE32(head.data() + pos + 8);
    if (id == riff::ckLIST && type == riff::listHdrl) {
      hdrlAt = pos;
      hdrlEnd = pos + ChunkSpan(size);
    } else if (id == riff::ckLIST && type == riff::listMovi) {
      break;
    } else if (hdrlAt == 0 ||
               !(id == riff::ckJUNK || (id == riff::ckLIST && type == riff::listInfo))) {
      return false;  // something of its own lies there: it stays where it is
    }
    pos += ChunkSpan(size);
  }
  if (hdrlAt == 0 || pos + riff::ListHeaderSize > head.size() || hdrlEnd > pos) return false;
  // The room from the end of 'hdrl' to 'movi': the date, the list, and 'JUNK' for the rest.
  const std::string date = RecordingDateChunk(Facts), info = InfoListChunk(Facts);
  const uint64_t room = pos - hdrlEnd, used = date.size() + info.size();
  if (used > room || (room - used != 0 && room - used < riff::ChunkHeaderSize)) return false;
  std::string bytes = date + info;
  if (room > used) {
    AppendLE32(bytes, riff::ckJUNK);
    AppendLE32(bytes, static_cast<uint32_t>(room - used - riff::ChunkHeaderSize));
    bytes.resize(room, '\0');
  }
  uint8_t hdrlSize[4];
  PutLE32(hdrlSize, GetLE32(head.data() + hdrlAt + 4) + static_cast<uint32_t>(date.size()));
  file.Seek(static_cast<int64_t>(hdrlEnd));
  file.Write(bytes.data(), bytes.size());
  file.Seek(static_cast<int64_t>(hdrlAt + 4));
  file.Write(hdrlSize, sizeof hdrlSize);
  return true;
}

}  // namespace rw
