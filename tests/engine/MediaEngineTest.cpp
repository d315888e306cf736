#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "engine/EngineLoader.h"
#include "media/AVIRead.h"
#include "media/RiffFormat.h"
#include "platform/Errors.h"
#include "recompress/CompressorList.h"
#include "streamcopy/AVIWrite.h"
#include "formats/PictureKinds.h"
#include "streamcopy/SoundBlocks.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

constexpr int32_t InvalidArgument = static_cast<int32_t>(0x80070057u);

TEST(Compressors, ListsWhatTheAVIWriterCarriesWithTheNamesUsersSee) {
  const TCompressorList video = EnumCompressors(false);
  ASSERT_GT(video.size(), 2u);
  auto find = [](const TCompressorList& List, const char* Name) {
    return std::find_if(List.begin(), List.end(), [&](auto& E) { return E.Name == Name; });
  };
  ASSERT_NE(find(video, "mpeg4"), video.end());
  EXPECT_EQ(find(video, "mpeg4")->DisplayName, "MPEG-4 part 2");
  EXPECT_NE(find(video, "mjpeg"), video.end());
  // Hardware wrappers and encoders of codecs AVI cannot hold are left out.
  EXPECT_EQ(find(video, "mpeg4_v4l2m2m"), video.end());
  EXPECT_EQ(find(video, "prores"), video.end());
  EXPECT_EQ(find(video, "libmp3lame"), video.end());

  const TCompressorList audio = EnumCompressors(true);
  EXPECT_NE(find(audio, "pcm_s16le"), audio.end());

  // Encoders whose AVI files ffmpeg itself reads wrongly are not offered, and a try of one
  // says so and why; one that only some player lacks a decoder for (Snow) is.
  for (const char* name : {"libx264rgb", "libtheora"}) EXPECT_EQ(find(video, name), video.end());
  for (const char* name : {"libvorbis", "eac3", "adpcm_swf", "flac", "dfpwm"})
    EXPECT_EQ(find(audio, name), audio.end()) << name;
  EXPECT_NE(find(video, "snow"), video.end());
  EXPECT_NE(find(audio, "ac3"), audio.end());
  EXPECT_EQ(MediaEngine().CheckCompressor("libvorbis", {TMediaKind::mkAudio}).Reason,
            "The libvorbis compressor is not offered: Vorbis in AVI has no timing of its own: "
            "ffmpeg times its packets apart from its samples and GStreamer plays none of it");
}

TEST(Compressors, OptionsAreKeptForEveryLaterBinding) {
  const TCompressorList list = {
      {"", "No-compressing"}, {"mpeg4", "MPEG-4"}, {"no-such-encoder", "Nothing"}};
  EXPECT_EQ(GetCompressorFilter(list, -1), nullptr);
  EXPECT_EQ(GetCompressorFilter(list, 0), nullptr);
  EXPECT_EQ(GetCompressorFilter(list, 2), nullptr);
  EXPECT_EQ(GetCompressorFilter(list, 3), nullptr);

  auto first = GetCompressorFilter(list, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_NO_THROW(first->SetOption("b", "1500k"));
  EXPECT_EQ(MediaEngine().SetCompressorOption("mpeg4", "no_such_option", "1").Code,
            static_cast<int32_t>(0x80004002u));
  EXPECT_EQ(MediaEngine().SetCompressorOption("mpeg4", "b", "lots").Code, InvalidArgument);
  try {
    first->SetOption("b", "lots");
    ADD_FAILURE() << "a bit rate of lots was taken";
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()).rfind("The mpeg4 encoder does not accept b = lots", 0), 0u);
  }
  auto second = GetCompressorFilter(list, 1);
  ASSERT_NE(second, first);
  EXPECT_EQ(second->GetOption("b"), "1500000");
  EXPECT_EQ(second->Options().size(), 1u);
  const auto options = second->ListOptions();
  EXPECT_TRUE(std::any_of(options.begin(), options.end(),
                          [](auto& O) { return O.Name == "b" && O.Value == "1500000"; }));
}

