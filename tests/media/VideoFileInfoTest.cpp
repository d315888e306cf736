#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "media/AVIRead.h"
#include "media/VideoFileInfo.h"
#include "support/Fixtures.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::TAVIBuilder;
using test::TIndexKind;

class VideoUtilsTest : public ::testing::Test {
protected:
  std::string WriteBytes(const std::string& Bytes) {
    std::string f = Dir.File("f" + std::to_string(++Count));
    test::WriteFileBytes(f, Bytes);
    return f;
  }
  std::string TypeOf(const std::string& Bytes) { return GetVideoFileTypeName(WriteBytes(Bytes)); }
  // The error that describing the file raises, "" when it is described.
  std::string InfoError(const std::string& File) {
    try {
      CreateVideoFileInfo(File);
    } catch (const Exception& e) {
      return e.what();
    }
    return "";
  }
  // A file of Pictures empty pictures (Length by default) whose header claims Length.
  std::unique_ptr<TVideoFileInfo> Info(uint32_t Rate, uint32_t Scale, uint32_t Length,
                                       int64_t Pictures = -1,
                                       TIndexKind Index = TIndexKind::Idx1Relative) {
    TAVIBuilder b = test::SimpleAVI(0, false, Index);
    b.StreamList[0].Header.Rate = Rate;
    b.StreamList[0].Header.Scale = Scale;
    b.StreamList[0].Header.Length = Length;
    for (int64_t i = 0; i < (Pictures < 0 ? Length : Pictures); ++i) b.AddChunk(0, 0);
    return CreateVideoFileInfo(WriteBytes(b.Build()));
  }
  test::TTempDir Dir;
  int Count = 0;
};

std::string Pad(std::string Head) {
  Head.resize(20, '\x11');
  return Head;
}

TEST_F(VideoUtilsTest, SignaturesName20ByteHeads) {
  EXPECT_EQ(TypeOf(Pad(std::string("RIFF\x10\0\0\0AVI ", 12))), "AVI");
  EXPECT_EQ(TypeOf(Pad(std::string("RIFF\x10\0\0\0AVIX", 12))), "AVI");
  EXPECT_EQ(TypeOf(std::string("RIFF\x10\0\0\0AVI ", 12) + std::string(7, '\0')), "DirectShow");
  EXPECT_EQ(TypeOf(Pad(std::string("RIFF\x10\0\0\0WAVE", 12))), "DirectShow");
  EXPECT_EQ(TypeOf(Pad(std::string("\0\0\1\xBA\x44", 5))), "MPEG2");
  EXPECT_EQ(TypeOf(Pad(std::string("\0\0\1\xBA\x21", 5))), "MPEG1");
  EXPECT_EQ(TypeOf(Pad(std::string("\0\0\1\xB3", 4))), "MPEG1");
  EXPECT_EQ(TypeOf(Pad(std::string("\0\0\1\xE0", 4))), "DirectShow");
  EXPECT_EQ(TypeOf(Pad(std::string("\0\1\1\xB3", 4))), "DirectShow");
  EXPECT_EQ(TypeOf(Pad(".RMF")), "RealMedia");
  EXPECT_EQ(TypeOf(Pad("xRMF")), "RealMedia");
  EXPECT_EQ(TypeOf(Pad("RRMF")), "RealMedia");
  EXPECT_EQ(TypeOf(Pad(std::string("\x30\x26\xB2\x75\x8E\x66\xCF", 7))), "WMV");
  EXPECT_EQ(TypeOf(Pad(std::string("\x30\x26\xB2\x75\x8E\x66\x00", 7))), "DirectShow");
  EXPECT_EQ(TypeOf("hello"), "DirectShow");
  EXPECT_EQ(DetectFileType(WriteBytes("")), TVideoFileType::vftUnknown);
  EXPECT_EQ(DetectFileType(WriteBytes(Pad(std::string("\0\0\1\xB3", 4)))),
            TVideoFileType::vftMPEG1Video);
  EXPECT_EQ(DetectFileType(WriteBytes(Pad(std::string("\0\0\1\xBA\x21", 5)))),
            TVideoFileType::vftMPEG1System);
}

TEST_F(VideoUtilsTest, NonAVIFilesAreRefused) {
  struct TCase {
    const char* Format;
    const char* TypeName;
  };
  for (const TCase& c :
       {TCase{"mpeg", "MPEG1"}, TCase{"vob", "MPEG2"}, TCase{"asf", "WMV"},
        TCase{"rm", "RealMedia"}, TCase{"wav", "DirectShow"}, TCase{"mp4", "DirectShow"}}) {
    const std::string f = test::MakeOtherContainer(c.Format);
    EXPECT_EQ(GetVideoFileTypeName(f), c.TypeName) << c.Format;
    EXPECT_EQ(InfoError(f), "The file has unknown format") << c.Format;
  }
  EXPECT_EQ(InfoError(WriteBytes("just some text, not a video file\n")),
            "The file has unknown format");
  EXPECT_EQ(InfoError(WriteBytes("RIFF\x04")), "The file has unknown format");  // 5 bytes
  const std::string missing = "System Error.  Code: 2.\nNo such file or directory";
  EXPECT_EQ(InfoError(Dir.File("none.avi")), missing);
  EXPECT_THROW(GetVideoFileTypeName(Dir.File("none.avi")), EOSError);
  EXPECT_EQ(InfoError(Dir.Path().string()), "System Error.  Code: 21.\nIs a directory");
}

