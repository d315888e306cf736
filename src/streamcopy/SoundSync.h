#pragma once
// Keeps each source's sound with its pictures in a stream-copy join. AVI has no time stamps:
// a stream's time is its position (with sample size 0 every chunk is one block of Scale/Rate
// seconds, otherwise bytes / SampleSize x Scale/Rate), so any source whose sound is longer or
// shorter than its pictures would shift every later source. Each source's sound is placed to
// start where it starts in the source relative to its first picture (the stream headers'
// Start delays included) and to end at its last picture: missing sound becomes silence of the
// stream's own format, sound past the last picture (or before the first) is cut. PCM is placed
// to the sample, compressed sound to the block (one MPEG audio, AC-3 or AAC frame). MPEG audio
// that is not timed by bytes at one constant bit rate is written one frame a chunk and timed by
// its frames, whatever the sources' headers claim: the bytes of variable-rate frames say
// nothing of their time.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/RiffFormat.h"
#include "streamcopy/SoundBlocks.h"

namespace rw {

class TSoundSync {
public:
  // Writes one sound chunk to the output.
  using TWrite = std::function<void(const uint8_t* Data, uint32_t Size, bool KeyFrame)>;

  // The sound stream header of the output: the first source's, starting no later than the end
  // of that source's Pictures (a count of 0 is taken as unknown). The output's sound time
  // starts there; were it later, every source whose pictures end before it would lose its
  // sound, and a short join all of it. Sound of the first source past its pictures is cut
  // anyway. Where silence of the format (SoundFormat, the first source's) can be made, the
  // output's sound starts with its pictures instead and the first source's delay is written as
  // silence: some players (GStreamer) ignore a sound stream's Start and would play all of the
  // sound that much early.
  static TAVIStreamHeader OutputSoundHeader(const TAVIStreamHeader& Video,
                                            const TAVIStreamHeader& Sound, uint32_t Pictures,
                                            const std::string& SoundFormat);

  // Whether MPEG audio of this header and format is timed by its bytes at one constant bit rate
  // its frames can have; then BytesPerSecond is that rate. False for any other sound.
  static bool ByteTimedConstantRate(const TAVIStreamHeader& Sound, const std::string& Format,
                                    long double& BytesPerSecond);
  // Makes the sound stream header and format of MPEG audio timed by its frames: one frame a
  // chunk, Scale the samples of a frame, Rate the sample rate, the start delay kept in seconds,
  // the format's block align the samples of a frame (as players expect of such streams). False
  // (nothing changed) when the format is not MPEG audio.
  static bool TimeByFrames(TAVIStreamHeader& Sound, std::string& Format);

  // The output's video and sound stream headers and its sound format (the first source's).
  TSoundSync(const TAVIStreamHeader& Video, const TAVIStreamHeader& Sound,
             const std::string& SoundFormat);

  // A source begins: its video header, its sound header (nullptr when it has no sound), the
  // pictures of it that are written and the seconds of its pictures left out before the first
  // of them (its sound before that time is left out too).
  void BeginSource(const TAVIStreamHeader& Video, const TAVIStreamHeader* Sound, uint32_t Pictures,
                   long double Skipped = 0);
  // Seconds by which the sound written so far ends before the pictures written so far
  // (negative: after them); 0 without usable clocks. Converted sound is made to start where
  // the sound ends, this much before its source's first picture: to the sample, where silence
  // (a block at a time, or none in formats that have none) would leave up to a block.
  long double SoundLag() const;
  // After BeginSource: the source's sound starts Seconds after its first picture (converted
  // sound made with a lead starts SoundLag before it).
  void SetSourceSoundStart(long double Seconds) { FDelay = Seconds; }
  // The source's pictures were counted anew (its index was rebuilt from its data).
  void SetSourcePictures(uint32_t Pictures) {
    FEndUnits = UnitsAt(PictureTime(FFirstPicture + Pictures));
  }
  // One picture of the source was written.
  void PictureWritten() { ++FPictures; }
  // After a picture: the silence that is due by now, while the source's sound has not begun
  // (its start delay) or is over (SoundOver: no sound left, or none at all), so that silence
  // lies interleaved with the pictures it plays with, a picture's time at most a chunk, as
  // players that read the file in order need.
  void WriteDueSilence(bool SoundOver, const TWrite& Write);
  // One sound chunk of the source, in time order: writes what of it belongs with the
  // source's pictures, after any silence that must come first.
  void CopySound(const uint8_t* Data, uint32_t Size, bool KeyFrame, const TWrite& Write);
  // The source ended (also when it was cut short or the join was cancelled): silence up to the
  // end of its last picture written.
  void EndSource(const TWrite& Write);

