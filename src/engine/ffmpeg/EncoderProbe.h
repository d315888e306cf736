#pragma once
// Tries an encoder before it is offered or used: opens it as the render does, encodes a short
// sample (numbered grey pictures, a tone burst), writes it as AVI into memory, reads it back
// and decodes it as a player would. What it finds (that the file decodes, and how late the
// decoded pictures or sound come out) is kept for the run per encoder, format and the options
// in effect for the user's options Kept.
// Raises EMediaEngineError with the reason when the encoder cannot be used.
#include <cstdint>

#include "engine/ffmpeg/EncoderSetup.h"

namespace rw {

struct TEncoderBehaviour {
  // Frames or samples by which the decoded output lags the encoder's input, as players time
  // it: the encoder's priming samples and its decoder's delay, or the pictures held back for
  // reordering. Negative when the decoder drops the start without moving its time stamps.
  int64_t Delay = 0;
  // Units the decoded output has beyond the input, counted from the time of its first sound
  // (the drained delay, a last frame's padding); negative when some never come out.
  int64_t Growth = 0;
};

TEncoderBehaviour ProbeEncoder(const AVCodec* Codec, const TEncoderFormat& Format,
                               const TOptionList& Kept);

}  // namespace rw
