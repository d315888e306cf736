#include "core/JoinFacts.h"

#include <algorithm>
#include <utility>

#include "core/ListTexts.h"
#include "core/FileList.h"
#include "media/VideoFileInfo.h"

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

namespace {

// Groups the rows by a format (Same compares two rows), each group's total duration beside it;
// the index of the group that covers most of it (the earliest of equals). A group whose
// pictures have no plausible rate is kept only when no group has one: the output takes the
// kept rate, and at one picture in a million seconds no other file's pictures could be made.
template <class TSame>
size_t LongestGroup(const std::vector<const TVideoFileInfo*>& Rows, const std::vector<size_t>& Of,
                    TSame Same, std::vector<size_t>* Firsts = nullptr) {
  std::vector<size_t> firsts;
  std::vector<double> durations;
  for (size_t i : Of) {
    size_t g = 0;
    while (g < firsts.size() && !Same(*Rows[i], *Rows[firsts[g]])) ++g;
    if (g == firsts.size()) {
      firsts.push_back(i);
      durations.push_back(0);
    }
    durations[g] += std::max(Rows[i]->Duration, 0.0);
  }
  auto rank = [&](size_t g) {
    return std::make_pair(PlausibleFrameRate(Rows[firsts[g]]->FrameRate), durations[g]);
  };
  size_t best = 0;
  for (size_t g = 1; g < durations.size(); ++g)
    if (rank(g) > rank(best)) best = g;
  if (Firsts) *Firsts = firsts;
  return best;
}

bool SameVideo(const TVideoFileInfo& A, const TVideoFileInfo& B) {
  TVideoFileInfo a = A;
  return SameVideoFormat(a, B);
}

}  // namespace

TConversionFacts GetConversionFacts(const std::vector<const TVideoFileInfo*>& Rows,
                                    size_t MaxRows) {
  TConversionFacts facts;
  facts.Plans.resize(Rows.size());
  if (Rows.empty()) return facts;
  std::vector<size_t> all(Rows.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  std::vector<size_t> firsts;
  const size_t videoGroup = LongestGroup(Rows, all, SameVideo, &firsts);
  const TVideoFileInfo& videoKept = *Rows[firsts[videoGroup]];
  // The sound kept is the one that covers most among the files of the pictures kept.
  std::vector<size_t> kept;
  for (size_t i : all)
    if (Rows[i]->HasAudio && SameVideo(*Rows[i], videoKept)) kept.push_back(i);
  facts.HeaderFile = firsts[videoGroup];
  if (!kept.empty()) {
    std::vector<size_t> soundFirsts;
    const size_t soundGroup = LongestGroup(Rows, kept, JoinableSound, &soundFirsts);
    facts.HeaderFile = soundFirsts[soundGroup];
  }
  const TVideoFileInfo& header = *Rows[facts.HeaderFile];
  size_t more = 0;
  for (size_t i = 0; i < Rows.size(); ++i) {
    const TVideoFileInfo& row = *Rows[i];
    TSourcePlan& plan = facts.Plans[i];
    plan.ConvertPictures = !SameVideo(row, header);
    plan.ConvertSound = header.HasAudio && row.HasAudio && !JoinableSound(row, header);
    if (header.HasAudio && (!row.HasAudio || plan.ConvertSound)) facts.KeepsSound = true;
    if (plan.ConvertPictures) facts.ConvertsPictures = true;
    if (plan.ConvertSound) facts.ConvertsSound = true;
    std::string why;
    auto add = [&why](const std::string& Text) {
      if (!Text.empty()) why += (why.empty() ? "" : ". ") + Text;
    };
    if (plan.ConvertPictures)
      for (int column : {colType, colFrameSize, colFrameRate})
        add(DifferenceText(row, header, column));
    // A file without sound gets silence; the note names it too.
    if (plan.ConvertSound || (header.HasAudio && !row.HasAudio))
      add(DifferenceText(row, header, colAudio));
    if (why.empty()) continue;
    // The texts compare with the first file; the output's format may come from a later one.
    if (facts.HeaderFile != 0)
      for (size_t at; (at = why.find("the first file has")) != std::string::npos;)
        why.replace(at, 18, "file " + std::to_string(facts.HeaderFile + 1) + " has");
    if (facts.Rows.size() < MaxRows)
      facts.Rows.push_back(std::to_string(i + 1) + ". " + FileNameText(row.FileName) + ": " + why);
    else
      ++more;
  }
  if (more > 0) facts.Rows.push_back("... and " + std::to_string(more) + " more");
  facts.SparesFiles = facts.ConvertsPictures &&
                      std::any_of(facts.Plans.begin(), facts.Plans.end(),
                                  [](const TSourcePlan& P) { return !P.ConvertPictures; });
  return facts;
}

}  // namespace rw
