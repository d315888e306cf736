#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/ProjectText.h"
#include "cli/ProjectArgs.h"
#include "platform/Errors.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/TempDir.h"

namespace rw::cli {
namespace {

TEST(ProjectArgs, TheOptionIsReplacedByTheProjectsFilesInPlace) {
  test::TTempDir dir;
  const std::string project = dir.File("p.rwp");
  WriteProjectFile(project, {"/b.avi", "-dash.avi", "/a.avi"});

  TArgs args{"-o", "--project", "--project", project, "/z.avi", "--", "--project", "x"};
  EXPECT_EQ(ExpandProjectArgs(args, {"-o"}), "");
  EXPECT_EQ(args, (TArgs{"-o", "--project", "/b.avi", "./-dash.avi", "/a.avi", "/z.avi", "--",
                         "--project", "x"}));

  TArgs equals{"--project=" + project};
  EXPECT_EQ(ExpandProjectArgs(equals), "");
  EXPECT_EQ(equals.size(), 3u);
}

TEST(ProjectArgs, MissingNamesAndBadProjects) {
  TArgs bare{"a.avi", "--project"};
  EXPECT_NE(ExpandProjectArgs(bare), "");
  TArgs empty{"--project="};
  EXPECT_NE(ExpandProjectArgs(empty), "");

  test::TTempDir dir;
  TArgs missing{"--project", dir.File("none.rwp")};
  EXPECT_THROW(ExpandProjectArgs(missing), EFOpenError);
  test::WriteFileBytes(dir.File("bad.rwp"), "object TProjectSettings\r\n");
  TArgs bad{"--project", dir.File("bad.rwp")};
  try {
    ExpandProjectArgs(bad);
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "The project file is corrupted");
  }
}

TEST(ProjectArgs, InfoListsTheProjectsFilesInItsOrder) {
  test::TTempDir dir;
  test::TClipSpec spec;
  const std::string b = dir.File("b.avi"), a = dir.File("a.avi");
  std::filesystem::copy_file(test::MakeClip(spec), b);
  std::filesystem::copy_file(test::MakeClip(spec), a);
  WriteProjectFile(dir.File("p.rwp"), {b, a, b});
  const std::string cli = test::ShellQuote(std::getenv("RW_CLI"));
  std::string out;
  ASSERT_EQ(test::RunCommand(cli + " info --project " + test::ShellQuote(dir.File("p.rwp")), &out),
            0);
  std::vector<std::string> firstFields;
  for (size_t at = out.find('\n') + 1; at < out.size(); at = out.find('\n', at) + 1)
    firstFields.push_back(out.substr(at, out.find('\t', at) - at));
  EXPECT_EQ(firstFields, (std::vector<std::string>{"b.avi", "a.avi", "b.avi", "3 file(s)"}));

  // A damaged project is reported like every failure of the command line.
  test::WriteFileBytes(dir.File("bad.rwp"), "not a project");
  EXPECT_NE(test::RunCommand(cli + " info --project " + test::ShellQuote(dir.File("bad.rwp")) +
                             " 2>" + test::ShellQuote(dir.File("err.txt"))),
            0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("err.txt")), "The project file is corrupted.\n");
}

TEST(ProjectArgs, JoinTakesItsFilesFromTheProject) {
  test::TTempDir dir;
  test::TClipSpec spec;
  spec.Audio = "pcm";
  const std::string clip = test::MakeClip(spec);
  WriteProjectFile(dir.File("p.rwp"), {clip, clip, clip});
  const std::string out = dir.File("out.avi");
  ASSERT_EQ(test::RunCommand(test::ShellQuote(std::getenv("RW_CLI")) + " join -o " +
                             test::ShellQuote(out) + " --project " +
                             test::ShellQuote(dir.File("p.rwp")) + " >/dev/null 2>&1"),
            0);
  EXPECT_EQ(test::ProbePacketCounts(out)["video"], 3 * spec.Frames);
  EXPECT_EQ(test::DecodeErrors(out), "");
}

TEST(ProjectArgs, AJoinOptionsValueIsNeverTakenForAProject) {
  // Every option of join that takes a value keeps it, even one that reads like --project:
  // here the compressor options, which are refused for uncompressed video and sound.
  test::TTempDir dir;
  test::TClipSpec spec;
  const std::string project = dir.File("p.rwp");
  WriteProjectFile(project, {test::MakeClip(spec)});
  const std::string cli = test::ShellQuote(std::getenv("RW_CLI"));
  for (const std::string option : {"--vopt", "--aopt"}) {
    std::string out;
    EXPECT_EQ(test::RunCommand(cli + " join --vcodec none --acodec none -o " +
                                   test::ShellQuote(dir.File("out.avi")) + " " + option +
                                   " --project=" + test::ShellQuote(project) + " --project " +
                                   test::ShellQuote(project) + " 2>&1",
                               &out),
              2);
    EXPECT_EQ(out.rfind("reelwright-cli join: " + option + " --project=" + project +
                            ": no compressor takes it (uncompressed)\n",
                        0),
              0u)
        << out;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.avi")));
}

}  // namespace
}  // namespace rw::cli
