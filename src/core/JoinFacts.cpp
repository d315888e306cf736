#include "core/JoinFacts.h"

#include "core/ListTexts.h"
#include "core/FileList.h"

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

std::vector<std::string> JoinNoteRows(const std::vector<const TVideoFileInfo*>& Rows,
                                      const TJoinFacts& Facts, size_t MaxRows) {
  std::vector<std::string> lines;
  if (JoinNotesText(Facts).empty() || Rows.empty()) return lines;
  const TVideoFileInfo& first = *Rows.front();
  const bool video = !Facts.CanJoinWORecomp;
  size_t more = 0;
  for (size_t i = 0; i < Rows.size(); ++i) {
    const TVideoFileInfo& row = *Rows[i];
    std::string why;
    auto add = [&why](const std::string& Text) {
      if (!Text.empty()) why += (why.empty() ? "" : ". ") + Text;
    };
    if (video) {
      if (row.VideoMismatch)
        for (int column : {colType, colFrameSize, colFrameRate})
          add(DifferenceText(row, first, column));
    } else if (!row.HasAudio || row.AudioMismatch) {
      add(DifferenceText(row, first, colAudio));
      if (why.empty() && !row.HasAudio) why = "No sound";
    }
    if (why.empty()) continue;
    if (lines.size() < MaxRows)
      lines.push_back(std::to_string(i + 1) + ". " + FileNameText(row.FileName) + ": " + why);
    else
      ++more;
  }
  if (more > 0) lines.push_back("... and " + std::to_string(more) + " more");
  return lines;
}

}  // namespace rw
