#pragma once
// AC-3 frames: the size of a frame from its sync
// information, and a silent frame made after a frame of the stream (same sample rate, bit rate,
// channels and stream information; every block codes all channels with no mantissa bits).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rw {

// Bytes of the AC-3 frame at P (Avail bytes there); 0 when P holds no AC-3 frame header
// (E-AC-3 and reserved codes included).
uint32_t Ac3FrameSize(const uint8_t* P, size_t Avail);
// Bits per second of the AC-3 frame at P; 0 when P holds no AC-3 frame header.
uint32_t Ac3BitRate(const uint8_t* P, size_t Avail);

// A frame that decodes to silence, of the same size and format as the whole AC-3 frame at
// Frame; empty when Frame is not one or holds fewer than its first 16 bytes.
std::vector<uint8_t> MakeSilentAc3Frame(const uint8_t* Frame, size_t Size);

}  // namespace rw
