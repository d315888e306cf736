// A stream's chunk index: packed entries in a vector, and chunk access by number.
#include <algorithm>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "media/AVIRead.h"

namespace rw {

namespace {
// A new index has room for this many entries; a full one grows by half of what it holds, so
// that many short streams cost little memory and a long one few moves.
constexpr size_t FirstIndexEntries = 64;
}  // namespace

void TAVIStream::ReserveIndex(size_t Count) {
  std::vector<TEntry>& entries = FIndex.Entries;
  // Never room for more entries than a chunk number counts.
  constexpr size_t most = std::numeric_limits<uint32_t>::max();
  const size_t room = entries.size() + std::min(Count, most - entries.size());
  if (room <= entries.capacity()) return;
  try {
    entries.reserve(room);
  } catch (const std::bad_alloc&) {
    throw Exception("Out of memory");
  }
}

bool TAVIStream::GrowIndex() {
  const size_t held = FIndex.Entries.size();
  if (held == std::numeric_limits<uint32_t>::max() || FReader.FIndexBudget == 0) return false;
  ReserveIndex(std::max(FirstIndexEntries, held / 2));
  return true;
}

int64_t TAVIStream::GetChunkStreamPos(uint32_t Index) const {
  if (Index >= ChunkCount()) return -1;
  return FIndex.Entries[Index].StreamPos;
}

bool TAVIStream::ReadChunk(uint32_t Index, void* Dest) const {
  TAVIIndexEntry e;
  if (!GetIndexEntry(Index, e)) return false;
  if (e.Size == 0) return true;
  if (e.FilePos < 0 || e.FilePos > std::numeric_limits<int64_t>::max() - e.Size) return false;
  return FReader.File().ReadAt(Dest, e.Size, e.FilePos) == e.Size;
}

bool TAVIStream::IsChunkHeader(const uint8_t* Header, uint32_t Size) const {
  return Header[0] == static_cast<uint8_t>(StreamId[0]) &&
         Header[1] == static_cast<uint8_t>(StreamId[1]) && GetLE32(Header + 4) == Size;
}

bool TAVIStream::IsChunkHeader(const uint8_t* Header, const TAVIIndexEntry& Entry) const {
  return Entry.SizeFromWalk ? IsChunkHeader(Header, GetLE32(Header + 4))
                            : IsChunkHeader(Header, Entry.Size);
}

bool TAVIStream::HasOverlappingEntries() const {
  // Entries in file order were told apart as they were added. Only others are sorted.
  if (FIndex.InOrder) return false;
  std::vector<std::pair<int64_t, uint32_t>> spans;
  spans.reserve(FIndex.Entries.size());
  for (const TEntry& e : FIndex.Entries) spans.emplace_back(int64_t{e.FilePos}, uint32_t{e.Size});
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < NextDataAfter(spans[i - 1].first, spans[i - 1].second)) return true;
  return false;
}

void TAVIStream::TakeKeyFrames(const TIndex& Earlier) {
  // The earlier index may list its chunks in any order (or point anywhere); this one runs in
  // file order. Both are walked once after the earlier one is sorted by position.
  std::vector<std::pair<int64_t, bool>> earlier;
  earlier.reserve(Earlier.Entries.size());
  // Copied out first: the packed fields may not be bound to references.
  for (const TEntry& e : Earlier.Entries) {
    const int64_t pos = e.FilePos;
    const bool key = (e.Flags & EntryKeyFrame) != 0;
    earlier.emplace_back(pos, key);
  }
  std::sort(earlier.begin(), earlier.end());
  size_t j = 0;
  for (TEntry& e : FIndex.Entries) {
    const int64_t pos = e.FilePos;
    while (j < earlier.size() && earlier[j].first < pos) ++j;
    if (j == earlier.size()) break;
    if (earlier[j].first == pos)
      e.Flags = static_cast<uint8_t>((e.Flags & ~EntryKeyFrame) |
                                     (earlier[j].second ? EntryKeyFrame : 0));
  }
}

}  // namespace rw
