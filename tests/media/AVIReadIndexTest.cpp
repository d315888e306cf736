#include <gtest/gtest.h>

#include <cstring>

#include "media/AVIRead.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::TAVIBuilder;
using test::TIndexKind;

// Distinct contents per chunk, so that reading back proves the position.
TAVIBuilder Numbered(int Frames, TIndexKind Index) {
  TAVIBuilder b = test::SimpleAVI(0, true, Index);
  for (int i = 0; i < Frames; ++i) {
    b.AddChunkData(0, "video" + std::to_string(i) + std::string(static_cast<size_t>(i), 'v'),
                   i % 3 == 0);
    b.AddChunkData(1, "audio" + std::to_string(i) + std::string(static_cast<size_t>(2 * i), 'a'));
  }
  return b;
}

class AVIIndexTest : public ::testing::Test {
protected:
  std::string Write(const TAVIBuilder& B) {
    std::string f = Dir.File("f" + std::to_string(++Count) + ".avi");
    B.Write(f);
    return f;
  }
  std::string OpenError(const TAVIBuilder& B) {
    try {
      R.Open(Write(B), false);
    } catch (const EAVIReadError& e) {
      return e.what();
    }
    return "";
  }
  // Every entry of both streams agrees with what the builder laid out.
  void ExpectBuilderIndex(const TAVIBuilder& B) {
    int64_t streamPos[2] = {0, 0};
    uint32_t next[2] = {0, 0};
    for (size_t i = 0; i < B.ChunkList.size(); ++i) {
      const test::TBuildChunk& c = B.ChunkList[i];
      const TAVIStream& s = R.Streams(c.Stream);
      const uint32_t n = next[c.Stream]++;
      TAVIIndexEntry e;
      ASSERT_TRUE(s.GetIndexEntry(n, e));
      EXPECT_EQ(e.FilePos, B.DataPositions[i]);
      EXPECT_EQ(e.Size, c.Data.size());
      EXPECT_EQ(e.KeyFrame, c.KeyFrame);
      EXPECT_EQ(e.StreamPos, streamPos[c.Stream]);
      EXPECT_EQ(s.GetChunkStreamPos(n), streamPos[c.Stream]);
      streamPos[c.Stream] += static_cast<int64_t>(c.Data.size());
      std::string data(e.Size, '\0');
      ASSERT_TRUE(s.ReadChunk(n, data.data()));
      EXPECT_EQ(data, c.Data);
    }
    EXPECT_EQ(R.Streams(0).ChunkCount(), next[0]);
    EXPECT_EQ(R.Streams(1).ChunkCount(), next[1]);
  }
  test::TTempDir Dir;
  TAVIFileReader R;
  int Count = 0;
};

TEST_F(AVIIndexTest, LegacyIndexWithRelativeOrAbsoluteOffsets) {
  // 'movi' away from the start of the file; with the longer filler so far that absolute
  // offsets, taken movi-relative, point past the end of the file.
  for (size_t junk : {300, 20000})
    for (TIndexKind kind : {TIndexKind::Idx1Relative, TIndexKind::Idx1Absolute}) {
      TAVIBuilder b = Numbered(12, kind);
      b.TopLevelJunk = std::string(junk, '\0');
      R.Open(Write(b), false);
      EXPECT_FALSE(R.IsOpenDML());
      ExpectBuilderIndex(b);
    }
}

TEST_F(AVIIndexTest, LegacyEntriesGoToTheStreamTheirIdNames) {
  TAVIBuilder b = Numbered(3, TIndexKind::Idx1Relative);
  std::string extra;
  auto entry = [&](const char* Id, uint32_t Flags, uint32_t Offset, uint32_t Size) {
    extra += std::string(Id, 4);
    AppendLE32(extra, Flags);
    AppendLE32(extra, Offset);
    AppendLE32(extra, Size);
  };
  entry("rec ", 0x11, 4, 100);  // a 'rec ' list: no stream
  entry("05dc", 0x10, 4, 100);  // a stream number without a stream
  entry("JUNK", 0, 4, 100);
  entry("00pc", 0, 4, 7);       // a palette change belongs to stream 0
  b.ExtraIdx1 = extra;
  R.Open(Write(b), false);
  ASSERT_EQ(R.Streams(0).ChunkCount(), 4u);
  EXPECT_EQ(R.Streams(1).ChunkCount(), 3u);
  TAVIIndexEntry e;
  ASSERT_TRUE(R.Streams(0).GetIndexEntry(3, e));
  EXPECT_EQ(e.Size, 7u);
  EXPECT_FALSE(e.KeyFrame);
}

TEST_F(AVIIndexTest, EmptyLegacyIndexes) {
  TAVIBuilder b = test::SimpleAVI(0, false, TIndexKind::Idx1Relative);
  b.ExtraIdx1 = std::string(8, '\x30');  // shorter than one entry
  R.Open(Write(b), false);
  EXPECT_EQ(R.Streams(0).ChunkCount(), 0u);
  b.ExtraIdx1.clear();
  R.Open(Write(b), false);
  EXPECT_EQ(R.Streams(0).ChunkCount(), 0u);
}

