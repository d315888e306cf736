// The temporary file of a join beside its output has a name that fits the folder, whatever the
// output's name.
#include <gtest/gtest.h>

#include <filesystem>

#include "join/OutputTransaction.h"
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
  test::WriteFileBytes(output.TempFileName(), "the join");
  output.Commit();
  EXPECT_EQ(test::ReadFileBytes(out), "the join");
  EXPECT_FALSE(std::filesystem::exists(output.TempFileName()));
}

}  // namespace
}  // namespace rw
