#pragma once
// One join as a front end asks for it (the window's join options or the command line's
// arguments fill the request), and the one run that carries it out: the stream-copy joiner,
// or the recompressing joiner with a progress shown and hidden in one place, writing a
// temporary file that replaces the output only when the join ends normally.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "join/JoinProgress.h"
#include "recompress/ResizeMethods.h"

namespace rw {

class TCompressorFilter;

// The settings of a recompressing join.
struct TRecompression {
  int32_t Width = 320;
  int32_t Height = 240;
  double FrameRate = 24.0;
  TResizeMethod ResizeMethod = rmLetterbox;
  // None writes uncompressed video (RGB24) or sound (PCM).
  std::shared_ptr<TCompressorFilter> VideoCompressor;
  std::shared_ptr<TCompressorFilter> AudioCompressor;
};

struct TJoinRequest {
  std::vector<std::string> Files;  // in join order
  std::string OutFileName;
  bool JoinWORecomp = true;  // stream copy; else recompression with Recompression
  bool DropAudio = false;    // stream copy without the sound
  TRecompression Recompression;
};

// The dispatcher: runs the request's joiner once. Errors pass through unchanged and leave an
// existing output as it was; a cancel returns normally with the output finished and in place.
class TJoinWrapper {
public:
  // ProgressFactory makes the progress of the join (the window's dialog, the terminal's bar).
  TJoinWrapper(TJoinRequest Request, TProgressFactory ProgressFactory);

  void Run();
  // What a join that went through says about its sources: those joined only as far as they
  // could be read, each named.
  const std::vector<std::string>& Warnings() const { return FWarnings; }

private:
  // Each writes OutFileName, the temporary file.
  void JoinAVIFiles(const std::string& OutFileName);
  void RunRecompression(const std::string& OutFileName);
  void JoinWithRecompression(const std::string& OutFileName);

  TJoinRequest FRequest;
  std::vector<std::string> FWarnings;
  TProgressFactory FProgressFactory;
  std::unique_ptr<IProgress> FProgress;
};

// Runs one request; returns its warnings.
std::vector<std::string> JoinFiles(TJoinRequest Request, TProgressFactory ProgressFactory);

}  // namespace rw
