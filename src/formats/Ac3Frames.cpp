// AC-3 frame sizes, and silent AC-3 frames made after a frame of the stream.
#include "formats/Ac3Frames.h"

#include <array>

#include "formats/BitFields.h"

namespace rw {

namespace {

// Kilobits per second by frame size code / 2, and sample rates by sample rate code.
constexpr uint16_t Bitrates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                   192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr uint32_t SampleRates[3] = {48000, 44100, 32000};
// Full-bandwidth channels by audio coding mode.
constexpr int FullChannels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
constexpr uint16_t CrcPolynomial = 0x8005;  // x^16 + x^15 + x^2 + 1
constexpr int BlocksPerFrame = 6;
constexpr size_t BsiOffset = 5;  // after sync word, crc1 and the rate codes
constexpr size_t MinLearnBytes = 16;

uint16_t Crc16(const uint8_t* P, size_t N) {
  uint16_t crc = 0;
  for (size_t i = 0; i < N; ++i) {
    crc ^= static_cast<uint16_t>(P[i] << 8);
    for (int b = 0; b < 8; ++b)
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ CrcPolynomial)
                           : static_cast<uint16_t>(crc << 1);
  }
  return crc;
}

void WriteSilentBlocks(TBitWriter& W, int Channels, bool Lfe, bool Stereo, bool DualMono) {
  // Exponent groups of three deltas (each stored as delta + 2): 15 rises to 24, then stays.
  constexpr uint32_t Rise1 = 25 * 4 + 5 * 4 + 4, Rise2 = 25 * 4 + 5 * 3 + 2,
                     Flat = 25 * 2 + 5 * 2 + 2;
  constexpr int Groups = 6;  // bandwidth code 0: 73 coefficients in groups of 12
  for (int blk = 0; blk < BlocksPerFrame; ++blk) {
    const uint32_t first = blk == 0 ? 1 : 0;
    for (int ch = 0; ch < Channels; ++ch) W.Put(0, 1);  // block switch
    for (int ch = 0; ch < Channels; ++ch) W.Put(0, 1);  // dither
    W.Put(0, 1);                                        // dynamic range
    if (DualMono) W.Put(0, 1);
    W.Put(first, 1);  // coupling strategy; then coupling not in use
    if (first) W.Put(0, 1);
    if (Stereo) {
      W.Put(first, 1);  // rematrixing strategy; four bands off
      if (first) W.Put(0, 4);
    }
    for (int ch = 0; ch < Channels; ++ch) W.Put(first ? 3 : 0, 2);  // D45 once, then reuse
    if (Lfe) W.Put(first, 1);
    if (first) {
      for (int ch = 0; ch < Channels; ++ch) W.Put(0, 6);  // bandwidth code
      for (int ch = 0; ch < Channels; ++ch) {
        W.Put(15, 4);
        W.Put(Rise1, 7);
        W.Put(Rise2, 7);
        for (int g = 2; g < Groups; ++g) W.Put(Flat, 7);
        W.Put(0, 2);  // gain range
      }
      if (Lfe) {
        W.Put(15, 4);
        W.Put(Rise1, 7);
        W.Put(Rise2, 7);
      }
    }
    W.Put(first, 1);  // bit allocation parameters
    if (first) {
      W.Put(2, 2);  // slow decay
      W.Put(1, 2);  // fast decay
      W.Put(1, 2);  // slow gain
      W.Put(2, 2);  // dB per bit
      W.Put(7, 3);  // floor
    }
    W.Put(first, 1);  // signal-to-noise offsets: all zero
    if (first) {
      W.Put(0, 6);
      for (int ch = 0; ch < Channels + (Lfe ? 1 : 0); ++ch) {
        W.Put(0, 4);
        W.Put(4, 3);  // fast gain
      }
    }
    W.Put(0, 1);  // delta bit allocation
    W.Put(0, 1);  // skip field
  }
}

}  // namespace

