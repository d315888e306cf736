#pragma once
// RIFF structure on top of the buffered output: chunks with their pad byte, lists whose size
// is patched when they end, and JUNK padding up to a target offset.
#include <cstdint>

#include "streamcopy/BufferedWriter.h"

namespace rw {

class TRiffOutput : public TBufferedWriter {
public:
  // Writes Id ('RIFF' or 'LIST'), a 0 size and the list type; returns the header's offset.
  int64_t BeginList(uint32_t Id, uint32_t ListType);
  // Patches the size of the list whose header is at HeaderPos to end here, and comes back
  // here (also when the patch fails).
  void EndList(int64_t HeaderPos);
  void WriteChunkHeader(uint32_t Id, uint32_t Size);
  // Header, data and a zero pad byte after odd-sized data.
  void WriteChunk(uint32_t Id, const void* Data, uint32_t Size);
  // Fills the gap up to Target with one JUNK chunk when it is 8 bytes or more; a smaller,
  // zero or negative gap (taken on the low 32 bits) is left as it is.
  void PadWithJunk(int64_t Target);
};

}  // namespace rw
