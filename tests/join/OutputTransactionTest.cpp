// The temporary file of a join beside its output: a name that fits the folder whatever the
// output's name, a second join into the same output beside the first, and an output left as it
// was by a join that does not commit.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "join/OutputTransaction.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace rw {
namespace {

std::set<std::string> Names(const test::TTempDir& Dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(Dir.Path())) names.insert(e.path().filename());
  return names;
}

TEST(OutputTransaction, TwoJoinsIntoALongNameWriteBesideItAndOnlyTheCommittedOneReplacesIt) {
  test::TTempDir dir;
  // 254 bytes, the longest a name may be but one: ".NAME.part" must be cut, between characters.
  std::string base;
  for (int i = 0; i < 125; ++i) base += "\xC3\xA9";  // é
  base += ".avi";
  const std::string out = dir.File(base);
  test::WriteFileBytes(out, "the previous output");

  std::string cut;
  for (int i = 0; i < 124; ++i) cut += "\xC3\xA9";
  {
    TOutputTransaction first(out);
    TOutputTransaction second(out);
    EXPECT_EQ(first.TempFileName(), dir.File("." + cut + ".part"));
    EXPECT_EQ(second.TempFileName(), dir.File("." + cut.substr(0, cut.size() - 2) + ".1.part"));
    EXPECT_TRUE(IsJoinTempFileName(first.TempFileName()));
    EXPECT_TRUE(IsJoinTempFileName(second.TempFileName()));
    EXPECT_FALSE(IsJoinTempFileName(out));

    test::WriteFileBytes(first.TempFileName(), "a join that fails");
    test::WriteFileBytes(second.TempFileName(), "a join that ends");
    second.Commit();
    EXPECT_EQ(second.OutFileName(), out);
  }
  EXPECT_EQ(Names(dir), std::set<std::string>{base});
  EXPECT_EQ(test::ReadFileBytes(out), "a join that ends");

  {
    TOutputTransaction failed(out);
    test::WriteFileBytes(failed.TempFileName(), "another join that fails");
  }
  EXPECT_EQ(Names(dir), std::set<std::string>{base});
  EXPECT_EQ(test::ReadFileBytes(out), "a join that ends");
}

}  // namespace
}  // namespace rw
