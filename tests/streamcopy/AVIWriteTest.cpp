#include <gtest/gtest.h>

#include "media/RiffFormat.h"
#include "platform/Errors.h"
#include "streamcopy/AVIWrite.h"
#include "support/MediaCheck.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::FindChunk;
using test::ListChunks;
using test::TRiffChunk;
using test::U32At;

constexpr int W = 16, H = 16, FrameBytes = W * H * 3;

TAVIStreamHeader VideoHeader(uint32_t Type = riff::streamVids) {
  TAVIStreamHeader h = test::VideoHeader(25, 1, 0);
  h.Type = Type;
  h.Length = 12345;  // the writer recomputes it
  return h;
}

// A bitmap header cut or padded to Size bytes.
std::string BitmapFormat(size_t Size = 40) {
  std::string f = test::BitmapInfo(W, H, 0);
  f.resize(Size);
  return f;
}

// 8-bit mono PCM at 8000 Hz: every chunk size decodes, odd ones included.
TAVIStreamHeader PcmHeader(uint32_t SampleSize = 1) {
  return test::AudioHeader(8000, 1, SampleSize);
}
std::string PcmFormat() { return test::WaveFormat(1, 1, 8000, 8, 1); }

void AddVideo(TAVIFileWriter& Writer, int Id, const std::string& Format = BitmapFormat()) {
  Writer.AddStream(Id, VideoHeader(), Format.data(), static_cast<uint32_t>(Format.size()));
}
void AddAudio(TAVIFileWriter& Writer, int Id) {
  std::string f = PcmFormat();
  Writer.AddStream(Id, PcmHeader(), f.data(), static_cast<uint32_t>(f.size()));
}

struct TLayout {
  std::string Bytes;
  std::vector<TRiffChunk> Top, Hdrl, Movi;
};

TLayout ReadLayout(const std::string& FileName) {
  TLayout l;
  l.Bytes = test::ReadFileBytes(FileName);
  l.Top = ListChunks(l.Bytes, ListChunks(l.Bytes, 0, l.Bytes.size()).at(0));
  l.Hdrl = ListChunks(l.Bytes, FindChunk(l.Top, "LIST", "hdrl"));
  l.Movi = ListChunks(l.Bytes, FindChunk(l.Top, "LIST", "movi"));
  return l;
}

bool Has(const std::vector<TRiffChunk>& Chunks, const std::string& Id) {
  for (const auto& c : Chunks)
    if (c.Id == Id) return true;
  return false;
}

class AVIWriteModes : public ::testing::TestWithParam<int> {};

