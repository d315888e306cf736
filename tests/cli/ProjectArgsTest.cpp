#include <gtest/gtest.h>

#include "app/ProjectText.h"
#include "cli/ProjectArgs.h"
#include "platform/Errors.h"
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

}  // namespace
}  // namespace rw::cli
