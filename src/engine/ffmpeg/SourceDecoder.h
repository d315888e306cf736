#pragma once
// Reads one stream of a source file and decodes it: the last video stream or the first audio
// stream. Frames carry timestamps relative to the file's start, in the stream's time base.
// Pictures are timed by their slot: the Nth picture the decoder gives is shown in the slot of
// the Nth chunk that holds a picture (an empty chunk repeats the picture before it), as AVI
// shows them; a time the decoder guesses would carry its reorder delay. Part of the render
// engine; raises EMediaEngineError.
#include <deque>
#include <string>

#include "engine/ffmpeg/AVHandles.h"

namespace rw {

// Sample rates sound is made at, from telephone speech to the most a decoder gives; a source
// whose sound claims another rate is refused, naming the file and the rate.
inline constexpr int MinSoundRate = 4000;
inline constexpr int MaxSoundRate = 768000;
std::string SoundRateText(int Rate);

class TSourceDecoder {
public:
  // From: where the frames start. Pictures: the source's slot From is the first picture given,
  // at time 0 (decoding starts at the key frame before it; the pictures before it are dropped).
  // Sound: From is in seconds, and the sound's times count from there (what comes before has
  // times below 0).
  TSourceDecoder(const std::string& FileName, TMediaKind Kind, double From = 0);
  bool HasStream() const { return FStream != nullptr; }
  AVRational TimeBase() const { return FStream->time_base; }
  // The next decoded frame; false once the stream is exhausted.
  bool Next(AVFrame* Frame);

private:
  bool Receive(AVFrame* Frame);
  // Starts reading at the key frame at or before slot Slot.
  void SeekPicture(int64_t Slot);

  TInputContextPtr FInput;
  AVStream* FStream = nullptr;
  TCodecContextPtr FCodec;
  TPacketPtr FPacket;
  int64_t FOrigin = 0;  // the file's start in stream time
  // Pictures: the first slot given (those before it are dropped); 0 gives every picture.
  int64_t FFirstSlot = 0;
  int64_t FShift = 0;    // stream time taken off every frame's time, beyond FOrigin
  int64_t FNextPts = 0;  // estimate for frames without a timestamp
  // Pictures: the slots of the chunks given to the decoder whose pictures have not come out.
  std::deque<int64_t> FSlots;
  int64_t FNextSlot = 0;  // the slot after the last chunk's, for chunks without a time
  bool FPictureSeen = false;
  bool FFlushed = false;
};

}  // namespace rw