uint32_t Ac3FrameSize(const uint8_t* P, size_t Avail) {
  if (Avail < BsiOffset + 1 || P[0] != 0x0B || P[1] != 0x77) return 0;
  const int rateCode = P[4] >> 6, sizeCode = P[4] & 0x3F, bsid = P[5] >> 3;
  if (rateCode == 3 || sizeCode >= 38 || bsid > 8) return 0;
  uint32_t words = uint32_t{Bitrates[sizeCode >> 1]} * 96000 / SampleRates[rateCode];
  if (rateCode == 1) words += sizeCode & 1;  // 44.1 kHz frames alternate by one word
  return words * 2;
}

uint32_t Ac3BitRate(const uint8_t* P, size_t Avail) {
  return Ac3FrameSize(P, Avail) == 0 ? 0 : uint32_t{Bitrates[(P[4] & 0x3F) >> 1]} * 1000;
}

std::vector<uint8_t> MakeSilentAc3Frame(const uint8_t* Frame, size_t Size) {
  const uint32_t size = Ac3FrameSize(Frame, Size);
  if (size == 0 || Size < MinLearnBytes) return {};

  // The stream information as the stream has it, up to the dialogue level.
  TBitReader in(Frame + BsiOffset, Size - BsiOffset);
  const uint32_t bsid = in.Get(5), bsmod = in.Get(3), acmod = in.Get(3);
  const bool centre = (acmod & 1) && acmod != 1, surround = acmod & 4, stereo = acmod == 2;
  const uint32_t centreMix = centre ? in.Get(2) : 0;
  const uint32_t surroundMix = surround ? in.Get(2) : 0;
  const uint32_t dolby = stereo ? in.Get(2) : 0;
  const uint32_t lfe = in.Get(1), dialogue = in.Get(5);

  std::vector<uint8_t> out(size, 0);
  out[0] = 0x0B;
  out[1] = 0x77;
  out[4] = Frame[4];
  TBitWriter w(out, BsiOffset);
  w.Put(bsid, 5);
  w.Put(bsmod, 3);
  w.Put(acmod, 3);
  if (centre) w.Put(centreMix, 2);
  if (surround) w.Put(surroundMix, 2);
  if (stereo) w.Put(dolby, 2);
  w.Put(lfe, 1);
  w.Put(dialogue, 5);
  w.Put(0, 3);  // no compression, language or production information
  if (acmod == 0) {
    w.Put(dialogue, 5);
    w.Put(0, 3);
  }
  w.Put(0, 5);  // copyright, original, two time codes, additional information
  WriteSilentBlocks(w, FullChannels[acmod], lfe != 0, stereo, acmod == 0);

  // crc2 makes the frame's last 3/8 check, crc1 its first 5/8 after the sync word.
  const size_t words = size / 2, first = 2 * ((words >> 1) + (words >> 3));
  const uint16_t crc2 = Crc16(out.data() + first, size - first - 2);
  out[size - 2] = static_cast<uint8_t>(crc2 >> 8);
  out[size - 1] = static_cast<uint8_t>(crc2);
  // The check of crc1 followed by the rest is linear in crc1: find the value whose
  // contribution cancels the rest's.
  const uint16_t rest = Crc16(out.data() + 4, first - 4);
  std::array<uint16_t, 16> basis{};
  std::vector<uint8_t> probe(first - 2, 0);
  for (int bit = 0; bit < 16; ++bit) {
    probe[0] = static_cast<uint8_t>((1u << bit) >> 8);
    probe[1] = static_cast<uint8_t>(1u << bit);
    basis[bit] = Crc16(probe.data(), probe.size());
  }
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    uint16_t v = 0;
    for (int bit = 0; bit < 16; ++bit)
      if (c & (1u << bit)) v ^= basis[bit];
    if (v == rest) {
      out[2] = static_cast<uint8_t>(c >> 8);
      out[3] = static_cast<uint8_t>(c);
      break;
    }
  }
  if (Crc16(out.data() + 2, first - 2) != 0) return {};
  return out;
}

}  // namespace rw
