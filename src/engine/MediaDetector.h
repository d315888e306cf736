#pragma once
// The media detector: opens a media file and tells, for each of its video and audio streams,
// the stream's major type and its length in seconds. The engine module does the work; the
// first detector loads it.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/MediaResult.h"
#include "engine/MediaTimeline.h"

namespace rw {

class IEngineDetector;

class TMediaDetector {
public:
  // Raises rw::Exception when the media engine cannot be loaded.
  TMediaDetector();
  ~TMediaDetector();
  TMediaDetector(const TMediaDetector&) = delete;
  TMediaDetector& operator=(const TMediaDetector&) = delete;

  // Opens the file; the current stream becomes stream 0.
  TMediaResult PutFilename(const std::string& FileName);
  // Number of video and audio streams of the file.
  TMediaResult GetOutputStreams(int32_t& Count) const;
  TMediaResult PutCurrentStream(int32_t Stream);
  TMediaResult GetStreamLength(double& Seconds) const;
  TMediaResult GetStreamType(TMediaMajorType& Type) const;

private:
  std::unique_ptr<IEngineDetector> FImpl;
};

}  // namespace rw
