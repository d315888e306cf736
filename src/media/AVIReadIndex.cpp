// A stream's chunk index: packed 21-byte entries, and chunk access by number.
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "media/AVIRead.h"

namespace rw {

namespace {
// Entry layout: FilePos (8), Size (4), KeyFrame (1), StreamPos (8).
constexpr uint32_t SizeAt = 8;
constexpr uint32_t KeyFrameAt = 12;
constexpr uint32_t StreamPosAt = 13;
}  // namespace

namespace {
// A small index grows by its own size, a large one by 1 MiB at a time: many short streams
// cost little memory, a long one few reallocations.
constexpr uint32_t FirstIndexStep = 64 * TAVIStream::IndexEntrySize;
constexpr uint32_t LastIndexStep = 1048576;
}  // namespace

bool TAVIStream::AddIndexEntry(uint32_t Size, bool KeyFrame, int64_t FilePos) {
  if (!FReader.TakeIndexEntry()) return false;
  if (FIndex.Size() == FIndex.Capacity())
    FIndex.SetDelta(std::clamp(FIndex.Capacity(), FirstIndexStep, LastIndexStep));
  uint8_t e[IndexEntrySize];
  PutLE64(e, static_cast<uint64_t>(FilePos));
  PutLE32(e + SizeAt, Size);
  e[KeyFrameAt] = KeyFrame ? 1 : 0;
  PutLE64(e + StreamPosAt, static_cast<uint64_t>(FStreamBytes));
  FIndex.Append(e, IndexEntrySize);
  FStreamBytes += Size;
  return true;
}

bool TAVIStream::GetIndexEntry(uint32_t Index, TAVIIndexEntry& Entry) const {
  if (Index >= ChunkCount()) return false;
  const uint8_t* e = FIndex.Memory() + static_cast<size_t>(Index) * IndexEntrySize;
  Entry.FilePos = static_cast<int64_t>(GetLE64(e));
  Entry.Size = GetLE32(e + SizeAt);
  Entry.KeyFrame = e[KeyFrameAt] != 0;
  Entry.StreamPos = static_cast<int64_t>(GetLE64(e + StreamPosAt));
  return true;
}

int64_t TAVIStream::GetChunkStreamPos(uint32_t Index) const {
  if (Index >= ChunkCount()) return -1;
  return static_cast<int64_t>(
      GetLE64(FIndex.Memory() + static_cast<size_t>(Index) * IndexEntrySize + StreamPosAt));
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

void TAVIStream::SwapIndex(TMemoryBuf& Saved, int64_t& SavedBytes) {
  FIndex.Swap(Saved);
  std::swap(FStreamBytes, SavedBytes);
}

void TAVIStream::TakeKeyFrames(const TMemoryBuf& Earlier) {
  // The earlier index may list its chunks in any order (or point anywhere); this one runs in
  // file order. Both are walked once after the earlier one is sorted by position.
  std::vector<std::pair<int64_t, uint8_t>> earlier(Earlier.Size() / IndexEntrySize);
  for (size_t j = 0; j < earlier.size(); ++j) {
    const uint8_t* e = Earlier.Memory() + j * IndexEntrySize;
    earlier[j] = {static_cast<int64_t>(GetLE64(e)), e[KeyFrameAt]};
  }
  std::sort(earlier.begin(), earlier.end());
  size_t j = 0;
  for (uint32_t i = 0; i < ChunkCount() && j < earlier.size(); ++i) {
    uint8_t* e = FIndex.Memory() + static_cast<size_t>(i) * IndexEntrySize;
    const int64_t pos = static_cast<int64_t>(GetLE64(e));
    while (j < earlier.size() && earlier[j].first < pos) ++j;
    if (j < earlier.size() && earlier[j].first == pos) e[KeyFrameAt] = earlier[j].second;
  }
}

}  // namespace rw
