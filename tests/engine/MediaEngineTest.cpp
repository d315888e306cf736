#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "engine/EngineLoader.h"
#include "media/RiffFormat.h"
#include "platform/Errors.h"
#include "recompress/CompressorList.h"
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

}  // namespace
}  // namespace rw
