#include <gtest/gtest.h>

#include <algorithm>

#include "engine/CompressorRegistry.h"
#include "engine/MediaTimeline.h"
#include "engine/RenderEngine.h"
#include "recompress/CompressorList.h"

namespace rw {
namespace {

TEST(Compressors, ListsWhatTheAVIWriterCarriesNamesAndMonikersInStep) {
  std::vector<std::string> names = {"first"};
  TMonikerList monikers = {nullptr};
  EnumCompressors(false, &names, &monikers);
  ASSERT_EQ(names.size(), monikers.size());
  ASSERT_GT(names.size(), 2u);
  EXPECT_EQ(names[0], "first");
  std::vector<std::string> ids;
  for (size_t i = 1; i < names.size(); ++i) {
    std::string friendly;
    ASSERT_EQ(monikers[i]->ReadFriendlyName(friendly), ME_OK);
    EXPECT_EQ(friendly, names[i]);
    ids.push_back(monikers[i]->EncoderName());
  }
  auto has = [&](const char* Id) { return std::find(ids.begin(), ids.end(), Id) != ids.end(); };
  EXPECT_TRUE(has("mpeg4"));
  EXPECT_TRUE(has("mjpeg"));
  // Hardware wrappers and encoders of codecs AVI cannot hold are left out.
  EXPECT_FALSE(has("mpeg4_v4l2m2m"));
  EXPECT_FALSE(has("prores"));
  EXPECT_FALSE(has("libmp3lame"));

  TMonikerList audio;
  EnumCompressors(true, nullptr, &audio);
  EXPECT_TRUE(std::any_of(audio.begin(), audio.end(), [](auto& M) { return M->EncoderName() == "pcm_s16le"; }));
}

TEST(Compressors, OptionsAreKeptForEveryLaterBinding) {
  TMonikerList list = {nullptr, std::make_shared<TCompressorMoniker>("mpeg4"),
                       std::make_shared<TCompressorMoniker>("no-such-encoder")};
  EXPECT_EQ(GetCompressorFilter(list, -1), nullptr);
  EXPECT_EQ(GetCompressorFilter(list, 0), nullptr);
  EXPECT_EQ(GetCompressorFilter(list, 2), nullptr);
  EXPECT_EQ(GetCompressorFilter(list, 3), nullptr);

  auto first = GetCompressorFilter(list, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->SetOption("b", "1500k"), ME_OK);
  EXPECT_EQ(first->SetOption("no_such_option", "1"), ME_NOINTERFACE);
  EXPECT_EQ(first->SetOption("b", "lots"), ME_INVALIDARG);
  auto second = GetCompressorFilter(list, 1);
  ASSERT_NE(second, first);
  std::string value;
  EXPECT_EQ(second->GetOption("b", value), ME_OK);
  EXPECT_EQ(value, "1500000");
  EXPECT_EQ(second->Options().size(), 1u);
  std::vector<TCompressorOptionInfo> options;
  EXPECT_EQ(second->ListOptions(options), ME_OK);
  EXPECT_TRUE(std::any_of(options.begin(), options.end(), [](auto& O) { return O.Name == "b" && O.Value == "1500000"; }));
}

TEST(MediaTimeline, RefusesBadPlacementsAndFormats) {
  TMediaTimeline timeline;
  TTimelineGroup* group = nullptr;
  TMediaType video;
  video.MajorType = TMediaMajorType::mtVideo;
  video.SubType = TMediaSubType::mstRGB24;
  EXPECT_EQ(timeline.AddGroup(video, group), ME_INVALIDARG);  // no frame size
  video.Width = 64;
  video.Height = 48;
  ASSERT_EQ(timeline.AddGroup(video, group), ME_OK);
  EXPECT_EQ(group->SetOutputFPS(0), ME_INVALIDARG);
  TTimelineTrack* track = nullptr;
  ASSERT_EQ(group->VTrackInsBefore(0, track), ME_OK);

  TTimelineSource s;
  EXPECT_EQ(s.SetStartStop2(2, 1), ME_INVALIDARG);
  EXPECT_EQ(s.SetStretchMode(4), ME_INVALIDARG);
  EXPECT_EQ(track->SrcAdd(s), ME_INVALIDARG);  // no media name
  ASSERT_EQ(s.SetMediaName("a.avi"), ME_OK);
  ASSERT_EQ(s.SetStartStop2(1, 2), ME_OK);
  ASSERT_EQ(track->SrcAdd(s), ME_OK);
  ASSERT_EQ(s.SetStartStop2(1.5, 3), ME_OK);
  EXPECT_EQ(track->SrcAdd(s), ME_INVALIDARG);  // overlaps
  ASSERT_EQ(s.SetStartStop2(0, 1), ME_OK);
  EXPECT_EQ(track->SrcAdd(s), ME_OK);
  EXPECT_EQ(track->Sources().front().Start(), 0);
  int64_t duration = 0;
  timeline.GetDuration(duration);
  EXPECT_EQ(duration, 2 * UNITS);
}

TEST(RenderEngine, CallsOutOfOrderFailWithoutRendering) {
  TRenderEngine engine;
  int32_t event = 0;
  TGroupPin pin;
  EXPECT_EQ(engine.Run(), ME_UNEXPECTED);
  EXPECT_EQ(engine.WaitForCompletion(10, event), ME_UNEXPECTED);
  EXPECT_EQ(engine.GetGroupOutputPin(0, pin), ME_UNEXPECTED);
  TMediaTimeline empty;
  EXPECT_EQ(engine.SetTimelineObject(&empty), ME_OK);
  EXPECT_EQ(engine.ConnectFrontEnd(), ME_INVALIDARG);
  EXPECT_EQ(engine.SetOutputFileName("/no/such/folder/out.avi"), static_cast<TMediaResult>(0x80070002u));
  EXPECT_NE(engine.GetErrorText().find("No such file"), std::string::npos);
}

}  // namespace
}  // namespace rw
