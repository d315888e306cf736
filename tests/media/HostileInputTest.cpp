// Damaged files: truncations at many cut points and random byte flips end in a clear error or
// a shorter index, never a crash, a hang or a read out of bounds (the test build runs under
// the sanitizers).
#include <gtest/gtest.h>

#include <ctime>
#include <random>

#include "media/AVIRead.h"
#include "media/VideoFileInfo.h"
#include "support/Fixtures.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::TIndexKind;

struct TSample {
  std::string Name;
  std::string Bytes;
};

std::vector<TSample> Samples() {
  std::vector<TSample> s;
  test::TClipSpec clip;
  clip.Audio = "mp3";
  s.push_back({"mpeg4_mp3", test::ReadFileBytes(test::MakeClip(clip))});
  clip = test::TClipSpec();
  clip.Codec = "mjpeg";
  clip.Audio = "pcm";
  clip.Frames = 4;
  s.push_back({"mjpeg_pcm", test::ReadFileBytes(test::MakeClip(clip))});
  test::TAVIBuilder odml = test::SimpleAVI(40, true, TIndexKind::OpenDML);
  odml.StreamList[0].StdIndexes = 3;
  s.push_back({"opendml", odml.Build()});
  s.push_back({"both", test::SimpleAVI(30, true, TIndexKind::Both).Build()});
  s.push_back({"absolute", test::SimpleAVI(30, true, TIndexKind::Idx1Absolute).Build()});
  return s;
}

class HostileInput : public ::testing::Test {
protected:
  // Opens File in both ways and uses everything the reader offers. Returns the number of
  // index entries, or -1 when the full open failed with the reader's own kind of error.
  int64_t Exercise(const std::string& File) {
    try {
      CreateVideoFileInfo(File);
    } catch (const Exception&) {}
    try {
      R.Open(File, true);
    } catch (const Exception&) {}
    try {
      R.Open(File, false);
    } catch (const Exception&) {
      R.Close();
      return -1;
    }
    const int64_t fileSize = R.GetFileSize();
    int64_t entries = 0;
    for (int s = 0; s < R.StreamCount(); ++s) entries += R.Streams(s).ChunkCount();
    std::string buf;
    int stream;
    uint32_t chunk;
    int64_t walked = 0;
    R.ResetChunkCursors();
    for (R.NextChunk(stream, chunk); stream >= 0; R.NextChunk(stream, chunk)) {
      ++walked;
      TAVIIndexEntry e;
      EXPECT_TRUE(R.Streams(stream).GetIndexEntry(chunk, e));
      if (e.Size > fileSize) continue;
      buf.resize(e.Size);
      R.Streams(stream).ReadChunk(chunk, buf.data());
    }
    EXPECT_EQ(walked, entries);
    EXPECT_LE(entries, fileSize / 8);
    R.Close();
    return entries;
  }
  test::TTempDir Dir;
  TAVIFileReader R;
};

TEST_F(HostileInput, TruncatedFilesGiveAnErrorOrAShorterIndex) {
  const std::string f = Dir.File("cut.avi");
  for (const TSample& s : Samples()) {
    test::WriteFileBytes(f, s.Bytes);
    const int64_t whole = Exercise(f);
    ASSERT_GT(whole, 0) << s.Name;
    std::vector<size_t> cuts;
    for (size_t c = 0; c < 400 && c < s.Bytes.size(); c += 3) cuts.push_back(c);
    for (size_t k = 1; k < 64; ++k) cuts.push_back(s.Bytes.size() * k / 64);
    for (size_t c = 1; c < 40; ++c) cuts.push_back(s.Bytes.size() - c);
    for (size_t cut : cuts) {
      test::WriteFileBytes(f, s.Bytes.substr(0, cut));
      EXPECT_LE(Exercise(f), whole) << s.Name << " cut at " << cut;
    }
  }
}

TEST_F(HostileInput, RandomByteFlipsNeverCrash) {
  const std::string f = Dir.File("flip.avi");
  std::mt19937 rng(20240607);
  for (const TSample& s : Samples()) {
    const size_t headerBytes = std::min<size_t>(s.Bytes.size(), 2048);
    for (int round = 0; round < 300; ++round) {
      std::string bytes = s.Bytes;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) {
        // Half the flips hit the headers, where the structure lives.
        const size_t range = round % 2 ? bytes.size() : headerBytes;
        const size_t at = rng() % range;
        bytes[at] = static_cast<char>(round % 3 ? (bytes[at] ^ (1 << (rng() % 8))) : rng());
      }
      test::WriteFileBytes(f, bytes);
      Exercise(f);
    }
  }
}

