#include "streamcopy/AVIWriteOpenDMLIndex.h"

#include <string>

#include "media/RiffFormat.h"
#include "platform/Errors.h"
#include "streamcopy/RiffOutput.h"

namespace rw {

namespace {

// The index header after the chunk header: longs per entry, sub-type, type, entries in use,
// chunk id, then 12 bytes (reserved, or base offset and reserved).
constexpr uint32_t IndexHeaderData = riff::IndexHeaderSize - riff::ChunkHeaderSize;

void PutIndexHeader(uint8_t* Header, uint16_t LongsPerEntry, uint8_t Type, uint32_t Entries,
                    uint32_t ChunkId) {
  PutLE16(Header, LongsPerEntry);
  Header[2] = 0;
  Header[3] = Type;
  PutLE32(Header + 4, Entries);
  PutLE32(Header + 8, ChunkId);
}

}  // namespace

TOpenDMLIndex::TOpenDMLIndex(uint32_t ChunkId, uint32_t SampleSize)
    : FChunkId(ChunkId), FSampleSize(SampleSize) {}

uint32_t TOpenDMLIndex::SuperIndexEntries() const {
  return FSuper.Size() / riff::SuperIndexEntrySize;
}

bool TOpenDMLIndex::Add(uint32_t Offset, uint32_t Size, bool KeyFrame) {
  uint8_t entry[riff::StdIndexEntrySize];
  PutLE32(entry, Offset);
  PutLE32(entry + 4, KeyFrame ? Size : Size | riff::StdIndexNoKeyFrame);
  FStandard.Append(entry, sizeof entry);
  FIndexedBytes += Size;
  return FStandard.Size() / riff::StdIndexEntrySize >= EntriesPerStandardIndex;
}

void TOpenDMLIndex::FlushStandardIndex(TRiffOutput& Out, int64_t IndexBase) {
  uint32_t n = FStandard.Size() / riff::StdIndexEntrySize;
  int64_t q = Out.Position();
  uint8_t super[riff::SuperIndexEntrySize];
  PutLE64(super, static_cast<uint64_t>(q));
  PutLE32(super + 8, riff::IndexHeaderSize + riff::StdIndexEntrySize * n);
  PutLE32(super + 12, FSampleSize != 0 ? FIndexedBytes / FSampleSize : n);
  FSuper.Append(super, sizeof super);
  if (SuperIndexEntries() >= SuperIndexLimit) throw Exception("ODML index overflow");

  uint8_t header[IndexHeaderData] = {};
  PutIndexHeader(header, 2, riff::AVI_INDEX_OF_CHUNKS, n, FChunkId);
  PutLE64(header + 12, static_cast<uint64_t>(IndexBase));
  std::string id = "ix" + FourCCToStr(FChunkId).substr(0, 2);
  Out.WriteChunkHeader(MakeFourCC(id[0], id[1], id[2], id[3]), IndexHeaderData + FStandard.Size());
  Out.Write(header, sizeof header);
  Out.Write(FStandard.Memory(), FStandard.Size());
  FIndexedBytes = 0;
  FStandard.SetSize(0);
}

void TOpenDMLIndex::WriteSuperIndex(TRiffOutput& Out) {
  uint8_t header[IndexHeaderData] = {};
  PutIndexHeader(header, 4, riff::AVI_INDEX_OF_INDEXES, SuperIndexEntries(), FChunkId);
  Out.WriteChunkHeader(riff::ckIndx, ReservedSize);
  Out.Write(header, sizeof header);
  Out.Write(FSuper.Memory(), FSuper.Size());
  FSuper.SetSize(0);
}

}  // namespace rw
