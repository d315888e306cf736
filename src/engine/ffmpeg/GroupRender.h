#pragma once
// Renders the pictures or the sound of a plan into its encoder, a little at a time: the
// sources back to back, gaps filled with black frames or silence, every source cut or padded to
// its stretch of the output so that video and sound stay together across sources. The sources
// are read ahead on a thread of their own (TSourceReader). Part of the render engine; raises
// EMediaEngineError.
#include <memory>
#include <vector>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/SourceReader.h"

namespace rw {

class TEncoderStream;

// A source of the group: its file and its stretch of the output, in 100-nanosecond units.
struct TPlacedSource {
  std::string FileName;
  int64_t Start = 0;
  int64_t Stop = 0;
  double PictureRate = 0;  // as TRenderSource::PictureRate
  double From = 0;         // as TRenderSource::From
};

// A stretch of the group's output, in output units (frames or samples): a source, or a gap
// when Source is none.
struct TGroupSegment {
  int64_t Begin = 0;
  int64_t End = 0;
  const TPlacedSource* Source = nullptr;
};

class TGroupRender {
public:
  // Sources: in time order, without overlaps; Duration: of the whole output, 100 ns units.
  TGroupRender(std::vector<TPlacedSource> Sources, TMediaKind Kind, TEncoderStream& Encoder,
               AVRational UnitsPerSecond, int64_t Duration);
  virtual ~TGroupRender() = default;
  bool Done() const { return FNext >= FTotal; }
  // Output time rendered so far, in 100-nanosecond units.
  int64_t Position() const;
  // Renders at least one more unit; nothing once Done.
  void Step();
  // Hands what is still buffered to the encoder.
  virtual void Flush() {}

protected:
  // Fills the units from FNext up to Count with black frames or silence.
  virtual void EmitFill(int64_t Count) = 0;
  // The filters that bring a source's frames into the encoder's format.
  virtual std::string SourceChain(const TPlacedSource& Source) const = 0;
  // Emits the units of one filtered frame of the current source; false when the source has
  // nothing more for its segment.
  virtual bool EmitSourceFrame(AVFrame* Frame, const TGroupSegment& Segment) = 0;
  // Fills the rest of a segment after its source has ended.
  virtual void EmitTail(int64_t Count) { EmitFill(Count); }
  virtual void SourceClosed() {}

  TEncoderStream& FEncoder;
  AVRational FRate;
  int64_t FNext = 0;   // the next unit of the group's output
  int64_t FTotal = 0;  // the group's units, and the encoder's tail of filler
  int64_t FLead = 0;   // the units of the start the encoder is not given (TEncoderStream::Lead)

private:
  void StartReader();
  void EndSegment();

  std::vector<TPlacedSource> FSources;
  TMediaKind FKind;
  std::vector<TGroupSegment> FSegments;
  size_t FSegment = 0;
  std::vector<size_t> FJobOf;  // per segment, its source's job of the reader
  std::unique_ptr<TSourceReader> FReader;
  bool FSourceEnded = false;
  TFramePtr FFrame = NewFrame();
};

class TVideoGroupRender : public TGroupRender {
public:
  TVideoGroupRender(std::vector<TPlacedSource> Sources, TEncoderStream& Encoder, AVRational Rate,
                    int32_t StretchMode, int64_t Duration);

protected:
  void EmitFill(int64_t Count) override;
  void EmitTail(int64_t Count) override;
  std::string SourceChain(const TPlacedSource& Source) const override;
  bool EmitSourceFrame(AVFrame* Frame, const TGroupSegment& Segment) override;
  void SourceClosed() override { FLast.reset(); }

private:
  void Emit(const AVFrame* Frame);
  int32_t FStretchMode;
  TFramePtr FBlack;
  TFramePtr FLast;  // the last frame of the current source, repeated where frames are missing
};

class TAudioGroupRender : public TGroupRender {
public:
  TAudioGroupRender(std::vector<TPlacedSource> Sources, TEncoderStream& Encoder, int64_t Duration);
  void Flush() override;

protected:
  void EmitFill(int64_t Count) override;
  std::string SourceChain(const TPlacedSource& Source) const override;
  bool EmitSourceFrame(AVFrame* Frame, const TGroupSegment& Segment) override;
  void SourceClosed() override {
    FStarted = false;
    FDrop = 0;
  }

private:
  void Drain(bool All);
  bool FStarted = false;  // the current source's first sound was placed
  int64_t FDrop = 0;      // of the current source, the samples before its piece not yet dropped
  void WriteSilence(int Count);
  int64_t FToSkip = 0;  // of the lead, the samples not yet skipped
  TAudioFifoPtr FFifo;
  int FFrameSize = 0;
  int64_t FEncoded = 0;
  TFramePtr FChunk = NewFrame();
};

}  // namespace rw