TEST_P(AVIWriteModes, InterleavedVideoAndOddSizedSound) {
  const uint8_t mode = static_cast<uint8_t>(GetParam());
  const bool legacy = mode != 2, odml = mode != 1;
  test::TTempDir dir;
  std::string out = dir.File("out.avi");
  TAVIFileWriter writer;
  writer.SetIndexMode(mode);
  // Interleaved, trusted chunk types, must-use-index: the index flags follow what is written.
  writer.BeginFile(out, 0x920);
  AddVideo(writer, 0);
  AddAudio(writer, 1);
  std::string frame(FrameBytes, '\x40'), sound(321, '\x80');
  uint64_t soundBytes = 0;
  for (int i = 0; i < 10; ++i) {
    writer.WriteChunk(0, frame.data(), i % 5 == 0, FrameBytes);
    uint32_t n = i % 2 ? 319 : 321;
    writer.WriteChunk(1, sound.data(), true, n);
    soundBytes += n;
  }
  writer.CloseFile();
  EXPECT_FALSE(writer.IsOpen());

  EXPECT_EQ(test::DecodeErrors(out), "");
  auto counts = test::ProbePacketCounts(out);
  EXPECT_EQ(counts["video"], 10);
  EXPECT_EQ(counts["audio"], 10);

  TLayout l = ReadLayout(out);
  EXPECT_EQ(U32At(l.Bytes, 4), l.Bytes.size() - 8);
  uint64_t avih = FindChunk(l.Hdrl, "avih").DataPos();
  EXPECT_EQ(U32At(l.Bytes, avih + 0), 40000u);  // microseconds per frame
  EXPECT_EQ(U32At(l.Bytes, avih + 12), legacy ? 0x910u : 0x900u);
  EXPECT_EQ(U32At(l.Bytes, avih + 16), 10u);
  EXPECT_EQ(U32At(l.Bytes, avih + 24), 2u);
  EXPECT_EQ(U32At(l.Bytes, avih + 28), FrameBytes + 1024u);
  EXPECT_EQ(U32At(l.Bytes, avih + 32), uint32_t(W));
  EXPECT_EQ(U32At(l.Bytes, avih + 36), uint32_t(H));

  std::vector<TRiffChunk> strls;
  for (const auto& c : l.Hdrl)
    if (c.ListType == "strl") strls.push_back(c);
  ASSERT_EQ(strls.size(), 2u);
  auto video = ListChunks(l.Bytes, strls[0]), audio = ListChunks(l.Bytes, strls[1]);
  uint64_t vh = FindChunk(video, "strh").DataPos(), ah = FindChunk(audio, "strh").DataPos();
  EXPECT_EQ(U32At(l.Bytes, vh + 32), 10u);
  EXPECT_EQ(U32At(l.Bytes, vh + 36), FrameBytes + 1024u);
  EXPECT_EQ(U32At(l.Bytes, vh + 52), uint32_t(W) | (uint32_t(H) << 16));  // frame right, bottom
  EXPECT_EQ(U32At(l.Bytes, ah + 32), soundBytes);
  EXPECT_EQ(FindChunk(audio, "strf").Size, 18u);
  EXPECT_EQ(Has(video, "indx"), odml);
  EXPECT_EQ(Has(l.Hdrl, "LIST"), true);

  // Data chunks: the first on a 2048 boundary, odd sizes followed by a zero pad byte.
  std::vector<TRiffChunk> data;
  for (const auto& c : l.Movi)
    if (c.Id == "00dc" || c.Id == "01wb") data.push_back(c);
  ASSERT_EQ(data.size(), 20u);
  EXPECT_EQ(data[0].Offset % 2048, 0u);
  EXPECT_EQ(data[1].Size, 321u);
  EXPECT_EQ(l.Bytes[data[1].DataPos() + 321], '\0');
  EXPECT_EQ(data[2].Offset, data[1].DataPos() + 322);

  if (legacy) {
    TRiffChunk idx1 = FindChunk(l.Top, "idx1");
    EXPECT_EQ(idx1.Offset % 2048, 0u);
    ASSERT_EQ(idx1.Size, 20u * 16);
    for (size_t i = 0; i < data.size(); ++i) {
      uint64_t e = idx1.DataPos() + 16 * i;
      EXPECT_EQ(l.Bytes.substr(e, 4), data[i].Id);
      EXPECT_EQ(U32At(l.Bytes, e + 4), (i % 2 || i % 10 == 0) ? 0x10u : 0u) << i;
      EXPECT_EQ(U32At(l.Bytes, e + 8), data[i].Offset - (data[0].Offset - 4));  // from 'movi'
      EXPECT_EQ(U32At(l.Bytes, e + 12), data[i].Size);
    }
  } else {
    EXPECT_FALSE(Has(l.Top, "idx1"));
  }
  if (odml) {
    TRiffChunk odmlList = FindChunk(l.Hdrl, "LIST", "odml");
    EXPECT_EQ(U32At(l.Bytes, FindChunk(ListChunks(l.Bytes, odmlList), "dmlh").DataPos()), 10u);
    TRiffChunk indx = FindChunk(video, "indx");
    EXPECT_EQ(indx.Size, 32728u);
    EXPECT_EQ(U32At(l.Bytes, indx.DataPos() + 4), 1u);  // entries in use
    uint64_t ix = test::U64At(l.Bytes, indx.DataPos() + 24);
    EXPECT_EQ(l.Bytes.substr(ix, 4), "ix00");
    EXPECT_EQ(U32At(l.Bytes, indx.DataPos() + 32), 32u + 8 * 10);
    EXPECT_EQ(U32At(l.Bytes, ix + 12), 10u);
    EXPECT_EQ(test::U64At(l.Bytes, ix + 20), 0u);  // base offset
    EXPECT_EQ(U32At(l.Bytes, ix + 32), data[0].DataPos());
    EXPECT_EQ(U32At(l.Bytes, ix + 36), uint32_t(FrameBytes));
    EXPECT_EQ(U32At(l.Bytes, ix + 44), FrameBytes | 0x80000000u);  // not a key frame
    EXPECT_EQ(U32At(l.Bytes, FindChunk(audio, "indx").DataPos() + 36), soundBytes);  // duration
  } else {
    EXPECT_FALSE(Has(l.Movi, "ix00"));
  }
}

