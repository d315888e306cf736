#include "media/FileReadBuffer.h"

#include <cstring>
#include <new>

#include "platform/Errors.h"

namespace rw {

namespace {
constexpr int64_t WindowAlign = 4096;
constexpr uint32_t MinBufferSize = 8192;
}  // namespace

TFileReadBuffer::TFileReadBuffer(TFile& Handle, uint32_t BufferSize)
    : FHandle(Handle), FBufferSize(BufferSize) {
  // A window starts up to 4095 bytes before the position asked for and must still hold a read
  // of half the buffer.
  if (BufferSize < MinBufferSize) throw Exception("The read buffer is too small");
  try {
    FFileSize = FHandle.Size();
  } catch (const EOSError&) {
    FFileSize = -1;
  }
  if (FFileSize < 0) throw Exception("Unable to receive file size");
  try {
    FBuffer = std::make_unique_for_overwrite<uint8_t[]>(BufferSize);
  } catch (const std::bad_alloc&) {
    throw Exception("Out of memory");
  }
}

void TFileReadBuffer::Fill(int64_t Position) {
  FWindowStart = -1;
  int64_t start = Position & ~(WindowAlign - 1);
  int64_t count = FBufferSize;
  if (start + count > FFileSize) count = FFileSize - start;
  ++FFileReads;
  if (FHandle.ReadAt(FBuffer.get(), static_cast<size_t>(count), start) !=
      static_cast<size_t>(count))
    throw Exception("Unable to read file");
  FWindowStart = start;
}

uint32_t TFileReadBuffer::ReadAt(void* Dest, uint32_t Count, int64_t Position) {
  if (Position < 0 || Position >= FFileSize) return 0;
  if (Count > FBufferSize / 2) {
    // Large reads go straight to the file; a failure reads as the end of the data.
    ++FFileReads;
    try {
      return static_cast<uint32_t>(FHandle.ReadAt(Dest, Count, Position));
    } catch (const EOSError&) {
      return 0;
    }
  }
  if (FWindowStart < 0 || FWindowStart > Position || Position + Count > FWindowStart + FBufferSize)
    Fill(Position);
  int64_t n = Count;
  if (Position + n > FFileSize) n = FFileSize - Position;
  std::memcpy(Dest, FBuffer.get() + (Position - FWindowStart), static_cast<size_t>(n));
  return static_cast<uint32_t>(n);
}

const uint8_t* TFileReadBuffer::Peek(int64_t Position, uint32_t Count) {
  if (Position < 0 || Count > FBufferSize / 2 || Position + Count > FFileSize) return nullptr;
  if (FWindowStart < 0 || FWindowStart > Position || Position + Count > FWindowStart + FBufferSize)
    Fill(Position);
  return FBuffer.get() + (Position - FWindowStart);
}

const uint8_t* TFileReadBuffer::Held(int64_t Position, uint32_t Count) const {
  if (FWindowStart < 0 || Position < FWindowStart ||
      Position + Count > FWindowStart + FBufferSize || Position + Count > FFileSize)
    return nullptr;
  return FBuffer.get() + (Position - FWindowStart);
}

}  // namespace rw
