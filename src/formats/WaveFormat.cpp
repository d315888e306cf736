#include "formats/WaveFormat.h"

#include <cstdio>

#include "formats/ByteOrder.h"

namespace rw {

uint16_t WaveFormatTag(const void* Format, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Format);
  if (Size < riff::WaveFormatTagOffset + 2) return 0;
  const uint16_t tag = GetLE16(p + riff::WaveFormatTagOffset);
  if (tag == riff::waveFormatExtensible && Size >= riff::waveSubFormatOffset + 2)
    return GetLE16(p + riff::waveSubFormatOffset);
  return tag;
}

bool IsSampleSound(uint16_t Tag) {
  return Tag == riff::wavePCM || Tag == riff::waveFloat || Tag == riff::waveALaw ||
         Tag == riff::waveMuLaw;
}

bool IsAacTag(uint16_t Tag) {
  return Tag == riff::waveAac || Tag == riff::waveAdtsAac || Tag == riff::waveRawAac ||
         Tag == riff::waveHeAac || Tag == riff::waveAacMp;
}

std::string SoundCodecName(uint16_t Tag) {
  switch (Tag) {
    case riff::wavePCM:
      return "PCM";
    case riff::waveMsAdpcm:
      return "MS ADPCM";
    case riff::waveFloat:
      return "32-bit float";
    case riff::waveALaw:
      return "A-law";
    case riff::waveMuLaw:
      return "u-law";
    case riff::waveImaAdpcm:
      return "IMA ADPCM";
    case riff::waveMpeg:
      return "MP2";
    case riff::waveMpegLayer3:
      return "MP3";
    case riff::waveAac:
    case riff::waveAdtsAac:
    case riff::waveRawAac:
    case riff::waveHeAac:
    case riff::waveAacMp:
      return "AAC";
    case riff::waveWma1:
    case riff::waveWma2:
    case riff::waveWmaPro:
    case riff::waveWmaLossless:
      return "WMA";
    case riff::waveAc3:
      return "AC-3";
    case riff::waveDts:
      return "DTS";
    default:
      break;
  }
  char text[16];
  std::snprintf(text, sizeof text, "format 0x%04X", static_cast<unsigned>(Tag));
  return text;
}

}  // namespace rw