  // Sound units (bytes or chunks) still missing up to the end of the pictures written so far;
  // 0 without usable clocks. A converted source's sound is pulled while some are.
  int64_t UnitsDue() const {
    return FEnabled ? UnitsAt(PictureTime(FPictures)) - static_cast<int64_t>(FUnits) : 0;
  }

  // After EndSource: whether the source had sound but none of it lay within its pictures (it
  // starts after the last one, say), so that all of it was left out.
  bool SourceSoundLeftOut() const { return FSourceSoundSeen && !FSourceSoundKept; }
  // After EndSource: whether a gap of more than a block in the source's sound was left
  // unfilled (no silence of the format, or past the budget), so that later sound plays early.
  bool SourceGapLeft() const { return FSourceGapLeft; }

  // Silence is never written beyond this many bytes in all (a bound against absurd stream
  // clocks); past it, gaps stay unfilled.
  void SetSilenceBudget(uint64_t Bytes) { FSilenceBudget = Bytes; }

private:
  // Output units of sound (bytes or chunks) from the stream start to an output time (seconds
  // from the output's zero), rounded to the nearest.
  int64_t UnitsAt(long double Seconds) const;
  // Output time at the start of picture N of the output.
  long double PictureTime(uint64_t N) const;
  // Places the source's first sound: silence before it, or the part of it to leave out.
  void PlaceSourceStart(const TWrite& Write);
  void WriteSilence(int64_t Units, const TWrite& Write);
  // CopySound for one block of the output: one chunk, or one MPEG audio frame.
  void CopyBlock(const uint8_t* Data, uint32_t Size, bool KeyFrame, const TWrite& Write);
  // CopySound of MPEG audio timed by frames: the chunk's bytes, after what the source's
  // previous chunk left of a frame, become whole frames.
  void CopyFrames(const uint8_t* Data, uint32_t Size, const TWrite& Write);
  // Of Units wanted from the start of the chunk, the bytes to take: a whole number of samples
  // for PCM, the nearest frame boundary for MPEG audio, else all or nothing by the nearer end.
  uint32_t CutBytes(const uint8_t* Data, uint32_t Size, int64_t Units) const;
  int64_t UnitsOf(uint32_t Bytes) const { return FSampleSize ? Bytes : 1; }

  // The output's clocks; without usable ones the sound is copied as it comes.
  bool FEnabled = false;
  uint32_t FVideoScale, FVideoRate;
  uint32_t FSoundScale, FSoundRate, FSampleSize;
  long double FVideoStart, FSoundStart;  // seconds of the headers' Start fields
  TSilenceMaker FSilence;
  bool FByFrames = false;       // MPEG audio timed by frames, one a chunk
  uint32_t FFrameBits = 0;      // the first frame header of the stream, once one was found
  std::vector<uint8_t> FFrame;  // the start of a frame that goes on in the next chunk

  // Output written so far.
  uint64_t FPictures = 0;
  uint64_t FUnits = 0;  // sound: bytes with a sample size, else chunks

  // The source being copied.
  uint64_t FFirstPicture = 0;      // output picture number of its first picture
  int64_t FEndUnits = 0;           // sound units at the end of its listed pictures
  long double FDelay = 0;          // its sound's start after its first picture, in seconds
  bool FStartPending = false;      // its sound's start not yet placed
  int64_t FSkipUnits = 0;          // its sound to leave out before its first picture
  bool FSourceSoundSeen = false;   // its sound reached CopySound
  bool FSourceSoundKept = false;   // some of it was written
  bool FSourceGapLeft = false;     // silence it needed could not be written
  bool FSourceFirstChunk = false;  // its first sound chunk has yet to come
  int64_t FMissingFrames = 0;      // damaged frames left out, silence not yet written
  std::vector<uint8_t> FBlock;
  uint64_t FSilenceBudget = UINT64_MAX;
};

}  // namespace rw
