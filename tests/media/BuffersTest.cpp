#include <gtest/gtest.h>

#include <random>
#include <string>

#include "media/FileReadBuffer.h"
#include "media/MemoryBuffer.h"
#include "support/TempDir.h"

namespace rw {
namespace {

std::string Pattern(size_t Size) {
  std::string s(Size, '\0');
  for (size_t i = 0; i < Size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

class FileReadBufferTest : public ::testing::Test {
protected:
  TFile Open(size_t Size) {
    Data = Pattern(Size);
    test::WriteFileBytes(Dir.File("data"), Data);
    return TFile::OpenRead(Dir.File("data"));
  }
  test::TTempDir Dir;
  std::string Data;
};

TEST_F(FileReadBufferTest, ReadsAreClippedAtTheEndOfTheFile) {
  TFile f = Open(20000);
  TFileReadBuffer b(f, 8192);
  char out[16] = {};
  EXPECT_EQ(b.ReadAt(out, 16, 20000 - 3), 3u);
  EXPECT_EQ(std::string(out, 3), Data.substr(20000 - 3));
  EXPECT_EQ(b.ReadAt(out, 16, 20000), 0u);
  EXPECT_EQ(b.ReadAt(out, 16, -5), 0u);
  // A bypass read at the end is short, not an error.
  std::string big(5000, '\0');
  EXPECT_EQ(b.ReadAt(big.data(), 5000, 19000), 1000u);
  EXPECT_EQ(big.substr(0, 1000), Data.substr(19000));
}

TEST_F(FileReadBufferTest, EmptyFileReadsNothing) {
  TFile f = Open(0);
  TFileReadBuffer b(f, 8192);
  char out[8];
  EXPECT_EQ(b.ReadAt(out, 8, 0), 0u);
  EXPECT_EQ(b.ReadAt(out, 4097, 0), 0u);
  EXPECT_EQ(b.FileReads(), 0u);
}

TEST_F(FileReadBufferTest, WindowIsReusedAndMovedInAlignedSteps) {
  TFile f = Open(40000);
  TFileReadBuffer b(f, 8192);
  char out[8];
  b.ReadAt(out, 8, 10);
  b.ReadAt(out, 8, 20);
  EXPECT_EQ(b.FileReads(), 1u);
  EXPECT_EQ(b.WindowStart(), 0);
  EXPECT_EQ(b.ReadAt(out, 8, 8190), 8u);
  EXPECT_EQ(b.WindowStart(), 4096);
  EXPECT_EQ(std::string(out, 8), Data.substr(8190, 8));
  EXPECT_EQ(b.FileReads(), 2u);

  // Half the window goes through it; more bypasses it and leaves it alone.
  std::string half(4096, '\0');
  b.ReadAt(half.data(), 4096, 4200);
  EXPECT_EQ(b.FileReads(), 2u);
  std::string more(4097, '\0');
  EXPECT_EQ(b.ReadAt(more.data(), 4097, 30000), 4097u);
  EXPECT_EQ(more, Data.substr(30000, 4097));
  EXPECT_EQ(b.WindowStart(), 4096);
  EXPECT_EQ(b.FileReads(), 3u);
}

TEST_F(FileReadBufferTest, RandomReadsAgreeWithTheFile) {
  TFile f = Open(70001);
  TFileReadBuffer b(f, 8192);
  std::mt19937 rng(7);
  std::string out(9000, '\0');
  for (int i = 0; i < 3000; ++i) {
    const int64_t pos = std::uniform_int_distribution<int64_t>(0, 70100)(rng);
    const uint32_t count = std::uniform_int_distribution<uint32_t>(0, i % 10 ? 64 : 9000)(rng);
    const uint32_t got = b.ReadAt(out.data(), count, pos);
    const size_t expect =
        pos >= 70001 ? 0 : std::min<size_t>(count, 70001 - static_cast<size_t>(pos));
    ASSERT_EQ(got, expect) << pos << " " << count;
    if (got) {
      ASSERT_EQ(out.substr(0, got), Data.substr(static_cast<size_t>(pos), got));
    }
  }
}

TEST(MemoryBuf, GrowsByDeltaOrExactlyToTheNeed) {
  TMemoryBuf m;
  m.Append("x", 0);
  EXPECT_EQ(m.Memory(), nullptr);
  EXPECT_EQ(m.Capacity(), 0u);
  std::string a = Pattern(100);
  m.Append(a.data(), 100);
  EXPECT_EQ(m.Capacity(), 10240u);
  EXPECT_EQ(m.Size(), 100u);

  TMemoryBuf big;
  std::string b = Pattern(30000);
  big.Append(b.data(), 30000);
  EXPECT_EQ(big.Capacity(), 30000u);

  // Contents survive growth; SetSize(0) keeps the memory, Clear frees it.
  m.Append(b.data(), 30000);
  ASSERT_EQ(m.Size(), 30100u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m.Memory()), 30100), a + b);
  m.SetSize(0);
  EXPECT_EQ(m.Size(), 0u);
  EXPECT_EQ(m.Capacity(), 30100u);
  m.Clear();
  EXPECT_EQ(m.Capacity(), 0u);
  EXPECT_EQ(m.Memory(), nullptr);
}

}  // namespace
}  // namespace rw
