#pragma once
// The wave format (WAVEFORMATEX) that describes a sound stream: where its fields stand, the
// format tags, and what a tag says of the sound.
#include <cstddef>
#include <cstdint>
#include <string>

namespace rw {

namespace riff {

// Offsets inside an audio stream's format (wave format header).
inline constexpr uint32_t WaveFormatTagOffset = 0;
inline constexpr uint32_t WaveChannelsOffset = 2;
inline constexpr uint32_t WaveSamplesPerSecOffset = 4;
inline constexpr uint32_t WaveAvgBytesPerSecOffset = 8;
inline constexpr uint32_t WaveBlockAlignOffset = 12;
inline constexpr uint32_t WaveBitsPerSampleOffset = 14;
// The count of the bytes that follow the wave format header, and where they begin.
inline constexpr uint32_t WaveExtraSizeOffset = 16;
inline constexpr uint32_t WaveExtraOffset = 18;

// Wave format tags.
inline constexpr uint16_t wavePCM = 0x0001;
inline constexpr uint16_t waveFloat = 0x0003;
inline constexpr uint16_t waveALaw = 0x0006;
inline constexpr uint16_t waveMuLaw = 0x0007;
inline constexpr uint16_t waveMpeg = 0x0050;
inline constexpr uint16_t waveMpegLayer3 = 0x0055;
inline constexpr uint16_t waveAc3 = 0x2000;
// AAC: raw frames (with an AudioSpecificConfig after the wave format) or ADTS frames; the last
// two say only that ADTS headers come with the frames.
inline constexpr uint16_t waveAac = 0x00FF;
inline constexpr uint16_t waveAdtsAac = 0x1600;
inline constexpr uint16_t waveAacMp = 0x706D;
// Other tags the list names.
inline constexpr uint16_t waveMsAdpcm = 0x0002;
inline constexpr uint16_t waveImaAdpcm = 0x0011;
inline constexpr uint16_t waveRawAac = 0x1601;
inline constexpr uint16_t waveHeAac = 0x1610;
inline constexpr uint16_t waveWma1 = 0x0160;
inline constexpr uint16_t waveWma2 = 0x0161;
inline constexpr uint16_t waveWmaPro = 0x0162;
inline constexpr uint16_t waveWmaLossless = 0x0163;
inline constexpr uint16_t waveDts = 0x2001;

// WAVE_FORMAT_EXTENSIBLE: its tag, and where its sub-format GUID (whose first two bytes are
// the real format tag) stands in the wave format.
inline constexpr uint16_t waveFormatExtensible = 0xFFFE;
inline constexpr size_t waveSubFormatOffset = 24;
// The extensible format's own bytes after the header (valid bits, channel mask, sub-format).
inline constexpr uint16_t WaveExtensibleExtraSize = 22;

}  // namespace riff

// The format tag of the wave format in Format (Size bytes): the sub-format's for an extensible
// format that has one; 0 when Format is too short to hold a tag.
uint16_t WaveFormatTag(const void* Format, size_t Size);
inline uint16_t WaveFormatTag(const std::string& Format) {
  return WaveFormatTag(Format.data(), Format.size());
}

// Sound made of samples (PCM, float, A-law, mu-law) for the tag WaveFormatTag gives: any number
// of whole samples makes a chunk, its length is its bytes over the block size, and silence is
// a run of silent samples. Every other tag codes frames.
bool IsSampleSound(uint16_t Tag);

// The codec of a tag as people know it ("PCM", "MP3", "AAC", "AC-3"); "format 0x1234" for a
// tag this program has no name for.
std::string SoundCodecName(uint16_t Tag);

// AAC under any of the tags that writers give it.
bool IsAacTag(uint16_t Tag);

}  // namespace rw
