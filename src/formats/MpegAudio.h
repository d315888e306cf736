#pragma once
// MPEG audio (layers I, II and III): frame headers, the bit rates frames can carry, and what a
// wave format says of its frames.
#include <cstddef>
#include <cstdint>
#include <string>

namespace rw {

// One MPEG audio (layer I, II or III) frame header.
struct TMpegAudioHeader {
  uint32_t Bits = 0;        // the four header bytes, first byte highest
  uint32_t FrameSize = 0;   // bytes of the whole frame, padding included
  uint32_t Samples = 0;     // samples per channel the frame decodes to
  uint32_t SampleRate = 0;  // Hz
  uint32_t Bitrate = 0;     // bits per second
  int Layer = 0;            // 1, 2 or 3
};

// Bytes of a frame header.
inline constexpr uint32_t MpegAudioHeaderBytes = 4;

// Reads the header at P (Avail bytes there); false when it is not a frame header this join
// can measure (no sync word, reserved values, free-format bit rate).
bool ParseMpegAudioHeader(const uint8_t* P, size_t Avail, TMpegAudioHeader& Header);

// Slots of the header's frames times its sample rate, and the bytes of a slot: a frame holds
// Numerator / SampleRate slots, one more when padded.
void MpegFrameSlots(const TMpegAudioHeader& H, bool Mpeg1, uint64_t& Numerator,
                    uint32_t& SlotBytes);
// Whether the header's bits (first byte highest) say MPEG-1.
bool IsMpeg1Header(uint32_t Bits);

// The longest MPEG audio frame there is (layer II at 160 kbit/s and 8 kHz, padded).
inline constexpr uint32_t MaxMpegFrameBytes = 2881;

// What a sound stream's format ('strf') says of its MPEG audio frames.
struct TMpegAudioFormat {
  int Layer = 0;
  bool Mpeg1 = false;
  uint32_t SampleRate = 0;
  uint32_t SamplesPerFrame = 0;
};
// False when the format is not MPEG audio (layer III, or layers I and II by the layer the
// format names) at a sample rate MPEG audio has.
bool MpegAudioFormat(const std::string& Format, TMpegAudioFormat& Result);
// Whether frames of this format at one bit rate they can have make BytesPerSecond.
bool IsMpegByteRate(const TMpegAudioFormat& Format, long double BytesPerSecond);
// Whether MPEG audio frames of Layer (1, 2 or 3) carry BitsPerSecond at some bit-rate index:
// MPEG-1 (32, 44.1 and 48 kHz) or MPEG-2 and 2.5 (the lower rates).
bool IsMpegBitRate(int Layer, bool Mpeg1, uint32_t BitsPerSecond);

}  // namespace rw
