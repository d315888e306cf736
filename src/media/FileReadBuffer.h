#pragma once
// Positioned reading of a file through one fixed window in memory: many small reads at nearby,
// mostly increasing positions (index walking) become a few large block-aligned reads.
#include <cstdint>
#include <memory>

#include "platform/Files.h"

namespace rw {

class TFileReadBuffer {
public:
  // Borrows Handle (never closed here) and takes the file's size once. BufferSize must be at
  // least 8192. Raises "Unable to receive file size" when the size cannot be had.
  TFileReadBuffer(TFile& Handle, uint32_t BufferSize);
  TFileReadBuffer(const TFileReadBuffer&) = delete;
  TFileReadBuffer& operator=(const TFileReadBuffer&) = delete;

  // Copies up to Count bytes at the absolute Position into Dest and returns how many arrived:
  // fewer at the end of the file, 0 at or past it. Reads of more than half the window bypass
  // it. Raises "Unable to read file" when a window load comes back short.
  uint32_t ReadAt(void* Dest, uint32_t Count, int64_t Position);
  // The Count bytes at Position where they lie in the window (loaded as ReadAt would), valid
  // until the next read; nullptr when they do not all lie in the file or are more than half
  // the window. Raises as ReadAt does.
  const uint8_t* Peek(int64_t Position, uint32_t Count);

  // The Count bytes at Position where the loaded window holds them all; nullptr otherwise (no
  // read is made).
  const uint8_t* Held(int64_t Position, uint32_t Count) const;

  int64_t FileSize() const { return FFileSize; }
  uint32_t BufferSize() const { return FBufferSize; }
  // File position of the loaded window, -1 while none is loaded.
  int64_t WindowStart() const { return FWindowStart; }
  // Reads issued to the file so far (window loads and bypass reads).
  uint64_t FileReads() const { return FFileReads; }

private:
  void Fill(int64_t Position);

  TFile& FHandle;
  std::unique_ptr<uint8_t[]> FBuffer;
  int64_t FWindowStart = -1;
  uint32_t FBufferSize;
  int64_t FFileSize = 0;
  uint64_t FFileReads = 0;
};

}  // namespace rw
