#pragma once
// The render engine's output: the AVI writer and one encoder per rendered group. Part of the
// render engine; raises EMediaEngineError.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/EncoderProbe.h"

namespace rw {

// One encoder and the AVI stream it feeds.
class TEncoderStream {
public:
  TEncoderStream(AVFormatContext* Output, TCodecContextPtr Codec,
                 const TEncoderBehaviour& Behaviour);
  AVCodecContext* Codec() const { return FCodec.get(); }
  // Units (frames, samples) of the group's start the encoder is not given: its output comes
  // out that much late, so the group's first units would be shown late by as many. Negative:
  // units of filler given before the start, which the decoder drops.
  int64_t Lead() const { return FBehaviour.Delay; }
  // Units of filler the encoder is given after the group's end, so that the units it holds
  // back reach the file.
  int64_t Tail() const { return std::max<int64_t>(0, FBehaviour.Delay - FBehaviour.Growth); }
  // Encodes a frame (nullptr: drains the encoder) and hands the packets to the writer. A
  // constant quantizer is set on each picture, where the MPEG family's encoders read it.
  void Send(AVFrame* Frame);

private:
  AVFormatContext* FOutput;
  TCodecContextPtr FCodec;
  TEncoderBehaviour FBehaviour;
  AVStream* FStream;
  TPacketPtr FPacket = NewPacket();
  // Packets are written from time 0: an encoder that stamps its priming or its reordered
  // pictures before 0 would make the writer shift every stream and pad with empty chunks.
  bool FShiftKnown = false;
  int64_t FShift = 0;
  // Whether the stream's first packet, always a key frame, has been written.
  bool FPacketWritten = false;
};

class TRenderOutput {
public:
  // Creates the AVI writer for the file (always AVI, whatever the name's extension).
  explicit TRenderOutput(const std::string& FileName);
  ~TRenderOutput();
  TRenderOutput(const TRenderOutput&) = delete;
  TRenderOutput& operator=(const TRenderOutput&) = delete;

  // Opens the encoder for a stream of the format: the named encoder with its options, or for
  // an empty name uncompressed 24-bit frames or 16-bit PCM.
  TEncoderStream& Add(const TCompressorFormat& Format, const TRenderEncoder& Encoder);

  void Begin();
  // Drains the encoders and completes the file; safe to call once the header is written.
  void Finish();
  bool Begun() const { return FBegun; }

private:
  void Release();

  AVFormatContext* FOutput = nullptr;
  std::vector<std::unique_ptr<TEncoderStream>> FStreams;
  bool FBegun = false;
  bool FFinished = false;
};

}  // namespace rw
