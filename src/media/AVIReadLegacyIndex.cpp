// The legacy 'idx1' index of the first RIFF container.
#include "media/AVIRead.h"
#include "media/FileReadBuffer.h"

namespace rw {

namespace {
constexpr uint32_t IndexWindow = 8192;
}  // namespace

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
  const uint32_t n = FIdx1Size / riff::Idx1EntrySize;
  TFileReadBuffer buffer(FFile, IndexWindow);
  const int64_t base = GetIndexBase();
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t e[riff::Idx1EntrySize];
    if (buffer.ReadAt(e, sizeof e, FIdx1Pos + static_cast<int64_t>(i) * sizeof e) < sizeof e) break;
    // Only the stream number (the first two characters of the chunk id) is examined, so
    // palette changes and the like count as chunks of their stream; 'rec ' lists, 'JUNK' and
    // numbers without a stream belong to none.
    TAVIStream* owner = StreamOfChunkId(e);
    if (!owner) continue;
    const bool key = (GetLE32(e + 4) & riff::AVIIF_KEYFRAME) != 0;
    if (!owner->AddIndexEntry(GetLE32(e + 12), key, base + GetLE32(e + 8))) break;
  }
  return true;
}

}  // namespace rw
