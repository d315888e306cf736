#pragma once
// What the media engine module (reelwright-engine.so, the FFmpeg side) offers the program:
// abstract classes and plain data only, so that the program links no FFmpeg library and loads
// one only when it first needs the engine. The module and the program come from one build; the
// entry point refuses a caller of another interface version. No exception leaves the module:
// every call returns a result code, and a failed call keeps its reason (LastError) for the
// thread that made it.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/MediaResult.h"
#include "engine/MediaTimeline.h"

namespace rw {

enum class TCompressorCategory { ccVideo, ccAudio };

// One encoder option as the options dialog shows it.
struct TCompressorOptionInfo {
  std::string Name;
  std::string Help;
  std::string Value;  // the value in effect, as text
};

// The output of one group of the connected timeline.
struct TGroupPin {
  int32_t Group = -1;
};

// The detector of one media file: its video and audio streams, their types and lengths.
class IEngineDetector {
public:
  virtual ~IEngineDetector() = default;
  virtual TMediaResult PutFilename(const std::string& FileName) = 0;
  virtual TMediaResult GetOutputStreams(int32_t& Count) = 0;
  virtual TMediaResult PutCurrentStream(int32_t Stream) = 0;
  virtual TMediaResult GetStreamLength(double& Seconds) = 0;
  virtual TMediaResult GetStreamType(TMediaMajorType& Type) = 0;
};

// One render of a timeline into an AVI file (see TRenderEngine); destroying it stops the render.
class IEngineRender {
public:
  virtual ~IEngineRender() = default;
  virtual TMediaResult SetTimelineObject(const TMediaTimeline* Timeline) = 0;
  virtual TMediaResult ConnectFrontEnd() = 0;
  virtual TMediaResult SetOutputFileName(const std::string& FileName) = 0;
  virtual TMediaResult GetGroupOutputPin(int32_t Group, TGroupPin& Pin) = 0;
  // Encoder: the encoder's name, or null for uncompressed frames or PCM sound.
  virtual TMediaResult RenderStream(const TGroupPin& Pin, const std::string* Encoder) = 0;
  virtual TMediaResult Run() = 0;
  virtual TMediaResult WaitForCompletion(int32_t TimeoutMs, int32_t& EventCode) = 0;
  virtual TMediaResult GetCurrentPosition(int64_t& Position) = 0;
  virtual TMediaResult Stop() = 0;
  virtual TMediaResult ScrapIt() = 0;
  virtual TMediaResult GetError(TMediaResult& Code, std::string& Text) = 0;
};

// The engine: lives from its loading to the end of the process.
class IMediaEngine {
public:
  // Version text of the media libraries ("FFmpeg 5.1.4").
  virtual TMediaResult Version(std::string& Text) = 0;
  // The result and the reason of the last failed call of this thread; ME_OK and no text when
  // the last call succeeded.
  virtual void LastError(TMediaResult& Code, std::string& Text) = 0;

  virtual TMediaResult NewDetector(std::unique_ptr<IEngineDetector>& Detector) = 0;
  virtual TMediaResult NewRender(std::unique_ptr<IEngineRender>& Render) = 0;

  // The encoders of the category that the AVI writer can carry, by name; ME_FALSE when none.
  virtual TMediaResult ListEncoders(TCompressorCategory Category, std::vector<std::string>& Names) = 0;
  // ME_OK when ListEncoders lists the encoder, ME_FALSE when it does not; tries that one only.
  virtual TMediaResult IsListed(TCompressorCategory Category, const std::string& Encoder) = 0;
  // The encoder's long name; ME_NOCODEC when there is no such encoder.
  virtual TMediaResult EncoderLongName(const std::string& Encoder, std::string& Name) = 0;
  // Options of an encoder, kept per encoder name for the rest of the process.
  virtual TMediaResult SetEncoderOption(const std::string& Encoder, const std::string& Name,
                                        const std::string& Value) = 0;
  virtual TMediaResult GetEncoderOption(const std::string& Encoder, const std::string& Name,
                                        std::string& Value) = 0;
  virtual TMediaResult KeptEncoderOptions(const std::string& Encoder,
                                          std::vector<std::pair<std::string, std::string>>& Options) = 0;
  virtual TMediaResult ListEncoderOptions(const std::string& Encoder, std::vector<TCompressorOptionInfo>& List) = 0;
  // The largest frame size up to Width x Height that the encoder takes: ME_OK when it takes the
  // size as it is; ME_FALSE with the size changed and the reason in Why.
  virtual TMediaResult FitFrameSize(const std::string& Encoder, int32_t& Width, int32_t& Height, std::string& Why) = 0;
  // Tries the encoder with a group's format (and frame rate, for video) as the render would use
  // it, with the options in effect: ME_OK when it makes a file that decodes, else a failure
  // whose reason says why. The answer is kept for the run.
  virtual TMediaResult CheckEncoder(const std::string& Encoder, const TMediaType& Type, double FPS) = 0;

protected:
  ~IMediaEngine() = default;
};

// The module's one exported function: the engine, or null when InterfaceVersion is not the
// module's own.
constexpr int32_t MediaEngineInterfaceVersion = 2;
constexpr const char* MediaEngineEntryName = "ReelwrightMediaEngine";
using TMediaEngineEntry = IMediaEngine* (*)(int32_t InterfaceVersion);

// The module's file name.
constexpr const char* MediaEngineFileName = "reelwright-engine.so";

}  // namespace rw