INSTANTIATE_TEST_SUITE_P(IndexModes, AVIWriteModes, ::testing::Values(1, 2, 3));

TEST(AVIWrite, ChunkIdsFollowTheOrderOfAddingAndOnlyTheFirstVideoSetsTheMainHeader) {
  test::TTempDir dir;
  TAVIFileWriter writer;
  writer.SetIndexMode(TAVIFileWriter::imLegacy);
  writer.BeginFile(dir.File("ids.avi"), 0);
  AddAudio(writer, 5);
  AddVideo(writer, 2);
  TAVIStreamHeader iavs = VideoHeader(riff::streamIavs);
  iavs.Rate = 10;
  iavs.Frame = {0, 0, 720, 576};
  writer.AddStream(7, iavs, "", 0);
  TAVIStreamHeader text = VideoHeader(riff::streamTxts);
  writer.AddStream(0, text, "", 0);
  for (int id : {0, 2, 5, 7}) writer.WriteChunk(id, "ab", true, 2);
  writer.CloseFile();

  TLayout l = ReadLayout(dir.File("ids.avi"));
  std::vector<std::string> ids;
  for (const auto& c : l.Movi) ids.push_back(c.Id);
  EXPECT_EQ(ids, (std::vector<std::string>{"03wb", "01dc", "00wb", "02dc"}));
  uint64_t avih = FindChunk(l.Hdrl, "avih").DataPos();
  EXPECT_EQ(U32At(l.Bytes, avih + 0), 40000u);
  EXPECT_EQ(U32At(l.Bytes, avih + 32), uint32_t(W));
  EXPECT_EQ(U32At(l.Bytes, avih + 16), 1u);
  EXPECT_EQ(StrToFourCC("ab"), FourCC("ab  "));
  EXPECT_EQ(StreamChunkId(100, riff::streamVids), FourCC("100d"));
}

TEST(AVIWrite, WithoutVideoTheFrameFieldsStayZero) {
  test::TTempDir dir;
  TAVIFileWriter writer;
  writer.BeginFile(dir.File("a.avi"), 0);
  AddAudio(writer, 0);
  writer.WriteChunk(0, "abc", true, 3);
  writer.CloseFile();
  TLayout l = ReadLayout(dir.File("a.avi"));
  uint64_t avih = FindChunk(l.Hdrl, "avih").DataPos();
  for (int offset : {0, 16, 32, 36}) EXPECT_EQ(U32At(l.Bytes, avih + offset), 0u) << offset;
  uint64_t dmlh =
      FindChunk(ListChunks(l.Bytes, FindChunk(l.Hdrl, "LIST", "odml")), "dmlh").DataPos();
  EXPECT_EQ(U32At(l.Bytes, dmlh), 0u);
}

