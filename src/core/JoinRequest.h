#pragma once
// One join as the join decision makes it from the user's choices, and the one run that carries
// it out: the stream-copy joiner or the recompressing joiner, both reporting to the one
// progress view that the run captions, shows and hides, both writing a temporary file that
// replaces the output only when the join ends normally (finished or cancelled) and the stream
// copy's output, read back, shows what was written.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/MediaEngine.h"
#include "join/JoinProgress.h"
#include "media/AVIReadBack.h"
#include "media/PictureCut.h"
#include "platform/Files.h"
#include "recompress/ResizeMethods.h"
#include "streamcopy/StreamCopyJoiner.h"

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
  // Each file as the list described it, in Files' order: the join fails naming a file whose
  // identity differs from this. Missing entries are taken when the join starts.
  std::vector<TFileIdentity> Identities;
  // The part of each file the join keeps, in Files' order; a missing entry keeps it whole.
  std::vector<TPictureCut> Cuts;
  std::string OutFileName;
  bool JoinWORecomp = true;  // stream copy; else recompression with Recompression
  bool DropAudio = false;    // stream copy without the sound
  // Stream copy that converts what differs: one plan per file (empty: every file copied), the
  // file whose headers the output takes, and how converted pictures are fitted.
  std::vector<TSourcePlan> Plans;
  size_t HeaderFile = 0;
  TResizeMethod ConvertResize = rmLetterbox;
  TRecompression Recompression;
  // Told the temporary file's name once it is reserved, before anything is written to it.
  std::function<void(const std::string& TempFileName)> OutputReserved;
};

// What a join that ended normally did.
struct TJoinResult {
  // The user stopped it; the output holds what was joined until then, or, when that was
  // nothing of the sources, the output is as it was before. Otherwise it finished.
  bool Cancelled = false;
  // The output holds this join's work (always when it finished).
  bool Kept = false;
  // Sources joined only as far as they could be read, one text each, naming the file.
  std::vector<std::string> Warnings;
};

// The dispatcher: runs the request's joiner once, its progress in the view the front end gives
// (the window's dialog, the terminal's bar): captioned for that joiner, shown once before the
// joiner starts and hidden once when it ends, also by an error. Errors pass through unchanged
// and leave an existing output as it was.
class TJoinWrapper {
public:
  TJoinWrapper(TJoinRequest Request, IProgressView& Progress);

  TJoinResult Run();

private:
  // Each writes OutFileName, the temporary file, reporting to Progress; false when it wrote
  // nothing of the sources there.
  bool JoinAVIFiles(const std::string& OutFileName, IProgress& Progress);
  bool JoinWithRecompression(const std::string& OutFileName, IProgress& Progress);

  TJoinRequest FRequest;
  IProgressView& FProgress;
  TJoinResult FResult;
  // What the stream copy wrote, which the output must show when read back before it takes the
  // output's place.
  std::optional<TAVIWritten> FWritten;
};

// For tests: runs on the finished temporary output just before it is read back and checked
// (a test damages it there, as a faulty writer would); an empty hook, the default, does nothing.
void SetOutputCheckHook(std::function<void(const std::string& TempFileName)> Hook);
// The engine's target for an output stream of that header and 'strf'.
TStreamTarget StreamTargetOf(bool Pictures, const TAVIStreamHeader& Header,
                             const std::string& Format, std::vector<uint8_t> FirstKeyFrame = {});
// The engine's conversion of a source as the stream-copy joiner asks for it.
std::unique_ptr<IConvertedChunks> StartEngineConvert(const TConvertRequest& Request,
                                                     TResizeMethod Resize);

// Runs one request with its progress in Progress.
TJoinResult JoinFiles(TJoinRequest Request, IProgressView& Progress);

}  // namespace rw
