#include <gtest/gtest.h>

#include "media/AVIRead.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::TAVIBuilder;
using test::TIndexKind;

class AVIReaderTest : public ::testing::Test {
protected:
  std::string Write(const TAVIBuilder& B) {
    std::string f = Dir.File("f" + std::to_string(++Count) + ".avi");
    B.Write(f);
    return f;
  }
  // The message of the error that opening raises, "" when it opens.
  std::string OpenError(const std::string& File, bool HeaderOnly) {
    try {
      R.Open(File, HeaderOnly);
    } catch (const Exception& e) {
      return e.what();
    }
    return "";
  }
  std::string OpenError(const TAVIBuilder& B, bool HeaderOnly = true) {
    return OpenError(Write(B), HeaderOnly);
  }
  test::TTempDir Dir;
  TAVIFileReader R;
  int Count = 0;
};

TEST_F(AVIReaderTest, ReadsMainAndStreamHeaders) {
  TAVIBuilder b = test::SimpleAVI(10, true, TIndexKind::Idx1Relative);
  b.Main.Flags = 0x910;
  b.StreamList[0].Header.Handler = FourCC("XVID");  // the format's code wins
  R.Open(Write(b), true);
  ASSERT_EQ(R.StreamCount(), 2);
  EXPECT_EQ(R.MainHeader().Flags, 0x910u);
  EXPECT_EQ(R.MainHeader().Streams, 2u);
  EXPECT_FALSE(R.IsOpenDML());
  ASSERT_EQ(R.VideoStream(), &R.Streams(0));
  ASSERT_EQ(R.AudioStream(), &R.Streams(1));
  const TAVIStream& v = R.Streams(0);
  EXPECT_EQ(v.StreamId, "00");
  EXPECT_EQ(v.Header.Handler, FourCC("FMP4"));
  EXPECT_EQ(v.Width, 64);
  EXPECT_EQ(v.Height, 48);
  EXPECT_EQ(v.Header.Length, 10u);
  EXPECT_EQ(v.Format.size(), 40u);
  // Fast sample-based audio takes its sample size from the block align.
  EXPECT_EQ(R.Streams(1).Header.SampleSize, 4u);
  EXPECT_EQ(R.Streams(1).StreamId, "01");
  // A header-only open reads no index.
  EXPECT_EQ(v.ChunkCount(), 0u);
  EXPECT_EQ(R.GetFileSize(), static_cast<int64_t>(b.Build().size()));
}

TEST_F(AVIReaderTest, StreamHeaderFallbacks) {
  TAVIBuilder b;
  // 'iavs' first: it is the video stream, and gets no size or codec from its format.
  TAVIStreamHeader iavs = test::VideoHeader(25, 1, FourCC("dvsd"));
  iavs.Type = riff::streamIavs;
  b.AddStream(iavs, std::string(80, '\x01'));
  // A 'vids' stream whose format has no size takes it from Frame.
  TAVIStreamHeader vids = test::VideoHeader(25, 1);
  vids.Frame = {0, 0, 352, 288};
  b.AddStream(vids, test::BitmapInfo(0, 0, FourCC("MJPG")));
  // Slow audio (about 38 units per second) keeps sample size 0.
  b.AddStream(test::AudioHeader(44100, 1152, 0), test::WaveFormat(0x55, 2, 44100, 0, 1));
  b.AddStream(test::AudioHeader(44100, 1, 0), test::WaveFormat(1, 1, 44100, 16, 2));
  R.Open(Write(b), true);
  ASSERT_EQ(R.StreamCount(), 4);
  EXPECT_EQ(R.VideoStream(), &R.Streams(0));
  EXPECT_EQ(R.Streams(0).Header.Handler, FourCC("dvsd"));
  EXPECT_EQ(R.Streams(0).Width, 0);
  EXPECT_EQ(R.Streams(1).Width, 352);
  EXPECT_EQ(R.Streams(1).Height, 288);
  EXPECT_EQ(R.Streams(1).Header.Handler, FourCC("MJPG"));
  EXPECT_EQ(R.AudioStream(), &R.Streams(2));
  EXPECT_EQ(R.Streams(2).Header.SampleSize, 0u);
  EXPECT_EQ(R.Streams(3).Header.SampleSize, 2u);
}

