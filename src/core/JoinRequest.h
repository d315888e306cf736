#pragma once
// One join as a front end asks for it (the window's join options or the command line's
// arguments fill the request), and the one run that carries it out: the stream-copy joiner,
// or the recompressing joiner with a progress shown and hidden in one place.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "join/JoinProgress.h"
#include "recompress/ResizeMethods.h"

namespace rw {

class TCompressorFilter;
class TDSVideoJoiner;

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

// The dispatcher: runs the request's joiner once. Errors pass through unchanged; a cancel
// returns normally with the output finished.
class TJoinWrapper {
public:
  // ProgressFactory makes the progress of the join (the window's dialog, the terminal's bar).
  TJoinWrapper(TJoinRequest Request, TProgressFactory ProgressFactory);

  void Run();

private:
  void JoinAVIFiles();
  void JoinWithRecompression();
  // Appends the request's files, in join order, to a joiner's file list.
  void FillFileList(std::vector<std::string>& Files) const;
  void JoinProgress(TDSVideoJoiner& Sender, bool& Cancel, double Percent);

  TJoinRequest FRequest;
  TProgressFactory FProgressFactory;
  std::unique_ptr<IProgress> FProgress;
};

// Runs one request.
void JoinFiles(TJoinRequest Request, TProgressFactory ProgressFactory);

}  // namespace rw
