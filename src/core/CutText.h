#pragma once
// A file's cut as it is written on the command line, "N=START-END": N the file's position in
// the join (from 1), START and END each a time or a picture number, either one left empty for
// the file's start or end. A picture number "#75" names a kept picture, counted from 0, at
// either end. A time is seconds ("2.5"), MM:SS.mmm or HH:MM:SS.mmm: START keeps the picture
// shown at that time, END ends what is kept (the picture shown at END is not kept), so that
// "2-5" keeps the three seconds between them. The window passes its rows' cuts the same way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/JoinDecision.h"
#include "media/PictureCut.h"

namespace rw {

class TFileList;

struct TCutText {
  size_t Position = 0;  // the file's position in the join, from 1
  std::string Start, End;
};

// Reads "N=START-END"; raises EJoinChoice saying what is wrong with it.
TCutText ParseCutText(const std::string& Text);
// The pictures of a file of Pictures pictures shown at Rate a second that Cut keeps; raises
// EJoinChoice naming FileName when a side is not understood, the cut ends before it starts or
// reaches past the file's end.
TPictureCut PictureCutOf(const TCutText& Cut, const std::string& FileName, uint32_t Pictures,
                         double Rate);
// Sets the cuts on the list's rows; raises EJoinChoice for a position the list does not have
// and as PictureCutOf does.
void ApplyCuts(TFileList& List, const std::vector<TCutText>& Cuts);
// The text that gives the row at Position (from 1) the cut Cut: "N=#IN-#OUT", OUT left empty
// for a cut that keeps the file to its end.
std::string CutArgument(size_t Position, const TPictureCut& Cut);

}  // namespace rw
