#pragma once
// The one decision between what the user chose and a join. From the listed files and the
// choices (made in the join options dialog or given on the command line) it makes the join
// request: what was not chosen is what the join options propose, values are checked before
// anything is written, and notes tell where the join does otherwise than asked. The texts both
// front ends show about a join stand here too; the front ends only ask and show.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/JoinDefaults.h"
#include "core/JoinFacts.h"
#include "core/JoinRequest.h"
#include "platform/Errors.h"
#include "recompress/ResizeMethods.h"

namespace rw {

class TCompressorFilter;
class TFileList;

// A chosen value that is not understood: a frame size, frame rate, resize method, compressor
// or compressor option (on the command line, a usage error).
class EJoinChoice : public Exception {
public:
  using Exception::Exception;
};

// Stream copy was asked for files whose video formats differ (the message names each file
// that differs and how), or conversion for files that cannot be converted.
class EJoinRefused : public Exception {
public:
  using Exception::Exception;
};

// The output exists and the user has not agreed to replace it; the message is the question
// the join options ask (OverwriteQuestion).
class EOutputExists : public Exception {
public:
  explicit EOutputExists(const std::string& FileName);
  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
};

// "Join without recompression": as the join options propose it, checked or unchecked; or
// "Convert only the files that differ".
enum class TJoinMode { Default, Copy, Recompress, Convert };

// A compressor as the user chose it: the join options' selection, taken as it is, or a name.
struct TCompressorChoice {
  // Filter is the choice (none: uncompressed).
  bool Selected = false;
  std::shared_ptr<TCompressorFilter> Filter;
  // Otherwise: "" for the proposed compressor, "none" for uncompressed, else an encoder's name
  // or a display name (any case).
  std::string Name;
  // KEY=VALUE options of the compressor's own, set on it in this order.
  std::vector<std::string> Options;
};

struct TFrameSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// The settings of a recompressing join as chosen; what is left unset (or empty) is proposed.
// The window gives values, the command line texts.
struct TRecompressChoices {
  std::optional<TFrameSize> Size;
  std::string SizeText;  // "WxH", when Size is unset
  std::string Rate;      // frames per second, written with DecimalSeparator
  char DecimalSeparator = '.';
  std::optional<TResizeMethod> Resize;
  std::string ResizeWord;  // letterbox, crop, stretch or none, when Resize is unset
  TCompressorChoice Video;
  TCompressorChoice Audio;

  // Some setting was given.
  bool Any() const;
};

struct TJoinChoices {
  std::string OutFileName;
  // The user agreed to replace an existing output.
  bool Overwrite = false;
  TJoinMode Mode = TJoinMode::Default;
  TRecompressChoices Recompression;
};

struct TJoinDecision {
  TJoinRequest Request;
  // Where the join does otherwise than asked, one text each: the sound left out of a stream
  // copy, a frame size fitted to the video compressor.
  std::vector<std::string> Notes;
};

// The join that copies the files that match and converts the others, for the files described
// by Infos (in join order): its plan, with Impossible saying why the engine cannot write the
// kept format's streams (empty when it can).
TConversionFacts DecideConversion(const TFileInfoList& Infos);

// The note beside the choice: which files will be converted and why, or why it cannot be done.
std::string ConversionNoteText(const TConversionFacts& Facts);
// Where a copy would leave a file's sound out of step (Gap says which and why): the note of a
// copy that leaves the sound out, and of a join recompressed instead of copied.
std::string SoundLeftOutText(const std::string& Gap);
std::string RecompressedForSoundText(const std::string& Gap);
// What a join says when it does not convert because it cannot: "Only the files that differ
// cannot be converted: " + the reason.
std::string ConversionImpossibleText(const TConversionFacts& Facts);

// Whether a join changes some file's frame size, so that the resize method matters: the
// conversion when it converts the pictures of a file of another size than its first file's;
// a recompression to Width x Height when some file has another size.
bool ConversionResizes(const TFileInfoList& Infos, const TConversionFacts& Facts);
bool RecompressionResizes(const TFileInfoList& Infos, int Width, int Height);

// How the join proposed for the files takes each of them, one word each: "copied",
// "sound converted", "pictures converted", "pictures and sound converted" or "recompressed".
// A file cut (Cuts, in the files' order; none: every file whole) whose pictures a copy converts
// from In to the next key frame says how many: "copied, 12 pictures converted", "sound and 12
// pictures converted".
std::vector<std::string> JoinWayTexts(const TFileInfoList& Infos,
                                      const std::vector<TPictureCut>& Cuts = {});

// Decides the join of the list's files (in list order, their mismatch flags current). Raises,
// in this order of checks, EJoinRefused, EOutputExists, EJoinChoice; a compressor that cannot
// be listed or the media engine that cannot be loaded raise their own errors.
TJoinDecision DecideJoin(const TFileList& List, const TJoinChoices& Choices);

// The settings of a recompressing join of the files described by Infos (in join order): the
// choices, the proposals for the rest. Note, when given, receives how a frame size the video
// compressor cannot hold was fitted ("" when it was not).
TRecompression DecideRecompression(const TFileInfoList& Infos, const TRecompressChoices& Choices,
                                   std::string* Note = nullptr);

// The question before an existing output is replaced, as the join options ask it (two lines,
// broken by "\r\n"), and the same question on one line, for a terminal.
std::string OverwriteQuestion(const std::string& FileName);
std::string OverwriteQuestionLine(const std::string& FileName);

// What a failed join says: "Join fails: " + the reason.
std::string JoinFailsText(const std::string& Reason);

}  // namespace rw
