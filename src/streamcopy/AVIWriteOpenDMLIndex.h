#pragma once
// The two-level OpenDML index of one output stream: the standard index ('ix##') being
// collected, written into the movie data every 8000 entries, and the super index ('indx')
// that lists the standard indexes and is written into the stream's reserved header space.
#include <cstdint>

#include "media/MemoryBuffer.h"

namespace rw {

class TRiffOutput;

class TOpenDMLIndex {
public:
  // Bytes reserved for the 'indx' chunk's data in the stream list.
  static constexpr uint32_t ReservedSize = 32728;
  static constexpr uint32_t EntriesPerStandardIndex = 8000;
  // The reserved space holds 2044 super index entries; the 2044th is refused.
  static constexpr uint32_t SuperIndexLimit = 2044;

  TOpenDMLIndex(uint32_t ChunkId, uint32_t SampleSize);

  // Records a chunk whose data lies at Offset from the index base; true when the standard
  // index is now full and must be flushed.
  bool Add(uint32_t Offset, uint32_t Size, bool KeyFrame);
  bool HasPending() const { return FStandard.Size() > 0; }
  uint32_t SuperIndexEntries() const;
  // Writes the pending standard index here and lists it in the super index. Raises
  // "ODML index overflow" (writing nothing) when the super index is full.
  void FlushStandardIndex(TRiffOutput& Out, int64_t IndexBase);
  // Writes the 'indx' chunk (header, 24 bytes of index header, the entries) at the current
  // position and empties the super index.
  void WriteSuperIndex(TRiffOutput& Out);

private:
  uint32_t FChunkId;
  uint32_t FSampleSize;
  uint32_t FIndexedBytes = 0;
  TMemoryBuf FStandard;
  TMemoryBuf FSuper;
};

}  // namespace rw
