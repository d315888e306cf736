#pragma once
// The media engine as the program sees it: a few jobs, each answered with plain data. Describe
// a file; list the compressors of a kind, with their options and whether one works with a
// format; render a plan into an AVI file as a job that runs on the engine's own thread. The
// module reelwright-engine.so (src/engine/ffmpeg) does the work; the program links no FFmpeg
// library and loads the module at its first use (EngineLoader.h). No exception leaves the
// module: a failure comes back as one TEngineError, a code and the engine's reason.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace rw {

struct TEngineError {
  int32_t Code = 0;    // 0: none; a failure's code is printed in hexadecimal
  std::string Reason;  // the engine's own words
  bool Failed() const { return Code != 0; }
};

template <class T>
struct TEngineResult {
  TEngineError Error;
  T Value{};
};

enum class TMediaKind { mkVideo, mkAudio };

// A file's video and audio streams in file order, each with its length in seconds.
struct TStreamDescription {
  TMediaKind Kind = TMediaKind::mkVideo;
  double Length = 0;
};
struct TFileDescription {
  std::vector<TStreamDescription> Streams;
};

// A compressor: the encoder's name (empty: none, uncompressed) and the name the user sees.
struct TCompressorEntry {
  std::string Name;
  std::string DisplayName;
};

// One encoder option as the options dialog shows it.
struct TCompressorOptionInfo {
  std::string Name;
  std::string Help;
  std::string Value;  // the value in effect, as text
};

using TOptionList = std::vector<std::pair<std::string, std::string>>;

// A format a compressor is tried with: pictures of Width x Height at Rate frames per second,
// or the render's sound (always 44100 Hz 16-bit stereo). The defaults are the listing's try.
struct TCompressorFormat {
  TMediaKind Kind = TMediaKind::mkVideo;
  int32_t Width = 320;
  int32_t Height = 240;
  double Rate = 25;
};

// The largest frame size up to the one asked for that a compressor takes; Why is empty when it
// takes that size as it is, else the reason it does not.
struct TFrameFit {
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Why;
};

// How a render fits a source of another frame size into its frame.
constexpr int32_t RESIZEF_STRETCH = 0;                          // scale to the frame
constexpr int32_t RESIZEF_CROP = 1;                             // no scaling, centred
constexpr int32_t RESIZEF_PRESERVEASPECTRATIO = 2;              // fit, black bars
constexpr int32_t RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX = 3;  // cover, cut the excess

// A render: the sources placed back to back, each from From for Length seconds, into one AVI
// file of Width x Height pictures at Rate and 44100 Hz 16-bit stereo sound, through the encoders
// named with their options (an empty name: uncompressed RGB24 pictures or PCM sound).
struct TRenderSource {
  std::string FileName;
  double Length = 0;  // seconds
  bool HasSound = false;
  // 0: the pictures keep the times the file gives them; else they follow one another at this
  // many per second from the source's start (a file whose header rate is no rate of pictures).
  double PictureRate = 0;
  // Seconds of the source before its piece: its pictures and sound from this time on, the
  // picture in that slot first (a picture n is shown at n / its rate).
  double From = 0;
};
struct TRenderEncoder {
  std::string Name;
  TOptionList Options;
};
struct TRenderPlan {
  std::vector<TRenderSource> Sources;
  int32_t Width = 320;
  int32_t Height = 240;
  double Rate = 24;
  int32_t StretchMode = RESIZEF_PRESERVEASPECTRATIO;
  TRenderEncoder Video;
  TRenderEncoder Audio;
  std::string OutFileName;
};

// Percentage of a render at Position of Duration, 0 to 100; a render of no duration reports 0
// until it ends.
inline double RenderPercent(int64_t Position, int64_t Duration) {
  if (Duration <= 0 || Position <= 0) return 0;
  return Position >= Duration ? 100 : 100.0 * static_cast<double>(Position) / Duration;
}

// A job that runs on the engine's worker thread. Destroying it stops it.
class IEngineJob {
public:
  virtual ~IEngineJob() = default;
  // True once the job has ended (finished, stopped or failed), within TimeoutMs.
  virtual bool Wait(int32_t TimeoutMs) = 0;
  virtual double Percent() = 0;
  // Ends the job early and returns when it has ended; a render completes the file written so
  // far.
  virtual void Stop() = 0;
  // The failure that ended the job; none while it runs and after it finished or was stopped.
  virtual TEngineError Error() = 0;
};

// The format of one output stream that a source's pictures or sound are converted into, as the
// output's first file of that format declares it: its 'strh' handler and timing and its 'strf'
// bytes (BITMAPINFOHEADER or WAVEFORMATEX, each with what follows it).
struct TStreamTarget {
  TMediaKind Kind = TMediaKind::mkVideo;
  uint32_t Handler = 0;  // 'strh' fccHandler
  uint32_t Scale = 1;    // 'strh' timing: Rate / Scale units a second
  uint32_t Rate = 25;
  uint32_t SampleSize = 0;
  std::vector<uint8_t> Format;  // 'strf'
  // Pictures: the output stream's first key frame, for a codec whose set-up the decoder reads
  // from the stream itself (an MPEG-4 VOL header, H.264 parameter sets); may be empty. Sound:
  // the stream's first chunk, whose frames tell a bit rate its format may leave out.
  std::vector<uint8_t> FirstKeyFrame;
};

