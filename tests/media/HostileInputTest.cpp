// Damaged files: truncations at many cut points and random byte flips end in a clear error or
// a shorter index, never a crash, a hang or a read out of bounds (the test build runs under
// the sanitizers).
#include <gtest/gtest.h>

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
    } catch (const Exception&) {
    }
    try {
      R.Open(File, true);
    } catch (const Exception&) {
    }
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

}  // namespace
}  // namespace rw
