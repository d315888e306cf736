#include <gtest/gtest.h>

#include "core/JoinFacts.h"
#include "core/ListTexts.h"

namespace rw {
namespace {

TVideoFileInfo Row(bool Audio, bool VideoMismatch = false, bool AudioMismatch = false) {
  TVideoFileInfo r;
  r.HasAudio = Audio;
  r.VideoMismatch = VideoMismatch;
  r.AudioMismatch = AudioMismatch;
  return r;
}

struct TCase {
  std::vector<TVideoFileInfo> Rows;
  bool Copy;  // the check box's default
  std::string Note;
};

TEST(JoinFacts, TheCheckBoxIsProposedOnlyWhenNoSoundIsLost) {
  const std::string different = "<-- impossible because the selected files have different formats";
  const std::string silent = "- files will be joined without sound (audio formats differ)";
  const std::vector<TCase> cases = {
      {{Row(true), Row(true)}, true, ""},
      {{Row(true), Row(true, true)}, false, different},
      {{Row(true), Row(false)}, false, silent},
      {{Row(true), Row(true, false, true)}, false, silent},
      {{Row(false), Row(false)}, true, ""},  // drop-audio is set, yet nothing is lost
      {{Row(false), Row(true, true)}, false, different},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    std::vector<const TVideoFileInfo*> rows;
    for (const auto& r : cases[i].Rows) rows.push_back(&r);
    TJoinFacts facts = GetJoinFacts(rows);
    EXPECT_EQ(DefaultJoinWORecomp(facts), cases[i].Copy) << i;
    EXPECT_EQ(JoinNotesText(facts), cases[i].Note) << i;
  }
  TVideoFileInfo none = Row(false);
  TJoinFacts f = GetJoinFacts({&none});
  EXPECT_TRUE(f.DropAudio);
  EXPECT_TRUE(f.NoAudio);
}

// The rows the note is about: by number and name, with what differs, capped.
TEST(JoinFacts, TheNoteNamesTheRowsItIsAbout) {
  auto clip = [](const std::string& Name, uint16_t Width, double Rate, uint16_t Sound) {
    TVideoFileInfo r;
    r.FileName = "/clips/" + Name;
    r.TypeName = "AVI";
    r.Width = Width;
    r.Height = 240;
    r.FrameRate = Rate;
    r.HasAudio = Sound != 0;
    r.AudioFormatTag = Sound;
    return r;
  };
  std::vector<TVideoFileInfo> rows = {clip("a.avi", 320, 25, 0x55), clip("b.avi", 352, 12.5, 0x55),
                                      clip("c.avi", 320, 25, 0x50), clip("d.avi", 320, 25, 0x55)};
  // A file without an index does not stop the copy (its data are walked).
  rows[3].HasIndex = false;
  std::vector<const TVideoFileInfo*> list;
  for (TVideoFileInfo& r : rows) {
    r.VideoMismatch = !SameVideoFormat(r, rows[0]);
    r.AudioMismatch = !SameAudioFormat(r, rows[0]);
    list.push_back(&r);
  }
  TJoinFacts facts = GetJoinFacts(list);
  EXPECT_FALSE(facts.CanJoinWORecomp);
  EXPECT_EQ(JoinNoteRows(list, facts),
            (std::vector<std::string>{
                "2. b.avi: 352x240; the first file has 320x240. 12.5 fps; the first file has 25"}));
  EXPECT_EQ(JoinNoteRows(list, facts, 0), (std::vector<std::string>{"... and 1 more"}));

  // Copying is possible but would lose sound: the rows whose sound is left out.
  rows.erase(rows.begin() + 1);
  rows.pop_back();
  rows.push_back(clip("e.avi", 320, 25, 0));
  list.clear();
  for (TVideoFileInfo& r : rows) {
    r.AudioMismatch = !SameAudioFormat(r, rows[0]);
    list.push_back(&r);
  }
  facts = GetJoinFacts(list);
  EXPECT_TRUE(facts.CanJoinWORecomp);
  EXPECT_EQ(JoinNoteRows(list, facts),
            (std::vector<std::string>{"2. c.avi: MP2 sound; the first file has MP3",
                                      "3. e.avi: No sound; the first file has MP3 sound"}));
  rows.pop_back();
  rows.pop_back();
  EXPECT_TRUE(JoinNoteRows({&rows[0]}, GetJoinFacts({&rows[0]})).empty());
}

}  // namespace
}  // namespace rw
