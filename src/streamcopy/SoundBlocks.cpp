// Frame boundaries inside a chunk, and silence in a sound stream's
// own format.
#include "streamcopy/SoundBlocks.h"

#include <algorithm>

#include "media/RiffFormat.h"
#include "formats/AacFrames.h"
#include "formats/Ac3Frames.h"
#include "formats/MpegAudio.h"

namespace rw {

namespace {

// Bytes of an AC-3 frame's start that hold everything its silent frame copies.
constexpr uint32_t Ac3LearnBytes = 16;

// Samples per channel of an AAC-LC frame.
constexpr uint64_t AacFrameSamples = 1024;

constexpr uint32_t HeaderBytes = MpegAudioHeaderBytes;
constexpr uint32_t ProtectionBit = 1u << 16;  // set: no CRC follows the header
constexpr uint32_t PaddingBit = 1u << 9;
}  // namespace

TSilenceMaker::TSilenceMaker(const std::string& Format, const TAVIStreamHeader& Header) {
  auto word = [&](uint32_t Offset) -> uint16_t {
    return Offset + 2 <= Format.size() ? GetLE16(Format.data() + Offset) : 0;
  };
  uint16_t tag = word(riff::WaveFormatTagOffset);
  if (tag == riff::waveFormatExtensible) tag = word(riff::waveSubFormatOffset);
  const uint16_t bits = word(riff::WaveBitsPerSampleOffset);
  FBlockAlign = std::max<uint32_t>(1, word(riff::WaveBlockAlignOffset));
  FChannels = word(riff::WaveChannelsOffset);
  switch (tag) {
    case riff::wavePCM:
      FKind = TKind::Samples;
      FSilentByte = bits > 0 && bits <= 8 ? 0x80 : 0x00;  // 8-bit PCM is unsigned
      break;
    case riff::waveFloat:
      FKind = TKind::Samples;
      break;
    case riff::waveALaw:
      FKind = TKind::Samples;
      FSilentByte = 0xD5;
      break;
    case riff::waveMuLaw:
      FKind = TKind::Samples;
      FSilentByte = 0xFF;
      break;
    case riff::waveMpeg:
    case riff::waveMpegLayer3: {
      FKind = TKind::Frames;
      FFrames = TFrames::Mpeg;
      TMpegAudioFormat mpeg;
      if (MpegAudioFormat(Format, mpeg)) {
        FLayer = mpeg.Layer;
        FSampleRate = mpeg.SampleRate;
      }
      break;
    }
    case riff::waveAc3:
      FKind = TKind::Frames;
      FFrames = TFrames::Ac3;
      break;
    case riff::waveAac:
    case riff::waveAdtsAac:
    case riff::waveAacMp:
      SetUpAac(Format, Header);
      break;
    case riff::waveMsAdpcm:
    case riff::waveImaAdpcm:
      SetUpAdpcm(tag, word(riff::WaveChannelsOffset), Header);
      break;
    default:
      FKind = TKind::None;
  }
  // Samples are counted by the stream's sample size when it is a whole number of them.
  const uint32_t sampleSize = Header.SampleSize;
  if (FKind == TKind::Samples && sampleSize > FBlockAlign && sampleSize % FBlockAlign == 0)
    FBlockAlign = sampleSize;
}

void TSilenceMaker::SetUpAdpcm(uint16_t Tag, uint16_t Channels, const TAVIStreamHeader& Header) {
  // Each block begins with a header per channel: MS ADPCM's predictor (1 byte), delta and two
  // first samples (2 bytes each); IMA ADPCM's first sample, step index and a reserved byte.
  const uint32_t headerBytes = (Tag == riff::waveMsAdpcm ? 7u : 4u) * Channels;
  if (Channels == 0 || FBlockAlign <= headerBytes) return;
  // Zero first samples, the smallest step (MS ADPCM: predictor 0, delta 16) and zero codes
  // after them decode to zeros.
  std::vector<uint8_t> block(FBlockAlign, 0);
  if (Tag == riff::waveMsAdpcm)
    for (uint32_t c = 0; c < Channels; ++c) block[Channels + 2 * c] = 16;
  if (Header.SampleSize == 0) {
    // One block a chunk, timed like a frame.
    FKind = TKind::Frames;
    FFrames = TFrames::Blocks;
    FSilentFrame = std::move(block);
    FHaveHeader = true;
  } else {
    FKind = TKind::Samples;
    FSilentBlock = std::move(block);
  }
}

void TSilenceMaker::SetUpAac(const std::string& Format, const TAVIStreamHeader& Header) {
  FKind = TKind::None;
  if (Format.size() < riff::WaveBlockAlignOffset) return;
  FSampleRate = GetLE32(Format.data() + riff::WaveSamplesPerSecOffset);
  // A silent chunk is one frame: the stream must be timed so.
  if (Header.SampleSize != 0 || FSampleRate == 0 || Header.Rate == 0 ||
      uint64_t{Header.Scale} * FSampleRate != AacFrameSamples * Header.Rate)
    return;
  FFrames = TFrames::Aac;
  // The config follows the wave format, and the extensible format's fields where it has them.
  const uint32_t at =
      GetLE16(Format.data() + riff::WaveFormatTagOffset) == riff::waveFormatExtensible
          ? riff::WaveExtraOffset + riff::WaveExtensibleExtraSize
          : riff::WaveExtraOffset;
  const size_t end = Format.size() < riff::WaveExtraOffset
                         ? 0
                         : std::min<size_t>(GetLE16(Format.data() + riff::WaveExtraSizeOffset) +
                                                riff::WaveExtraOffset,
                                            Format.size());
  const size_t extra = end > at ? end - at : 0;
  if (extra == 0) {
    FKind = TKind::Frames;  // ADTS frames, learnt from the stream's first good one
    FAdts = true;
    return;
  }
  TAacConfig config;
  if (!ParseAacConfig(reinterpret_cast<const uint8_t*>(Format.data()) + at, extra, config) ||
      config.SampleRate != FSampleRate)
    return;
  FKind = TKind::Frames;
  FSilentFrame = MakeSilentAacFrame(config.Channels);
  FHaveHeader = true;
}

uint32_t TSilenceMaker::FrameAt(const uint8_t* P, size_t Avail) const {
  if (FFrames == TFrames::Ac3) return Ac3FrameSize(P, Avail);
  // One frame a chunk: cuts fall between chunks.
  if (FFrames == TFrames::Aac || FFrames == TFrames::Blocks) return 0;
  TMpegAudioHeader h;
  return ParseMpegAudioHeader(P, Avail, h) ? h.FrameSize : 0;
}

int64_t TSilenceMaker::NearestFrameBoundary(const uint8_t* Data, uint32_t Size,
                                            uint64_t Wanted) const {
  if (FKind != TKind::Frames || FrameAt(Data, Size) == 0) return -1;
  // Boundaries: the start, the end of every whole frame that follows, and the chunk's end.
  uint64_t best = 0;
  auto distance = [&](uint64_t B) { return B > Wanted ? B - Wanted : Wanted - B; };
  auto consider = [&](uint64_t B) {
    if (distance(B) < distance(best)) best = B;
  };
  uint64_t pos = 0;
  while (pos < Size) {
    const uint32_t frame = FrameAt(Data + pos, Size - pos);
    if (frame == 0 || pos + frame > Size) break;
    pos += frame;
    consider(pos);
  }
  consider(Size);
  return static_cast<int64_t>(best);
}

void TSilenceMaker::Learn(const uint8_t* Data, uint32_t Size) {
  if (FKind != TKind::Frames) return;
  if (FFrames == TFrames::Aac) {
    // With a config, the first chunk tells whether its frames come in ADTS headers.
    if ((!FHaveHeader || !FFirstChunkSeen) && FKind == TKind::Frames && Size > 0)
      LearnAac(Data, Size);
    FFirstChunkSeen = true;
    return;
  }
  if (FHaveHeader) return;
  if (FFrames == TFrames::Ac3)
    LearnAc3(Data, Size);
  else
    LearnMpeg(Data, Size);
}

void TSilenceMaker::LearnAc3(const uint8_t* Data, uint32_t Size) {
  for (uint32_t at = 0; at + 1 < Size; ++at) {
    if (Ac3FrameSize(Data + at, Size - at) == 0) continue;
    FSilentFrame = MakeSilentAc3Frame(Data + at, Size - at);
    if (FSilentFrame.empty() && Size - at >= Ac3LearnBytes) FKind = TKind::None;  // tried once
    FHaveHeader = !FSilentFrame.empty();
    return;
  }
}

void TSilenceMaker::LearnAac(const uint8_t* Data, uint32_t Size) {
  // Chunks that begin with an ADTS header hold ADTS frames (a raw frame never begins with
  // those bits: they would end it at once); then silence takes the header of the stream's
  // first frame that agrees with its format. A damaged header costs only its frame; a stream
  // whose first chunks hold no such header has neither a config nor ADTS frames.
  constexpr uint32_t ChunksTried = 8;
  if (AdtsFrameFits(Data, Size)) {
    FSilentFrame = MakeSilentAdtsFrame(Data, Size);
    FHaveHeader = !FSilentFrame.empty();
  }
  if (!FHaveHeader && ++FAacChunksTried >= ChunksTried) FKind = TKind::None;
}

bool TSilenceMaker::AdtsFrameFits(const uint8_t* Data, uint32_t Size) const {
  TAacConfig config;
  return ParseAdtsHeader(Data, Size, config) && config.SampleRate == FSampleRate &&
         (FChannels == 0 || config.Channels == FChannels ||
          (config.Channels == 7 && FChannels == 8));
}

void TSilenceMaker::TrimToFrames(const uint8_t*& Data, uint32_t& Size) const {
  if (FKind != TKind::Frames || FFrames != TFrames::Ac3) return;
  const uint32_t junk = JunkBefore(Data, Size);
  Data += junk;
  uint32_t whole = 0;
  for (uint32_t frame; (frame = Ac3FrameSize(Data + whole, Size - junk - whole)) != 0 &&
                       whole + frame <= Size - junk;)
    whole += frame;
  Size = whole;
}

bool TSilenceMaker::DamagedFrame(const uint8_t* Data, uint32_t Size) const {
  return FKind == TKind::Frames && FFrames == TFrames::Aac && FAdts && !AdtsFrameFits(Data, Size);
}

bool TSilenceMaker::MpegFrameFits(const TMpegAudioHeader& H) const {
  const bool mono = (H.Bits >> 6 & 3) == 3;
  return (FLayer == 0 || H.Layer == FLayer) && (FSampleRate == 0 || H.SampleRate == FSampleRate) &&
         (FChannels == 0 || mono == (FChannels == 1));
}

uint32_t TSilenceMaker::JunkBefore(const uint8_t* Data, uint32_t Size) const {
  if (FKind != TKind::Frames || (FFrames != TFrames::Mpeg && FFrames != TFrames::Ac3)) return 0;
  for (uint32_t at = 0; at + 4 <= Size; ++at) {
    if (FFrames == TFrames::Ac3) {
      if (Ac3FrameSize(Data + at, Size - at) != 0) return at;
      continue;
    }
    TMpegAudioHeader h, next;
    if (!ParseMpegAudioHeader(Data + at, Size - at, h) || !MpegFrameFits(h) ||
        (FHaveHeader && (h.Bits & 0xFFFE0C00u) != (FHeader.Bits & 0xFFFE0C00u)))
      continue;
    const uint64_t following = uint64_t{at} + h.FrameSize;
    if (following + HeaderBytes <= Size &&
        (!ParseMpegAudioHeader(Data + following, Size - following, next) ||
         (next.Bits & 0xFFFE0C00u) != (h.Bits & 0xFFFE0C00u)))
      continue;
    return at;
  }
  return Size;
}

void TSilenceMaker::LearnMpeg(const uint8_t* Data, uint32_t Size) {
  // The first header that the next frame's header confirms (or that ends the chunk).
  for (uint32_t at = 0; at + HeaderBytes <= Size; ++at) {
    TMpegAudioHeader h, next;
    if (!ParseMpegAudioHeader(Data + at, Size - at, h) || !MpegFrameFits(h)) continue;
    const uint64_t following = uint64_t{at} + h.FrameSize;
    if (following + HeaderBytes <= Size &&
        (!ParseMpegAudioHeader(Data + following, Size - following, next) ||
         (next.Bits & 0xFFFE0C00u) != (h.Bits & 0xFFFE0C00u)))
      continue;
    if (following > Size) continue;
    FHeader = h;
    // The silent frame needs no CRC and takes its padding from the pattern below.
    FHeader.Bits = (h.Bits | ProtectionBit) & ~PaddingBit;
    MpegFrameSlots(FHeader, IsMpeg1Header(FHeader.Bits), FSlotNumerator, FSlotBytes);
    FPaddingRest = 0;
    FHaveHeader = true;
    return;
  }
}

void TSilenceMaker::Samples(std::vector<uint8_t>& Block, uint32_t Bytes) const {
  if (FSilentBlock.empty()) {
    Block.assign(Bytes, FSilentByte);
    return;
  }
  Block.clear();
  while (Block.size() + FSilentBlock.size() <= Bytes)
    Block.insert(Block.end(), FSilentBlock.begin(), FSilentBlock.end());
}

uint32_t TSilenceMaker::NextFrameSize() const {
  if (FFrames != TFrames::Mpeg) return static_cast<uint32_t>(FSilentFrame.size());
  const uint64_t rate = FHeader.SampleRate;
  const bool padded = FPaddingRest + FSlotNumerator % rate >= rate;
  return static_cast<uint32_t>(FSlotNumerator / rate + (padded ? 1 : 0)) * FSlotBytes;
}

void TSilenceMaker::NextFrame(std::vector<uint8_t>& Block) {
  if (FFrames != TFrames::Mpeg) {
    Block = FSilentFrame;
    return;
  }
  const uint64_t rate = FHeader.SampleRate;
  FPaddingRest += FSlotNumerator % rate;
  const bool padded = FPaddingRest >= rate;
  if (padded) FPaddingRest -= rate;
  const uint32_t size =
      static_cast<uint32_t>(FSlotNumerator / rate + (padded ? 1 : 0)) * FSlotBytes;
  // Zero side information and no allocated bits: the frame decodes to silence.
  Block.assign(std::max(size, HeaderBytes), 0);
  const uint32_t bits = FHeader.Bits | (padded ? PaddingBit : 0);
  for (int i = 0; i < 4; ++i) Block[i] = static_cast<uint8_t>(bits >> (24 - 8 * i));
}

}  // namespace rw
