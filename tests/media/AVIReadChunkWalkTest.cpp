#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "media/AVIRead.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::TAVIBuilder;
using test::TIndexKind;

class ChunkWalkTest : public ::testing::Test {
protected:
  void Open(const TAVIBuilder& B) {
    std::string f = Dir.File("f" + std::to_string(++Count) + ".avi");
    B.Write(f);
    R.Open(f, false);
  }
  // (stream, chunk) pairs in the order NextChunk gives them.
  std::vector<std::pair<int, uint32_t>> Walk() {
    std::vector<std::pair<int, uint32_t>> order;
    R.ResetChunkCursors();
    int s;
    uint32_t c = 12345;
    for (R.NextChunk(s, c); s >= 0; R.NextChunk(s, c)) order.emplace_back(s, c);
    return order;
  }
  test::TTempDir Dir;
  TAVIFileReader R;
  int Count = 0;
};

TEST_F(ChunkWalkTest, ChunkTimesFollowFramesOrBytes) {
  TAVIBuilder b = test::SimpleAVI(60, false, TIndexKind::Idx1Relative);
  int a = b.AddStream(test::AudioHeader(44100, 1, 0), test::WaveFormat(1, 2, 44100, 16, 4));
  for (int i = 0; i < 5; ++i) b.AddChunk(a, 44100);
  Open(b);
  EXPECT_DOUBLE_EQ(R.Streams(0).GetChunkTime(50), 2.0);
  EXPECT_DOUBLE_EQ(R.Streams(0).GetChunkTime(0), 0.0);
  EXPECT_EQ(R.Streams(0).GetChunkTime(60), -1.0);
  EXPECT_EQ(R.Streams(0).GetChunkStreamPos(60), -1);
  // 44100 samples of 4 bytes before chunk 4: one second.
  EXPECT_EQ(R.Streams(1).GetChunkStreamPos(4), 44100 * 4);
  EXPECT_DOUBLE_EQ(R.Streams(1).GetChunkTime(4), 1.0);
}

TEST_F(ChunkWalkTest, WalkIsInTimeOrderWithTiesToTheLowerStream) {
  TAVIBuilder b = test::SimpleAVI(30, true, TIndexKind::Idx1Relative);
  // Variable-size audio frames (sample size 0) at 1152 / 44100 s each.
  int mp3 = b.AddStream(test::AudioHeader(44100, 1152, 0), test::WaveFormat(0x55, 2, 44100, 0, 1));
  for (int i = 0; i < 35; ++i) b.AddChunk(mp3, 417);
  Open(b);
  std::vector<std::tuple<double, int, uint32_t>> expect;
  for (int s = 0; s < R.StreamCount(); ++s)
    for (uint32_t i = 0; i < R.Streams(s).ChunkCount(); ++i)
      expect.emplace_back(R.Streams(s).GetChunkTime(i), s, i);
  std::sort(expect.begin(), expect.end());
  auto order = Walk();
  ASSERT_EQ(order.size(), expect.size());
  for (size_t k = 0; k < order.size(); ++k) {
    EXPECT_EQ(order[k].first, std::get<1>(expect[k])) << k;
    EXPECT_EQ(order[k].second, std::get<2>(expect[k])) << k;
  }
  // Both streams start at 0.0: the video (stream 0) comes first.
  EXPECT_EQ(order[0], std::make_pair(0, 0u));
  EXPECT_EQ(order[1], std::make_pair(1, 0u));
  // Exhausted cursors keep giving -1 and leave the chunk number alone.
  int s = 0;
  uint32_t c = 777;
  R.NextChunk(s, c);
  EXPECT_EQ(s, -1);
  EXPECT_EQ(c, 777u);
  // The walk restarts after a reset.
  EXPECT_EQ(Walk().size(), expect.size());
}

TEST_F(ChunkWalkTest, StreamsWithoutARateStillEndTheWalk) {
  TAVIBuilder b = test::SimpleAVI(10, false, TIndexKind::Idx1Relative);
  int z = b.AddStream(test::AudioHeader(0, 0, 0), test::WaveFormat(1, 1, 8000, 8, 1));
  int y = b.AddStream(test::AudioHeader(0, 1, 4), test::WaveFormat(1, 1, 8000, 8, 1));
  for (int i = 0; i < 7; ++i) {
    b.AddChunk(z, 10);
    b.AddChunk(y, 10);
  }
  Open(b);
  auto order = Walk();
  EXPECT_EQ(order.size(), 24u);
  // The timed video comes first.
  for (size_t k = 0; k < 10; ++k) EXPECT_EQ(order[k].first, 0);
}

