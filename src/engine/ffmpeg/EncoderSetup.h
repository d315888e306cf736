#pragma once
// How the engine sets up an encoder for a join: the picture and sound formats it is given,
// the frame sizes it takes, its defaults (a quality a user accepts without touching anything),
// the options the user kept for it, and opening it. The render and the encoder probe both open
// encoders here, so that what the probe finds holds for the render. Raises EMediaEngineError.
#include <string>

#include "engine/ffmpeg/AVHandles.h"

namespace rw {

// The format of one group as an encoder gets it.
struct TEncoderFormat {
  bool Video = true;
  int Width = 0;
  int Height = 0;
  AVRational Rate{0, 1};  // frames per second
  int SampleRate = 0;
  int Channels = 0;
};

// A format as its encoder gets it: the fields of its own kind only; sound is always the
// render's, 44100 Hz stereo.
TEncoderFormat EncoderFormatOf(const TCompressorFormat& Format);

// The encoder of that name, or for an empty name the uncompressed one (24-bit frames, 16-bit
// PCM).
const AVCodec* FindEncoder(const std::string& Encoder, bool Video);

// The picture format the encoder is given: 4:2:0 where players expect it (H.264, MPEG, MJPEG
// in its 4:2:0 form...), the best match of the group's 24-bit frames for lossless encoders.
AVPixelFormat EncoderPixelFormat(const AVCodec* Codec);
AVSampleFormat EncoderSampleFormat(const AVCodec* Codec);

// The largest frame size up to Width x Height that the encoder's picture format can hold (whole
// chroma samples: even sizes for 4:2:0). Returns false, with the reason in Why, when it
// differs from the size asked for.
bool FitFrameSize(const AVCodec* Codec, int& Width, int& Height, std::string& Why);

// The options in effect for an encoder: its defaults, less those the user's own options
// replace, then the user's options (kept for the run), in that order.
TOptionList EncoderOptionsInEffect(const std::string& Encoder, const TOptionList& Kept);

// Sets one option on an encoder context: its own options, the common ones, and "qscale"
// (a constant quantizer or quality, as the encoder reads it). Returns the FFmpeg error or 0.
int SetContextOption(AVCodecContext* Context, const std::string& Name, const std::string& Value);
// The value of an option in effect on the context as text; false when it has no such option.
bool GetContextOption(AVCodecContext* Context, const std::string& Name, std::string& Value);

// Opens the encoder for the format with the options in effect for the user's options Kept.
// The output needs no B-frames: AVI players show reordered pictures late.
// Threads: how many threads the encoder may use; 0 lets it choose.
TCodecContextPtr OpenEncoder(const AVCodec* Codec, const TEncoderFormat& Format,
                             const TOptionList& Kept, int Threads = 0);

// Text of a format for messages: "320x240 frames at 25 fps", "44100 Hz sound in 2 channels".
std::string FormatText(const TEncoderFormat& Format);

}  // namespace rw
