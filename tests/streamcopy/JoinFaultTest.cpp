// Sources that change under the stream-copy joiner once it has scanned them: cut short, removed
// or replaced. A source cut short while it is copied ends where its data ends, named in a
// warning; one that can no longer be opened, or is no longer the file the scan found (replaced,
// cut or rewritten before it is opened), fails the join with the output finished. No source is
// ever written.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <utility>
#include <unistd.h>

#include "support/JoinCheck.h"
#include "platform/Errors.h"
#include "streamcopy/StreamCopyJoiner.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

constexpr uint32_t BigChunk = 64 * 1024;
constexpr int BigChunks = 40;

class JoinFault : public ::testing::Test {
protected:
  void SetUp() override {
    test::SimpleAVI(4, false, test::TIndexKind::Idx1Relative).Write(Small);
    // Larger than the joiner's read-ahead window, so a change mid-copy reaches its reads.
    test::TAVIBuilder big;
    big.AddStream(test::VideoHeader(25, 1, BigCodec), test::BitmapInfo(64, 48, BigCodec));
    big.StreamList[0].Header.Length = BigChunks;
    for (int i = 0; i < BigChunks; ++i) big.AddChunk(0, BigChunk, i % 10 == 0);
    big.Write(Big);
    BigPositions = big.DataPositions;
    SmallSum = test::Checksum(Small);
  }
  void TearDown() override { EXPECT_EQ(test::Checksum(Small), SmallSum); }

  // Joins Small, Big, Small; Change runs at report number At.
  void Join(int At, const std::function<void()>& Change) {
    Log.OnReport = [At, Change](int Report) {
      if (Report == At) Change();
    };
    test::TRecordingProgress progress(Log);
    TAVIFileJoiner joiner;
    joiner.FProgress = &progress;
    joiner.FFiles = {Small, Big, Small};
    joiner.FOutFileName = Out;
    joiner.Execute();
    Warnings = joiner.Warnings();
  }
  // Chunks of Big that lie wholly within its first Size bytes.
  int ChunksWithin(int64_t Size) const {
    int n = 0;
    while (n < BigChunks && BigPositions[n] + BigChunk <= Size) ++n;
    return n;
  }
  // The output's video chunks are the sources' in order: all of Small, the first BigCount of
  // Big, all of Small again.
  void ExpectOutput(int BigCount) {
    auto small = test::StreamChunks(Small, true);
    auto got = test::StreamChunks(Out, true);
    ASSERT_EQ(got.size(), 2 * small.size() + BigCount);
    EXPECT_EQ(got.front().Data, small.front().Data);
    for (int i = 0; i < BigCount; ++i) EXPECT_EQ(got[small.size() + i].Data.size(), BigChunk) << i;
    EXPECT_EQ(got.back().Data, small.back().Data);
    EXPECT_EQ(test::ProbePacketCounts(Out)["video"], static_cast<int>(got.size()));
    // Walked chunk by chunk, 'movi' holds these pictures: none is left there half copied.
    const std::string bytes = test::ReadFileBytes(Out);
    const auto top = test::ListChunks(bytes, 0, bytes.size());
    const auto movi = test::FindChunk(test::ListChunks(bytes, top.at(0)), "LIST", "movi");
    const auto walked = test::ListChunks(bytes, movi);
    EXPECT_EQ(
        std::count_if(walked.begin(), walked.end(), [](const auto& C) { return C.Id == "00dc"; }),
        static_cast<std::ptrdiff_t>(got.size()));
  }

  test::TTempDir Dir;
  std::string Small = Dir.File("small.avi"), Big = Dir.File("big.avi"), Out = Dir.File("out.avi");
  // MPEG-4 pictures are read through the read-ahead window (the copy looks into them); the
  // large pictures of other codecs go from file to file.
  uint32_t BigCodec = FourCC("FMP4");
  std::vector<int64_t> BigPositions;
  std::string SmallSum;
  test::TProgressLog Log;
  std::vector<std::string> Warnings;
};

TEST_F(JoinFault, ASourceCutShortEndsWhereItsDataEndsWithAWarning) {
  // After its third chunk, past the part already read ahead: the chunks still there are
  // copied, and the source is named. Cut before it is opened, its index at the end gone, it is
  // no longer the file the join described: the join fails naming it.
  const int64_t cut = BigPositions[25] + BigChunk / 2;
  for (uint32_t codec : {FourCC("FMP4"), FourCC("MJPG")}) {
    BigCodec = codec;
    SetUp();
    Log = test::TProgressLog{};
    Join(4 + 3, [&] { ASSERT_EQ(::truncate(Big.c_str(), cut), 0); });
    ExpectOutput(ChunksWithin(cut));
    EXPECT_EQ(Warnings, std::vector<std::string>{"Only 25 of the 40 frames of the file " + Big +
                                                 " could be read"});
  }
  BigCodec = FourCC("FMP4");
  SetUp();
  Log = test::TProgressLog{};
  try {
    Join(1, [&] { ASSERT_EQ(::truncate(Big.c_str(), cut), 0); });
    ADD_FAILURE() << "joined a source that changed";
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()),
              "The file " + Big + " has changed since it was added to the list");
  }
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 4u);
}

TEST_F(JoinFault, ASourceThatFailsTheScanLeavesAnExistingOutputAlone) {
  test::WriteFileBytes(Out, "the previous output");
  test::WriteFileBytes(Big, "no longer a video");
  EXPECT_THROW(Join(0, [] {}), EAVIReadError);
  EXPECT_EQ(test::ReadFileBytes(Out), "the previous output");
}

TEST_F(JoinFault, ASourceThatCannotBeOpenedForTheCopyFailsTheJoinWithTheOutputFinished) {
  const std::string changed = "The file " + Big + " has changed since it was added to the list";
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"System Error.  Code: 2.\nNo such file or directory", [&] { std::filesystem::remove(Big); }},
      {"The file has unknown format", [&] { test::WriteFileBytes(Big, "no longer a video"); }},
      // Cut short before its first picture.
      {changed, [&] { ASSERT_EQ(::truncate(Big.c_str(), BigPositions[0]), 0); }},
      // Another AVI file (pictures of another codec) put in its place, and its own bytes written
      // again (the same size and contents, a later time).
      {changed,
       [&] {
         test::TAVIBuilder other = test::SimpleAVI(40, false, test::TIndexKind::Idx1Relative);
         other.StreamList[0].Format = test::BitmapInfo(64, 48, 0);
         other.Write(Dir.File("other.avi"));
         std::filesystem::rename(Dir.File("other.avi"), Big);
       }},
      {changed,
       [&] {
         const std::string bytes = test::ReadFileBytes(Big);
         const auto written = std::filesystem::last_write_time(Big);
         test::WriteFileBytes(Big, bytes);
         std::filesystem::last_write_time(Big, written + std::chrono::seconds(1));
       }},
  };
  for (const auto& [message, change] : changes) {
    SetUp();
    try {
      Join(1, change);
      ADD_FAILURE() << "joined a source that is gone";
    } catch (const Exception& E) {
      // The message names the source it concerns (once).
      EXPECT_EQ(std::string(E.what()), message.find(Big) == std::string::npos
                                           ? "Unable to read " + Big + ": " + message
                                           : message);
    }
    EXPECT_EQ(Log.Hides, 0);  // the view is the join run's to hide
    EXPECT_EQ(test::StreamChunks(Out, true).size(), 4u);
    EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 4);
    Log = test::TProgressLog{};
  }
}

}  // namespace
}  // namespace rw
