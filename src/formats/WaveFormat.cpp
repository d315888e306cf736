#include "formats/WaveFormat.h"

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

}  // namespace rw
