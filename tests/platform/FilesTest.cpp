#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace rw {
namespace {

TEST(Files, OpenReadRefusesFoldersPipesAndMissingFilesWithoutBlocking) {
  test::TTempDir dir;
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  // A named pipe with no writer would block a plain open for ever.
  EXPECT_THROW(TFile::OpenRead(pipe), EFOpenError);
  try {
    TFile::OpenRead(dir.Path().string());
    FAIL();
  } catch (const EOSError& E) {
    EXPECT_EQ(E.ErrorCode, EISDIR);
    EXPECT_EQ(std::string(E.what()).rfind("System Error.  Code: ", 0), 0u);
  }
  EXPECT_THROW(TFile::OpenRead(dir.File("missing")), EOSError);
}

TEST(Files, SameFileFollowsHardLinksAndOtherPaths) {
  test::TTempDir dir;
  const std::string a = dir.File("a.avi");
  test::WriteFileBytes(a, "x");
  ASSERT_EQ(::link(a.c_str(), dir.File("b.avi").c_str()), 0);
  EXPECT_TRUE(SameFile(a, dir.File("b.avi")));
  EXPECT_TRUE(SameFile(a, dir.Path().string() + "/./a.avi"));
  test::WriteFileBytes(dir.File("c.avi"), "x");
  EXPECT_FALSE(SameFile(a, dir.File("c.avi")));
  EXPECT_FALSE(SameFile(a, dir.File("missing.avi")));
}

TEST(Files, MulDivRoundsToNearestAndGivesMinusOneForZero) {
  EXPECT_EQ(MulDiv(1000000, 1001, 30000), 33367);  // 33366.67
  EXPECT_EQ(MulDiv(1000000, 1, 25), 40000);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(5, 7, 0), -1);
  EXPECT_EQ(MulDiv(2000000000, 2, 2), 2000000000);  // 64-bit intermediate
}

TEST(Errors, DefaultDisplayAddsAFullStopAfterHigherCharacters) {
  EXPECT_EQ(WithFullStop("Cannot open"), "Cannot open.");
  EXPECT_EQ(WithFullStop("Done."), "Done.");
  EXPECT_EQ(WithFullStop("Which?"), "Which?.");
  EXPECT_EQ(WithFullStop("Value -"), "Value -");
  EXPECT_EQ(OSErrorMessage(0), "A system call failed");
}

}  // namespace
}  // namespace rw