TEST_F(AVIReaderTest, ShortHeadersAndFormats) {
  TAVIBuilder b;
  b.AddStream(test::VideoHeader(25, 1), "0123");  // too short for size and codec
  b.StreamList[0].Header.Frame = {0, 0, 320, 240};
  b.AddStream(test::AudioHeader(44100, 1, 0), "ab");  // too short for the block align
  b.StreamList[1].StrhSize = 20;                      // ends before Scale
  R.Open(Write(b), true);
  EXPECT_EQ(R.Streams(0).Width, 320);
  EXPECT_EQ(R.Streams(0).Height, 240);
  EXPECT_EQ(R.Streams(0).Header.Handler, 0u);
  // 56 bytes are read from the start of a short 'strh': Scale and Rate come from the
  // 'strf' chunk header that follows it.
  const TAVIStream& a = R.Streams(1);
  EXPECT_EQ(a.Header.Type, riff::streamAuds);
  EXPECT_EQ(a.Header.Scale, riff::ckStrf);
  EXPECT_EQ(a.Header.Rate, 2u);
  EXPECT_EQ(a.Format, "ab");
  EXPECT_EQ(a.FormatWord(riff::WaveBlockAlignOffset), 0);
}

TEST_F(AVIReaderTest, ElevenStreamsAreNumberedInHex) {
  TAVIBuilder b;
  for (int i = 0; i < 11; ++i) b.AddStream(test::VideoHeader(25, 1), test::BitmapInfo(8, 8, 0));
  for (int i = 0; i < 11; ++i) b.AddChunk(i, 4 + static_cast<uint32_t>(i));
  R.Open(Write(b), false);
  ASSERT_EQ(R.StreamCount(), 11);
  EXPECT_EQ(R.Streams(9).StreamId, "09");
  EXPECT_EQ(R.Streams(10).StreamId, "0A");
  TAVIIndexEntry e;
  ASSERT_TRUE(R.Streams(10).GetIndexEntry(0, e));
  EXPECT_EQ(e.Size, 14u);
}

TEST_F(AVIReaderTest, StructuralErrors) {
  auto base = [] { return test::SimpleAVI(3, false, TIndexKind::Idx1Relative); };
  TAVIBuilder b = base();
  b.OmitHdrl = true;
  EXPECT_EQ(OpenError(b), "The header is not found");
  b = base();
  b.OmitMovi = true;
  EXPECT_EQ(OpenError(b), "The data is not found");
  b = base();
  b.OmitAvih = true;
  EXPECT_EQ(OpenError(b), "The main header is not found");
  b = base();
  b.StreamList[0].OmitStrh = true;
  EXPECT_EQ(OpenError(b), "The stream header is not found");
  b = base();
  b.StreamList[0].OmitStrf = true;
  EXPECT_EQ(OpenError(b), "The stream format is not found");

  std::string wave = test::Riff(riff::formWAVE, test::Chunk(FourCC("fmt "), std::string(16, 0)));
  test::WriteFileBytes(Dir.File("w.wav"), wave);
  EXPECT_EQ(OpenError(Dir.File("w.wav"), true), "The file has unknown format");
  test::WriteFileBytes(Dir.File("short"), "RIFF\x10\0\0\0AVI");
  EXPECT_EQ(OpenError(Dir.File("short"), true), "The file has unknown format");

  EXPECT_EQ(OpenError(Dir.File("missing.avi"), true),
            "System Error.  Code: 2.\nNo such file or directory");
  EXPECT_EQ(OpenError(Dir.Path().string(), true), "System Error.  Code: 21.\nIs a directory");
}

TEST_F(AVIReaderTest, ReaderIsReusableAfterAFailure) {
  TAVIBuilder bad = test::SimpleAVI(3, false, TIndexKind::None);
  bad.StreamList[0].OmitStrf = true;
  EXPECT_EQ(OpenError(bad, false), "The stream format is not found");
  R.Open(Write(test::SimpleAVI(4, true, TIndexKind::Idx1Relative)), false);
  EXPECT_EQ(R.StreamCount(), 2);
  EXPECT_EQ(R.Streams(0).ChunkCount(), 4u);
  R.Close();
  EXPECT_EQ(R.StreamCount(), 0);
  EXPECT_EQ(R.VideoStream(), nullptr);
  R.Close();
}

}  // namespace
}  // namespace rw
