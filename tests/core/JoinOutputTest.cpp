// Where a typed output name lands, and what the done message says about the output.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/JoinOutput.h"
#include "platform/Errors.h"
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

TEST(JoinOutput, ATypedNameBecomesAnAviFileAndAFolderIsRefused) {
  test::TTempDir dir;
  const std::string first = dir.File("a.avi");
  EXPECT_EQ(OutputFileName("out", first, ""), dir.File("out.avi"));
  EXPECT_EQ(OutputFileName("out.mkv", first, ""), dir.File("out.mkv"));
  EXPECT_EQ(OutputFileName(".clip", first, ""), dir.File(".clip.avi"));
  EXPECT_EQ(OutputFileName("", first, ""), "");
  // A folder, typed with or without its slash, and a bare extension are refused by name.
  test::RunTool("mkdir " + test::ShellQuote(dir.File("videos")));
  for (const std::string& typed : {dir.File("videos") + "/", dir.File("videos"), std::string("."),
                                   std::string("new/"), std::string(".AVI")}) {
    try {
      const std::string made = OutputFileName(typed, first, "");
      ADD_FAILURE() << typed << " became " << made;
    } catch (const Exception& E) {
      EXPECT_NE(std::string(E.what()).find(ResolveOutputFileName(typed, first, "")),
                std::string::npos)
          << E.what();
    }
  }
}

TEST(JoinOutput, TheProposedNameIsTheCommonStemBesideTheFirstFileAndNeverASource) {
  std::vector<std::string> parts;
  for (int i = 1; i <= 12; ++i) parts.push_back("/v/holiday part " + std::to_string(i) + ".avi");
  EXPECT_EQ(ProposedOutputName(parts), "/v/holiday.avi");
  EXPECT_EQ(ProposedOutputName({"/v/MVI_0001.AVI", "/v/MVI_0002.AVI"}), "/v/MVI.avi");
  // Names that share nothing, and one file whose stem would give its own name.
  EXPECT_EQ(ProposedOutputName({"/v/beach.avi", "/w/city.avi"}), "/v/beach joined.avi");
  EXPECT_EQ(ProposedOutputName({"/v/clip.avi"}), "/v/clip joined.avi");
  EXPECT_EQ(ProposedOutputName({"/v/holiday.avi", "/v/holiday 2.avi"}), "/v/holiday joined.avi");
  // A common start cut inside a character ("é" and "è" share their first byte) keeps whole
  // characters.
  EXPECT_EQ(ProposedOutputName({"/v/caf\xC3\xA9 1.avi", "/v/caf\xC3\xA8 2.avi"}), "/v/caf.avi");
  EXPECT_EQ(ProposedOutputName({}), "");
}

TEST(JoinOutput, AStopSaysHowMuchOfTheWholeIsKept) {
  TJoinOutputFacts kept{"/v/out.avi", 1000, 5.2};
  EXPECT_EQ(JoinStoppedText(kept, true, 54),
            "Stopped after 00:05 of 00:54; the first 00:05 is kept as /v/out.avi.");
  EXPECT_EQ(JoinStoppedText(kept, false, 54),
            "Stopped before anything was written; nothing is kept.");
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