// A walk that meets an index entry pointing at another stream's chunk restarts on the data
// from that chunk: every chunk comes once, in the order of the intact file, and the index the
// walk found is as compact as the file's own.
TEST_F(ChunkWalkTest, WalkRestartsOnTheDataWhereTheIndexPointsElsewhere) {
  TAVIBuilder b = test::SimpleAVI(0, true, TIndexKind::Idx1Relative);
  for (int i = 0; i < 40; ++i) {
    b.AddChunkData(0, "video" + std::to_string(i), i % 5 == 0);
    b.AddChunkData(1, "audio" + std::to_string(i) + std::string(static_cast<size_t>(i), 'a'));
  }
  // (stream, data) of each chunk in walk order. A chunk whose entry does not point just
  // behind a header of its own stream and size restarts the walk there.
  int restarts = 0;
  auto walk = [&] {
    std::vector<std::pair<int, std::string>> got;
    R.ResetChunkCursors();
    int s;
    uint32_t c;
    for (R.NextChunk(s, c); s >= 0; R.NextChunk(s, c)) {
      const TAVIStream& stream = R.Streams(s);
      TAVIIndexEntry e;
      EXPECT_TRUE(stream.GetIndexEntry(c, e));
      uint8_t head[8];
      if (R.File().ReadAt(head, sizeof head, e.FilePos - 8) != sizeof head ||
          !stream.IsChunkHeader(head, e.Size)) {
        ++restarts;
        EXPECT_TRUE(R.RestartWalkFromData(s, c));
        EXPECT_FALSE(R.RestartWalkFromData(s, c));  // the walked index is not walked again
        continue;
      }
      std::string data(e.Size, '\0');
      EXPECT_TRUE(stream.ReadChunk(c, data.data()));
      got.emplace_back(s, data);
    }
    return got;
  };
  Open(b);
  const auto intact = walk();
  ASSERT_EQ(intact.size(), 80u);
  ASSERT_EQ(restarts, 0);

  // Video entry 17 takes the offset of the sound chunk after it.
  std::string bytes = b.Build();
  const size_t idx1 = bytes.rfind("idx1") + 8;
  bytes.replace(idx1 + 16 * 34 + 8, 4, bytes.substr(idx1 + 16 * 35 + 8, 4));
  const std::string f = Dir.File("elsewhere.avi");
  test::WriteFileBytes(f, bytes);
  R.Open(f, false);
  ASSERT_FALSE(R.IndexIsWalked());
  EXPECT_EQ(walk(), intact);
  EXPECT_EQ(restarts, 1);
  EXPECT_TRUE(R.IndexIsWalked());
  for (int s = 0; s < R.StreamCount(); ++s)
    EXPECT_LE(R.Streams(s).IndexMemory(), 24u * R.Streams(s).ChunkCount()) << s;
}

TEST_F(ChunkWalkTest, ReadChunkReportsMissingData) {
  TAVIBuilder b = test::SimpleAVI(2, false, TIndexKind::Idx1Relative);
  b.AddChunk(0, 0);  // an empty chunk
  // Where the chunk after the empty one would start: the index's own header.
  const std::string built = b.Build();
  const size_t lastEntry = built.rfind("idx1") + 8 + 16 * 2;
  const uint32_t afterLast = GetLE32(built.data() + lastEntry + 8) + 8;
  std::string extra = "00dc";
  AppendLE32(extra, 0x10);
  AppendLE32(extra, 0x7FFFFF00u);  // data far past the end of the file
  AppendLE32(extra, 16);
  extra += "00dc";
  AppendLE32(extra, 0x10);
  AppendLE32(extra, afterLast);
  AppendLE32(extra, 100000);  // more than the file holds
  b.ExtraIdx1 = extra;
  Open(b);
  const TAVIStream& v = R.Streams(0);
  ASSERT_EQ(v.ChunkCount(), 5u);  // entries past the end stay in the index
  std::string buf(200, '\0');
  EXPECT_TRUE(v.ReadChunk(1, buf.data()));
  EXPECT_TRUE(v.ReadChunk(2, nullptr));  // size 0 copies nothing
  EXPECT_FALSE(v.ReadChunk(3, buf.data()));
  TAVIIndexEntry e;
  ASSERT_TRUE(v.GetIndexEntry(4, e));
  std::string big(e.Size, '\0');
  EXPECT_FALSE(v.ReadChunk(4, big.data()));
  EXPECT_FALSE(v.ReadChunk(5, buf.data()));
  e.Size = 99;
  EXPECT_FALSE(v.GetIndexEntry(5, e));
  EXPECT_EQ(e.Size, 99u);
}

}  // namespace
}  // namespace rw
