// Placing each source's sound against its pictures in a stream-copy join: silence before or
// after it, cuts at its ends.
#include "streamcopy/SoundSync.h"

#include <algorithm>
#include <cmath>

namespace rw {

namespace {

long double StartSeconds(const TAVIStreamHeader& H) {
  if (H.Scale == 0 || H.Rate == 0) return 0;
  return static_cast<long double>(H.Start) * H.Scale / H.Rate;
}

}  // namespace

TAVIStreamHeader TSoundSync::OutputSoundHeader(const TAVIStreamHeader& Video,
                                               const TAVIStreamHeader& Sound, uint32_t Pictures,
                                               const std::string& SoundFormat) {
  TAVIStreamHeader header = Sound;
  if (TSilenceMaker(SoundFormat, Sound).Kind() != TSilenceMaker::TKind::None) {
    header.Start = 0;
    return header;
  }
  if (Pictures == 0 || Video.Scale == 0 || Video.Rate == 0 || Sound.Scale == 0 || Sound.Rate == 0)
    return header;
  const long double end =
      StartSeconds(Video) + static_cast<long double>(Pictures) * Video.Scale / Video.Rate;
  if (StartSeconds(Sound) > end) {
    const long double ticks = std::floor(end * Sound.Rate / Sound.Scale);
    header.Start = static_cast<uint32_t>(std::clamp<long double>(ticks, 0, Sound.Start));
  }
  return header;
}

bool TSoundSync::ByteTimedConstantRate(const TAVIStreamHeader& Sound, const std::string& Format,
                                       long double& BytesPerSecond) {
  TMpegAudioFormat mpeg;
  if (!MpegAudioFormat(Format, mpeg) || Sound.SampleSize == 0 || Sound.Scale == 0) return false;
  const long double rate = static_cast<long double>(Sound.Rate) * Sound.SampleSize / Sound.Scale;
  if (!IsMpegByteRate(mpeg, rate)) return false;
  BytesPerSecond = rate;
  return true;
}

bool TSoundSync::TimeByFrames(TAVIStreamHeader& Sound, std::string& Format) {
  TMpegAudioFormat mpeg;
  if (!MpegAudioFormat(Format, mpeg)) return false;
  const long double start =
      std::round(StartSeconds(Sound) * mpeg.SampleRate / mpeg.SamplesPerFrame);
  Sound.Start = static_cast<uint32_t>(std::clamp<long double>(start, 0, UINT32_MAX));
  Sound.Scale = mpeg.SamplesPerFrame;
  Sound.Rate = mpeg.SampleRate;
  Sound.SampleSize = 0;
  PutLE16(Format.data() + riff::WaveBlockAlignOffset, static_cast<uint16_t>(mpeg.SamplesPerFrame));
  return true;
}

TSoundSync::TSoundSync(const TAVIStreamHeader& Video, const TAVIStreamHeader& Sound,
                       const std::string& SoundFormat)
    : FVideoScale(Video.Scale),
      FVideoRate(Video.Rate),
      FSoundScale(Sound.Scale),
      FSoundRate(Sound.Rate),
      FSampleSize(Sound.SampleSize),
      FVideoStart(StartSeconds(Video)),
      FSoundStart(StartSeconds(Sound)),
      FSilence(SoundFormat, Sound) {
  FEnabled = FVideoScale != 0 && FVideoRate != 0 && FSoundScale != 0 && FSoundRate != 0;
  TMpegAudioFormat mpeg;
  FByFrames = FSampleSize == 0 && MpegAudioFormat(SoundFormat, mpeg);
}

int64_t TSoundSync::UnitsAt(long double Seconds) const {
  // A stream without a clock (no rate or scale) has no position in time.
  if (!FEnabled) return 0;
  const long double ticks = std::round((Seconds - FSoundStart) * FSoundRate / FSoundScale);
  // Far beyond any real stream (absurd clocks): the callers' bounds then decide.
  const long double units = ticks * std::max<uint32_t>(FSampleSize, 1);
  if (std::isnan(units)) return 0;
  return static_cast<int64_t>(std::clamp<long double>(units, -1e18L, 1e18L));
}

long double TSoundSync::PictureTime(uint64_t N) const {
  return FVideoStart + static_cast<long double>(N) * FVideoScale / FVideoRate;
}

long double TSoundSync::SoundLag() const {
  if (!FEnabled) return 0;
  const long double sound = FSoundStart + static_cast<long double>(FUnits) /
                                              std::max<uint32_t>(FSampleSize, 1) * FSoundScale /
                                              FSoundRate;
  return PictureTime(FPictures) - sound;
}

void TSoundSync::BeginSource(const TAVIStreamHeader& Video, const TAVIStreamHeader* Sound,
                             uint32_t Pictures, long double Skipped) {
  FFirstPicture = FPictures;
  FEndUnits = UnitsAt(PictureTime(FFirstPicture + Pictures));
  FDelay = (Sound ? StartSeconds(*Sound) : 0) - StartSeconds(Video) - Skipped;
  FStartPending = true;
  FSkipUnits = 0;
  FSourceSoundSeen = FSourceSoundKept = FSourceGapLeft = false;
  FSourceFirstChunk = true;
  FMissingFrames = 0;
  FFrame.clear();
}

void TSoundSync::PlaceSourceStart(const TWrite& Write) {
  FStartPending = false;
  // Never later than the end of the source's pictures: sound that starts after them is cut.
  const int64_t target = std::min(UnitsAt(PictureTime(FFirstPicture) + FDelay), FEndUnits);
  const int64_t gap = target - static_cast<int64_t>(FUnits);
  if (gap > 0)
    WriteSilence(gap, Write);
  else
    FSkipUnits = -gap;
}

void TSoundSync::WriteDueSilence(bool SoundOver, const TWrite& Write) {
  if (!FEnabled) return;
  int64_t target = UnitsAt(PictureTime(FPictures));
  if (!SoundOver) {
    if (!FStartPending) return;
    // Up to where the source's sound starts; the first chunk then places it exactly.
    target = std::min({target, UnitsAt(PictureTime(FFirstPicture) + FDelay), FEndUnits});
  }
  const int64_t gap = target - static_cast<int64_t>(FUnits);
  if (gap > 0) WriteSilence(gap, Write);
}

uint32_t TSoundSync::CutBytes(const uint8_t* Data, uint32_t Size, int64_t Units) const {
  if (Units <= 0) return 0;
  if (FSampleSize == 0) return Size;  // one chunk is one block
  const uint64_t wanted = std::min<uint64_t>(static_cast<uint64_t>(Units), Size);
  if (FSilence.Kind() == TSilenceMaker::TKind::Samples) {
    const uint32_t align = FSilence.BlockAlign();
    return static_cast<uint32_t>(std::min<uint64_t>((wanted + align / 2) / align * align, Size));
  }
  const int64_t boundary = FSilence.NearestFrameBoundary(Data, Size, wanted);
  if (boundary >= 0) return static_cast<uint32_t>(boundary);
  return wanted * 2 >= Size ? Size : 0;
}

void TSoundSync::CopySound(const uint8_t* Data, uint32_t Size, bool KeyFrame, const TWrite& Write) {
  if (FByFrames)
    CopyFrames(Data, Size, Write);
  else
    CopyBlock(Data, Size, KeyFrame, Write);
}

void TSoundSync::CopyFrames(const uint8_t* Data, uint32_t Size, const TWrite& Write) {
  FSourceSoundSeen = true;
  // Frames of the stream keep the version, layer and sample rate of its first frame; bytes
  // between frames (damage, tags) are left out.
  constexpr uint32_t StreamBits = 0xFFFE0C00u;
  FFrame.insert(FFrame.end(), Data, Data + Size);
  size_t at = 0;
  bool found = false;
  while (at + 4 <= FFrame.size()) {
    TMpegAudioHeader h;
    if (!ParseMpegAudioHeader(FFrame.data() + at, FFrame.size() - at, h) ||
        !FSilence.MpegFrameFits(h) ||
        (FFrameBits != 0 && (h.Bits & StreamBits) != (FFrameBits & StreamBits))) {
      ++at;
      continue;
    }
    if (at + h.FrameSize > FFrame.size()) break;
    if (FFrameBits == 0) {
      // The stream's first frame is one that the frame after it confirms: a damaged header
      // (or bytes that look like one) must not decide which frames the stream keeps.
      const size_t following = at + h.FrameSize;
      if (following + MpegAudioHeaderBytes > FFrame.size()) break;
      TMpegAudioHeader next;
      if (!ParseMpegAudioHeader(FFrame.data() + following, FFrame.size() - following, next) ||
          (next.Bits & StreamBits) != (h.Bits & StreamBits)) {
        ++at;
        continue;
      }
      FFrameBits = h.Bits;
    }
    CopyBlock(FFrame.data() + at, h.FrameSize, true, Write);
    at += h.FrameSize;
    found = true;
  }
  // A stream whose frames cannot be measured (free format) is copied a chunk a block, as it
  // comes; what waits for the rest of a frame never outgrows the longest frame.
  if (!found && FFrameBits == 0 && FFrame.size() > 2 * MaxMpegFrameBytes) {
    FByFrames = false;
    CopyBlock(FFrame.data(), static_cast<uint32_t>(FFrame.size()), true, Write);
    FFrame.clear();
    return;
  }
  FFrame.erase(FFrame.begin(), FFrame.begin() + static_cast<std::ptrdiff_t>(at));
  if (FFrame.size() > MaxMpegFrameBytes)
    FFrame.erase(FFrame.begin(), FFrame.end() - static_cast<std::ptrdiff_t>(MaxMpegFrameBytes));
}

void TSoundSync::CopyBlock(const uint8_t* Data, uint32_t Size, bool KeyFrame, const TWrite& Write) {
  FSourceSoundSeen = true;
  if (!FEnabled) {
    Write(Data, Size, KeyFrame);
    FUnits += UnitsOf(Size);
    FSourceSoundKept = true;
    return;
  }
  FSilence.Learn(Data, Size);
  if (FStartPending) PlaceSourceStart(Write);

  // Damage or junk before the first frame of the source's sound is left out, its time
  // written as silence (whole frames, the nearest to it).
  if (FSourceFirstChunk) {
    FSourceFirstChunk = false;
    const uint32_t junk = FSampleSize ? std::min(FSilence.JunkBefore(Data, Size), Size) : 0;
    Data += junk;
    Size -= junk;
    const int64_t skipped = std::min<int64_t>(FSkipUnits, junk);
    FSkipUnits -= skipped;
    const int64_t due = std::min<int64_t>(static_cast<int64_t>(junk) - skipped,
                                          FEndUnits - static_cast<int64_t>(FUnits));
    if (due > 0) WriteSilence(due, Write);
    if (Size == 0) return;
  }
  // A frame a chunk that is damaged, cut short or junk: a silent frame in its place, once one
  // can be made.
  if (FSampleSize == 0) FSilence.TrimToFrames(Data, Size);
  if (FSampleSize == 0 && (Size == 0 || FSilence.DamagedFrame(Data, Size))) {
    if (FSkipUnits > 0)
      --FSkipUnits;
    else
      ++FMissingFrames;
    return;
  }
  if (FMissingFrames > 0 && FSilence.Ready()) {
    const int64_t due = std::min<int64_t>(FMissingFrames, FEndUnits - static_cast<int64_t>(FUnits));
    FMissingFrames = 0;
    if (due > 0) WriteSilence(due, Write);
  }

  // Sound that would play over the previous source's pictures is left out.
  if (FSkipUnits > 0) {
    if (UnitsOf(Size) <= FSkipUnits) {
      FSkipUnits -= UnitsOf(Size);
      return;
    }
    const uint32_t skip = CutBytes(Data, Size, FSkipUnits);
    FSkipUnits = 0;
    Data += skip;
    Size -= skip;
    if (Size == 0) return;
  }

  // Sound past the source's last picture is left out.
  const int64_t room = FEndUnits - static_cast<int64_t>(FUnits);
  if (room <= 0) return;
  uint32_t take = Size;
  if (UnitsOf(Size) > room) take = CutBytes(Data, Size, room);
  if (take == 0) return;
  Write(Data, take, KeyFrame);
  FUnits += UnitsOf(take);
  FSourceSoundKept = true;
}

void TSoundSync::EndSource(const TWrite& Write) {
  // A frame the source's sound ends inside of is left out.
  FFrame.clear();
  if (!FEnabled) return;
  FStartPending = false;
  const int64_t gap = UnitsAt(PictureTime(FPictures)) - static_cast<int64_t>(FUnits);
  if (gap > 0) WriteSilence(gap, Write);
}

void TSoundSync::WriteSilence(int64_t Units, const TWrite& Write) {
  // Without a silent block of this format (or past the budget) the gap stays: sound after it
  // comes that much early, until a later cut at a source's last picture puts it back in step.
  // Frames of a kind whose header is not known yet: the gap waits for the first one.
  if (FSilence.Kind() != TSilenceMaker::TKind::None && !FSilence.Ready()) return;
  int64_t left = Units;
  // Each chunk also costs its header and its index entries in the output.
  constexpr uint64_t ChunkOverhead = 8 + 16 + 8;
  auto emit = [&](uint32_t Bytes) {
    if (Bytes + ChunkOverhead > FSilenceBudget) return false;
    FSilenceBudget -= Bytes + ChunkOverhead;
    Write(FBlock.data(), Bytes, true);
    FUnits += UnitsOf(Bytes);
    left -= UnitsOf(Bytes);
    return true;
  };

  // A sample larger than any real one (a hostile format) gets no silence.
  constexpr uint32_t MaxBlock = 1 << 20;
  if (FSilence.Ready() && FSilence.Kind() == TSilenceMaker::TKind::Samples && FSampleSize != 0 &&
      FSilence.BlockAlign() <= MaxBlock) {
    // Chunks of about one picture's time, a whole number of samples each.
    const uint32_t align = FSilence.BlockAlign();
    const long double perPicture =
        static_cast<long double>(FVideoScale) / FVideoRate * FSoundRate / FSoundScale * FSampleSize;
    const uint64_t chunk = std::max<uint64_t>(
        align, static_cast<uint64_t>(std::min<long double>(perPicture, 1 << 20)) / align * align);
    while (left * 2 >= static_cast<int64_t>(align)) {
      const uint64_t bytes =
          std::min<uint64_t>(chunk, (static_cast<uint64_t>(left) + align / 2) / align * align);
      if (bytes > FSilenceBudget) break;
      if (FBlock.size() != bytes) FSilence.Samples(FBlock, static_cast<uint32_t>(bytes));
      if (!emit(static_cast<uint32_t>(bytes))) break;
    }
  } else if (FSilence.Ready() && FSilence.Kind() == TSilenceMaker::TKind::Frames) {
    // Whole frames: one chunk each, as many as are nearest to the gap.
    while (left > 0) {
      const uint32_t next = FSilence.NextFrameSize();
      if (next > MaxBlock || next > FSilenceBudget) break;
      if (FSampleSize != 0 && static_cast<uint64_t>(left) * 2 < next) return;
      FSilence.NextFrame(FBlock);
      if (!emit(static_cast<uint32_t>(FBlock.size()))) break;
    }
  }
  // What is left beyond a block (a chunk, or the format's block) stays a gap.
  const int64_t block = FSampleSize ? std::max(FSilence.BlockAlign(), FSampleSize) : 1;
  if (left > block) FSourceGapLeft = true;
}

}  // namespace rw
