#pragma once
// Owners of the FFmpeg objects the media engine uses, its failure class and the helpers every
// part of the engine shares. Only files of the engine module include this header; no FFmpeg
// type leaves src/engine/ffmpeg.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "engine/MediaEngine.h"

namespace rw {

// Failure codes, in the layout of the platform's classic result codes.
constexpr int32_t ME_FAIL = static_cast<int32_t>(0x80004005u);
constexpr int32_t ME_INVALIDARG = static_cast<int32_t>(0x80070057u);
constexpr int32_t ME_OUTOFMEMORY = static_cast<int32_t>(0x8007000Eu);
// The encoder has no such option.
constexpr int32_t ME_NOINTERFACE = static_cast<int32_t>(0x80004002u);
// The media could not be read, or an encoder makes what does not decode.
constexpr int32_t ME_INVALIDMEDIA = static_cast<int32_t>(0x80040200u);
// No decoder or no encoder for a stream.
constexpr int32_t ME_NOCODEC = static_cast<int32_t>(0x80040201u);
constexpr int64_t UNITS = 10000000;  // 100-nanosecond units per second

struct TInputCloser {
  void operator()(AVFormatContext* P) const { avformat_close_input(&P); }
};
struct TCodecContextFree {
  void operator()(AVCodecContext* P) const { avcodec_free_context(&P); }
};
struct TFrameFree {
  void operator()(AVFrame* P) const { av_frame_free(&P); }
};
struct TPacketFree {
  void operator()(AVPacket* P) const { av_packet_free(&P); }
};
struct TFilterGraphFree {
  void operator()(AVFilterGraph* P) const { avfilter_graph_free(&P); }
};
struct TAudioFifoFree {
  void operator()(AVAudioFifo* P) const { av_audio_fifo_free(P); }
};
struct TFilterInOutFree {
  void operator()(AVFilterInOut* P) const { avfilter_inout_free(&P); }
};
struct TOutputContextFree {
  void operator()(AVFormatContext* P) const { avformat_free_context(P); }
};
struct TSwsFree {
  void operator()(SwsContext* P) const { sws_freeContext(P); }
};
struct TSwrFree {
  void operator()(SwrContext* P) const { swr_free(&P); }
};

using TInputContextPtr = std::unique_ptr<AVFormatContext, TInputCloser>;
using TCodecContextPtr = std::unique_ptr<AVCodecContext, TCodecContextFree>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFree>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketFree>;
using TFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFilterGraphFree>;
using TAudioFifoPtr = std::unique_ptr<AVAudioFifo, TAudioFifoFree>;
using TFilterInOutPtr = std::unique_ptr<AVFilterInOut, TFilterInOutFree>;
using TOutputContextPtr = std::unique_ptr<AVFormatContext, TOutputContextFree>;
using TSwsPtr = std::unique_ptr<SwsContext, TSwsFree>;
using TSwrPtr = std::unique_ptr<SwrContext, TSwrFree>;

// An option dictionary that frees itself.
class TAVDictionary {
public:
  TAVDictionary() = default;
  ~TAVDictionary() { av_dict_free(&FDict); }
  TAVDictionary(const TAVDictionary&) = delete;
  TAVDictionary& operator=(const TAVDictionary&) = delete;
  AVDictionary** Address() { return &FDict; }
  AVDictionary* Get() const { return FDict; }

private:
  AVDictionary* FDict = nullptr;
};

TFramePtr NewFrame();
TPacketPtr NewPacket();

// A failure inside the engine: its code and the text the user is shown. The engine's jobs turn
// it into the TEngineError they answer with.
class EMediaEngineError : public std::exception {
public:
  EMediaEngineError(int32_t Code, std::string Text) : FCode(Code), FText(std::move(Text)) {}
  const char* what() const noexcept override { return FText.c_str(); }
  int32_t Code() const { return FCode; }

private:
  int32_t FCode;
  std::string FText;
};

// The failure Failure carries, as the engine answers with it: an EMediaEngineError its code
// and text, anything else a general failure with its reason.
TEngineError ErrorOf(std::exception_ptr Failure) noexcept;

// Maps an FFmpeg error (AVERROR...) onto a code: system errors keep their errno in the low 16
// bits under 0x8007xxxx, the libraries' own errors get codes of the engine.
int32_t ResultFromAVError(int Error);

// Text of an FFmpeg error code.
std::string AVErrorText(int Error);

// Collects the error messages the libraries log on this thread while it lives, in place of
// printing them: an encoder that refuses a frame size says why only there. Scopes nest.
class TLibraryMessages {
public:
  TLibraryMessages();
  ~TLibraryMessages();
  TLibraryMessages(const TLibraryMessages&) = delete;
  TLibraryMessages& operator=(const TLibraryMessages&) = delete;
  // The messages so far, on one line.
  const std::string& Text() const { return FText; }
  void Add(const std::string& Message);

private:
  std::string FText;
  TLibraryMessages* FOuter;
};

// Raises EMediaEngineError for a negative FFmpeg result: Context, then the messages collected
// by the innermost TLibraryMessages of this thread, then the library's text for the code.
void CheckAV(int Error, const std::string& Context);

// The URL of a local file: never taken as another protocol, whatever the name holds.
std::string FileURL(const std::string& FileName);
// Keeps the libraries' console messages to errors, and routes them to TLibraryMessages while
// one collects on the thread.
void QuietLibraries();

// Opens a media file for reading and finds its streams; returns the FFmpeg error or 0.
int OpenMediaInput(const std::string& FileName, TInputContextPtr& Input);

// What a stream is seen as: video (cover pictures excluded), audio or neither.
std::optional<TMediaKind> KindOf(const AVStream* Stream);
// Length of a stream in seconds; the container's length when the stream has none, 0 when
// neither is known. A video stream's is what its file holds: bounded by (or, without a length
// in the header, taken from) its index.
double StreamLength(const AVFormatContext* Input, const AVStream* Stream);
// The frame rate the render uses for a rate asked for: 29.97 is 30000/1001.
AVRational FrameRateOf(double FPS);

// The stream a source is read from: its first video or first audio stream; -1 when there is
// none.
int FindSourceStream(const AVFormatContext* Input, TMediaKind Kind);

}  // namespace rw
