// Where a typed output name lands, and what the done message says about the output.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/JoinOutput.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace rw {
namespace {

TEST(JoinOutput, ARelativeNameLandsBesideTheFirstSource) {
  EXPECT_EQ(ResolveOutputFileName("out.avi", "/clips/a.avi", "/saved"), "/clips/out.avi");
  EXPECT_EQ(ResolveOutputFileName("../done/./out.avi", "/clips/a.avi", ""), "/done/out.avi");
  EXPECT_EQ(ResolveOutputFileName("/abs/out.avi", "/clips/a.avi", "/saved"), "/abs/out.avi");
  EXPECT_EQ(ResolveOutputFileName("out.avi", "", "/saved"), "/saved/out.avi");
  EXPECT_EQ(ResolveOutputFileName("out.avi", "/a.avi", ""), "/out.avi");
  const char* home = std::getenv("HOME");
  if (home && *home) {
    EXPECT_EQ(ResolveOutputFileName("~/out.avi", "/clips/a.avi", ""),
              std::string(home) + (std::string(home).back() == '/' ? "" : "/") + "out.avi");
  }
}

TEST(JoinOutput, TheDoneMessageGivesTheFullNameDurationAndSize) {
  EXPECT_EQ(FileSizeText(1023), "1023 bytes");
  EXPECT_EQ(FileSizeText(1536), "1.5 KiB");
  EXPECT_EQ(FileSizeText(18664653), "17.8 MiB");
  EXPECT_EQ(FileSizeText(int64_t(5) << 30), "5.0 GiB");

  test::TClipSpec spec;
  spec.Frames = 50;  // two seconds at 25 fps
  const TJoinOutputFacts clip = DescribeJoinOutput(test::MakeClip(spec));
  EXPECT_EQ(clip.Duration, 2);
  EXPECT_GT(clip.Size, 0);
  EXPECT_EQ(JoinDoneText(clip), "The files are joined into\n" + clip.FileName +
                                    "\n\nDuration: 00:02\nSize: " + FileSizeText(clip.Size));

  // An output that cannot be described is still named.
  test::TTempDir dir;
  test::WriteFileBytes(dir.File("x.avi"), "not a video");
  const TJoinOutputFacts odd = DescribeJoinOutput(dir.File("x.avi"));
  EXPECT_EQ(JoinDoneText(odd),
            "The files are joined into\n" + dir.File("x.avi") + "\n\nSize: 11 bytes");
}

}  // namespace
}  // namespace rw
