#pragma once
// The AVI 1.0 index ('idx1') of the writer: one 16-byte entry per data chunk of the first RIFF
// part, with the offset of the chunk's header from the 'movi' list type field.
#include <cstdint>

#include "media/MemoryBuffer.h"

namespace rw {

class TRiffOutput;

class TAVILegacyIndex {
public:
  void Add(uint32_t ChunkId, bool KeyFrame, uint32_t Offset, uint32_t Size);
  // Bytes the entries take so far.
  uint32_t Bytes() const { return FEntries.Size(); }
  // Pads with JUNK to the next multiple of 2048 (a full step when already aligned), writes the
  // 'idx1' chunk and empties the buffer.
  void Write(TRiffOutput& Out);
  void Reset() { FEntries.SetSize(0); }

private:
  TMemoryBuf FEntries;
};

}  // namespace rw
