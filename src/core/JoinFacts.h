#pragma once
// The three facts the Join Files command derives from the list's rows, and what the join
// options take from them: the default state of "Join without recompression" and the note
// beside it. Shared by the window and the command line, so both decide alike.
#include <cstddef>
#include <string>
#include <vector>

#include "media/VideoFileInfo.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace rw {

struct TJoinFacts {
  // No row's video format differs from the first row's.
  bool CanJoinWORecomp = true;
  // Some row has no sound or another sound format than the first row's.
  bool DropAudio = false;
  // No row has sound.
  bool NoAudio = true;
};

// The facts over the rows, in list order, with their mismatch flags current.
TJoinFacts GetJoinFacts(const std::vector<const TVideoFileInfo*>& Rows);

// Stream copy is proposed when it is possible and would lose no sound.
bool DefaultJoinWORecomp(const TJoinFacts& Facts);

extern const char* const cNoteDifferentFormats;
extern const char* const cNoteWithoutSound;
// The note beside the check box: empty, or one of the two texts above.
std::string JoinNotesText(const TJoinFacts& Facts);

// The rows that the note is about, one line each ("3. clip3.avi: 12.5 fps; the first file
// has 25"): those that stop a join without recompression, or, when that is possible but some
// sound would be lost, the rows whose sound is left out. At most MaxRows lines, then "... and
// N more". Empty when the note is.
std::vector<std::string> JoinNoteRows(const std::vector<const TVideoFileInfo*>& Rows,
                                      const TJoinFacts& Facts, size_t MaxRows = 6);

// A join that copies every file that matches and converts only the others into the format
// kept: the one (pictures, then sound) that covers most of the total duration. Its first file
// gives the output's headers; the list's order stays the output's.
struct TConversionFacts {
  size_t HeaderFile = 0;           // the first file of the kept format
  std::vector<TSourcePlan> Plans;  // one per file, in list order
  // Some file's sound differs (or is missing) where the others' have sound: a plain copy would
  // leave every file's sound out.
  bool KeepsSound = false;
  // Some files are copied while others' pictures differ: a recompression would re-encode them.
  bool SparesFiles = false;
  bool ConvertsPictures = false;
  bool ConvertsSound = false;
  // The files converted or given silence, one line each ("3. clip3.avi: 12.5 fps; the first
  // file has 25").
  std::vector<std::string> Rows;
  // Empty when the engine can write the kept format's streams, else why not.
  std::string Impossible;
  // The join is worth proposing: possible, and it keeps sound or spares files.
  bool Proposed() const { return Impossible.empty() && (KeepsSound || SparesFiles); }
};

// The plan of that join for the rows, in list order. Impossible is left empty: whether the
// engine can write the streams is the join decision's question.
TConversionFacts GetConversionFacts(const std::vector<const TVideoFileInfo*>& Rows,
                                    size_t MaxRows = 6);

}  // namespace rw
