// The temporary file of a join beside its output has a name that fits the folder, whatever the
// output's name.
#include <gtest/gtest.h>

#include <filesystem>

#include "join/OutputTransaction.h"
#include "platform/Errors.h"
#include "support/TempDir.h"

namespace rw {
namespace {

TEST(OutputTransaction, TheLongestNamesGetATemporaryNameCutBetweenCharacters) {
  test::TTempDir dir;
  // 254 bytes: ".NAME.part" must be cut to 255, and not inside a two-byte "é".
  std::string base, cut;
  for (int i = 0; i < 125; ++i) base += "\xC3\xA9";
  cut = base.substr(0, 248);
  base += ".avi";
  const std::string out = dir.File(base);
  test::WriteFileBytes(out, "the previous output");
  TOutputTransaction output(out);
  EXPECT_EQ(output.TempFileName(), dir.File("." + cut + ".part"));
  EXPECT_TRUE(IsJoinTempFileName(output.TempFileName()));
  test::WriteFileBytes(output.TempFileName(), "the join");
  output.Commit();
  EXPECT_EQ(test::ReadFileBytes(out), "the join");
  EXPECT_FALSE(std::filesystem::exists(output.TempFileName()));
}

TEST(OutputTransaction, ReplacesOnlyAnOutputThatExistedAndKeepsItsModeFromTheCommit) {
  test::TTempDir dir;
  namespace fs = std::filesystem;
  // A read-only output the user agreed to replace: the joiner can write its temporary file,
  // which gets the old permissions only at the commit.
  const std::string out = dir.File("out.avi");
  test::WriteFileBytes(out, "the previous output");
  fs::permissions(out, fs::perms::owner_read | fs::perms::group_read);
  {
    TOutputTransaction output(out);
    EXPECT_EQ(fs::status(output.TempFileName()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    test::WriteFileBytes(output.TempFileName(), "the join");
    EXPECT_EQ(output.Commit(), "");
  }
  EXPECT_EQ(test::ReadFileBytes(out), "the join");
  EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_read | fs::perms::group_read);

  // An output that did not exist is never replaced: what appeared under its name meanwhile
  // stays, and the join's file goes.
  const std::string fresh = dir.File("fresh.avi");
  std::string temp;
  {
    TOutputTransaction output(fresh);
    temp = output.TempFileName();
    test::WriteFileBytes(output.TempFileName(), "the join");
    test::WriteFileBytes(fresh, "another program's file");
    try {
      output.Commit();
      ADD_FAILURE();
    } catch (const Exception& E) {
      EXPECT_EQ(std::string(E.what()),
                "The output file " + fresh + " was created during the join; it is left as it is");
    }
  }
  EXPECT_EQ(test::ReadFileBytes(fresh), "another program's file");
  EXPECT_FALSE(fs::exists(temp));
}

}  // namespace
}  // namespace rw

namespace rw {
namespace {

TEST(OutputTransaction, OnlyTheJoinsOwnTemporaryFilesAreTakenForThem) {
  test::TTempDir dir;
  // The names a join takes, the first one and one after others were taken.
  const std::string out = dir.File("holiday.avi");
  TOutputTransaction first(out), second(out);
  EXPECT_EQ(second.TempFileName(), dir.File(".holiday.avi.1.part"));
  EXPECT_TRUE(IsJoinTempFileName(first.TempFileName()));
  EXPECT_TRUE(IsJoinTempFileName(second.TempFileName()));
  EXPECT_TRUE(IsJoinTempFileName("/v/.holiday.avi.12.part"));
  // A user's own files.
  for (const char* name : {"/v/.clip.part", "/v/.clip.3.part", "/v/.clip.12.part",
                           "/v/clip.avi.part", "/v/.part", "/v/..part", "/.a.avi.part/clip.avi"})
    EXPECT_FALSE(IsJoinTempFileName(name)) << name;
}

}  // namespace
}  // namespace rw