// Converts the pictures or the sound of one source into chunks of the target's format.
// Pictures: Pictures frames, fitted into the target's frame size by StretchMode, at the
// target's rate, the first one a key frame, starting with the source's picture in slot
// FirstPicture (the FirstPicture-th chunk of its video stream, counted from 0; decoding starts
// at the key frame before it). Sound: the source's sound from StartSeconds after its first
// picture on, Seconds long, cut or padded with silence to that length, after Lead seconds of
// silence (a negative Lead: that much of its start left out), so that it starts where the
// stream it continues ends.
struct TConvertPlan {
  std::string FileName;
  TStreamTarget Target;
  double Seconds = 0;        // the length converted
  double Lead = 0;           // sound: silence before the source's first picture, in seconds
  int64_t Pictures = 0;      // pictures to make
  double PictureRate = 0;    // as TRenderSource::PictureRate
  int64_t FirstPicture = 0;  // pictures: the source's slot the conversion starts with
  double StartSeconds = 0;   // sound: where in the source the conversion starts
  int32_t StretchMode = RESIZEF_PRESERVEASPECTRATIO;
};

// One chunk of a converted stream, as it goes into the output's 'movi' list.
struct TConvertedChunk {
  std::vector<uint8_t> Data;
  bool KeyFrame = false;
};

// A conversion, run chunk by chunk on the caller's thread.
class IConvertJob {
public:
  virtual ~IConvertJob() = default;
  // The next chunk; false at the end of the stream or on a failure (then Error says which).
  virtual bool Next(TConvertedChunk& Chunk) = 0;
  // How far the conversion has come, 0 to 100.
  virtual double Percent() = 0;
  virtual TEngineError Error() = 0;
};

// A picture of a file for the list: its first key frame, fitted into MaxWidth x MaxHeight with
// its aspect kept, as 24-bit RGB rows top down (Width * 3 bytes each).
struct TThumbnail {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Rgb;
};

// The engine: lives from its loading to the end of the process. Options set on a compressor
// are kept by the engine for the rest of the run, so that every later use of it sees them.
class IMediaEngine {
public:
  // The media libraries' version ("FFmpeg 5.1.4").
  virtual TEngineResult<std::string> Version() = 0;
  virtual TEngineResult<TFileDescription> Describe(const std::string& FileName) = 0;
  // The compressors that work with the listing's format, tried once per run.
  virtual TEngineResult<std::vector<TCompressorEntry>> ListCompressors(TMediaKind Kind) = 0;
  // None when the listing of the format's kind offers the compressor and it makes a file that
  // decodes with that format and the options kept; the answer is kept for the run.
  virtual TEngineError CheckCompressor(const std::string& Name,
                                       const TCompressorFormat& Format) = 0;
  virtual TEngineResult<TFrameFit> FitFrameSize(const std::string& Name, int32_t Width,
                                                int32_t Height) = 0;
  virtual TEngineError SetCompressorOption(const std::string& Name, const std::string& Option,
                                           const std::string& Value) = 0;
  virtual TEngineResult<std::string> CompressorOption(const std::string& Name,
                                                      const std::string& Option) = 0;
  // The options set so far, in the order they were first set; fails for no such encoder.
  virtual TEngineResult<TOptionList> KeptCompressorOptions(const std::string& Name) = 0;
  virtual TEngineResult<std::vector<TCompressorOptionInfo>> ListCompressorOptions(
      const std::string& Name) = 0;
  // Creates the output and opens the encoders, then renders on the worker thread.
  virtual TEngineResult<std::unique_ptr<IEngineJob>> StartRender(const TRenderPlan& Plan) = 0;
  // None when the engine can write chunks of the target's format (a codec it can continue
  // under that four-character code and 'strf', a sound format it can encode), else the reason.
  virtual TEngineError CheckConvert(const TStreamTarget& Target) = 0;
  // Opens the source and the encoder; the chunks come from Next.
  virtual TEngineResult<std::unique_ptr<IConvertJob>> StartConvert(const TConvertPlan& Plan) = 0;
  virtual TEngineResult<TThumbnail> Thumbnail(const std::string& FileName, int32_t MaxWidth,
                                              int32_t MaxHeight) = 0;
  // Picture number Picture of the file's video stream (counted by its place in the stream, an
  // empty chunk repeating the picture before it), decoded from the key frame before it and
  // fitted as Thumbnail fits its picture.
  virtual TEngineResult<TThumbnail> PictureAt(const std::string& FileName, uint32_t Picture,
                                              int32_t MaxWidth, int32_t MaxHeight) = 0;

protected:
  ~IMediaEngine() = default;
};

// The module's one exported function: the engine, or null when InterfaceVersion is not the
// module's own (the module and the program come from one build).
constexpr int32_t MediaEngineInterfaceVersion = 6;
constexpr const char* MediaEngineEntryName = "ReelwrightMediaEngine";
using TMediaEngineEntry = IMediaEngine* (*)(int32_t InterfaceVersion);
constexpr const char* MediaEngineFileName = "reelwright-engine.so";

}  // namespace rw
