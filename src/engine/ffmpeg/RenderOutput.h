#pragma once
// The render engine's output: the AVI writer and one encoder per rendered group. Part of the
// render engine; raises EMediaEngineError.
#include <memory>
#include <string>
#include <vector>

#include "engine/ffmpeg/AVHandles.h"

namespace rw {

// One encoder and the AVI stream it feeds.
class TEncoderStream {
public:
  TEncoderStream(AVFormatContext* Output, TCodecContextPtr Codec);
  AVCodecContext* Codec() const { return FCodec.get(); }
  // Encodes a frame (nullptr: drains the encoder) and hands the packets to the writer.
  void Send(const AVFrame* Frame);

private:
  AVFormatContext* FOutput;
  TCodecContextPtr FCodec;
  AVStream* FStream;
  TPacketPtr FPacket = NewPacket();
};

class TRenderOutput {
public:
  // Creates the AVI writer for the file (always AVI, whatever the name's extension).
  explicit TRenderOutput(const std::string& FileName);
  ~TRenderOutput();
  TRenderOutput(const TRenderOutput&) = delete;
  TRenderOutput& operator=(const TRenderOutput&) = delete;

  // Opens the encoder for a video group: the named encoder with the options kept for it, or
  // uncompressed 24-bit frames when Encoder is null.
  TEncoderStream& AddVideo(const TMediaType& Type, double FPS, const std::string* Encoder);
  // Opens the encoder for an audio group: the named encoder, or 16-bit PCM.
  TEncoderStream& AddAudio(const TMediaType& Type, const std::string* Encoder);

  void Begin();
  // Drains the encoders and completes the file; safe to call once the header is written.
  void Finish();
  bool Begun() const { return FBegun; }

private:
  // Opens the encoder; What names the format it is asked to take, for the reason of a refusal.
  TEncoderStream& Add(TCodecContextPtr Codec, const std::string* Encoder, const std::string& What);
  void Release();

  AVFormatContext* FOutput = nullptr;
  std::vector<std::unique_ptr<TEncoderStream>> FStreams;
  bool FBegun = false;
  bool FFinished = false;
};

}  // namespace rw
