#pragma once
// The blocks of a sound stream as the stream-copy join sees them: where a chunk's MPEG audio
// and AC-3 frames begin and end, and silence in the stream's own format (zero
// PCM samples, whole MPEG audio frames with the stream's header and empty data, AC-3 frames
// that code every channel with no bits, or AAC-LC frames without spectral data).
#include <cstdint>
#include <string>
#include <vector>

#include "formats/MpegAudio.h"
#include "media/RiffFormat.h"

namespace rw {

// Makes silence for one sound stream, from its format ('strf') and its stream header. PCM
// (also float and extensible PCM), A-law and mu-law get silent samples, MS and IMA ADPCM blocks
// of the format's block align that decode to zeros (as samples of that size, or one a chunk
// where the stream is timed by chunks); MPEG audio and AC-3 get
// silent frames once a frame of the stream has been seen (Learn). AAC-LC timed one frame a
// chunk (sample size 0, Scale/Rate the time of 1024 samples) gets silent frames: raw ones made
// from the AudioSpecificConfig in the format, or ADTS ones with the header of the stream's
// first frame where its chunks hold ADTS frames. Other formats have no silence this join can
// make.
class TSilenceMaker {
public:
  enum class TKind { None, Samples, Frames };

  TSilenceMaker(const std::string& Format, const TAVIStreamHeader& Header);

  TKind Kind() const { return FKind; }
  // Bytes of one sample of all channels (PCM kinds; an ADPCM block).
  uint32_t BlockAlign() const { return FBlockAlign; }
  // Takes the frame header of the stream from a chunk of it, until one is found.
  void Learn(const uint8_t* Data, uint32_t Size);
  // Whether a silent block can be made now.
  bool Ready() const { return FKind == TKind::Samples || (FKind == TKind::Frames && FHaveHeader); }
  // Fills Block with Bytes bytes of silent samples (a whole number of samples).
  void Samples(std::vector<uint8_t>& Block, uint32_t Bytes) const;
  // Fills Block with the next silent frame. MPEG frames follow the padding pattern of the
  // stream's bit rate, so a run of them has the stream's byte rate.
  void NextFrame(std::vector<uint8_t>& Block);
  // The size of the frame NextFrame makes next.
  uint32_t NextFrameSize() const;
  // Whether an MPEG audio frame header agrees with the stream's format: its layer, sample rate
  // and (mono or not) channels, where the format names them. Frames that do not are damage.
  bool MpegFrameFits(const TMpegAudioHeader& H) const;
  // MPEG audio and AC-3: the bytes before the chunk's first frame of this stream (one that
  // agrees with the format, confirmed by the frame after it where the chunk holds one): damage
  // or junk. Size when it holds none; 0 for other kinds.
  uint32_t JunkBefore(const uint8_t* Data, uint32_t Size) const;
  // AC-3 timed a frame a chunk: what of the chunk a decoder plays, its whole frames from the
  // first one on (Size 0 when it holds none); junk before them and a frame cut short are left
  // out. Other kinds are left as they are.
  void TrimToFrames(const uint8_t*& Data, uint32_t& Size) const;
  // A stream of ADTS frames, one a chunk: whether the chunk's header is damaged (no ADTS
  // header of the stream's rate and channels), so that a decoder would drop the frame.
  bool DamagedFrame(const uint8_t* Data, uint32_t Size) const;
  // The byte length of the whole frames at the start of Data that best fits Wanted bytes: the
  // frame boundary nearest to it (the chunk's end counts as one). -1 when Data does not begin
  // with a frame of this stream's kind (the caller then keeps or drops whole chunks).
  int64_t NearestFrameBoundary(const uint8_t* Data, uint32_t Size, uint64_t Wanted) const;

private:
  enum class TFrames { Mpeg, Ac3, Aac, Blocks };
  // Size of the frame at P of this stream's kind, 0 when there is none.
  uint32_t FrameAt(const uint8_t* P, size_t Avail) const;
  void LearnMpeg(const uint8_t* Data, uint32_t Size);
  void LearnAc3(const uint8_t* Data, uint32_t Size);
  void LearnAac(const uint8_t* Data, uint32_t Size);
  bool AdtsFrameFits(const uint8_t* Data, uint32_t Size) const;
  // AAC: the format's AudioSpecificConfig, when it gives plain AAC-LC at the format's rate
  // and Header times one frame a chunk (Kind None otherwise).
  void SetUpAac(const std::string& Format, const TAVIStreamHeader& Header);
  // MS and IMA ADPCM: a silent block of the format's block align and channels (Kind None when
  // the block cannot hold their headers).
  void SetUpAdpcm(uint16_t Tag, uint16_t Channels, const TAVIStreamHeader& Header);

  TKind FKind = TKind::None;
  TFrames FFrames = TFrames::Mpeg;
  uint32_t FBlockAlign = 1;
  uint8_t FSilentByte = 0;
  bool FHaveHeader = false;
  std::vector<uint8_t> FSilentFrame;  // the silent AC-3, AAC or ADPCM frame, made once
  std::vector<uint8_t> FSilentBlock;  // ADPCM timed by bytes: one silent block
  uint32_t FSampleRate = 0;           // AAC and MPEG audio: the format's sample rate
  uint16_t FChannels = 0;             // the format's channels
  int FLayer = 0;                     // MPEG audio: the format's layer, 0 when it names none
  bool FFirstChunkSeen = false;       // AAC: a chunk was learnt from
  bool FAdts = false;                 // AAC: frames in ADTS headers, the format has no config
  uint32_t FAacChunksTried = 0;       // AAC: chunks without an ADTS header of the stream
  TMpegAudioHeader FHeader;
  uint64_t FSlotNumerator = 0;  // frame length in slots = FSlotNumerator / FHeader.SampleRate
  uint64_t FPaddingRest = 0;
  uint32_t FSlotBytes = 1;
};

}  // namespace rw
