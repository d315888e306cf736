#pragma once
// The recompressing joiner: describes each source through the media engine, places the
// sources back to back in a render plan (pictures at the chosen size and frame rate, 44100 Hz
// 16-bit stereo sound) and has the engine render it into an AVI file through the chosen
// compressors, reporting progress every 300 ms.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/MediaEngine.h"
#include "media/PictureCut.h"
#include "platform/Files.h"
#include "recompress/ResizeMethods.h"

namespace rw {

class IProgress;
class TCompressorFilter;

// The engine's stretch mode for a resize method.
int32_t StretchModeOf(TResizeMethod Method);

// Raises "DirectShow Error: " + the code in upper-case hexadecimal, then ": " and the engine's
// reason when it gave one, for every failure (every nonzero code).
void CheckDSResult(const TEngineError& Error);

// Probe of one source: the length of its (last) video stream in seconds, 0 without video, and
// whether it has sound. An AVI file's length is that of the pictures it holds, as the stream
// copy counts them, whatever its header claims.
struct TMediaInfo {
  double Length = 0;
  bool HasAudio = false;
  // The pictures an AVI file holds and its header's rate of them; 0 when not known.
  uint32_t Pictures = 0;
  double PictureRate = 0;
  // The pictures its header declares; 0 when not known.
  uint32_t DeclaredPictures = 0;
};
TMediaInfo GetMediaInfo(const std::string& FileName);

// What an AVI file holds against what its headers claim: the pictures its last video stream
// holds, counted as the stream copy and the file list count them (from the index, or from the
// data walked where the index is missing, damaged, misplaced or cut short; a header's length
// may claim far more or far fewer), its header's rate and frame size, the file's size, and for
// sound that its decoder times by the header (PCM, float, A-law, mu-law) the header's sample
// rate and the seconds its longest chunk lasts at that rate.
struct THeldPictures {
  uint32_t Count = 0;
  uint32_t Declared = 0;
  double Rate = 0;
  int64_t Width = 0;
  int64_t Height = 0;
  int64_t FileSize = 0;
  uint32_t SoundRate = 0;
  double LongestSoundChunk = 0;
};
// None when our AVI reader cannot read the file or it has no video stream timed by pictures.
std::optional<THeldPictures> HeldPictures(const std::string& FileName);

// The render holds a few decoded pictures of each source at a time and resamples its sound
// to 44100 Hz chunk by chunk. What one picture (4 bytes a pixel) or one chunk of sound (8
// bytes a sample frame at 44100 Hz) decodes to is bounded by what the file can hold: at most
// DecodeAllowance plus DecodedBytesPerFileByte times its size. Against headers that claim
// 16000x16000 pictures or a sound clock of 1 Hz in a file of a few hundred kilobytes.
inline constexpr uint64_t DecodeAllowance = uint64_t{64} << 20;
inline constexpr uint64_t DecodedBytesPerFileByte = 256;
// Raises, naming the file, "The file X claims pictures of WxH, which its N bytes cannot hold"
// or "The file X claims sound of R samples per second, which its N bytes cannot hold".
void CheckHeldBounds(const std::string& FileName, const THeldPictures& Held);

// A frame size fitted to what the video compressor takes (whole chroma samples: even sizes for
// 4:2:0), with the note that tells the user how and why it changed; no note when the compressor
// takes the size (or is none). Raises when the media engine cannot be loaded.
struct TFittedFrame {
  int32_t Width = 0;
  int32_t Height = 0;
  std::string Note;
};
TFittedFrame FitFrameSize(const TCompressorFilter* Video, int32_t Width, int32_t Height);

class TDSVideoJoiner {
public:
  // Renders FFiles into FOutFileName. Returns when the render has finished or was cancelled;
  // a render stopped by an error raises the engine's reason. A source that gives no pictures
  // (none it holds, or none at the join's frame rate), or a compressor that cannot take the
  // format, fails the join before the output is touched. A source whose header rate is not
  // plausible has its pictures joined one after another at the join's rate, and a warning
  // says so. A source cut short during the render is named in a warning; one replaced or
  // rewritten meanwhile fails the join.
  void Join();
  // What the last Join did that the user should know, one sentence each without its full stop.
  const std::vector<std::string>& Warnings() const { return FWarnings; }

  // Settings, filled by the dispatcher before Join.
  std::vector<std::string> FFiles;
  // The part of each source the join keeps, in FFiles' order (a missing entry keeps it whole):
  // its pictures In to Out by their slots, and the sound that plays with them. A cut that keeps
  // none of a source's pictures, or of a source whose pictures cannot be counted, fails the
  // join, naming the file.
  std::vector<TPictureCut> FCuts;
  // Each source as it was described, in FFiles' order: a source whose identity differs from
  // this when the join starts fails it, naming it (entries of inode 0, or missing, are not
  // checked).
  std::vector<TFileIdentity> FIdentities;
  std::string FOutFileName;
  // The output's 'ISFT' text (the program that wrote it, and its version); empty: none. The
  // output carries the first source's recording date and 'INFO' texts.
  std::string FSoftware;
  int32_t FWidth = 320;
  double FFrameRate = 24.0;
  int32_t FHeight = 240;
  TResizeMethod FResizeMethod = rmLetterbox;
  // Told the percentage about every 300 ms, then asked whether to stop; a stopped join keeps
  // the output written so far. Shown and hidden by the caller.
  IProgress* FProgress = nullptr;
  // None writes uncompressed video or sound.
  std::shared_ptr<TCompressorFilter> FVideoCompressor;
  std::shared_ptr<TCompressorFilter> FAudioCompressor;

  // The render of the settings: every source described, in order; adds to Warnings what the
  // render does with sources of implausible rates.
  TRenderPlan BuildPlan(std::vector<std::string>* Warnings = nullptr) const;

private:
  void CheckCompressors() const;
  // After the render: a source cut short meanwhile is named in a warning; one replaced or
  // rewritten fails the join, naming it.
  void CheckSourcesAfterRender(const std::vector<TFileIdentity>& Started);
  std::vector<std::string> FWarnings;
  // Puts the first source's recording date and 'INFO' texts, and FSoftware, into the output's
  // header, as many as the room the engine leaves there holds.
  void PutFacts() const;
};

}  // namespace rw