TEST_F(AVIIndexTest, OpenDMLIndexesSpreadOverSeveralStandardIndexes) {
  TAVIBuilder b = Numbered(20, TIndexKind::OpenDML);
  b.StreamList[0].StdIndexes = 3;
  b.StreamList[1].StdIndexes = 2;
  R.Open(Write(b), false);
  EXPECT_TRUE(R.IsOpenDML());
  ExpectBuilderIndex(b);
}

TEST_F(AVIIndexTest, OpenDMLWinsOverTheLegacyIndex) {
  TAVIBuilder b = Numbered(5, TIndexKind::Both);
  b.ExtraIdx1 = std::string("00dc") + std::string(12, '\0');  // would add a sixth chunk
  R.Open(Write(b), false);
  ExpectBuilderIndex(b);
}

TEST_F(AVIIndexTest, IndxHoldingTheChunksItself) {
  TAVIBuilder b = Numbered(6, TIndexKind::OpenDML);
  b.StreamList[0].IndxIsStdIndex = true;
  b.StreamList[1].IndxIsStdIndex = true;
  R.Open(Write(b), false);
  ExpectBuilderIndex(b);
}

TEST_F(AVIIndexTest, OpenDMLIndexTypesAndCounts) {
  TAVIBuilder b = Numbered(4, TIndexKind::OpenDML);
  b.StreamList[1].SuperIndexType = 2;
  EXPECT_EQ(OpenError(b), "Unsupported type of super index: 2");
  b = Numbered(4, TIndexKind::OpenDML);
  b.StreamList[0].StdIndexType = 3;
  EXPECT_EQ(OpenError(b), "Unsupported type of chunk index: 3");

  // Zero entries in use at either level yield no entries; the other stream is unaffected.
  b = Numbered(4, TIndexKind::OpenDML);
  b.StreamList[0].SuperEntriesInUse = 0;
  b.StreamList[1].StdEntriesInUse = 0;
  EXPECT_EQ(OpenError(b), "");
  EXPECT_EQ(R.Streams(0).ChunkCount(), 0u);
  EXPECT_EQ(R.Streams(1).ChunkCount(), 0u);
  b.StreamList[1].StdEntriesInUse.reset();
  EXPECT_EQ(OpenError(b), "");
  EXPECT_EQ(R.Streams(1).ChunkCount(), 4u);
}

TEST_F(AVIIndexTest, StreamWithoutIndxInAnOpenDMLFileHasNoEntries) {
  TAVIBuilder b = Numbered(4, TIndexKind::OpenDML);
  b.StreamList[1].OmitIndx = true;
  EXPECT_EQ(OpenError(b), "");
  EXPECT_TRUE(R.IsOpenDML());
  EXPECT_EQ(R.Streams(0).ChunkCount(), 4u);
  EXPECT_EQ(R.Streams(1).ChunkCount(), 0u);
}

// Counts that claim more than the file holds stop at its end; a super index that lists the
// same standard index again and again cannot make the index outgrow the file.
TEST_F(AVIIndexTest, ClaimedCountsAreBoundedByTheFile) {
  auto total = [&] {
    return static_cast<uint64_t>(R.Streams(0).ChunkCount()) + R.Streams(1).ChunkCount();
  };
  TAVIBuilder b = Numbered(50, TIndexKind::OpenDML);
  b.StreamList[0].SuperIndexCopies = 400;
  const std::string f = Write(b);
  R.Open(f, false);
  EXPECT_LE(total(), static_cast<uint64_t>(R.GetFileSize()) / 8);
  EXPECT_GE(R.Streams(0).ChunkCount(), 50u);

  b = Numbered(50, TIndexKind::OpenDML);
  b.StreamList[0].StdEntriesInUse = 0xFFFFFFFFu;
  b.StreamList[1].SuperEntriesInUse = 0xFFFFFFFFu;
  try {
    R.Open(Write(b), false);  // reading on into other bytes may meet a bad index type
    EXPECT_LE(total(), static_cast<uint64_t>(R.GetFileSize()) / 8);
  } catch (const EAVIReadError&) {
  }

  // An 'idx1' whose size runs past the end of the file.
  std::string bytes = Numbered(50, TIndexKind::Idx1Relative).Build();
  const size_t idx1 = bytes.rfind("idx1");
  ASSERT_NE(idx1, std::string::npos);
  PutLE32(bytes.data() + idx1 + 4, 0xFFFFFFF0u);
  test::WriteFileBytes(Dir.File("long-idx1.avi"), bytes);
  R.Open(Dir.File("long-idx1.avi"), false);
  EXPECT_EQ(total(), 100u);
}

}  // namespace
}  // namespace rw