TEST(AVIWrite, MisuseIsRefusedWithItsMessage) {
  test::TTempDir dir;
  TAVIFileWriter writer;
  auto message = [](auto&& F) {
    try {
      F();
    } catch (const Exception& E) {
      return std::string(E.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { writer.WriteChunk(0, "", true, 0); }), "Not initialized stream id");
  writer.CloseFile();  // no file: nothing happens
  writer.BeginFile(dir.File("m.avi"), 0);
  EXPECT_EQ(message([&] { AddVideo(writer, 100); }), "Abnormal stream id (must be 0..99)");
  EXPECT_EQ(message([&] { AddVideo(writer, -1); }), "Abnormal stream id (must be 0..99)");
  AddVideo(writer, 0);
  EXPECT_EQ(message([&] { AddAudio(writer, 0); }), "Not unique stream id");
  EXPECT_EQ(message([&] { writer.WriteChunk(1, "", true, 0); }), "Not initialized stream id");
  writer.WriteChunk(0, std::string(FrameBytes, 'x').data(), true, FrameBytes);
  EXPECT_EQ(message([&] { AddAudio(writer, 1); }), "Headers was already closed");
  EXPECT_EQ(message([&] { AddAudio(writer, 0); }), "Not unique stream id");
  writer.CloseFile();

  // A video format too short for a bitmap header; the file can still be closed.
  writer.BeginFile(dir.File("v.avi"), 0);
  EXPECT_EQ(message([&] { AddVideo(writer, 0, BitmapFormat(20)); }), "Invalid video format");
  writer.WriteChunk(0, "abc", true, 3);
  writer.CloseFile();
  EXPECT_FALSE(writer.IsOpen());
}

TEST(AVIWrite, ClosingWithoutChunksGivesACompleteFile) {
  test::TTempDir dir;
  std::string out = dir.File("empty.avi");
  TAVIFileWriter writer;
  writer.BeginFile(out, 0);
  AddVideo(writer, 0);
  writer.CloseFile();
  TLayout l = ReadLayout(out);
  EXPECT_EQ(U32At(l.Bytes, 4), l.Bytes.size() - 8);
  EXPECT_TRUE(l.Movi.empty());
  EXPECT_EQ(FindChunk(l.Top, "idx1").Size, 0u);
  auto strl = ListChunks(l.Bytes, FindChunk(l.Hdrl, "LIST", "strl"));
  EXPECT_EQ(U32At(l.Bytes, FindChunk(strl, "indx").DataPos() + 4), 0u);
  EXPECT_EQ(U32At(l.Bytes, FindChunk(strl, "strh").DataPos() + 32), 0u);
}

TEST(AVIWrite, StandardIndexIsFlushedRightAfterThe8000thChunk) {
  test::TTempDir dir;
  std::string out = dir.File("many.avi");
  TAVIFileWriter writer;
  writer.SetIndexMode(TAVIFileWriter::imOpenDML);
  writer.BeginFile(out, 0);
  std::string f = PcmFormat();
  writer.AddStream(0, PcmHeader(2), f.data(), static_cast<uint32_t>(f.size()));
  for (int i = 0; i < 8001; ++i) writer.WriteChunk(0, "abcd", true, 4);
  writer.CloseFile();

  TLayout l = ReadLayout(out);
  ASSERT_EQ(l.Movi.size(), 8003u);
  EXPECT_EQ(l.Movi[8000].Id, "ix00");
  EXPECT_EQ(l.Movi[8000].Size, 24u + 8 * 8000);
  EXPECT_EQ(l.Movi[8002].Id, "ix00");
  EXPECT_EQ(l.Movi[8002].Size, 24u + 8);
  auto strl = ListChunks(l.Bytes, FindChunk(l.Hdrl, "LIST", "strl"));
  uint64_t indx = FindChunk(strl, "indx").DataPos();
  EXPECT_EQ(U32At(l.Bytes, indx + 4), 2u);
  EXPECT_EQ(test::U64At(l.Bytes, indx + 24), l.Movi[8000].Offset);
  EXPECT_EQ(U32At(l.Bytes, indx + 36), 16000u);  // 32000 bytes of 2-byte samples
  EXPECT_EQ(U32At(l.Bytes, indx + 52), 2u);
  EXPECT_EQ(U32At(l.Bytes, FindChunk(strl, "strh").DataPos() + 32), 16002u);
  EXPECT_EQ(test::ProbePacketCounts(out)["audio"], 8001);
}

TEST(AVIWrite, JunkFillsOnlyGapsOfEightBytesOrMore) {
  test::TTempDir dir;
  for (int gap = -1; gap <= 9; ++gap) {
    TRiffOutput out;
    out.Create(dir.File("junk"));
    out.WriteZeros(100);
    out.PadWithJunk(100 + gap);
    EXPECT_EQ(out.Position(), gap >= 8 ? 100 + gap : 100) << gap;
    out.Close();
  }
  // Headers ending 2036 bytes past a 2048 boundary need no JUNK for an aligned first chunk;
  // ending 2030 bytes past it, the chunk cannot be aligned and no JUNK is written either.
  for (size_t format : {1864u, 1858u}) {
    TAVIFileWriter writer;
    writer.SetIndexMode(TAVIFileWriter::imLegacy);
    writer.BeginFile(dir.File("h.avi"), 0);
    AddVideo(writer, 0, BitmapFormat(format));
    writer.WriteChunk(0, "abcd", true, 4);
    writer.CloseFile();
    TLayout l = ReadLayout(dir.File("h.avi"));
    EXPECT_EQ(l.Top[1].ListType, "movi") << format;
    EXPECT_EQ(l.Movi[0].DataPos(), 172 + format + 12 + 8);
  }
}

}  // namespace
}  // namespace rw
