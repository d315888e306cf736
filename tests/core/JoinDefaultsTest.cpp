#include "core/JoinDefaults.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"

namespace rw {
namespace {

TVideoFileInfo Entry(uint16_t Width, uint16_t Height, double Rate) {
  TVideoFileInfo f;
  f.Width = Width;
  f.Height = Height;
  f.FrameRate = Rate;
  return f;
}

TJoinDefaults DefaultsFor(const std::vector<TVideoFileInfo>& Entries) {
  TFileInfoList list;
  for (const auto& e : Entries) list.push_back(&e);
  return ComputeJoinDefaults(list, FillFrameRates(list));
}

TEST(JoinDefaults, SmallestSizeRoundedDownAndResizeByTheLargestDifference) {
  TJoinDefaults d = DefaultsFor({Entry(352, 288, 25), Entry(720, 576, 25)});
  EXPECT_EQ(d.Width, 352);
  EXPECT_EQ(d.Height, 288);
  EXPECT_EQ(ResizeMethodItems()[static_cast<size_t>(d.ResizeIndex)], "Letterbox");

  d = DefaultsFor({Entry(356, 240, 25)});
  EXPECT_EQ(d.Width, 352);
  EXPECT_EQ(d.Height, 240);
  EXPECT_EQ(ResizeMethodItems()[static_cast<size_t>(d.ResizeIndex)], "No resize");

  // The difference counts against the rounded size: 8 more pixels asks for letterbox.
  d = DefaultsFor({Entry(359, 240, 25), Entry(367, 240, 25)});
  EXPECT_EQ(d.Width, 352);
  EXPECT_EQ(d.ResizeIndex, riLetterbox);
}

TEST(JoinDefaults, RateListSortedAsTextWithTheLowestSelected) {
  TJoinDefaults d = DefaultsFor({Entry(320, 240, 29.97), Entry(320, 240, 25)});
  EXPECT_EQ(d.FrameRates, (std::vector<std::string>{"24.00", "25.00", "29.97"}));
  EXPECT_EQ(d.FrameRates[static_cast<size_t>(d.FrameRateIndex)], "25.00");

  d = DefaultsFor({Entry(320, 240, 100), Entry(320, 240, 12.5)});
  EXPECT_EQ(d.FrameRates, (std::vector<std::string>{"100.00", "12.50", "24.00", "25.00", "29.97"}));
  EXPECT_EQ(d.FrameRates[static_cast<size_t>(d.FrameRateIndex)], "12.50");

  // Header rates no pictures are made at are neither offered nor proposed: every proposal is
  // one the command line takes.
  d = DefaultsFor({Entry(320, 240, 1e-6), Entry(320, 240, 1e6), Entry(320, 240, 1000)});
  EXPECT_EQ(d.FrameRates, (std::vector<std::string>{"24.00", "25.00", "29.97"}));
  EXPECT_EQ(d.FrameRates[static_cast<size_t>(d.FrameRateIndex)], "24.00");
  d = DefaultsFor({Entry(320, 240, 1e-6), Entry(320, 240, 0.5)});
  EXPECT_EQ(d.FrameRates[static_cast<size_t>(d.FrameRateIndex)], "0.50");

  // A rate that is not among the items is appended to them.
  TVideoFileInfo e = Entry(320, 240, 15);
  d = ComputeJoinDefaults({&e}, {"24.00"});
  EXPECT_EQ(d.FrameRates, (std::vector<std::string>{"24.00", "15.00"}));
  EXPECT_EQ(d.FrameRateIndex, 1);
}

TEST(JoinDefaults, RatesUseTheDecimalSeparator) {
  std::vector<std::string> list;
  EXPECT_EQ(AddFrameRate(list, 29.97, ','), 0);
  EXPECT_EQ(AddFrameRate(list, 29.970001, ','), 0);
  EXPECT_EQ(list, std::vector<std::string>{"29,97"});
  EXPECT_DOUBLE_EQ(ParseFrameRate("29,97", ','), 29.97);
  EXPECT_DOUBLE_EQ(ParseFrameRate("25.00"), 25.0);
  EXPECT_THROW(ParseFrameRate("25,00"), Exception);
  EXPECT_THROW(ParseFrameRate(""), Exception);
}

TEST(JoinDefaults, PreferredCompressors) {
  const std::vector<std::string> video = {"Cinepak", "XviD MPEG-4 Codec", "DivX Pro 5",
                                          "Other divx"};
  EXPECT_EQ(SelectDefaultVideoCompressor(video, -1), 3);
  EXPECT_EQ(SelectDefaultVideoCompressor({"Cinepak", "xvid"}, 0), 1);
  EXPECT_EQ(SelectDefaultVideoCompressor({"Cinepak"}, 0), 0);
  EXPECT_EQ(SelectDefaultVideoCompressor({"Cinepak"}, -1), -1);
  // "mpeg" ranks before "pcm"; "MPEG Layer-3" holds no "mp3".
  EXPECT_EQ(SelectDefaultAudioCompressor({"No-compressing", "PCM", "MPEG Layer-3"}, -1), 2);
  EXPECT_EQ(SelectDefaultAudioCompressor({"No-compressing", "Lame MP3", "MPEG Layer-3"}, -1), 1);
}

}  // namespace
}  // namespace rw
