#pragma once
// The facts an AVI file's header carries beside its streams: the recording date (the 'IDIT'
// chunk of 'hdrl', as cameras write it) and the texts of its 'INFO' list (title, date,
// software...). Read from any file, so bounded: a few entries of short texts, without control
// characters.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rw {

struct TAVIFacts {
  // At most this many 'INFO' entries are kept, each text at most MaxText bytes.
  static constexpr size_t MaxInfoEntries = 64;
  static constexpr size_t MaxText = 1024;

  std::string RecordingDate;                           // empty when the file has none
  std::vector<std::pair<uint32_t, std::string>> Info;  // id ('INAM', 'ICRD'...) and text

  bool Empty() const { return RecordingDate.empty() && Info.empty(); }
  // Adds an entry, or replaces the text of the one with this id; an empty text or an id that
  // is not four upper-case letters or digits adds nothing.
  void SetInfo(uint32_t Id, const std::string& Text);
  // The text of entry Id, empty when none.
  std::string InfoText(uint32_t Id) const;
};

// A text as the facts keep it: up to its first zero byte and at most MaxText bytes, control
// characters as spaces, without spaces at its end.
std::string CleanFactText(const char* Text, size_t Size);
// Whether Id is four upper-case letters or digits, as 'INFO' ids are.
bool IsInfoId(uint32_t Id);

// The chunks that carry the facts: the 'IDIT' chunk (empty without a date) and the 'INFO'
// list (empty without entries), each text ending in a zero byte.
std::string RecordingDateChunk(const TAVIFacts& Facts);
std::string InfoListChunk(const TAVIFacts& Facts);

// Puts the facts into the header of the AVI file FileName, which another writer made: the date
// at the end of 'hdrl', the 'INFO' list after it, in the room up to 'movi' that 'JUNK' and an
// 'INFO' list there take (the data stay where they are). False, with the file unchanged, when
// the room is too small or the file is not laid out so.
bool PutFactsInHeader(const std::string& FileName, const TAVIFacts& Facts);

}  // namespace rw