class RenderJobTest : public ::testing::Test {
protected:
  void SetUp() override {
    // 40 s of a one-frame-a-second clip, rendered at 25 fps: long enough to be stopped.
    test::TClip slow;
    slow.Rate = "1";
    slow.Seconds = 40;
    slow.AudioCodec.clear();
    Plan.Sources = {{Dir.File("slow.avi"), 40, false}};
    test::MakeClipFile(Plan.Sources[0].FileName, slow);
    Plan.Width = 640;
    Plan.Height = 480;
    Plan.Rate = 25;
    Plan.Video.Name = "mpeg4";
    Plan.OutFileName = Dir.File("out.avi");
  }
  test::TTempDir Dir;
  TRenderPlan Plan;
};

TEST_F(RenderJobTest, BadPlansAndUnwritableOutputsFailAtTheStart) {
  auto start = [](const TRenderPlan& P) {
    TEngineResult<std::unique_ptr<IEngineJob>> r = MediaEngine().StartRender(P);
    EXPECT_EQ(r.Value, nullptr);
    return r.Error;
  };
  for (auto bad : std::initializer_list<void (*)(TRenderPlan&)>{
           [](TRenderPlan& P) { P.Width = 0; }, [](TRenderPlan& P) { P.Height = 16385; },
           [](TRenderPlan& P) { P.Rate = 0; }, [](TRenderPlan& P) { P.StretchMode = 4; },
           [](TRenderPlan& P) { P.Sources[0].Length = -1; },
           [](TRenderPlan& P) { P.Sources[0].From = -0.04; },
           [](TRenderPlan& P) { P.Sources[0].FileName.clear(); }}) {
    TRenderPlan plan = Plan;
    bad(plan);
    const TEngineError e = start(plan);
    EXPECT_EQ(e.Code, InvalidArgument) << e.Reason;
    EXPECT_FALSE(e.Reason.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(Plan.OutFileName));
  TRenderPlan plan = Plan;
  plan.OutFileName = Dir.File("no/such/folder/out.avi");
  const TEngineError e = start(plan);
  EXPECT_EQ(e.Code, static_cast<int32_t>(0x80070002u));
  EXPECT_NE(e.Reason.find("No such file"), std::string::npos) << e.Reason;
}

TEST_F(RenderJobTest, AStoppedOrDroppedRenderEndsWithADecodableFileAndNoError) {
  for (bool drop : {false, true}) {
    SCOPED_TRACE(drop ? "dropped" : "stopped");
    TEngineResult<std::unique_ptr<IEngineJob>> r = MediaEngine().StartRender(Plan);
    ASSERT_FALSE(r.Error.Failed()) << r.Error.Reason;
    while (!r.Value->Wait(10) && r.Value->Percent() <= 0) {}
    EXPECT_FALSE(r.Value->Wait(0)) << "the render ended before it was stopped";
    if (drop) {
      r.Value.reset();
    } else {
      r.Value->Stop();
      EXPECT_TRUE(r.Value->Wait(0));
      EXPECT_FALSE(r.Value->Error().Failed()) << r.Value->Error().Reason;
      EXPECT_LT(r.Value->Percent(), 100);
    }
    EXPECT_EQ(test::DecodeErrors(Plan.OutFileName), "");
    const double rendered = test::DecodedDuration(Plan.OutFileName, "v:0");
    EXPECT_GT(rendered, 0);
    EXPECT_LT(rendered, 40);
  }
}

// Converting a file's pictures into the stream of a first file of another codec: the first
// file's chunks and then the converted ones, written as one AVI file, must decode whole in
// ffmpeg and mencoder, keep the first file's frame size, start the converted piece with a key
// frame, and show the second file's pictures at the first file's rate.
struct TContinueCase {
  const char* Name;
  std::string Options;    // ffmpeg's options for the first file's pictures
  bool BottomUp = false;  // the first file's RGB rows are stored last first
  bool TwoPass = false;   // made in two passes (HuffYUV: tables of its own pictures)
};
void PrintTo(const TContinueCase& C, std::ostream* Out) { *Out << C.Name; }

class PictureConvertTest : public ::testing::TestWithParam<TContinueCase> {};

constexpr int FirstWidth = 160, FirstHeight = 120, FirstPictures = 25;

// The start of the first sequence parameter set or video object layer (by its start code).
size_t FindStartCode(const std::vector<uint8_t>& B, uint8_t Code, uint8_t Mask) {
  for (size_t i = 0; i + 3 < B.size(); ++i)
    if (B[i] == 0 && B[i + 1] == 0 && B[i + 2] == 1 && (B[i + 3] & Mask) == Code) return i + 3;
  return std::string::npos;
}

// A JPEG picture's luma quantizer table and its frame header's sampling factors.
std::vector<uint8_t> JpegSetup(const std::vector<uint8_t>& B) {
  std::vector<uint8_t> setup;
  for (size_t at = 2; at + 4 <= B.size() && B[at] == 0xFF && B[at + 1] != 0xDA;) {
    const size_t length = static_cast<size_t>(B[at + 2] << 8 | B[at + 3]);
    if (B[at + 1] == 0xDB && at + 69 <= B.size())
      setup.insert(setup.end(), B.begin() + at + 4, B.begin() + at + 69);
    if (B[at + 1] == 0xC0 && at + 13 <= B.size()) setup.push_back(B[at + 11]);
    at += 2 + length;
  }
  return setup;
}

// Each decoded picture's mean colour in the top quarter and in the rest of the frame.
struct TPictureColours {
  std::array<double, 3> Top{}, Rest{};
};
std::vector<TPictureColours> DecodedColours(const std::string& FileName) {
  std::string raw;
  test::RunCommand("ffmpeg -nostdin -v error -i " + test::ShellQuote(FileName) +
                       " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -",
                   &raw);
  const size_t row = FirstWidth * 3, frame = row * FirstHeight;
  std::vector<TPictureColours> list;
  for (size_t at = 0; at + frame <= raw.size(); at += frame) {
    TPictureColours c;
    // A margin of four rows around the edge between the parts: scaling blurs it.
    for (int y = 0; y < FirstHeight; ++y) {
      const bool top = y < FirstHeight / 4 - 4;
      if (!top && y < FirstHeight / 4 + 4) continue;
      for (size_t x = 0; x < FirstWidth; ++x)
        for (size_t k = 0; k < 3; ++k)
          (top ? c.Top : c.Rest)[k] += static_cast<uint8_t>(raw[at + y * row + x * 3 + k]);
    }
    for (size_t k = 0; k < 3; ++k) {
      c.Top[k] /= FirstWidth * (FirstHeight / 4 - 4);
      c.Rest[k] /= FirstWidth * (FirstHeight - FirstHeight / 4 - 4);
    }
    list.push_back(c);
  }
  return list;
}

::testing::AssertionResult Near(const std::array<double, 3>& Colour, int R, int G, int B) {
  const int want[3] = {R, G, B};
  for (size_t k = 0; k < 3; ++k)
    if (std::abs(Colour[k] - want[k]) > 24)
      return ::testing::AssertionFailure() << "colour " << Colour[0] << "," << Colour[1] << ","
                                           << Colour[2] << " is not " << R << "," << G << "," << B;
  return ::testing::AssertionSuccess();
}

TEST_P(PictureConvertTest, ConvertedPiecesContinueTheFirstFilesStream) {
  const TContinueCase& param = GetParam();
  if (param.Options.find("libx264") != std::string::npos &&
      test::RunCommand("ffmpeg -hide_banner -h encoder=libx264 | grep -q libx264") != 0)
    GTEST_SKIP() << "ffmpeg has no libx264";
  test::TTempDir dir;
  const std::string first = dir.File("first.avi"), second = dir.File("second.avi"),
                    joined = dir.File("joined.avi");
  std::string make =
      "ffmpeg -nostdin -v error -y -f lavfi -i color=c=red:size=160x120:rate=25 "
      "-frames:v 25 " +
      param.Options;
  if (param.TwoPass) {
    make += " -passlogfile " + test::ShellQuote(dir.File("pass"));
    test::RunTool(make + " -pass 1 -f null - 2>&1");
    make += " -pass 2";
  }
  test::RunTool(make + " -f avi " + test::ShellQuote(first) + " 2>&1");
  // 20 pictures at 15 a second: white over blue, the blue turning green from 0.8 s on.
  test::RunTool(
      "ffmpeg -nostdin -v error -y -f lavfi -i \"color=c=blue:size=96x72:rate=15,"
      "drawbox=c=lime:t=fill:enable='gte(t,0.8)',drawbox=c=white:h=18:t=fill\" "
      "-frames:v 20 -c:v mpeg4 -q:v 2 -f avi " +
      test::ShellQuote(second) + " 2>&1");

  TAVIFileReader reader;
  reader.Open(first, false);
  ASSERT_NE(reader.VideoStream(), nullptr);
  const TAVIStream& video = *reader.VideoStream();
  auto chunk = [&](uint32_t I) {
    TAVIIndexEntry e;
    EXPECT_TRUE(video.GetIndexEntry(I, e));
    std::vector<uint8_t> data(e.Size);
    EXPECT_TRUE(video.ReadChunk(I, data.data()));
    return std::make_pair(data, e.KeyFrame);
  };
  // A first file stored bottom-up: its height positive and its rows last first.
  std::string format = video.Format;
  const size_t rowBytes = FirstWidth * (video.FormatWord(14) / 8);
  auto asStored = [&](std::vector<uint8_t> Data) {
    if (!param.BottomUp) return Data;
    std::vector<uint8_t> flipped(Data.size());
    for (size_t y = 0; y < FirstHeight; ++y)
      std::memcpy(&flipped[y * rowBytes], &Data[(FirstHeight - 1 - y) * rowBytes], rowBytes);
    return flipped;
  };
  if (param.BottomUp) {
    const int32_t height = FirstHeight;
    std::memcpy(format.data() + 8, &height, 4);
  }

  TConvertPlan plan;
  plan.FileName = second;
  plan.Target.Kind = TMediaKind::mkVideo;
  plan.Target.Handler = video.Header.Handler;
  plan.Target.Scale = video.Header.Scale;
  plan.Target.Rate = video.Header.Rate;
  plan.Target.Format.assign(format.begin(), format.end());
  plan.Target.FirstKeyFrame = asStored(chunk(0).first);
  plan.Seconds = 20.0 / 15;
  plan.Pictures = 33;
  plan.StretchMode = RESIZEF_STRETCH;
  const TEngineError check = MediaEngine().CheckConvert(plan.Target);
  ASSERT_FALSE(check.Failed()) << check.Reason;
  TEngineResult<std::unique_ptr<IConvertJob>> job = MediaEngine().StartConvert(plan);
  ASSERT_FALSE(job.Error.Failed()) << job.Error.Reason;
  {
    // A job dropped early ends at once, its pictures still being made.
    TEngineResult<std::unique_ptr<IConvertJob>> dropped = MediaEngine().StartConvert(plan);
    ASSERT_FALSE(dropped.Error.Failed()) << dropped.Error.Reason;
    TConvertedChunk c;
    EXPECT_TRUE(dropped.Value->Next(c));
  }
  std::vector<TConvertedChunk> converted;
  double percent = 0;
  for (TConvertedChunk c; job.Value->Next(c);) {
    converted.push_back(std::move(c));
    EXPECT_GE(job.Value->Percent(), percent);
    percent = job.Value->Percent();
  }
  ASSERT_FALSE(job.Value->Error().Failed()) << job.Value->Error().Reason;
  EXPECT_EQ(percent, 100);
  ASSERT_EQ(converted.size(), 33u);
  EXPECT_TRUE(converted[0].KeyFrame);
  const uint32_t compression = video.FormatDWord(16);
  const std::vector<uint8_t>& head = converted[0].Data;
  EXPECT_NE(KeyFrameOfPicture(compression, head.data(), static_cast<uint32_t>(head.size())), false);
  if (std::string(param.Name) == "xvid") {
    for (const TConvertedChunk& c : converted)
      EXPECT_EQ(c.KeyFrame, FindStartCode(c.Data, 0x20, 0xF0) != std::string::npos)
          << "a key frame without its video object layer, or one elsewhere";
  }
  if (std::string(param.Name) == "h264") {
    const size_t sps = FindStartCode(head, 7, 0x1F);
    ASSERT_NE(sps, std::string::npos) << "no parameter sets before the first picture";
    EXPECT_EQ(head[sps + 1], 66) << "a profile above the first file's";
  }
  if (std::string(param.Name) == "mjpeg") {
    EXPECT_EQ(JpegSetup(head), JpegSetup(plan.Target.FirstKeyFrame))
        << "not the first file's quality and sampling";
  }

  {
    TAVIFileWriter writer;
    writer.BeginFile(joined, reader.MainHeader().Flags);
    writer.AddStream(0, video.Header, format.data(), static_cast<uint32_t>(format.size()),
                     video.VideoProps);
    for (uint32_t i = 0; i < video.ChunkCount(); ++i) {
      const auto [data, key] = chunk(i);
      const std::vector<uint8_t> stored = asStored(data);
      writer.WriteChunk(0, stored.data(), key, static_cast<uint32_t>(stored.size()));
    }
    for (const TConvertedChunk& c : converted)
      writer.WriteChunk(0, c.Data.data(), c.KeyFrame, static_cast<uint32_t>(c.Data.size()));
    writer.CloseFile();
  }

  EXPECT_EQ(test::DecodeErrors(joined), "");
  // Every picture decoded at the first file's size, the converted piece's first one a key frame.
  std::istringstream frames(test::RunTool(
      "ffprobe -v error -select_streams v:0 -show_entries frame=key_frame,width,height "
      "-of csv=p=0 " +
      test::ShellQuote(joined)));
  std::vector<std::string> lines;
  // (H.264 pictures add a line of side data, and a comma.)
  for (std::string line; std::getline(frames, line);)
    if (line.size() > 2) lines.push_back(line.substr(0, line.find_last_not_of(',') + 1));
  ASSERT_EQ(lines.size(), static_cast<size_t>(FirstPictures + 33));
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i].substr(lines[i].find(',')), ",160,120") << "picture " << i;
  EXPECT_EQ(lines[FirstPictures].substr(0, 1), "1");
  if (test::RunCommand("command -v mencoder >/dev/null") == 0) {
    const std::string said =
        test::RunTool("mencoder " + test::ShellQuote(joined) + " -ovc copy -o /dev/null 2>&1");
    EXPECT_NE(said.find(" 58 frames"), std::string::npos) << said;
  }
  // The second file's pictures at the first file's rate: blue until 0.8 s, then green, under
  // white; the first file's red before them.
  const std::vector<TPictureColours> colours = DecodedColours(joined);
  ASSERT_EQ(colours.size(), static_cast<size_t>(FirstPictures + 33));
  if (std::string(param.Name) != "yv12") {  // ffmpeg stores YV12's chroma planes swapped
    EXPECT_TRUE(Near(colours[FirstPictures - 1].Rest, 255, 0, 0));
  }
  for (int at : {0, 10, 19, 21, 30, 32}) {
    SCOPED_TRACE("converted picture " + std::to_string(at));
    const TPictureColours& c = colours[static_cast<size_t>(FirstPictures + at)];
    EXPECT_TRUE(Near(c.Top, 255, 255, 255));
    EXPECT_TRUE(at < 20 ? Near(c.Rest, 0, 0, 255) : Near(c.Rest, 0, 255, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, PictureConvertTest,
    ::testing::Values(TContinueCase{"xvid", "-c:v mpeg4 -vtag XVID -q:v 3"},
                      TContinueCase{"h264", "-c:v libx264 -profile:v baseline -pix_fmt yuv420p"},
                      TContinueCase{"mjpeg", "-c:v mjpeg -q:v 5 -pix_fmt yuvj422p"},
                      TContinueCase{"huffyuv", "-c:v huffyuv"},
                      TContinueCase{"huffyuvtables", "-c:v huffyuv -pred median", false, true},
                      TContinueCase{"huffyuvrgb", "-c:v huffyuv -pix_fmt rgb24 -pred plane"},
                      TContinueCase{"rgb24", "-c:v rawvideo -pix_fmt bgr24"},
                      TContinueCase{"rgb24bottomup", "-c:v rawvideo -pix_fmt bgr24", true},
                      TContinueCase{"rgb32", "-c:v rawvideo -pix_fmt bgra"},
                      TContinueCase{"yuy2", "-c:v rawvideo -pix_fmt yuyv422 -vtag YUY2"},
                      TContinueCase{"uyvy", "-c:v rawvideo -pix_fmt uyvy422 -vtag UYVY"},
                      TContinueCase{"yv12", "-c:v rawvideo -pix_fmt yuv420p -vtag YV12"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(PictureConvert, TargetsThatCannotBeContinuedAreRefusedWithTheirReason) {
  TStreamTarget target;
  target.Format.assign(40, 0);
  const uint32_t size = 40, width = 64, height = 48, hevc = 0x43564548;  // 'HEVC'
  std::memcpy(&target.Format[0], &size, 4);
  std::memcpy(&target.Format[4], &width, 4);
  std::memcpy(&target.Format[8], &height, 4);
  target.Format[14] = 24;
  std::memcpy(&target.Format[16], &hevc, 4);
  TEngineError e = MediaEngine().CheckConvert(target);
  EXPECT_EQ(e.Reason, "H.265 pictures cannot be continued");
  target.Format[14] = 16;
  std::memset(&target.Format[16], 0, 4);
  e = MediaEngine().CheckConvert(target);
  EXPECT_NE(e.Reason.find("Uncompressed 16-bit pictures cannot be continued"), std::string::npos)
      << e.Reason;
  // H.264 whose pictures are prefixed by their lengths.
  const uint32_t avc1 = 0x31435641;  // 'AVC1'
  std::memcpy(&target.Format[16], &avc1, 4);
  target.FirstKeyFrame = {0, 0, 0, 9, 0x65, 0x88, 0x84};
  e = MediaEngine().CheckConvert(target);
  EXPECT_NE(e.Reason.find("H.264 pictures cannot be continued"), std::string::npos) << e.Reason;
  target.Format.resize(20);
  EXPECT_TRUE(MediaEngine().CheckConvert(target).Failed());
}

// The list's picture of a file: its first key frame (white here, black after 0.1 s), fitted
// into the box with the display aspect kept, as RGB rows in that order; a file without pictures
// and a box that is no size give an error and no picture.
TEST(Thumbnail, IsTheFirstKeyFrameFittedWithItsAspectInRGB) {
  test::TTempDir dir;
  auto make = [&](const std::string& Name, const std::string& Input, const std::string& Out) {
    test::RunTool("ffmpeg -nostdin -v error -y -f lavfi -i \"" + Input + "\" -t 1 " + Out + " " +
                  test::ShellQuote(dir.File(Name)));
    return dir.File(Name);
  };
  // 320x240 pixels shown as 16:9: 48x27 in a 48x36 box.
  const std::string wide =
      make("wide.avi", "color=c=0xc03020:size=320x240:rate=25", "-c:v mpeg4 -aspect 16:9");
  const std::string flash = make(
      "flash.avi", "color=c=black:size=64x48:rate=25,drawbox=c=white:t=fill:enable='lt(t,0.1)'",
      "-c:v mjpeg -pix_fmt yuvj420p");
  const std::string sound = make("sound.avi", "sine=sample_rate=44100", "-c:a pcm_s16le");
  auto near = [](int Value, int Expected) { return std::abs(Value - Expected) <= 10; };

  TEngineResult<TThumbnail> r = MediaEngine().Thumbnail(wide, 48, 36);
  ASSERT_FALSE(r.Error.Failed()) << r.Error.Reason;
  EXPECT_EQ(r.Value.Width, 48);
  EXPECT_EQ(r.Value.Height, 27);
  ASSERT_EQ(r.Value.Rgb.size(), 48u * 27 * 3);
  for (size_t i = 0; i < r.Value.Rgb.size(); i += 3) {
    ASSERT_TRUE(near(r.Value.Rgb[i], 0xc0) && near(r.Value.Rgb[i + 1], 0x30) &&
                near(r.Value.Rgb[i + 2], 0x20))
        << "pixel " << i / 3 << ": " << int(r.Value.Rgb[i]) << "," << int(r.Value.Rgb[i + 1]) << ","
        << int(r.Value.Rgb[i + 2]);
  }
  r = MediaEngine().Thumbnail(flash, 16, 100);
  ASSERT_FALSE(r.Error.Failed()) << r.Error.Reason;
  EXPECT_EQ(r.Value.Width, 16);
  EXPECT_EQ(r.Value.Height, 12);
  ASSERT_EQ(r.Value.Rgb.size(), 16u * 12 * 3);
  EXPECT_TRUE(std::all_of(r.Value.Rgb.begin(), r.Value.Rgb.end(), [](uint8_t V) {
    return V > 235;
  })) << "not the first picture";

  for (const std::string& none : {sound, dir.File("missing.avi")}) {
    r = MediaEngine().Thumbnail(none, 48, 36);
    EXPECT_TRUE(r.Error.Failed()) << none;
    EXPECT_FALSE(r.Error.Reason.empty());
    EXPECT_TRUE(r.Value.Rgb.empty());
  }
  EXPECT_EQ(MediaEngine().Thumbnail(wide, 0, 36).Error.Code, InvalidArgument);
  // A header that claims pictures of 12000x12000 (216 MB a frame) is refused before anything is
  // decoded.
  test::TAVIBuilder huge;
  huge.AddStream(test::VideoHeader(25, 1), test::BitmapInfo(12000, 12000, FourCC("MJPG")));
  for (int i = 0; i < 3; ++i) huge.AddChunk(0, 100, true);
  huge.Write(dir.File("huge.avi"));
  r = MediaEngine().Thumbnail(dir.File("huge.avi"), 48, 36);
  EXPECT_NE(r.Error.Reason.find("too large"), std::string::npos) << r.Error.Reason;
}

// A sound stream as an output declares it: WAVEFORMATEX (Tag, Channels, Rate, bytes a second,
// block, bits) and its clock: by bytes with SampleSize, else one block of Scale/Rate a chunk.
TStreamTarget SoundTarget(uint16_t Tag, uint16_t Channels, uint32_t Rate, uint32_t AvgBytes,
                          uint16_t Block, uint16_t Bits, uint32_t SampleSize, uint32_t Scale = 1) {
  TStreamTarget t;
  t.Kind = TMediaKind::mkAudio;
  t.SampleSize = SampleSize;
  t.Scale = Scale;
  t.Rate = SampleSize ? AvgBytes / SampleSize : Rate;
  t.Format.assign(18, 0);
  auto put = [&](size_t At, uint32_t V, int Bytes) {
    for (int i = 0; i < Bytes; ++i) t.Format[At + i] = static_cast<uint8_t>(V >> (8 * i));
  };
  put(0, Tag, 2);
  put(2, Channels, 2);
  put(4, Rate, 4);
  put(8, AvgBytes, 4);
  put(12, Block, 2);
  put(14, Bits, 2);
  return t;
}

TEST(SoundConvert, WritesEveryFormatAtTheStreamsOwnRateAndRefusesWhatItCannot) {
  auto fails = [](const TStreamTarget& T) { return MediaEngine().CheckConvert(T).Reason; };
  EXPECT_EQ(fails(SoundTarget(1, 2, 44100, 44100 * 4, 4, 16, 4)), "");
  EXPECT_EQ(fails(SoundTarget(1, 1, 22050, 22050, 1, 8, 1)), "");
  EXPECT_EQ(fails(SoundTarget(1, 2, 48000, 48000 * 6, 6, 24, 6)), "");
  EXPECT_EQ(fails(SoundTarget(3, 2, 48000, 48000 * 8, 8, 32, 8)), "");
  EXPECT_EQ(fails(SoundTarget(6, 1, 8000, 8000, 1, 8, 1)), "");
  EXPECT_EQ(fails(SoundTarget(7, 1, 8000, 8000, 1, 8, 1)), "");
  EXPECT_EQ(fails(SoundTarget(0x55, 2, 44100, 16000, 1, 0, 0, 1152)), "");
  EXPECT_EQ(fails(SoundTarget(0x55, 1, 44100, 8000, 1, 0, 1)), "");
  EXPECT_EQ(fails(SoundTarget(0x50, 2, 48000, 24000, 1, 0, 0, 1152)), "");
  EXPECT_EQ(fails(SoundTarget(0x2000, 6, 48000, 48000, 1, 0, 0, 1536)), "");
  // AAC; an MP3 bit rate no frame carries; frames whose time is not the stream's block; PCM
  // whose byte clock is not its sample rate's.
  EXPECT_NE(fails(SoundTarget(0xFF, 2, 44100, 16000, 1, 0, 0, 1024)), "");
  EXPECT_NE(fails(SoundTarget(0x55, 1, 44100, 8125, 1, 0, 1)), "");
  EXPECT_NE(fails(SoundTarget(0x55, 1, 44100, 8000, 1, 0, 0, 1024)), "");
  TStreamTarget skewed = SoundTarget(1, 2, 44100, 44100 * 4, 4, 16, 4);
  skewed.Rate = 48000;
  EXPECT_NE(fails(skewed), "");
  // A clock 0.5 % fast is refused; one a sample a second off (23 ppm, a rounded header) is not.
  skewed.Rate = 44100 * 1005 / 1000;
  EXPECT_NE(fails(skewed), "");
  skewed.Rate = 44101;
  EXPECT_EQ(fails(skewed), "");

  test::TTempDir dir;
  const std::string source = dir.File("source.avi");
  test::MakeFlashBeepClip(source, 2, 2, "pcm_s16le", "-ar 48000 -ac 2");
  // MP3 at 64 kbit/s, 44.1 kHz mono, timed by bytes: every chunk one frame of exactly that,
  // their bytes the stream's clock for 1.5 s, give or take the encoder's last frames.
  TConvertPlan plan;
  plan.FileName = source;
  plan.Target = SoundTarget(0x55, 1, 44100, 8000, 1, 0, 1);
  plan.Seconds = 1.5;
  TEngineResult<std::unique_ptr<IConvertJob>> job = MediaEngine().StartConvert(plan);
  ASSERT_FALSE(job.Error.Failed()) << job.Error.Reason;
  TConvertedChunk chunk;
  size_t bytes = 0, chunks = 0;
  while (job.Value->Next(chunk)) {
    TMpegAudioHeader h;
    ASSERT_TRUE(ParseMpegAudioHeader(chunk.Data.data(), chunk.Data.size(), h));
    EXPECT_EQ(h.Bitrate, 64000u);
    EXPECT_EQ(h.SampleRate, 44100u);
    EXPECT_EQ(h.Layer, 3);
    EXPECT_EQ(chunk.Data.size(), h.FrameSize);
    EXPECT_EQ(chunk.Data[3] >> 6, 3) << "not mono";
    bytes += chunk.Data.size();
    ++chunks;
  }
  EXPECT_FALSE(job.Value->Error().Failed()) << job.Value->Error().Reason;
  EXPECT_EQ(job.Value->Percent(), 100);
  EXPECT_NEAR(static_cast<double>(bytes) / 8000, 1.5, 3 * 1152.0 / 44100);
  EXPECT_GE(chunks, static_cast<size_t>(1.5 * 44100 / 1152));

  // MP2 and AC-3 at 48 kHz and 192 kbit/s, one frame a chunk: every frame of that rate's size.
  for (auto [target, frame] :
       {std::pair{SoundTarget(0x50, 2, 48000, 24000, 1, 0, 0, 1152), 576u},
        std::pair{SoundTarget(0x2000, 2, 48000, 24000, 1, 0, 0, 1536), 768u}}) {
    plan.Target = target;
    job = MediaEngine().StartConvert(plan);
    ASSERT_FALSE(job.Error.Failed()) << job.Error.Reason;
    chunks = 0;
    while (job.Value->Next(chunk)) {
      EXPECT_EQ(chunk.Data.size(), frame);
      ++chunks;
    }
    EXPECT_FALSE(job.Value->Error().Failed()) << job.Value->Error().Reason;
    EXPECT_GE(chunks, static_cast<size_t>(1.5 * 48000 / (frame == 576 ? 1152 : 1536)));
  }

  // PCM: exactly the plan's length, in whole samples of the target's block.
  plan.Target = SoundTarget(1, 1, 22050, 22050 * 2, 2, 16, 2);
  job = MediaEngine().StartConvert(plan);
  ASSERT_FALSE(job.Error.Failed()) << job.Error.Reason;
  bytes = 0;
  while (job.Value->Next(chunk)) bytes += chunk.Data.size();
  EXPECT_EQ(bytes, static_cast<size_t>(1.5 * 22050) * 2);
}

}  // namespace
}  // namespace rw
