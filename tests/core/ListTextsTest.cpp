#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/ListTexts.h"
#include "core/NaturalOrder.h"
#include "media/RiffFormat.h"
#include "support/Fixtures.h"

namespace rw {
namespace {

TEST(ListTexts, DurationRoundsHalvesToEvenAndAddsHoursFromOneHourOn) {
  EXPECT_EQ(FormatDuration(0), "00:00");
  EXPECT_EQ(FormatDuration(2.5), "00:02");
  EXPECT_EQ(FormatDuration(3.5), "00:04");
  EXPECT_EQ(FormatDuration(59.5), "01:00");
  EXPECT_EQ(FormatDuration(3599), "59:59");
  EXPECT_EQ(FormatDuration(3599.5), "01:00:00");
  EXPECT_EQ(FormatDuration(3600), "01:00:00");
  EXPECT_EQ(FormatDuration(3600 + 61), "01:01:01");
  EXPECT_EQ(FormatDuration(100.0 * 3600), "100:00:00");
}

TEST(ListTexts, DurationOfValuesNoFileHoldsStaysDefined) {
  EXPECT_EQ(FormatDuration(-5), "00:00");
  EXPECT_EQ(FormatDuration(std::numeric_limits<double>::quiet_NaN()), "00:00");
  EXPECT_FALSE(FormatDuration(1e30).empty());
  EXPECT_FALSE(FormatDuration(std::numeric_limits<double>::infinity()).empty());
}

TEST(ListTexts, TypeIsAviWithTheCodecLowestByteFirstEvenWhenTheCodecIsZero) {
  EXPECT_EQ(FourCCToStr(0x20495641), "AVI ");
  TVideoFileInfo info;
  info.TypeName = "AVI";
  EXPECT_EQ(TypeText(info), "AVI:");
  info.VideoFourCC = 0x44495658;  // 'XVID'
  EXPECT_EQ(TypeText(info), "AVI:XVID");
  info.TypeName = "MPEG1";
  EXPECT_EQ(TypeText(info), "MPEG1");
}

TEST(ListTexts, FrameRateIsWholeOrHasTwoDecimals) {
  EXPECT_EQ(FrameRateText(25.0, "."), "25");
  EXPECT_EQ(FrameRateText(4294967295.0, "."), "4294967295");
  EXPECT_EQ(FrameRateText(29.97, "."), "29.97");
  EXPECT_EQ(FrameRateText(30000.0 / 1001, "."), "29.97");
  EXPECT_EQ(FrameRateText(23.976, ","), "23,98");
  EXPECT_EQ(FrameRateText(12.5, "."), "12.50");
  // Seven significant digits before the two decimals.
  EXPECT_EQ(FrameRateText(123456.789, "."), "123456.80");
  EXPECT_FALSE(FrameRateText(1e12 / 3, ".").empty());
  EXPECT_EQ(FrameRateText(29.97), "29.97");  // the C locale's separator
  // Under a comma-decimal locale the rates keep their digits and take its separator.
  test::TCommaDecimalLocale comma;
  EXPECT_EQ(FrameRateText(29.97), "29,97");
  EXPECT_EQ(FrameRateText(24000.0 / 1001), "23,98");
  EXPECT_EQ(FrameRateText(12.5), "12,50");
  EXPECT_EQ(ShortRateText(44.1, UserDecimalSeparator()), "44,1");
}

TEST(ListTexts, AudioNamesRateAndChannels) {
  TVideoFileInfo info;
  EXPECT_EQ(AudioText(info), "none");
  info.HasAudio = true;
  info.AudioSampleRate = 44100;
  info.AudioChannels = 2;
  EXPECT_EQ(AudioText(info), "44KHz Stereo");
  // More than two channels are not stereo: their count is said.
  info.AudioSampleRate = 48000;
  info.AudioChannels = 6;
  EXPECT_EQ(AudioText(info), "48KHz 6ch");
  info.AudioSampleRate = 22050;
  info.AudioChannels = 1;
  EXPECT_EQ(AudioText(info), "22KHz Mono");
  info.AudioSampleRate = 999;
  EXPECT_EQ(AudioText(info), "0KHz Mono");
}

TEST(ListTexts, FolderKeepsTheRootAndDoubledDelimiters) {
  EXPECT_EQ(FolderText("/clips/a.avi"), "/clips");
  EXPECT_EQ(FolderText("/a.avi"), "/");
  EXPECT_EQ(FolderText("a.avi"), "");
  EXPECT_EQ(FolderText("clips//a.avi"), "clips//");
  EXPECT_EQ(FolderText("/clips/"), "/clips");
  EXPECT_EQ(FileNameText("/clips/a b.avi"), "a b.avi");
  EXPECT_EQ(FileNameText("a.avi"), "a.avi");
  EXPECT_EQ(FileNameText("/clips/"), "");
}

TEST(ListTexts, RowTextsFollowTheColumns) {
  TVideoFileInfo info;
  info.FileName = "/clips/take 1.avi";
  info.TypeName = "AVI";
  info.VideoFourCC = 0x3234504D;  // 'MP42'
  info.Width = 65535;
  info.Height = 480;
  info.FrameRate = 25;
  info.Duration = 61;
  const TRowTexts texts = RowTexts(info);
  EXPECT_EQ(texts[colFileName], "take 1.avi");
  EXPECT_EQ(texts[colDuration], "01:01");
  EXPECT_EQ(texts[colType], "AVI:MP42");
  EXPECT_EQ(texts[colFrameSize], "65535x480");
  EXPECT_EQ(texts[colFrameRate], "25");
  EXPECT_EQ(texts[colAudio], "none");
  EXPECT_EQ(texts[colFolder], "/clips");
}

// The tooltips of highlighted cells name the difference against the first file, and only a
// difference; several sound differences are named together.
TEST(ListTexts, DifferenceTextsNameWhatDiffersFromTheFirstFile) {
  TVideoFileInfo first;
  first.TypeName = "AVI";
  first.VideoFourCC = FourCC("DIVX");
  first.Width = 640;
  first.Height = 480;
  first.FrameRate = 25;
  first.HasAudio = true;
  first.AudioFormatTag = 0x55;
  first.AudioSampleRate = 44100;
  first.AudioChannels = 2;
  first.AudioBitsPerSample = 16;
  TVideoFileInfo row = first;
  for (int c = 0; c < colCount; ++c) EXPECT_EQ(DifferenceText(row, first, c), "") << c;

  row.VideoFourCC = FourCC("XVID");
  row.Width = 352;
  row.FrameRate = 12.5;
  row.AudioFormatTag = 0x50;
  EXPECT_EQ(DifferenceText(row, first, colType), "Codec XVID; the first file has DIVX");
  EXPECT_EQ(DifferenceText(row, first, colFrameSize), "352x480; the first file has 640x480");
  EXPECT_EQ(DifferenceText(row, first, colFrameRate), "12.5 fps; the first file has 25");
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "MP2 sound, 44.1 kHz; the first file has MP3, 44.1 kHz");
  EXPECT_EQ(DifferenceText(row, first, colDuration), "");
  // In the words a listener uses: bits only where samples are plain.
  row.AudioFormatTag = 1;
  row.AudioSampleRate = 48000;
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "PCM sound, 48 kHz, 16-bit; the first file has MP3, 44.1 kHz");
  // Extensible sound is named by its codec, and six channels as people count them.
  row.AudioFormatTag = riff::waveFormatExtensible;
  row.AudioCodecTag = riff::wavePCM;
  first.AudioFormatTag = first.AudioCodecTag = riff::waveAc3;
  first.AudioChannels = 6;
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "PCM sound, 48 kHz, 16-bit, Stereo; the first file has AC-3, 44.1 kHz, 5.1");
  first.AudioFormatTag = first.AudioCodecTag = 0x55;
  first.AudioChannels = 2;
  row.AudioCodecTag = 0;
  row.AudioFormatTag = 0x50;

  row.AudioSampleRate = 22050;
  row.AudioChannels = 1;
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "MP2 sound, 22.05 kHz, Mono; the first file has MP3, 44.1 kHz, Stereo");
  row.HasAudio = false;
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "No sound; the first file has MP3 sound, 44.1 kHz");
  first.HasAudio = false;
  row.HasAudio = true;
  EXPECT_EQ(DifferenceText(row, first, colAudio), "MP2 sound, 22.05 kHz; the first file has none");
  // Two files without sound do not differ in it.
  row.HasAudio = false;
  EXPECT_EQ(DifferenceText(row, first, colAudio), "");

  // Whatever highlights a cell is named: constant- beside variable-rate MP3, and a rate written
  // two ways is one rate.
  first = TVideoFileInfo{};
  first.FrameRate = 30000.0 / 1001;
  first.HasAudio = true;
  first.AudioFormatTag = 0x55;
  first.AudioSampleSize = 1;
  first.AudioBlockAlign = 1;
  row = first;
  row.FrameRate = 29.97;
  row.AudioSampleSize = 0;
  row.AudioBlockAlign = 1152;
  EXPECT_EQ(DifferenceText(row, first, colFrameRate), "");
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "Differently stored sound; the first file has its own");
  row = first;
  row.AudioRate = 38.28;
  EXPECT_EQ(DifferenceText(row, first, colAudio),
            "Differently stored sound; the first file has its own");

  EXPECT_EQ(SoundCodecName(1), "PCM");
  EXPECT_EQ(SoundCodecName(0x1234), "format 0x1234");
  EXPECT_EQ(ShortRateText(29.97, ","), "29,97");
  EXPECT_EQ(ShortRateText(24000.0 / 1001, "."), "23.976");
  EXPECT_EQ(ShortRateText(25, "."), "25");
  EXPECT_EQ(JoinProblemText(first), "");
}

}  // namespace
}  // namespace rw

