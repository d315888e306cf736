// Packed B pictures of MPEG-4 Visual, split into one picture a chunk.
#include "streamcopy/PackedPictures.h"

#include <cstring>

namespace rw {

namespace {

constexpr uint8_t VopStart = 0xB6;
constexpr uint8_t UserDataStart = 0xB2;
// The placeholder after a packed chunk: a not-coded picture of a few bytes (decoders take
// chunks up to this size for one).
constexpr uint32_t MaxPlaceholderBytes = 19;

// Position of the next start code 00 00 01 Code at or after From; Size when there is none.
// Every picture of a copy is searched, so the search looks for the code's 01 byte with memchr,
// which passes over the long runs without one many bytes at a time, and checks the bytes around
// each 01 it finds.
uint32_t FindStart(const uint8_t* Data, uint32_t Size, uint32_t From, uint8_t Code) {
  for (uint64_t i = uint64_t{From} + 2; i + 1 < Size; ++i) {
    const void* one = std::memchr(Data + i, 1, Size - 1 - i);
    if (!one) break;
    i = static_cast<uint64_t>(static_cast<const uint8_t*>(one) - Data);
    if (Data[i - 2] == 0 && Data[i - 1] == 0 && Data[i + 1] == Code)
      return static_cast<uint32_t>(i - 2);
  }
  return Size;
}

// Where the second picture of the chunk starts; Size when it holds one picture or none.
uint32_t SecondPicture(const uint8_t* Data, uint32_t Size) {
  const uint32_t first = FindStart(Data, Size, 0, VopStart);
  return first == Size ? Size : FindStart(Data, Size, first + 4, VopStart);
}

// The "p" of a "DivX503b1393p" (or "DivX503Build1393p") mark in the chunk's user data: its
// position, or Size.
uint32_t PackedMark(const uint8_t* Data, uint32_t Size) {
  for (uint32_t at = FindStart(Data, Size, 0, UserDataStart); at < Size;
       at = FindStart(Data, Size, at + 4, UserDataStart)) {
    uint32_t i = at + 4;
    auto digits = [&] {
      const uint32_t from = i;
      while (i < Size && Data[i] >= '0' && Data[i] <= '9') ++i;
      return i > from;
    };
    auto word = [&](const char* Text) {
      const uint32_t n = static_cast<uint32_t>(std::strlen(Text));
      if (Size - i < n || std::memcmp(Data + i, Text, n) != 0) return false;
      i += n;
      return true;
    };
    if (!word("DivX") || !digits() || !(word("Build") || word("b")) || !digits()) continue;
    if (i < Size && Data[i] == 'p') return i;
  }
  return Size;
}

}  // namespace

bool TPictureUnpacker::IsPacked(const uint8_t* Data, uint32_t Size) {
  return SecondPicture(Data, Size) < Size;
}

void TPictureUnpacker::Put(const uint8_t* Data, uint32_t Size, bool KeyFrame, const TEmit& Emit) {
  if (!FEnabled) {
    Emit(Data, Size, KeyFrame);
    return;
  }
  if (FHolding) {
    FHolding = false;
    // The held picture goes into the placeholder's place; without one it comes first, in a
    // chunk of its own, so that no picture is lost.
    Emit(FHeld.data(), static_cast<uint32_t>(FHeld.size()), false);
    if (Size <= MaxPlaceholderBytes && !IsPacked(Data, Size)) return;
  }
  const uint32_t second = SecondPicture(Data, Size);
  const uint32_t mark = PackedMark(Data, second);
  if (second < Size) {
    FHeld.assign(Data + second, Data + Size);
    FHolding = true;
  }
  if (mark < second) {
    FFirst.assign(Data, Data + second);
    FFirst[mark] = 'n';
    Emit(FFirst.data(), second, KeyFrame);
  } else {
    Emit(Data, second, KeyFrame);
  }
}

void TPictureUnpacker::Finish(const TEmit& Emit) {
  if (FHolding) Emit(FHeld.data(), static_cast<uint32_t>(FHeld.size()), false);
  FHolding = false;
}

}  // namespace rw
