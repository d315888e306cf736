#include <gtest/gtest.h>

#include "core/JoinFacts.h"

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

}  // namespace
}  // namespace rw