TEST_F(VideoUtilsTest, DescribesVideoAndAudio) {
  TAVIBuilder b = test::SimpleAVI(3, true, TIndexKind::None);
  b.StreamList[1].Format = test::WaveFormat(0x55, 0x0102, 48000, 0, 1);
  const std::string f = WriteBytes(b.Build());
  auto info = CreateVideoFileInfo(f);
  EXPECT_EQ(info->FileName, f);
  EXPECT_EQ(info->TypeName, "AVI");
  EXPECT_EQ(info->FileSize, static_cast<int64_t>(b.Build().size()));
  EXPECT_EQ(info->VideoFourCC, FourCC("FMP4"));
  EXPECT_EQ(info->Width, 64);
  EXPECT_EQ(info->Height, 48);
  EXPECT_TRUE(info->HasAudio);
  EXPECT_EQ(info->AudioFormatTag, 0x55);
  EXPECT_EQ(info->AudioChannels, 2);  // the low byte of the channel count
  EXPECT_EQ(info->AudioSampleRate, 48000u);
  EXPECT_EQ(info->AudioBitsPerSample, 0);
  EXPECT_FALSE(info->VideoMismatch || info->AudioMismatch);

  auto silent = Info(25, 1, 10);
  EXPECT_FALSE(silent->HasAudio);
  EXPECT_EQ(silent->AudioChannels + silent->AudioSampleRate + silent->AudioBitsPerSample +
                silent->AudioFormatTag,
            0u);
  EXPECT_TRUE(SameAudioFormat(*silent, *Info(30, 1, 10)));
}

TEST_F(VideoUtilsTest, FrameRateAndRoundedDuration) {
  auto ntsc = Info(30000, 1001, 2997);
  EXPECT_DOUBLE_EQ(ntsc->FrameRate, 30000.0 / 1001.0);
  EXPECT_EQ(ntsc->Duration, 100);
  EXPECT_EQ(Info(25, 1, 2512)->Duration, 100);
  EXPECT_EQ(Info(25, 1, 2513)->Duration, 101);
  // Halves go to the even neighbour.
  EXPECT_EQ(Info(2, 1, 201)->Duration, 100);
  EXPECT_EQ(Info(2, 1, 203)->Duration, 102);
  // A large scale does not overflow.
  EXPECT_EQ(Info(429496730, 0xFFFFFFFFu, 1000)->Duration, 10000);
  // A rate no pictures are made at (one in 136 years): the pictures at the stand-in rate.
  EXPECT_EQ(Info(1, 0xFFFFFFFFu, 1000)->ExactDuration, 1000 / StandInFrameRate);
  // A header that claims more pictures than the file holds: the file's own count.
  EXPECT_EQ(Info(25, 1, 0xFFFFFFFFu, 75)->Duration, 3);
  // A file cut short, without its index: the pictures that are there.
  EXPECT_EQ(Info(25, 1, 250, 75, TIndexKind::None)->Duration, 3);
}

TEST_F(VideoUtilsTest, FilesThatCannotBeDescribed) {
  TAVIBuilder b;
  b.AddStream(test::AudioHeader(44100, 1, 0), test::WaveFormat(1, 2, 44100, 16, 4));
  EXPECT_EQ(InfoError(WriteBytes(b.Build())), "The file has no video stream");
  const std::string undefined = "The video frame rate is not defined";
  EXPECT_THROW(Info(0, 1, 10), EAVIReadError);
  EXPECT_THROW(Info(25, 0, 10), EAVIReadError);
  try {
    Info(0, 0, 10);
  } catch (const Exception& e) {
    EXPECT_EQ(e.what(), undefined);
  }
}

