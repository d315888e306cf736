#pragma once
// Four-character codes (chunk ids, stream types, codecs): the first character in the lowest
// byte, as a little-endian file stores them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace rw {

constexpr uint32_t MakeFourCC(char A, char B, char C, char D) {
  return static_cast<uint32_t>(static_cast<uint8_t>(A)) |
         (static_cast<uint32_t>(static_cast<uint8_t>(B)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(C)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(D)) << 24);
}
// FourCC("RIFF"): the literal must have exactly four characters.
template <size_t N>
constexpr uint32_t FourCC(const char (&Text)[N]) {
  static_assert(N == 5, "a four-character code has four characters");
  return MakeFourCC(Text[0], Text[1], Text[2], Text[3]);
}
// The code as its four characters in file order; empty for 0.
inline std::string FourCCToStr(uint32_t Code) {
  if (Code == 0) return {};
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(Code >> (8 * i));
  return s;
}
// The first four characters of Text, padded with spaces, as a code.
inline uint32_t StrToFourCC(std::string Text) {
  while (Text.size() < 4) Text += ' ';
  return MakeFourCC(Text[0], Text[1], Text[2], Text[3]);
}

// The code with its letters in upper case (codec codes are compared without case).
constexpr uint32_t UpperCaseFourCC(uint32_t Code) {
  uint32_t upper = 0;
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<uint8_t>(Code >> (8 * i));
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
    upper |= uint32_t{c} << (8 * i);
  }
  return upper;
}

}  // namespace rw
