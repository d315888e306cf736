#include "streamcopy/RiffOutput.h"

#include "media/RiffFormat.h"

namespace rw {

int64_t TRiffOutput::BeginList(uint32_t Id, uint32_t ListType) {
  int64_t pos = Position();
  uint8_t header[riff::ListHeaderSize];
  PutLE32(header, Id);
  PutLE32(header + 4, 0);
  PutLE32(header + 8, ListType);
  Write(header, sizeof header);
  return pos;
}

void TRiffOutput::EndList(int64_t HeaderPos) {
  int64_t end = Position();
  uint8_t size[4];
  PutLE32(size, static_cast<uint32_t>(end - HeaderPos - riff::ChunkHeaderSize));
  Seek(HeaderPos + 4);
  try {
    Write(size, sizeof size);
    Flush();
  } catch (...) {
    Seek(end);
    throw;
  }
  Seek(end);
}

void TRiffOutput::WriteChunkHeader(uint32_t Id, uint32_t Size) {
  uint8_t header[riff::ChunkHeaderSize];
  PutLE32(header, Id);
  PutLE32(header + 4, Size);
  Write(header, sizeof header);
}

void TRiffOutput::WriteChunk(uint32_t Id, const void* Data, uint32_t Size) {
  WriteChunkHeader(Id, Size);
  Write(Data, Size);
  if (Size & 1u) WriteZeros(1);
}

void TRiffOutput::PadWithJunk(int64_t Target) {
  auto gap =
      static_cast<int32_t>(static_cast<uint32_t>(Target) - static_cast<uint32_t>(Position()));
  if (gap < static_cast<int32_t>(riff::ChunkHeaderSize)) return;
  uint32_t filler = static_cast<uint32_t>(gap) - riff::ChunkHeaderSize;
  WriteChunkHeader(riff::ckJUNK, filler);
  WriteZeros(filler);
}

}  // namespace rw
