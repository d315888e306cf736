#include "media/MemoryBuffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/Errors.h"

namespace rw {

TMemoryBuf::~TMemoryBuf() { Clear(); }

void TMemoryBuf::SetSize(uint32_t NewSize) {
  if (NewSize > FCapacity) {
    const uint64_t step = FDelta > FCapacity / 2 ? FDelta : FCapacity / 2;
    uint64_t grown = static_cast<uint64_t>(FCapacity) + step;
    uint64_t target = grown < NewSize ? NewSize : grown;
    if (target > std::numeric_limits<uint32_t>::max()) target = NewSize;
    void* p = std::realloc(FMemory, static_cast<size_t>(target));
    if (!p) throw Exception("Out of memory");
    FMemory = static_cast<uint8_t*>(p);
    FCapacity = static_cast<uint32_t>(target);
  }
  FSize = NewSize;
}

void TMemoryBuf::Append(const void* Data, uint32_t Count) {
  if (Count == 0) return;
  uint32_t old = FSize;
  if (Count > std::numeric_limits<uint32_t>::max() - old) throw Exception("Out of memory");
  SetSize(old + Count);
  std::memcpy(FMemory + old, Data, Count);
}

void TMemoryBuf::Clear() {
  std::free(FMemory);
  FMemory = nullptr;
  FSize = 0;
  FCapacity = 0;
}

void TMemoryBuf::Swap(TMemoryBuf& Other) noexcept {
  std::swap(FMemory, Other.FMemory);
  std::swap(FCapacity, Other.FCapacity);
  std::swap(FSize, Other.FSize);
  std::swap(FDelta, Other.FDelta);
}

}  // namespace rw
