#include "core/JoinFacts.h"

namespace rw {

const char* const cNoteDifferentFormats =
    "<-- impossible because the selected files have different formats";
const char* const cNoteWithoutSound = "- files will be joined without sound (audio formats differ)";

TJoinFacts GetJoinFacts(const std::vector<const TVideoFileInfo*>& Rows) {
  TJoinFacts facts;
  for (const TVideoFileInfo* row : Rows) {
    if (row->VideoMismatch) facts.CanJoinWORecomp = false;
    if (!row->HasAudio || row->AudioMismatch) facts.DropAudio = true;
    if (row->HasAudio) facts.NoAudio = false;
  }
  return facts;
}

bool DefaultJoinWORecomp(const TJoinFacts& Facts) {
  return Facts.CanJoinWORecomp && !(Facts.DropAudio && !Facts.NoAudio);
}

std::string JoinNotesText(const TJoinFacts& Facts) {
  if (!Facts.CanJoinWORecomp) return cNoteDifferentFormats;
  if (Facts.DropAudio && !Facts.NoAudio) return cNoteWithoutSound;
  return "";
}

}  // namespace rw
