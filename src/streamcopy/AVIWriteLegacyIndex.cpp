#include "streamcopy/AVIWriteLegacyIndex.h"

#include "media/RiffFormat.h"
#include "streamcopy/RiffOutput.h"

namespace rw {

namespace {
constexpr int64_t IndexAlignment = 2048;
}

void TAVILegacyIndex::Add(uint32_t ChunkId, bool KeyFrame, uint32_t Offset, uint32_t Size) {
  uint8_t entry[riff::Idx1EntrySize];
  PutLE32(entry, ChunkId);
  PutLE32(entry + 4, KeyFrame ? riff::AVIIF_KEYFRAME : 0);
  PutLE32(entry + 8, Offset);
  PutLE32(entry + 12, Size);
  FEntries.Append(entry, sizeof entry);
}

void TAVILegacyIndex::Write(TRiffOutput& Out) {
  int64_t c = Out.Position();
  Out.PadWithJunk(c + (IndexAlignment - c % IndexAlignment));
  Out.WriteChunk(riff::ckIdx1, FEntries.Memory(), FEntries.Size());
  FEntries.SetSize(0);
}

}  // namespace rw
