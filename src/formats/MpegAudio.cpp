// MPEG audio frame headers and bit rates.
#include "formats/MpegAudio.h"

#include "formats/ByteOrder.h"
#include "formats/WaveFormat.h"

namespace rw {

namespace {

// Kilobits per second by bit-rate index: MPEG-1 layers I, II, III; MPEG-2/2.5 layer I, II+III.
constexpr uint16_t Bitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr uint32_t SampleRates[3] = {44100, 48000, 32000};

int BitrateTable(int Layer, bool Mpeg1) { return Mpeg1 ? Layer - 1 : (Layer == 1 ? 3 : 4); }

}  // namespace

void MpegFrameSlots(const TMpegAudioHeader& H, bool Mpeg1, uint64_t& Numerator,
                    uint32_t& SlotBytes) {
  if (H.Layer == 1) {
    Numerator = uint64_t{12} * H.Bitrate;
    SlotBytes = 4;
  } else {
    Numerator = uint64_t{H.Layer == 3 && !Mpeg1 ? 72u : 144u} * H.Bitrate;
    SlotBytes = 1;
  }
}

bool IsMpeg1Header(uint32_t Bits) { return ((Bits >> 19) & 3) == 3; }

bool ParseMpegAudioHeader(const uint8_t* P, size_t Avail, TMpegAudioHeader& Header) {
  if (Avail < MpegAudioHeaderBytes || P[0] != 0xFF || (P[1] & 0xE0) != 0xE0) return false;
  const int version = (P[1] >> 3) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
  const int layerBits = (P[1] >> 1) & 3;
  const int bitrateIndex = P[2] >> 4;
  const int rateIndex = (P[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
    return false;
  TMpegAudioHeader h;
  h.Bits = (uint32_t{P[0]} << 24) | (uint32_t{P[1]} << 16) | (uint32_t{P[2]} << 8) | P[3];
  h.Layer = 4 - layerBits;
  const bool mpeg1 = version == 3;
  const int table = BitrateTable(h.Layer, mpeg1);
  h.Bitrate = uint32_t{Bitrates[table][bitrateIndex]} * 1000;
  h.SampleRate = SampleRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  h.Samples = h.Layer == 1 ? 384 : (h.Layer == 3 && !mpeg1 ? 576 : 1152);
  uint64_t numerator = 0;
  uint32_t slotBytes = 1;
  MpegFrameSlots(h, mpeg1, numerator, slotBytes);
  const uint32_t padding = (P[2] >> 1) & 1;
  h.FrameSize = static_cast<uint32_t>(numerator / h.SampleRate + padding) * slotBytes;
  Header = h;
  return true;
}

bool MpegAudioFormat(const std::string& Format, TMpegAudioFormat& Result) {
  if (Format.size() < riff::WaveBitsPerSampleOffset) return false;
  const uint16_t tag = GetLE16(Format.data() + riff::WaveFormatTagOffset);
  TMpegAudioFormat f;
  if (tag == riff::waveMpegLayer3) {
    f.Layer = 3;
  } else if (tag == riff::waveMpeg) {
    // The layer field after the wave format: 1, 2 or 4 for layers I, II and III.
    constexpr uint32_t LayerOffset = 18;
    const uint16_t layer =
        Format.size() >= LayerOffset + 2 ? GetLE16(Format.data() + LayerOffset) : 2;
    f.Layer = layer == 1 ? 1 : layer == 4 ? 3 : 2;
  } else {
    return false;
  }
  f.SampleRate = GetLE32(Format.data() + riff::WaveSamplesPerSecOffset);
  bool known = false;
  for (uint32_t rate : SampleRates) {
    if (f.SampleRate == rate) known = f.Mpeg1 = true;
    if (f.SampleRate == rate / 2 || f.SampleRate == rate / 4) known = true;
  }
  if (!known) return false;
  f.SamplesPerFrame = f.Layer == 1 ? 384 : (f.Layer == 3 && !f.Mpeg1 ? 576 : 1152);
  Result = f;
  return true;
}

bool IsMpegByteRate(const TMpegAudioFormat& Format, long double BytesPerSecond) {
  const int table = BitrateTable(Format.Layer, Format.Mpeg1);
  for (int i = 1; i < 15; ++i)
    if (BytesPerSecond * 8 == static_cast<long double>(Bitrates[table][i]) * 1000) return true;
  return false;
}

bool IsMpegBitRate(int Layer, bool Mpeg1, uint32_t BitsPerSecond) {
  if (Layer < 1 || Layer > 3) return false;
  const int table = BitrateTable(Layer, Mpeg1);
  for (int i = 1; i < 15; ++i)
    if (BitsPerSecond == uint32_t{Bitrates[table][i]} * 1000) return true;
  return false;
}

}  // namespace rw
