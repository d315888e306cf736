#pragma once
// One libavfilter chain between a buffer source and a buffer sink, built for the first frame
// it receives: frame-rate conversion and fitting for video, resampling for sound. Part of the
// render engine; raises EMediaEngineError.
#include <string>

#include "engine/ffmpeg/AVHandles.h"

namespace rw {

class TFilterChain {
public:
  // Chain: the filters in libavfilter's text form; TimeBase: that of the frames pushed.
  TFilterChain(std::string Chain, AVRational TimeBase)
      : FChain(std::move(Chain)), FTimeBase(TimeBase) {}
  // Pushes a frame; nullptr marks the end of the input.
  void Push(AVFrame* Frame);
  // A filtered frame; false when the chain needs more input or has ended.
  bool Pull(AVFrame* Frame);
  bool Ended() const { return FEnded; }

private:
  void Build(const AVFrame* First);

  std::string FChain;
  AVRational FTimeBase;
  TFilterGraphPtr FGraph;
  AVFilterContext* FSource = nullptr;
  AVFilterContext* FSink = nullptr;
  bool FEnded = false;
  bool FVideo = false;
  int64_t FEnd = 0;  // pictures: where the last one pushed ends
  // The sound format the chain was built for.
  int FSampleRate = 0;
  int FSampleFormat = -1;
  int FChannels = 0;
};

// The filters that fit a source picture into W x H for a stretch mode (RESIZEF_...).
std::string FitFilters(int32_t Mode, int W, int H);

// Decodes a source and runs its frames through a chain.
class TSourceDecoder;
class TSourcePipeline {
public:
  TSourcePipeline(TSourceDecoder& Decoder, TFilterChain& Chain)
      : FDecoder(Decoder), FChain(Chain) {}
  // The next filtered frame; false at the end of the source.
  bool Next(AVFrame* Frame);

private:
  TSourceDecoder& FDecoder;
  TFilterChain& FChain;
  TFramePtr FDecoded = NewFrame();
};

}  // namespace rw
