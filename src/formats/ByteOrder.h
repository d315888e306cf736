#pragma once
// Little-endian values at unaligned bytes, as RIFF files and their stream formats store them.
#include <cstdint>
#include <string>

namespace rw {

inline uint16_t GetLE16(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t GetLE32(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline uint64_t GetLE64(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint64_t>(GetLE32(b)) | (static_cast<uint64_t>(GetLE32(b + 4)) << 32);
}
inline void PutLE16(void* P, uint16_t V) {
  auto* b = static_cast<uint8_t*>(P);
  b[0] = static_cast<uint8_t>(V);
  b[1] = static_cast<uint8_t>(V >> 8);
}
inline void PutLE32(void* P, uint32_t V) {
  auto* b = static_cast<uint8_t*>(P);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(V >> (8 * i));
}
inline void PutLE64(void* P, uint64_t V) {
  auto* b = static_cast<uint8_t*>(P);
  PutLE32(b, static_cast<uint32_t>(V));
  PutLE32(b + 4, static_cast<uint32_t>(V >> 32));
}

// Appends little-endian values to a byte string: the fields of headers and index chunks.
inline void AppendLE16(std::string& S, uint16_t V) {
  char b[2];
  PutLE16(b, V);
  S.append(b, 2);
}
inline void AppendLE32(std::string& S, uint32_t V) {
  char b[4];
  PutLE32(b, V);
  S.append(b, 4);
}
inline void AppendLE64(std::string& S, uint64_t V) {
  char b[8];
  PutLE64(b, V);
  S.append(b, 8);
}

}  // namespace rw
