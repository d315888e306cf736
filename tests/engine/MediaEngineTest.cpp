#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/EngineLoader.h"
#include "platform/Errors.h"
#include "recompress/CompressorList.h"
#include "streamcopy/SoundBlocks.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
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