// A recording that stopped before its RIFF size was written (0), or one whose size is too
// small to hold its headers and data, or larger than the file, is read to the end of the file
// as players read it: the same chunks as the file with its true size.
TEST_F(HostileInput, ARiffSizeThatCannotBeRightIsReadToTheEndOfTheFile) {
  const std::string f = Dir.File("riff.avi");
  for (const TSample& s : Samples()) {
    test::WriteFileBytes(f, s.Bytes);
    const int64_t whole = Exercise(f);
    const double duration = CreateVideoFileInfo(f)->Duration;
    for (uint32_t size : {0u, 4u, 100u, 0xFFFFFFF0u}) {
      std::string bytes = s.Bytes;
      PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + 4, size);
      test::WriteFileBytes(f, bytes);
      EXPECT_EQ(Exercise(f), whole) << s.Name << " RIFF size " << size;
      EXPECT_EQ(CreateVideoFileInfo(f)->Duration, duration) << s.Name << " RIFF size " << size;
    }
  }

  // A first RIFF whose size reaches over the 'AVIX' part that follows: the part's chunks
  // count, as they do when the size is right.
  test::TAVIBuilder first = test::SimpleAVI(20, false, TIndexKind::None);
  std::string movi;
  for (int i = 0; i < 30; ++i)
    movi += test::Chunk(MakeFourCC('0', '0', 'd', 'c'), std::string(50, 'x'));
  const std::string part = test::Riff(riff::formAVIX, test::List(riff::listMovi, movi));
  std::string bytes = first.Build() + part;
  test::WriteFileBytes(f, bytes);
  EXPECT_EQ(Exercise(f), 50);
  PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + 4, static_cast<uint32_t>(bytes.size() - 8));
  test::WriteFileBytes(f, bytes);
  EXPECT_EQ(Exercise(f), 50);
}

// A list of texts whose size misses by a byte, or is 0 or all ones, costs nothing: the data
// after it and its texts are read as with its true size.
TEST_F(HostileInput, AnInfoListOfAWrongSizeHidesNeitherTheDataNorItsTexts) {
  const std::string f = Dir.File("info.avi");
  int lists = 0;
  for (const TSample& s : Samples()) {
    const size_t at = s.Bytes.find("INFO");
    if (at == std::string::npos || at < 8 || s.Bytes.compare(at - 8, 4, "LIST") != 0) continue;
    ++lists;
    test::WriteFileBytes(f, s.Bytes);
    const int64_t whole = Exercise(f);
    R.Open(f, true);
    const auto texts = R.Facts().Info;
    R.Close();
    ASSERT_FALSE(texts.empty()) << s.Name;
    const uint32_t size = GetLE32(reinterpret_cast<const uint8_t*>(s.Bytes.data()) + at - 4);
    for (uint32_t wrong : {size + 1, size + 2, 0u, 0xFFFFFFFFu}) {
      std::string bytes = s.Bytes;
      PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + at - 4, wrong);
      test::WriteFileBytes(f, bytes);
      EXPECT_EQ(Exercise(f), whole) << s.Name << " INFO size " << wrong;
      R.Open(f, true);
      EXPECT_EQ(R.Facts().Info, texts) << s.Name << " INFO size " << wrong;
      R.Close();
    }
  }
  EXPECT_EQ(lists, 2);
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Stream lists cost what chunk ids can name, not what a file claims: three million empty ones
// (36 MB) once took 788 MB to open, and 200,000 text streams made every chunk of a walk cost
// 200,000 steps.
TEST_F(HostileInput, ManyStreamListsCostNoMoreThanTheirChunks) {
  using test::Chunk;
  using test::List;
  TAVIMainHeader main;
  std::string hdrl = Chunk(riff::ckAvih, test::Bytes(main));
  const std::string video =
      List(riff::listStrl, Chunk(riff::ckStrh, test::Bytes(test::VideoHeader(25, 1))) +
                               Chunk(riff::ckStrf, test::BitmapInfo(64, 48, FourCC("FMP4"))));
  TAVIStreamHeader text;
  text.Type = riff::streamTxts;
  text.Rate = 25;
  text.Scale = 1;
  const std::string textList =
      List(riff::listStrl, Chunk(riff::ckStrh, test::Bytes(text)) + Chunk(riff::ckStrf, "t"));
  std::string lists = video;
  for (int i = 0; i < 200000; ++i) lists += textList;
  std::string movi;
  for (int i = 0; i < 2000; ++i)
    movi += Chunk(MakeFourCC('0', '0', 'd', 'c'), "frame") +
            Chunk(MakeFourCC('0', '1', 't', 'x'), "text") +
            Chunk(MakeFourCC('F', 'F', 't', 'x'), "text");
  const std::string f = Dir.File("streams.avi");
  test::WriteFileBytes(f, test::Riff(riff::formAVI, List(riff::listHdrl, hdrl + lists) +
                                                        List(riff::listMovi, movi)));
  R.Open(f, false);
  ASSERT_EQ(R.StreamCount(), TAVIFileReader::MaxStreams);
  uint64_t memory = 0;
  for (int i = 0; i < R.StreamCount(); ++i) memory += R.Streams(i).IndexMemory();
  EXPECT_LT(memory, 256u * 1024);
  EXPECT_EQ(R.Streams(0).ChunkCount(), 2000u);
  EXPECT_EQ(R.Streams(1).ChunkCount(), 2000u);
  EXPECT_EQ(R.Streams(255).ChunkCount(), 2000u);
  EXPECT_EQ(Exercise(f), 6000);

  // Three million empty stream lists: the open fails at the first one it reads, having made
  // no more streams than ids can name, in far less time than a pass over the lists takes.
  const std::string empty = List(riff::listStrl, "");
  lists.clear();
  for (int i = 0; i < 3000000; ++i) lists += empty;
  test::WriteFileBytes(f, test::Riff(riff::formAVI, List(riff::listHdrl, hdrl + video + lists) +
                                                        List(riff::listMovi, movi)));
  const double start = CpuSeconds();
  EXPECT_THROW(R.Open(f, true), EAVIReadError);
  EXPECT_LT(CpuSeconds() - start, 0.5);
  EXPECT_LE(R.StreamCount(), TAVIFileReader::MaxStreams);
  R.Close();
}

}  // namespace
}  // namespace rw
