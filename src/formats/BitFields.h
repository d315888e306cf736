#pragma once
// Fields of bits, highest bit of each byte first, as sound frame headers and frames hold them.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rw {

// Reads fields; past the end every bit reads as 0 and Overrun says so.
class TBitReader {
public:
  TBitReader(const uint8_t* P, size_t Bytes) : FP(P), FBits(Bytes * 8) {}
  uint32_t Get(int N) {
    uint32_t v = 0;
    for (int i = 0; i < N; ++i, ++FPos)
      v = (v << 1) | (FPos < FBits ? (FP[FPos / 8] >> (7 - FPos % 8)) & 1u : 0u);
    return v;
  }
  // Bits not yet read.
  size_t Left() const { return FPos < FBits ? FBits - FPos : 0; }
  bool Overrun() const { return FPos > FBits; }

private:
  const uint8_t* FP;
  size_t FBits;
  size_t FPos = 0;
};

// Sets fields in Out from ByteOffset on (bits already 0 stay so where a field has 0), growing
// Out by zero bytes where a field goes past its end.
class TBitWriter {
public:
  TBitWriter(std::vector<uint8_t>& Out, size_t ByteOffset) : FOut(Out), FPos(ByteOffset * 8) {}
  void Put(uint32_t Value, int N) {
    for (int i = N - 1; i >= 0; --i, ++FPos) {
      if (FPos / 8 >= FOut.size()) FOut.resize(FPos / 8 + 1, 0);
      if ((Value >> i) & 1u) FOut[FPos / 8] |= static_cast<uint8_t>(0x80u >> (FPos % 8));
    }
  }

private:
  std::vector<uint8_t>& FOut;
  size_t FPos;
};

}  // namespace rw
