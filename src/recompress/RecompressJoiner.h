#pragma once
// The recompressing joiner: places the source files back to back on the media engine's
// timeline (one video group of RGB24 frames at the chosen size and frame rate, one audio group
// of 44100 Hz 16-bit stereo PCM) and renders it into an AVI file through the chosen
// compressors, reporting progress every 300 ms.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/MediaResult.h"
#include "engine/MediaTimeline.h"
#include "recompress/ResizeMethods.h"

namespace rw {

class TCompressorFilter;
class TRenderEngine;

// The engine's stretch mode for a resize method.
int32_t StretchModeOf(TResizeMethod Method);

// Raises "DirectShow Error: " + the code in upper-case hexadecimal for every nonzero result,
// followed by ": " and the engine's reason when the engine's last failed call on this thread
// returned that code.
void CheckDSResult(TMediaResult Result);

// Probe of one source: the length of its (last) video stream in seconds, 0 without video, and
// whether it has sound.
struct TMediaInfo {
  double Length = 0;
  bool HasAudio = false;
};
TMediaInfo GetMediaInfo(const std::string& FileName);

// Fits Width x Height to what the video compressor takes (whole chroma samples: even sizes
// for 4:2:0); returns the note that tells the user how and why the size changed, or "" when
// the compressor takes it (or is none). Raises when the media engine cannot be loaded.
std::string FitFrameSize(const TCompressorFilter* Video, int32_t& Width, int32_t& Height);

// Percentage of a render at Position of Duration (100 ns units), 0 to 100; a timeline of no
// duration reports 0 until the render ends.
double RenderPercent(int64_t Position, int64_t Duration);

class TDSVideoJoiner {
public:
  // Sender, cancel (false before every call; true stops the join), percentage 0 to 100.
  using TProgressEvent = std::function<void(TDSVideoJoiner& Sender, bool& Cancel, double Percent)>;

  TDSVideoJoiner();
  ~TDSVideoJoiner();
  TDSVideoJoiner(const TDSVideoJoiner&) = delete;
  TDSVideoJoiner& operator=(const TDSVideoJoiner&) = delete;

  // Renders FFiles into FOutFileName. Returns when the render has finished or was cancelled;
  // a render stopped by an error raises the engine's error text. A source that gives no
  // pictures, or a compressor that cannot take the format, fails the join before the output is
  // touched.
  void Join();

  // Settings, filled by the dispatcher before Join.
  std::vector<std::string> FFiles;
  std::string FOutFileName;
  int32_t FWidth = 320;
  double FFrameRate = 24.0;
  int32_t FHeight = 240;
  TResizeMethod FResizeMethod = rmLetterbox;
  TProgressEvent OnProgress;
  // None writes uncompressed video or sound.
  std::shared_ptr<TCompressorFilter> FVideoCompressor;
  std::shared_ptr<TCompressorFilter> FAudioCompressor;

  // The timeline while a join runs (for inspection after BuildTimeline).
  const TMediaTimeline* Timeline() const { return FTimeline.get(); }
  const TMediaType& VideoType() const { return FVideoType; }
  const TMediaType& AudioType() const { return FAudioType; }
  void BuildTimeline();

private:
  void InitVideoType();
  void InitAudioType();
  TTimelineTrack* AddGroup(const TMediaType& Type, bool Video);
  void AddSource(const std::string& FileName);
  void CheckCompressors();
  void CheckOutputFile(const std::string& FileName);
  void RenderToFile(const std::string& FileName);
  void WaitForRender(TRenderEngine& Engine);
  void ReleaseTimeline();

  std::unique_ptr<TMediaTimeline> FTimeline;
  TTimelineTrack* FVideoTrack = nullptr;
  TTimelineTrack* FAudioTrack = nullptr;
  TMediaType FVideoType;
  TMediaType FAudioType;
  double FTimelinePos = 0;
};

}  // namespace rw
