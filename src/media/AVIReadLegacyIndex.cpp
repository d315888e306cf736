// The legacy 'idx1' index of the first RIFF container.
#include <algorithm>
#include <memory>
#include <vector>

#include "media/AVIRead.h"

namespace rw {

// Offsets count from the 'movi' list type field unless the first entry, read that way, does
// not land on a header with its own chunk id: then they are absolute file positions. When the
// movi-relative reading points past the end of the file, the offsets are absolute if that
// reading lands on the entry's chunk (small files written with absolute offsets).
int64_t TAVIFileReader::GetIndexBase() {
  const int64_t moviRelative = FMoviPos + 4;
  uint8_t entry[riff::Idx1EntrySize];
  if (FIdx1Size < riff::Idx1EntrySize || ReadAt(entry, sizeof entry, FIdx1Pos) < sizeof entry)
    return moviRelative;
  uint8_t head[riff::ChunkHeaderSize];
  if (ReadAt(head, sizeof head, FMoviPos - 4 + GetLE32(entry + 8)) == sizeof head)
    return GetLE32(head) != GetLE32(entry) ? riff::ChunkHeaderSize : moviRelative;
  if (ReadAt(head, sizeof head, GetLE32(entry + 8)) == sizeof head &&
      GetLE32(head) == GetLE32(entry))
    return riff::ChunkHeaderSize;
  return moviRelative;
}

bool TAVIFileReader::ReadOldIndex() {
  // Only the entries the file really holds are read, whatever the index's size claims.
  const int64_t held = std::clamp<int64_t>(FFileSize - FIdx1Pos, 0, FIdx1Size);
  const uint32_t n = static_cast<uint32_t>(held / riff::Idx1EntrySize);
  const int64_t base = GetIndexBase();
  // The entries are read a block at a time and parsed from memory; an index of one block is
  // read once for both passes below.
  const uint32_t blockEntries = std::min(n, IndexBlockBytes / riff::Idx1EntrySize);
  const std::unique_ptr<uint8_t[]> block =
      NewIndexBlock(size_t{blockEntries} * riff::Idx1EntrySize);
  int64_t loaded = -1;  // the first entry in the block, -1 while none is
  // Calls Each(entry, stream number) for the entries of every stream in index order, until Each
  // returns false. Only the stream number (the first two characters of the chunk id) is
  // examined, so palette changes and the like count as chunks of their stream; 'rec ' lists,
  // 'JUNK' and numbers without a stream belong to none.
  auto forEachEntry = [&](auto&& Each) {
    for (uint32_t first = 0; first < n; first += blockEntries) {
      const uint32_t count = std::min(blockEntries, n - first);
      const size_t bytes = size_t{count} * riff::Idx1EntrySize;
      if (loaded != first) {
        loaded = -1;
        ReadIndexBlock(block.get(), bytes, FIdx1Pos + int64_t{first} * riff::Idx1EntrySize);
        loaded = first;
      }
      for (const uint8_t* e = block.get(); e < block.get() + bytes; e += riff::Idx1EntrySize)
        if (const int stream = StreamNumberOfChunkId(e); stream >= 0 && !Each(e, stream)) return;
    }
  };
  // Each stream's index gets room for its entries at once. The entries of a file of one stream
  // are nearly all that stream's and need no count (the room that 'rec ' lists or filler leave
  // is given back when the complete index is trimmed).
  std::vector<uint32_t> counts(FStreams.size());
  if (FStreams.size() == 1)
    counts[0] = n;
  else
    forEachEntry([&](const uint8_t*, int Stream) {
      ++counts[static_cast<size_t>(Stream)];
      return true;
    });
  for (size_t i = 0; i < FStreams.size(); ++i)
    FStreams[i]->ReserveIndex(std::min<uint64_t>(counts[i], FIndexBudget));
  forEachEntry([&](const uint8_t* E, int Stream) {
    const bool key = (GetLE32(E + 4) & riff::AVIIF_KEYFRAME) != 0;
    return FStreams[static_cast<size_t>(Stream)]->AddIndexEntry(GetLE32(E + 12), key,
                                                                base + GetLE32(E + 8));
  });
  return true;
}

}  // namespace rw
