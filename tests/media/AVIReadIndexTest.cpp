#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

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
    // A complete index holds no room for entries to come.
    for (int s : {0, 1}) EXPECT_LE(R.Streams(s).IndexMemory(), 24u * R.Streams(s).ChunkCount());
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
  entry("00pc", 0, 1 << 20, 7);  // a palette change belongs to stream 0
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

// Indexes larger than the reader reads at once (4 MiB: 262,144 legacy entries, 524,288
// standard index entries) are read whole, entry for entry, the legacy one shared by two
// streams.
TEST_F(AVIIndexTest, IndexesLargerThanOneReadAreReadWhole) {
  for (const TIndexKind kind : {TIndexKind::Idx1Relative, TIndexKind::OpenDML}) {
    const bool legacy = kind == TIndexKind::Idx1Relative;
    const int frames = legacy ? 140000 : 530000;
    TAVIBuilder b = test::SimpleAVI(0, legacy, kind);
    for (int i = 0; i < frames; ++i) {
      b.AddChunk(0, 1 + static_cast<uint32_t>(i % 7), i % 25 == 0);
      if (legacy) b.AddChunk(1, 4);
    }
    R.Open(Write(b), false);
    ASSERT_FALSE(R.IndexIsWalked());
    uint32_t next[2] = {0, 0};
    size_t wrong = 0;
    for (size_t i = 0; i < b.ChunkList.size(); ++i) {
      const test::TBuildChunk& c = b.ChunkList[i];
      TAVIIndexEntry e;
      if (!R.Streams(c.Stream).GetIndexEntry(next[c.Stream]++, e) ||
          e.FilePos != b.DataPositions[i] || e.Size != c.Data.size() || e.KeyFrame != c.KeyFrame)
        ++wrong;
    }
    EXPECT_EQ(wrong, 0u);
    for (int s = 0; s < R.StreamCount(); ++s) {
      EXPECT_EQ(R.Streams(s).ChunkCount(), next[s]);
      EXPECT_LE(R.Streams(s).IndexMemory(), 24u * R.Streams(s).ChunkCount());
    }
  }
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

TEST_F(AVIIndexTest, OpenDMLIndexCounts) {
  // An index that agrees with the headers is believed: no entries for a stream that declares
  // no length.
  TAVIBuilder b = Numbered(4, TIndexKind::OpenDML);
  b.StreamList[1].StdEntriesInUse = 0;
  EXPECT_EQ(OpenError(b), "");
  EXPECT_FALSE(R.IndexIsWalked());
  EXPECT_EQ(R.Streams(0).ChunkCount(), 4u);
  EXPECT_EQ(R.Streams(1).ChunkCount(), 0u);
  // One that lists no video at all is not: the data is walked.
  b.StreamList[0].SuperEntriesInUse = 0;
  EXPECT_EQ(OpenError(b), "");
  EXPECT_TRUE(R.IndexIsWalked());
  EXPECT_EQ(R.Streams(0).ChunkCount(), 4u);
  EXPECT_EQ(R.Streams(1).ChunkCount(), 4u);
}

// Where the index is missing, damaged, cut short or points elsewhere, the data is walked:
// every chunk the file still holds, at its place, with its contents. Key frames come from
// what is left of the index; pictures it does not list count as none, sound as key frames.
TEST_F(AVIIndexTest, DataIsWalkedWhereTheIndexFails) {
  constexpr int Frames = 12;
  auto numbered = [](TIndexKind Kind) {
    TAVIBuilder b = Numbered(Frames, Kind);
    b.StreamList[0].Header.Length = Frames;
    return b;
  };
  auto idx1At = [](const std::string& Bytes) { return Bytes.rfind("idx1") + 8; };
  // The data of stream Stream's 'indx' chunk.
  auto indxData = [](const std::string& Bytes, int Stream) {
    size_t at = Bytes.find("indx");
    if (Stream) at = Bytes.find("indx", at + 4);
    return at + 8;
  };
  struct TCase {
    const char* Name;
    TIndexKind Kind;
    std::function<void(std::string&)> Damage;
    size_t IndexedFrames = 0;  // leading video chunks whose key-frame flags survive
    size_t LostFrames = 0;     // of which the first few, whose entries point elsewhere
  };
  const std::vector<TCase> cases = {
      {"no index", TIndexKind::None, [](std::string&) {}},
      {"idx1 cut after 5 entries", TIndexKind::Idx1Relative,
       [&](std::string& B) { B.resize(idx1At(B) + 5 * 16); }, 3},
      // The later entries are right and give their key frames.
      {"idx1 with a first entry past the end", TIndexKind::Idx1Relative,
       [&](std::string& B) { PutLE32(B.data() + idx1At(B) + 8, 0x7FFFFFF0u); }, Frames, 1},
      // The first video entry points at the first sound chunk: read as absolute offsets,
      // every entry points elsewhere.
      {"idx1 with a first entry pointing elsewhere", TIndexKind::Idx1Relative,
       [&](std::string& B) { B.replace(idx1At(B) + 8, 4, B.substr(idx1At(B) + 24, 4)); }},
      {"OpenDML indexes past the end", TIndexKind::OpenDML,
       [&](std::string& B) {
         for (int s : {0, 1}) PutLE64(B.data() + indxData(B, s) + 24, 0x7FFFFFFF00ull);
       }},
      {"OpenDML super index of a bad type", TIndexKind::OpenDML,
       [&](std::string& B) { B[indxData(B, 1) + 3] = 2; }, Frames},
      {"OpenDML standard index of a bad type", TIndexKind::OpenDML,
       [&](std::string& B) { B[B.find("ix00") + 8 + 3] = 3; }},
      {"OpenDML file cut in half", TIndexKind::OpenDML,
       [&](std::string& B) { B.resize(B.find("ix00") / 2); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TAVIBuilder b = numbered(c.Kind);
    std::string bytes = b.Build();
    c.Damage(bytes);
    const std::string f = Dir.File(std::string(c.Name) + ".avi");
    test::WriteFileBytes(f, bytes);
    R.Open(f, false);
    EXPECT_TRUE(R.IndexIsWalked());
    uint32_t next[2] = {0, 0};
    for (size_t i = 0; i < b.ChunkList.size(); ++i) {
      const test::TBuildChunk& k = b.ChunkList[i];
      if (b.DataPositions[i] + static_cast<int64_t>(k.Data.size()) >
          static_cast<int64_t>(bytes.size()))
        break;
      const uint32_t n = next[k.Stream]++;
      TAVIIndexEntry e;
      ASSERT_TRUE(R.Streams(k.Stream).GetIndexEntry(n, e)) << i;
      EXPECT_EQ(e.FilePos, b.DataPositions[i]);
      // Pictures are key frames only where an index said so; sound always is.
      const bool listed = n >= c.LostFrames && n < c.IndexedFrames;
      EXPECT_EQ(e.KeyFrame, k.Stream == 0 ? listed && k.KeyFrame : true) << i;
      std::string data(e.Size, '\0');
      ASSERT_TRUE(R.Streams(k.Stream).ReadChunk(n, data.data()));
      EXPECT_EQ(data, k.Data);
    }
    EXPECT_EQ(R.Streams(0).ChunkCount(), next[0]);
    EXPECT_EQ(R.Streams(1).ChunkCount(), next[1]);
    EXPECT_GT(next[0], 0u);
  }
}

// The walk goes into 'rec ' lists and the RIFF parts after the first, passes over indexes and
// filler, finds its way past bytes that are no chunk and ends where the file ends, also when
// the 'movi' size was never written.
TEST_F(AVIIndexTest, WalkFollowsListsPartsAndDamage) {
  using test::Chunk;
  using test::List;
  auto id = [](const char* Text) { return MakeFourCC(Text[0], Text[1], Text[2], Text[3]); };
  TAVIMainHeader main;
  main.Streams = 2;
  std::string hdrl =
      Chunk(riff::ckAvih, test::Bytes(main)) +
      List(riff::listStrl, Chunk(riff::ckStrh, test::Bytes(test::VideoHeader(25, 1))) +
                               Chunk(riff::ckStrf, test::BitmapInfo(64, 48, FourCC("FMP4")))) +
      List(riff::listStrl, Chunk(riff::ckStrh, test::Bytes(test::AudioHeader(44100, 1152, 0))) +
                               Chunk(riff::ckStrf, test::WaveFormat(0x55, 2, 44100, 0, 1152)));
  std::string ix = "ix00" + std::string(4, '\0') + Chunk(id("00dc"), "not a chunk");
  std::string movi = Chunk(id("00dc"), "v0") +
                     List(riff::listRec, Chunk(id("00dc"), "v1") + Chunk(id("01wb"), "a1")) +
                     Chunk(riff::ckJUNK, std::string(30, 'j')) + std::string(13, '\xEE') +
                     Chunk(id("00dc"), "v2") + Chunk(id("ix00"), ix) +
                     Chunk(id("05dc"), "no stream");
  std::string first =
      test::Riff(riff::formAVI, List(riff::listHdrl, hdrl) + List(riff::listMovi, movi));
  std::string second = test::Riff(
      riff::formAVIX, List(riff::listMovi, Chunk(id("00dc"), "v3") + Chunk(id("01wb"), "a2")));
  std::string cut = Chunk(id("00dc"), std::string(100, 'c')).substr(0, 60);
  auto expect = [&](const std::vector<std::string>& Video, const std::vector<std::string>& Audio) {
    for (int s : {0, 1}) {
      const auto& want = s ? Audio : Video;
      ASSERT_EQ(R.Streams(s).ChunkCount(), want.size()) << s;
      for (uint32_t i = 0; i < want.size(); ++i) {
        TAVIIndexEntry e;
        ASSERT_TRUE(R.Streams(s).GetIndexEntry(i, e));
        std::string data(e.Size, '\0');
        ASSERT_TRUE(R.Streams(s).ReadChunk(i, data.data()));
        EXPECT_EQ(data, want[i]);
      }
    }
  };
  const std::string f = Dir.File("walk.avi");
  test::WriteFileBytes(f, first + second + cut);
  R.Open(f, false);
  expect({"v0", "v1", "v2", "v3"}, {"a1", "a2"});

  // The 'movi' size as a recording that stopped leaves it: the walk runs to the end.
  std::string unwritten = first;
  const size_t moviAt = unwritten.find("movi") - 8;
  PutLE32(unwritten.data() + moviAt + 4, 0);
  test::WriteFileBytes(f, unwritten + second + cut);
  R.Open(f, false);
  expect({"v0", "v1", "v2", "v3"}, {"a1", "a2"});
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
  // Listing a chunk again is damage: the data is walked, and each chunk counts once.
  EXPECT_TRUE(R.IndexIsWalked());
  EXPECT_EQ(total(), 100u);
  // The same of an 'idx1' that lists its second entry 3000 times more, and of one whose
  // entries point into each other's data.
  b = Numbered(50, TIndexKind::Idx1Relative);
  std::string bytes = b.Build();
  const std::string entry = bytes.substr(bytes.rfind("idx1") + 8 + 16, 16);
  for (int i = 0; i < 3000; ++i) b.ExtraIdx1 += entry;
  R.Open(Write(b), false);
  EXPECT_TRUE(R.IndexIsWalked());
  EXPECT_EQ(total(), 100u);
  std::string inside = entry;
  PutLE32(inside.data() + 8, GetLE32(inside.data() + 8) + 2);
  b.ExtraIdx1 = inside;
  R.Open(Write(b), false);
  EXPECT_TRUE(R.IndexIsWalked());
  EXPECT_EQ(total(), 100u);

  b = Numbered(50, TIndexKind::OpenDML);
  b.StreamList[0].StdEntriesInUse = 0xFFFFFFFFu;
  b.StreamList[1].SuperEntriesInUse = 0xFFFFFFFFu;
  try {
    R.Open(Write(b), false);  // reading on into other bytes may meet a bad index type
    EXPECT_LE(total(), static_cast<uint64_t>(R.GetFileSize()) / 8);
  } catch (const EAVIReadError&) {}

  // An 'idx1' whose size runs past the end of the file.
  bytes = Numbered(50, TIndexKind::Idx1Relative).Build();
  const size_t idx1 = bytes.rfind("idx1");
  ASSERT_NE(idx1, std::string::npos);
  PutLE32(bytes.data() + idx1 + 4, 0xFFFFFFF0u);
  test::WriteFileBytes(Dir.File("long-idx1.avi"), bytes);
  R.Open(Dir.File("long-idx1.avi"), false);
  EXPECT_EQ(total(), 100u);
}

}  // namespace
}  // namespace rw
