// A stream's chunk index: packed 21-byte entries, and chunk access by number.
#include <cstring>
#include <limits>

#include "media/AVIRead.h"

namespace rw {

namespace {
// Entry layout: FilePos (8), Size (4), KeyFrame (1), StreamPos (8).
constexpr uint32_t SizeAt = 8;
constexpr uint32_t KeyFrameAt = 12;
constexpr uint32_t StreamPosAt = 13;
}  // namespace

bool TAVIStream::AddIndexEntry(uint32_t Size, bool KeyFrame, int64_t FilePos) {
  if (!FReader.TakeIndexEntry()) return false;
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

}  // namespace rw
