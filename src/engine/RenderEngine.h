#pragma once
// The render engine: renders a timeline into an AVI file through the chosen encoders, on its
// own worker thread. The caller connects the timeline, names the output, connects each
// group's output pin to the writer (through a compressor or uncompressed), runs the render
// and waits on it with a time-out, reading the position in between; Stop ends it early and
// still completes the file written so far. The engine module does the work.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/EngineModule.h"

namespace rw {

class TCompressorFilter;

class TRenderEngine {
public:
  // Raises rw::Exception when the media engine cannot be loaded.
  TRenderEngine();
  // Stops a render that still runs.
  ~TRenderEngine();
  TRenderEngine(const TRenderEngine&) = delete;
  TRenderEngine& operator=(const TRenderEngine&) = delete;

  // The timeline must stay alive and unchanged until the engine is scrapped.
  TMediaResult SetTimelineObject(const TMediaTimeline* Timeline);
  TMediaResult ConnectFrontEnd();
  // Creates the AVI writer for the file.
  TMediaResult SetOutputFileName(const std::string& FileName);
  TMediaResult GetGroupOutputPin(int32_t Group, TGroupPin& Pin);
  // Connects a group's output to the writer through the compressor, or uncompressed when it
  // is none (RGB24 frames, 16-bit PCM). Opens the encoder, so an encoder that cannot take the
  // group's format fails here.
  TMediaResult RenderStream(const TGroupPin& Pin, const TCompressorFilter* Compressor);

  // Starts the render on the worker thread.
  TMediaResult Run();
  // ME_OK with the event code (EC_COMPLETE, EC_USERABORT, EC_ERRORABORT) when the render has
  // ended, ME_ABORT when it still runs after TimeoutMs milliseconds.
  TMediaResult WaitForCompletion(int32_t TimeoutMs, int32_t& EventCode);
  // Timeline time rendered so far, 100-nanosecond units.
  TMediaResult GetCurrentPosition(int64_t& Position) const;
  // Ends the render; the file written so far is completed.
  TMediaResult Stop();
  // Releases the writer and every encoder.
  TMediaResult ScrapIt();
  // Text of the failure that ended the render (EC_ERRORABORT), or of the last failed call.
  std::string GetErrorText() const;
  TMediaResult GetErrorCode() const;

private:
  std::unique_ptr<IEngineRender> FImpl;
};

}  // namespace rw