namespace rw {
namespace {

TEST(NaturalOrder, NumbersByValueTextIgnoringCase) {
  std::vector<std::string> names = {"MVI part 10.avi", "MVI part 2.avi", "mvi part 11.avi",
                                    "MVI part 9.avi",  "MVI part 1.avi", "MVI part 1b.avi"};
  SortNatural(names);
  EXPECT_EQ(names,
            (std::vector<std::string>{"MVI part 1.avi", "MVI part 1b.avi", "MVI part 2.avi",
                                      "MVI part 9.avi", "MVI part 10.avi", "mvi part 11.avi"}));
  // Leading zeros: the value decides; an equal value is decided by the rest of the name, and
  // only then the shorter number comes first.
  names = {"/c/clip010.avi", "/c/clip9.avi",   "/c/clip0002.avi",
           "/c/clip2.avi",   "/c/clip01b.avi", "/c/clip1c.avi"};
  SortNatural(names);
  EXPECT_EQ(names, (std::vector<std::string>{"/c/clip01b.avi", "/c/clip1c.avi", "/c/clip2.avi",
                                             "/c/clip0002.avi", "/c/clip9.avi", "/c/clip010.avi"}));
  // Numbers longer than any integer type, and a name that is a prefix of another.
  EXPECT_LT(NaturalCompare("a99999999999999999999999", "a100000000000000000000000"), 0);
  EXPECT_LT(NaturalCompare("a", "a1"), 0);
  // Where one name has a number, the other's character there meets its first digit.
  names = {"B9.avi", "ba.avi", "b.avi", "b10"};
  SortNatural(names);
  EXPECT_EQ(names, (std::vector<std::string>{"b.avi", "B9.avi", "b10", "ba.avi"}));
  EXPECT_GT(NaturalCompare("B", "a"), 0);
  EXPECT_EQ(NaturalCompare("Clip", "cLIP"), 0);
  // The text between the numbers is compared by the caller's collation.
  auto reversed = [](std::string_view A, std::string_view B) { return -A.compare(B); };
  EXPECT_GT(NaturalCompare("a2", "b10", reversed), 0);
}

}  // namespace
}  // namespace rw