TEST(VideoFormatComparison, RecordsWhatDiffers) {
  TVideoFileInfo first;
  first.TypeName = "AVI";
  first.VideoFourCC = FourCC("DIVX");
  first.Width = 320;
  first.Height = 240;
  first.FrameRate = 25;
  TVideoFileInfo a = first;
  EXPECT_TRUE(SameVideoFormat(a, first));
  // Rates are compared by value, to within 10 ppm: one rate written as two fractions matches.
  a.FrameRate = 25.0002;
  EXPECT_TRUE(SameVideoFormat(a, first));
  a.FrameRate = 25.0003;
  EXPECT_FALSE(SameVideoFormat(a, first));
  EXPECT_TRUE(a.FrameRateDiffers);
  EXPECT_FALSE(a.FrameSizeDiffers || a.VideoFormatDiffers);
  TVideoFileInfo ntsc = first;
  ntsc.FrameRate = 30000.0 / 1001;
  a = ntsc;
  a.FrameRate = 2997.0 / 100;
  EXPECT_TRUE(SameVideoFormat(a, ntsc));
  a.FrameRate = 30;
  EXPECT_FALSE(SameVideoFormat(a, ntsc));

  a = first;
  a.VideoFourCC = FourCC("divx");
  a.Height = 288;
  EXPECT_FALSE(SameVideoFormat(a, first));
  EXPECT_TRUE(a.VideoFormatDiffers && a.FrameSizeDiffers);
  EXPECT_FALSE(a.FrameRateDiffers);

  a = first;
  a.TypeName = "avi";
  EXPECT_FALSE(SameVideoFormat(a, first));
  EXPECT_TRUE(a.VideoFormatDiffers);
  // Fixing the difference clears the flag again.
  a.TypeName = "AVI";
  EXPECT_TRUE(SameVideoFormat(a, first));
  EXPECT_FALSE(a.VideoFormatDiffers);
}

TEST(AudioFormatComparison, EveryFieldCounts) {
  TVideoFileInfo stereo;
  stereo.HasAudio = true;
  stereo.AudioFormatTag = 1;
  stereo.AudioChannels = 2;
  stereo.AudioSampleRate = 44100;
  stereo.AudioBitsPerSample = 16;
  TVideoFileInfo b = stereo;
  EXPECT_TRUE(SameAudioFormat(b, stereo));
  b.AudioChannels = 1;
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  b = stereo;
  b.AudioSampleRate = 48000;
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  b = stereo;
  b.AudioBitsPerSample = 8;
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  b = stereo;
  b.AudioFormatTag = 0x55;
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  b = stereo;
  b.AudioSampleSize = 4;
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  b = stereo;
  b.AudioRate = 44100;
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  b = stereo;
  b.AudioSubFormat = std::string(16, '\1');
  EXPECT_FALSE(SameAudioFormat(b, stereo));
  EXPECT_FALSE(SameAudioFormat(TVideoFileInfo(), stereo));
}

// Sound that one decoder cannot read as one stream never matches, also where tag, channels,
// rate and bits agree: ffmpeg writes AC3 5.1 and 6-channel PCM both as WAVE_FORMAT_EXTENSIBLE
// 16-bit, and 32-bit integer and float PCM differ only in the sub-format; MP3 with frames
// timed per chunk (VBR) and by bytes (CBR, as mencoder writes it) cannot share one header.
TEST_F(VideoUtilsTest, SoundThatCannotBeOneStreamDoesNotMatch) {
  std::vector<std::unique_ptr<TVideoFileInfo>> infos;
  for (const char* codec : {"ac3", "pcm_s16le", "pcm_s32le", "pcm_f32le"}) {
    test::TClipSpec clip;
    clip.Frames = 5;
    clip.Audio = codec;
    clip.Channels = 6;
    clip.SampleRate = 48000;
    infos.push_back(CreateVideoFileInfo(test::MakeClip(clip)));
    EXPECT_EQ(infos.back()->AudioChannels, 6) << codec;
  }
  auto mp3 = [&](uint32_t Scale, uint32_t Rate, uint32_t SampleSize, uint16_t BlockAlign) {
    TAVIBuilder b = test::SimpleAVI(5, false, TIndexKind::Idx1Relative);
    b.AddStream(test::AudioHeader(Rate, Scale, SampleSize),
                test::WaveFormat(0x55, 2, 44100, 0, BlockAlign));
    return CreateVideoFileInfo(WriteBytes(b.Build()));
  };
  infos.push_back(mp3(1152, 44100, 0, 1152));  // VBR
  infos.push_back(mp3(1152, 44100, 0, 576));   // the same but for its block align
  infos.push_back(mp3(1, 16000, 1, 1));        // CBR at 128 kbit/s
  infos.push_back(mp3(1, 24000, 1, 1));        // CBR at 192 kbit/s
  for (size_t i = 0; i < infos.size(); ++i)
    for (size_t j = 0; j < infos.size(); ++j)
      EXPECT_EQ(SameAudioFormat(*infos[i], *infos[j]), i == j) << i << " " << j;
  // The same sound written again matches, however its timing fractions are reduced.
  EXPECT_TRUE(SameAudioFormat(*mp3(1152, 44100, 0, 1152), *mp3(128, 4900, 0, 1152)));
}

// A slide show of one picture every ten seconds is a rate pictures are made at; the join's own
// most, a thousand a second, is not.
TEST(PlausibleFrameRate, TakesSlideShowsUpToBelowTheJoinsMost) {
  EXPECT_TRUE(PlausibleFrameRate(1.0 / 10));
  EXPECT_FALSE(PlausibleFrameRate(0.0999));
  EXPECT_TRUE(PlausibleFrameRate(999.99));
  EXPECT_FALSE(PlausibleFrameRate(1000));
}

}  // namespace
}  // namespace rw
