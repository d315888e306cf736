#pragma once
// A growable block of bytes that is appended to: the index tables of the AVI writer. Memory
// may move whenever the block grows, so nobody keeps a pointer into it across Append or
// SetSize.
#include <cstdint>

namespace rw {

class TMemoryBuf {
public:
  TMemoryBuf() = default;
  ~TMemoryBuf();
  TMemoryBuf(const TMemoryBuf&) = delete;
  TMemoryBuf& operator=(const TMemoryBuf&) = delete;

  // Makes Size equal to NewSize, growing the allocation by at least Delta, and by half of
  // what it holds, when needed (so that appending one entry at a time stays linear); never
  // shrinks it. Raises when the memory cannot be had.
  void SetSize(uint32_t NewSize);
  void Append(const void* Data, uint32_t Count);
  // Frees the memory.
  void Clear();
  // Exchanges contents (memory, size, capacity and delta) with Other.
  void Swap(TMemoryBuf& Other) noexcept;

  uint8_t* Memory() { return FMemory; }
  const uint8_t* Memory() const { return FMemory; }
  uint32_t Capacity() const { return FCapacity; }
  uint32_t Size() const { return FSize; }
  uint32_t Delta() const { return FDelta; }
  void SetDelta(uint32_t Value) { FDelta = Value; }

private:
  uint8_t* FMemory = nullptr;
  uint32_t FCapacity = 0;
  uint32_t FSize = 0;
  uint32_t FDelta = 10240;
};

}  // namespace rw
