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

  // A verb that takes cuts gets the project's, each at its file's place among the files; one
  // that does not (a listing) gets the names alone.
  WriteProjectFile(project, {"/b.avi", "/c.avi", "/d.avi"},
                   {{30, 239}, {}, {5, TPictureCut::ToEnd}});
  TArgs cut{"-o", "/out.avi", "/a.avi", "--yes", "--project", project, "/z.avi"};
  EXPECT_EQ(ExpandProjectArgs(cut, {"-o", "--cut"}), "");
  EXPECT_EQ(cut, (TArgs{"-o", "/out.avi", "/a.avi", "--yes", "/b.avi", "/c.avi", "/d.avi", "--cut",
                        "2=#30-#239", "--cut", "4=#5-", "/z.avi"}));
  TArgs listed{"--project", project};
  EXPECT_EQ(ExpandProjectArgs(listed, {}), "");
  EXPECT_EQ(listed, (TArgs{"/b.avi", "/c.avi", "/d.avi"}));
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

// 2,000 sources, more than the 256 files a process may have open: each is opened only while it
// is read, by the list (info), the project and both joiners' commands.
TEST(ProjectArgs, JoinTakesItsFilesFromTheProject) {
  test::TTempDir dir;
  test::TClipSpec spec;
  spec.Audio = "pcm";
  spec.Frames = 2;
  const std::string clip = test::MakeClip(spec);
  constexpr int Sources = 2000;
  std::vector<std::string> files;
  std::string names;
  for (int i = 0; i < Sources; ++i) {
    files.push_back(dir.File("clip" + std::to_string(i) + ".avi"));
    std::filesystem::create_hard_link(clip, files.back());
    names += " " + test::ShellQuote(files.back());
  }
  const std::string project = dir.File("p.rwp");
  WriteProjectFile(project, files);
  const std::string out = dir.File("out.avi");
  const std::string cli = "ulimit -n 256 && " + test::ShellQuote(std::getenv("RW_CLI")) + " ";
  std::string said;
  ASSERT_EQ(test::RunCommand(cli + "info --project " + test::ShellQuote(project) + " 2>&1", &said),
            0)
      << said.substr(0, 2000);
  EXPECT_NE(said.find("\n" + std::to_string(Sources) + " file(s)\t"), std::string::npos);
  for (const std::string& list : {"--project " + test::ShellQuote(project), names}) {
    said.clear();
    ASSERT_EQ(test::RunCommand(
                  cli + "join --yes -o " + test::ShellQuote(out) + " " + list + " 2>&1", &said),
              0)
        << said.substr(0, 2000);
    EXPECT_EQ(test::ProbePacketCounts(out)["video"], Sources * spec.Frames);
    EXPECT_EQ(test::DecodeErrors(out), "");
  }
  // The recompressing join opens its sources one at a time as well (300 of them: more than the
  // limit, each decoded).
  constexpr int Recompressed = 300;
  WriteProjectFile(project, std::vector<std::string>(files.begin(), files.begin() + Recompressed));
  said.clear();
  ASSERT_EQ(test::RunCommand(cli + "join --recompress --vcodec mpeg4 --acodec pcm_s16le --yes -o " +
                                 test::ShellQuote(out) + " --project " + test::ShellQuote(project) +
                                 " 2>&1",
                             &said),
            0)
      << said.substr(0, 2000);
  EXPECT_EQ(test::ProbePacketCounts(out)["video"], Recompressed * spec.Frames);
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
