#pragma once
// The three facts the Join Files command derives from the list's rows, and what the join
// options take from them: the default state of "Join without recompression" and the note
// beside it. Shared by the window and the command line, so both decide alike.
#include <string>
#include <vector>

#include "media/VideoFileInfo.h"

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

}  // namespace rw
