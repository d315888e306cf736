#include "recompress/RecompressJoiner.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

#include "engine/EngineLoader.h"
#include "join/JoinProgress.h"
#include "media/AVIRead.h"
#include "media/RiffFormat.h"
#include "platform/Errors.h"
#include "recompress/CompressorList.h"
#include "support/Fixtures.h"
#include "support/JoinCheck.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/PeerCheck.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using test::TClip;

std::shared_ptr<TCompressorFilter> Encoder(const std::string& Name) {
  std::shared_ptr<TCompressorFilter> f = GetCompressorFilter({{Name, Name}}, 0);
  EXPECT_NE(f, nullptr) << Name;
  return f;
}

// A progress that answers for the user: Answer gets every percentage and says whether to stop.
// Calls records the contract's order: S for SetProgress, C for IsCancelled.
class TAnsweringProgress : public TProgressTracker {
public:
  explicit TAnsweringProgress(std::function<bool(double Percent)> Answer)
      : FAnswer(std::move(Answer)) {}
  void SetProgress(double Percent) override {
    Calls += "S";
    FCancel = FAnswer(Percent);
  }
  bool IsCancelled() override {
    Calls += "C";
    return FCancel;
  }
  std::string Calls;

private:
  std::function<bool(double)> FAnswer;
  bool FCancel = false;
};

// Rewrites the clip File (pictures and sound) with a camera's recording date in its header
// and a title in its 'INFO' list.
void AddCameraFacts(const std::string& File) {
  TAVIFileReader reader;
  reader.Open(File, true);
  test::TAVIBuilder b;
  b.Main = reader.MainHeader();
  b.AddStream(reader.VideoStream()->Header, reader.VideoStream()->Format);
  b.AddStream(reader.AudioStream()->Header, reader.AudioStream()->Format);
  b.HdrlExtra = test::Chunk(FourCC("IDIT"), "SUN DEC 06 10:20:30 2026\n");
  b.TopLevelExtra = test::List(riff::listInfo, test::Chunk(FourCC("INAM"), "Harbour"));
  const auto video = test::StreamChunks(File, true), sound = test::StreamChunks(File, false);
  for (size_t v = 0, a = 0; v < video.size(); ++v) {
    b.AddChunkData(0, video[v].Data, video[v].KeyFrame);
    for (; a < (v + 1) * sound.size() / video.size(); ++a) b.AddChunkData(1, sound[a].Data);
  }
  b.Write(File);
}

class DSJoinTest : public ::testing::Test {
protected:
  std::string Clip(const std::string& Name, const TClip& C) {
    std::string f = Dir.File(Name);
    test::MakeClipFile(f, C);
    return f;
  }
  // A joiner of Files into out.avi: 64x48 pictures at 25 a second, through Video (none:
  // uncompressed).
  TDSVideoJoiner SmallJoiner(const std::vector<std::string>& Files,
                             std::shared_ptr<TCompressorFilter> Video = nullptr) {
    TDSVideoJoiner j;
    j.FFiles = Files;
    j.FOutFileName = Dir.File("out.avi");
    j.FWidth = 64;
    j.FHeight = 48;
    j.FFrameRate = 25;
    j.FVideoCompressor = std::move(Video);
    return j;
  }
  test::TTempDir Dir;
};

TEST_F(DSJoinTest, PlanPlacesSourcesBackToBack) {
  TClip a;
  a.Seconds = 1.0;
  TClip b = a;
  b.Seconds = 0.6;
  b.AudioCodec.clear();
  TClip c = a;
  c.Seconds = 2.0;
  TDSVideoJoiner j;
  j.FFiles = {Clip("a.avi", a), Clip("b.avi", b), Clip("c.avi", c)};
  j.FResizeMethod = rmNoResize;
  j.FOutFileName = Dir.File("out.avi");
  const TRenderPlan plan = j.BuildPlan();

  EXPECT_EQ(plan.Width, 320);
  EXPECT_EQ(plan.Height, 240);
  EXPECT_DOUBLE_EQ(plan.Rate, 24.0);
  EXPECT_EQ(plan.StretchMode, RESIZEF_CROP);
  EXPECT_EQ(plan.OutFileName, j.FOutFileName);
  // Uncompressed: no encoder names.
  EXPECT_EQ(plan.Video.Name + plan.Audio.Name, "");
  // Each file whole, in order; the sources span 0-1 s, 1-1.6 s and 1.6-3.6 s.
  ASSERT_EQ(plan.Sources.size(), 3u);
  const double lengths[] = {1.0, 0.6, 2.0};
  for (size_t i = 0; i < plan.Sources.size(); ++i) {
    EXPECT_EQ(plan.Sources[i].FileName, j.FFiles[i]);
    EXPECT_NEAR(plan.Sources[i].Length, lengths[i], 0.04) << i;
  }
  // The silent file leaves its stretch of the sound empty.
  EXPECT_TRUE(plan.Sources[0].HasSound);
  EXPECT_FALSE(plan.Sources[1].HasSound);
  EXPECT_TRUE(plan.Sources[2].HasSound);
}

TEST_F(DSJoinTest, MixedSourcesJoinToTheChosenFormat) {
  TClip a;
  a.Width = 320;
  a.Height = 240;
  a.Rate = "30";
  a.AudioCodec = "libmp3lame";
  a.SampleRate = 48000;
  TClip b;
  b.Width = 176;
  b.Height = 144;
  b.Rate = "15";
  b.VideoCodec = "mjpeg";
  b.SampleRate = 22050;
  b.Channels = 1;
  TClip c;
  c.Width = 200;
  c.Height = 100;
  c.Seconds = 0.8;
  c.VideoCodec = "rawvideo";
  c.AudioCodec.clear();
  TDSVideoJoiner j;
  j.FFiles = {Clip("a.avi", a), Clip("b.avi", b), Clip("c.avi", c)};
  j.FOutFileName = Dir.File("out.mpeg");  // an AVI file, whatever the extension
  j.FWidth = 160;
  j.FHeight = 120;
  j.FFrameRate = 25;
  j.FVideoCompressor = Encoder("mpeg4");
  j.FAudioCompressor = Encoder("libmp3lame");
  j.Join();

  EXPECT_EQ(test::DecodeErrors(j.FOutFileName), "");
  std::string format;
  test::RunCommand("ffprobe -v error -show_entries format=format_name -of csv=p=0 " +
                       test::ShellQuote(j.FOutFileName),
                   &format);
  EXPECT_EQ(format, "avi\n");
  auto v = test::ProbeStream(j.FOutFileName, "v:0");
  EXPECT_EQ(v["codec_name"], "mpeg4");
  EXPECT_EQ(v["width"], "160");
  EXPECT_EQ(v["height"], "120");
  EXPECT_EQ(v["r_frame_rate"], "25/1");
  auto s = test::ProbeStream(j.FOutFileName, "a:0");
  EXPECT_EQ(s["codec_name"], "mp3");
  EXPECT_EQ(s["sample_rate"], "44100");
  EXPECT_EQ(s["channels"], "2");
  // The sum of the sources, within one frame per source.
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "v:0"), 2.8, 3 / 25.0);
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "a:0"), 2.8, 3 / 25.0);
}

TEST_F(DSJoinTest, UncompressedJoinKeepsSoundWithItsPictures) {
  // Red with a tone, green without sound, blue with a tone of another format.
  TClip a;
  a.Color = "red";
  a.Seconds = 1.0;
  TClip b = a;
  b.Color = "lime";
  b.Seconds = 0.6;
  b.AudioCodec.clear();
  TClip c = a;
  c.Color = "blue";
  c.Rate = "12";
  c.SampleRate = 8000;
  c.Channels = 1;
  c.AudioCodec = "pcm_u8";
  // The first source is a camera's: its recording date and title are kept.
  const std::string first = Clip("a.avi", a);
  AddCameraFacts(first);
  TDSVideoJoiner j = SmallJoiner({first, Clip("b.avi", b), Clip("c.avi", c)});
  j.FSoftware = "Reelwright 9.99";
  j.Join();

  EXPECT_EQ(test::DecodeErrors(j.FOutFileName), "");
  TAVIFileReader reader;
  reader.Open(j.FOutFileName, true);
  EXPECT_EQ(reader.Facts().RecordingDate, "SUN DEC 06 10:20:30 2026");
  EXPECT_EQ(reader.Facts().Info,
            (std::vector<std::pair<uint32_t, std::string>>{{FourCC("ISFT"), "Reelwright 9.99"},
                                                           {FourCC("INAM"), "Harbour"}}));
  const std::string said = test::RunTool("ffprobe -v error -show_entries format_tags " +
                                         test::ShellQuote(j.FOutFileName));
  EXPECT_NE(said.find("creation_time=2026-12-06"), std::string::npos) << said;
  auto v = test::ProbeStream(j.FOutFileName, "v:0");
  EXPECT_EQ(v["codec_name"], "rawvideo");
  EXPECT_EQ(v["pix_fmt"], "bgr24");
  // Every picture is one image of 64 x 48 x 3 bytes.
  std::string sizes;
  test::RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 " +
                       test::ShellQuote(j.FOutFileName) + " | sort -u",
                   &sizes);
  EXPECT_EQ(sizes, "9216\n");
  auto s = test::ProbeStream(j.FOutFileName, "a:0");
  EXPECT_EQ(s["codec_name"], "pcm_s16le");
  EXPECT_EQ(s["sample_rate"], "44100");
  EXPECT_EQ(s["channels"], "2");

  // Each source's pictures start at its frame of the output: frame 24 is red, 25 green,
  // 39 green, 40 blue (grey levels of the three colours differ).
  auto grey = [&](int N) {
    return static_cast<unsigned char>(test::GreyFrame(j.FOutFileName, N).at(64 * 24 + 32));
  };
  const int red = grey(24), green = grey(25), blue = grey(40);
  EXPECT_EQ(grey(0), red);
  EXPECT_EQ(grey(39), green);
  EXPECT_GT(std::abs(red - green), 30);
  EXPECT_GT(std::abs(green - blue), 30);
  // The silent stretch is that of the green source, within 40 ms at each boundary.
  auto silence = test::SilentStretches(j.FOutFileName);
  ASSERT_EQ(silence.size(), 1u);
  EXPECT_NEAR(silence[0].Start, 1.0, 0.04);
  EXPECT_NEAR(silence[0].End, 1.6, 0.04);
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "a:0"), 2.6, 0.04);
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "v:0"), 2.6, 0.04);
}

// One encoder pair and the output rate it is tried at.
struct TSyncCase {
  const char* Video;
  const char* Audio;
  double Rate;
  int BFrames = 0;  // B-frames the user asked for in the compressor's options
};

void PrintTo(const TSyncCase& Case, std::ostream* Out) {
  *Out << Case.Video << " + " << Case.Audio << " at " << Case.Rate << " fps, " << Case.BFrames
       << " B-frames";
}

std::string SyncCaseName(const ::testing::TestParamInfo<TSyncCase>& Info) {
  std::string name = std::string(Info.param.Video) + "_" + Info.param.Audio +
                     (Info.param.BFrames ? "_bf" + std::to_string(Info.param.BFrames) : "");
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

class DSJoinSyncTest : public DSJoinTest, public ::testing::WithParamInterface<TSyncCase> {};

TEST_P(DSJoinSyncTest, EveryBoundaryKeepsItsSourcesSync) {
  // Three sources of other rates and sound formats, each with a flash and a beep; the second
  // one's beep comes 60 ms after its flash, and that offset must stay.
  TClip a;
  a.Rate = "25";
  a.Flash = 0.4;
  TClip b;
  b.Rate = "30";
  b.Width = 176;
  b.Height = 144;
  b.SampleRate = 48000;
  b.Channels = 1;
  b.Flash = 0.6;
  b.BeepDelay = 0.06;
  TClip c;
  c.Rate = "15";
  c.VideoCodec = "mjpeg";
  c.SampleRate = 22050;
  c.Seconds = 1.2;
  c.Flash = 0.2;
  TDSVideoJoiner j;
  j.FFiles = {Clip("a.avi", a), Clip("b.avi", b), Clip("c.avi", c)};
  j.FOutFileName = Dir.File("out.avi");
  j.FWidth = 160;
  j.FHeight = 120;
  j.FFrameRate = GetParam().Rate;
  j.FVideoCompressor = Encoder(GetParam().Video);
  j.FAudioCompressor = Encoder(GetParam().Audio);
  // B-frames make players show pictures late; the join makes up for it.
  ASSERT_NO_THROW(j.FVideoCompressor->SetOption("bf", std::to_string(GetParam().BFrames)));
  j.Join();
  j.FVideoCompressor->SetOption("bf", "0");

  EXPECT_EQ(test::DecodeErrors(j.FOutFileName), "");
  // Each picture timed by its slot: a time ffmpeg guesses for B-frames carries the decoder's
  // reorder delay and would hide pictures shown early.
  const std::vector<double> flashes = test::FlashSlots(j.FOutFileName);
  const std::vector<double> beeps = test::BeepOnsets(j.FOutFileName);
  ASSERT_EQ(flashes.size(), 3u);
  ASSERT_EQ(beeps.size(), 3u);
  const double halfFrame = 0.5 / GetParam().Rate;
  const double starts[] = {0, 1, 2}, offsets[] = {0, 0.06, 0};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(beeps[i] - flashes[i], offsets[i], halfFrame) << "source " << i;
    // Neither the pictures nor the sound of a source are moved as a whole.
    EXPECT_NEAR(beeps[i],
                starts[i] + (i == 2   ? 0.2
                             : i == 1 ? 0.66
                                      : 0.4),
                halfFrame)
        << "source " << i;
    EXPECT_NEAR(flashes[i],
                starts[i] + (i == 2   ? 0.2
                             : i == 1 ? 0.6
                                      : 0.4),
                halfFrame)
        << "source " << i;
  }
  // The first picture and the first sound both start at 0, without an empty leading chunk.
  std::string first;
  test::RunCommand(
      "ffprobe -v error -show_entries packet=stream_index,dts_time,size -read_intervals %+#6 -of "
      "csv=p=0 " +
          test::ShellQuote(j.FOutFileName),
      &first);
  EXPECT_NE(first.find("0,0.000000,"), std::string::npos) << first;
  EXPECT_NE(first.find("1,0.000000,"), std::string::npos) << first;
  EXPECT_EQ(first.find(",0\n"), std::string::npos) << first;
  // Pictures as AVI players expect them: 4:2:0, no B-frames, NTSC rates as 30000/1001.
  auto v = test::ProbeStream(j.FOutFileName, "v:0");
  EXPECT_TRUE(v["pix_fmt"] == "yuv420p" || v["pix_fmt"] == "yuvj420p") << v["pix_fmt"];
  if (GetParam().BFrames == 0) {
    EXPECT_EQ(v["has_b_frames"], "0");
  }
  if (GetParam().Rate == 29.97) {
    EXPECT_EQ(v["r_frame_rate"], "30000/1001");
  }
  // The sound lasts as long as the pictures, within a frame, for every player and tool.
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "a:0"), 3.2, 2 * halfFrame);
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "v:0"), 3.2, 2 * halfFrame);
  test::TPeerExpectation expect;
  expect.Pictures = static_cast<int>(std::lround(3.2 * GetParam().Rate));
  expect.Seconds = expect.SoundEnd = 3.2;
  expect.Tolerance = 2 * halfFrame;
  if (GetParam().BFrames > 0) {
    // With B-frames ffmpeg guesses times that carry its decoder's reorder delay, and GStreamer
    // times MPEG-4 pictures the same way (ffmpeg's own files alike): their ends may lie that
    // many pictures off. GStreamer times H.264 by the slots, and finds the flashes there.
    expect.Tolerance += 2.0 / GetParam().Rate;
    if (std::string(GetParam().Video) == "libx264") expect.Flashes = {0.4, 1.6, 2.2};
  } else {
    expect.Flashes = {0.4, 1.6, 2.2};
  }
  EXPECT_EQ(test::PeerComplaints(j.FOutFileName, expect), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(EncoderPairs, DSJoinSyncTest,
                         ::testing::Values(TSyncCase{"libx264", "libmp3lame", 25},
                                           TSyncCase{"mpeg4", "aac", 25},
                                           TSyncCase{"libxvid", "adpcm_ms", 25},
                                           TSyncCase{"mjpeg", "libshine", 25},
                                           TSyncCase{"mpeg2video", "ac3", 29.97},
                                           TSyncCase{"mpeg4", "libtwolame", 25, 2},
                                           TSyncCase{"libx264", "aac", 29.97, 3}),
                         SyncCaseName);

// The mean grey of each picture of the file, in decoded order.
std::vector<int> PictureGreys(const std::string& File) {
  std::string grey;
  test::RunCommand("ffmpeg -nostdin -v error -i " + test::ShellQuote(File) +
                       " -map 0:v:0 -fps_mode passthrough -vf scale=1:1:flags=area -f rawvideo "
                       "-pix_fmt gray -",
                   &grey);
  std::vector<int> greys;
  for (char g : grey) greys.push_back(static_cast<unsigned char>(g));
  return greys;
}

TEST_F(DSJoinTest, ACutSourceGivesItsPicturesInToOutAndTheSoundWithThem) {
  // The middle source: 60 pictures at 30 a second, each of its own grey level, with B-frames
  // and a key frame every 12; picture 38 turns bright as its sound beeps (at 38/30 s). It is
  // cut to pictures 7 to 44, neither of them a key frame.
  const std::string middle = Dir.File("middle.avi");
  test::RunTool(
      "ffmpeg -nostdin -v error -y -f lavfi -i "
      "\"color=c=black:size=64x48:rate=30,geq=lum='if(lt(N,38),20+2*N,200+N)':cb=128:cr=128\" "
      "-f lavfi -i \"aevalsrc='0.5*between(t,38/30,38/30+0.1)*sin(2*PI*1000*t)':s=44100\" -t 2 "
      "-c:v mpeg4 -q:v 2 -g 12 -bf 2 -c:a pcm_s16le " +
      test::ShellQuote(middle) + " 2>&1");
  TClip a;
  a.Flash = 0.4;
  TDSVideoJoiner j = SmallJoiner({Clip("a.avi", a), middle, Clip("c.avi", a)});
  j.FFrameRate = 30;
  j.FCuts = {{}, {7, 44}};
  j.Join();

  // Output pictures 30 to 67 are source pictures 7 to 44, one for one.
  const std::vector<int> source = PictureGreys(middle), out = PictureGreys(j.FOutFileName);
  ASSERT_EQ(source.size(), 60u);
  ASSERT_EQ(out.size(), 98u);
  for (int k = 0; k < 38; ++k) EXPECT_NEAR(out[30 + k], source[7 + k], 1) << "picture " << 30 + k;
  EXPECT_LT(out[29], 20);  // the first source's last picture
  EXPECT_LT(out[68], 20);  // the last source's first picture
  // Each flash with its beep, where its source's piece puts it.
  const double middleStart = 1, lastStart = 1 + 38 / 30.0;
  const std::vector<double> expected = {0.4, middleStart + (38 - 7) / 30.0, lastStart + 0.4};
  const std::vector<double> flashes = test::FlashSlots(j.FOutFileName),
                            beeps = test::BeepOnsets(j.FOutFileName);
  ASSERT_EQ(flashes.size(), 3u);
  ASSERT_EQ(beeps.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(flashes[i], expected[i], 0.017) << i;
    EXPECT_NEAR(beeps[i], expected[i], 0.027) << i;
  }
  const double seconds = lastStart + 1;
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "a:0"), seconds, 0.017);
  test::TPeerExpectation expect;
  expect.Pictures = 98;
  expect.Seconds = expect.SoundEnd = seconds;
  expect.Tolerance = 0.034;
  expect.Flashes = expected;
  EXPECT_EQ(test::PeerComplaints(j.FOutFileName, expect), std::vector<std::string>{});

  // A cut whose first slot is an empty chunk starts with the picture that chunk repeats: of a
  // source whose pictures 6 to 8 are empty chunks, slots 7 to 12 show pictures 5, 5, 9 to 12.
  const std::string gaps = Dir.File("gaps.avi");
  test::RunTool(
      "ffmpeg -nostdin -v error -y -f lavfi -i "
      "\"color=c=black:size=64x48:rate=30,geq=lum='20+3*N':cb=128:cr=128,"
      "select='not(between(n\\,6\\,8))'\" -t 2 -c:v mpeg4 -q:v 2 -fps_mode passthrough "
      "-an " +
      test::ShellQuote(gaps) + " 2>&1");
  TDSVideoJoiner g = SmallJoiner({gaps});
  g.FFrameRate = 30;
  g.FCuts = {{7, 12}};
  g.Join();
  const std::vector<int> held = PictureGreys(gaps), kept = PictureGreys(g.FOutFileName);
  ASSERT_EQ(held.size(), 57u);  // decoded: pictures 0 to 5, then 9 on
  ASSERT_EQ(kept.size(), 6u);
  const size_t shown[] = {5, 5, 6, 7, 8, 9};
  for (size_t k = 0; k < 6; ++k) EXPECT_NEAR(kept[k], held[shown[k]], 1) << "slot " << 7 + k;

  // A cut that keeps nothing of its source fails the join, naming the file.
  j.FCuts = {{}, {60, TPictureCut::ToEnd}};
  try {
    j.BuildPlan();
    ADD_FAILURE() << "no error";
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()),
              "The cut of the file " + middle + " keeps none of its 60 pictures");
  }
}

TEST_F(DSJoinTest, SoundWhoseDecoderSwallowsItsFirstPacketsStaysWithItsPictures) {
  // WMA's decoder gives nothing for its first packets and stamps what it gives with the time
  // of the packet it came from; players play it from that time on.
  TClip a;
  a.Seconds = 2;
  a.Flash = 0.4;
  TDSVideoJoiner j = SmallJoiner({Clip("a.avi", a)}, Encoder("mpeg4"));
  j.FAudioCompressor = Encoder("wmav2");
  j.Join();
  std::string first;
  test::RunCommand(
      "ffprobe -v error -select_streams a:0 -show_entries "
      "frame=best_effort_timestamp_time -of csv=p=0 " +
          test::ShellQuote(j.FOutFileName) + " | head -1",
      &first);
  const double start = std::atof(first.c_str());
  // The beep, at its sample in what the decoder gives, played from that time.
  const std::vector<double> beeps = test::BeepOnsets(j.FOutFileName);
  const std::vector<double> flashes = test::FlashTimes(j.FOutFileName);
  ASSERT_EQ(beeps.size(), 1u);
  ASSERT_EQ(flashes.size(), 1u);
  EXPECT_NEAR(start + beeps[0], flashes[0], 0.02);
  // The sound ends with the pictures, within its last block of 2048 samples.
  EXPECT_NEAR(start + test::DecodedDuration(j.FOutFileName, "a:0"), 2.0, 2048.0 / 44100);
}

// Grey level at (X, Y) of the first frame of a 160 x 120 output.
struct TFitCase {
  TResizeMethod Method;
  bool TopBlack;    // row 10
  bool Row35Black;  // letterbox bars are 45 rows high, "no resize" bars 30
  bool LeftBlack;   // column 5 of the middle row: the source's black left bar, unless cut off
};

std::string FitCaseName(const ::testing::TestParamInfo<TFitCase>& Info) {
  static const char* const Names[] = {"Stretch", "Crop", "Letterbox", "NoResize"};
  return Names[Info.param.Method];
}

class DSJoinFitTest : public DSJoinTest, public ::testing::WithParamInterface<TFitCase> {};

TEST_P(DSJoinFitTest, FitsWideFramesByTheResizeMethod) {
  TClip wide;
  wide.Width = 320;
  wide.Height = 60;
  wide.Color = "white";
  wide.LeftBar = 40;  // an eighth of its width
  wide.Seconds = 0.2;
  wide.AudioCodec.clear();
  TDSVideoJoiner j;
  j.FFiles = {Clip("wide.avi", wide)};
  j.FOutFileName = Dir.File("out.avi");
  j.FWidth = 160;
  j.FHeight = 120;
  j.FResizeMethod = GetParam().Method;
  j.Join();
  const std::string f = test::GreyFrame(j.FOutFileName, 0);
  ASSERT_EQ(f.size(), 160u * 120u);
  auto black = [&](int X, int Y) {
    return static_cast<unsigned char>(f[static_cast<size_t>(Y * 160 + X)]) < 40;
  };
  EXPECT_EQ(black(80, 10), GetParam().TopBlack);
  EXPECT_EQ(black(80, 35), GetParam().Row35Black);
  EXPECT_EQ(black(5, 60), GetParam().LeftBlack);
  EXPECT_FALSE(black(80, 60));
  EXPECT_EQ(black(80, 110), GetParam().TopBlack);
}

INSTANTIATE_TEST_SUITE_P(Methods, DSJoinFitTest,
                         ::testing::Values(TFitCase{rmLetterbox, true, true, true},
                                           TFitCase{rmCrop, false, false, false},
                                           TFitCase{rmStretch, false, false, true},
                                           TFitCase{rmNoResize, true, false, false}),
                         FitCaseName);

// A render long enough to be reported on: 40 s of a one-frame-a-second clip at 640 x 480.
class DSJoinLongTest : public DSJoinTest {
protected:
  void SetUp() override {
    TClip slow;
    slow.Rate = "1";
    slow.Seconds = 40;
    slow.AudioCodec.clear();
    J.FFiles = {Clip("slow.avi", slow)};
    J.FOutFileName = Dir.File("out.avi");
    J.FWidth = 640;
    J.FHeight = 480;
    J.FFrameRate = 25;
    J.FVideoCompressor = Encoder("mpeg4");
  }
  TDSVideoJoiner J;
};

TEST_F(DSJoinLongTest, CancelAtTheFirstReportLeavesAReadableFile) {
  TAnsweringProgress progress([](double Percent) {
    EXPECT_GE(Percent, 0.0);
    EXPECT_LT(Percent, 100.0);
    return true;
  });
  J.FProgress = &progress;
  J.Join();
  EXPECT_EQ(progress.Calls, "SC");
  EXPECT_GT(std::filesystem::file_size(J.FOutFileName), 0u);
  EXPECT_EQ(test::DecodeErrors(J.FOutFileName), "");
  EXPECT_LT(test::DecodedDuration(J.FOutFileName, "v:0"), 40.0);
}

// A source cut short while it is rendered is named in a warning; one that another file took
// the place of fails the join, naming it (the render may hold the other file's pictures). Both
// are found when the render stops as well (here at the second report).
TEST_F(DSJoinLongTest, ASourceThatChangesDuringTheRenderIsNamed) {
  const std::string source = J.FFiles[0];
  TClip other;
  other.AudioCodec.clear();
  const std::string replacement = Clip("other.avi", other);
  for (const bool replace : {false, true}) {
    int reports = 0;
    TAnsweringProgress progress([&](double) {
      if (++reports > 1) return true;
      if (replace)
        std::filesystem::rename(replacement, source);
      else
        std::filesystem::resize_file(source, std::filesystem::file_size(source) / 2);
      return false;
    });
    J.FProgress = &progress;
    if (!replace) {
      J.Join();
      EXPECT_EQ(J.Warnings(),
                std::vector<std::string>{"The file " + source + " was cut short during the join"});
      continue;
    }
    try {
      J.Join();
      ADD_FAILURE() << "joined a source that another file replaced";
    } catch (const Exception& E) {
      EXPECT_EQ(std::string(E.what()),
                "The file " + source + " has changed since it was added to the list");
    }
  }
}

TEST_F(DSJoinLongTest, ARenderStoppedByAnErrorFailsTheJoin) {
  // The second source disappears while the first is rendered.
  TClip tail;
  tail.AudioCodec.clear();
  J.FFiles.push_back(Clip("tail.avi", tail));
  TAnsweringProgress progress([&](double) {
    std::filesystem::remove(J.FFiles[1]);
    return false;
  });
  J.FProgress = &progress;
  try {
    J.Join();
    FAIL() << "the join reported success";
  } catch (const Exception& E) {
    EXPECT_NE(std::string(E.what()).find("tail.avi"), std::string::npos) << E.what();
  }
  EXPECT_EQ(test::DecodeErrors(J.FOutFileName), "");
}

TEST_F(DSJoinTest, EveryListedCompressorMakesAFileThatDecodes) {
  // Each entry of both lists, as a user would pick it, at the size the list was made for: a
  // few frames, a few tenths of a second of sound.
  TClip c;
  c.Width = 320;
  c.Height = 240;
  c.Seconds = 0.12;
  const std::string source = Clip("a.avi", c);
  std::string failures;
  for (bool audio : {false, true}) {
    const TCompressorList list = ListJoinCompressors(audio);
    ASSERT_GT(list.size(), audio ? 10u : 20u);
    const std::vector<std::string> names = DisplayNames(list);
    std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size()) << "two entries read the same";
    for (size_t i = audio ? 1 : 0; i < list.size(); ++i) {
      TDSVideoJoiner j;
      j.FFiles = {source};
      j.FOutFileName = Dir.File(list[i].Name + ".avi");
      (audio ? j.FAudioCompressor : j.FVideoCompressor) =
          GetCompressorFilter(list, static_cast<int>(i));
      try {
        j.Join();
        const std::string errors = test::DecodeErrors(j.FOutFileName);
        if (!errors.empty()) failures += list[i].Name + ": " + errors + "\n";
        // Players start and seek at key frames: the first picture always is one.
        TAVIFileReader reader;
        reader.Open(j.FOutFileName, false);
        TAVIIndexEntry first;
        if (!audio && !(reader.VideoStream()->GetIndexEntry(0, first) && first.KeyFrame))
          failures += list[i].Name + ": the first picture is not a key frame\n";
      } catch (const Exception& E) {
        failures += list[i].Name + ": " + E.what() + "\n";
      }
      std::filesystem::remove(j.FOutFileName);
    }
  }
  EXPECT_EQ(failures, "");
}

TEST_F(DSJoinTest, FailuresRaiseTheirMessages) {
  TClip a;
  a.AudioCodec.clear();
  TDSVideoJoiner j;
  j.FFiles = {Clip("a.avi", a)};

  j.FOutFileName = Dir.File("missing/out.avi");
  EXPECT_THROW(
      try { j.Join(); } catch (const EOSError& E) {
        EXPECT_STREQ(E.what(), "System Error.  Code: 2.\nNo such file or directory");
        throw;
      },
      EOSError);

  // An encoder that cannot take the frame size: the code, then the engine's reason in the
  // encoder's own words. It is found before the output is touched.
  j.FOutFileName = Dir.File("out.avi");
  test::WriteFileBytes(j.FOutFileName, "old contents");
  j.FVideoCompressor = Encoder("h261");
  EXPECT_THROW(
      try { j.Join(); } catch (const Exception& E) {
        EXPECT_STREQ(
            E.what(),
            "DirectShow Error: 80070057: The h261 encoder cannot take 320x240 frames at 24 fps: "
            "The "
            "specified picture size of 320x240 is not valid for the H.261 codec. Valid sizes are "
            "176x144, 352x288 (Invalid argument)");
        throw;
      },
      Exception);
  EXPECT_EQ(test::ReadFileBytes(j.FOutFileName), "old contents");
  // A size its pictures cannot hold, given by a caller that did not fit it.
  j.FVideoCompressor = Encoder("mpeg4");
  j.FWidth = 321;
  EXPECT_THROW(
      try { j.Join(); } catch (const Exception& E) {
        EXPECT_STREQ(
            E.what(),
            "Cannot join into 321x240 frames: the mpeg4 compressor takes only frame sizes that are "
            "even (320x240 would do)");
        throw;
      },
      Exception);
  EXPECT_EQ(test::ReadFileBytes(j.FOutFileName), "old contents");
  j.FWidth = 320;

  // An output that is one of the sources is refused before the source is touched.
  j.FVideoCompressor.reset();
  const std::string source = j.FFiles[0];
  const auto size = std::filesystem::file_size(source);
  j.FOutFileName = Dir.File("./a.avi");
  EXPECT_THROW(j.Join(), Exception);
  EXPECT_EQ(std::filesystem::file_size(source), size);

  // A named pipe is refused at once instead of holding the join up.
  const std::string pipe = Dir.File("pipe.avi");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_THROW(GetMediaInfo(pipe), Exception);

  j.FOutFileName = Dir.File("out.avi");
  j.FFiles.push_back(Dir.File("none.avi"));
  EXPECT_THROW(
      try { j.Join(); } catch (const Exception& E) {
        // The engine's reason already names the source, so it is not named twice.
        EXPECT_EQ(std::string(E.what()), "DirectShow Error: 80070002: Cannot open " + j.FFiles[1] +
                                             ": No such file or directory");
        throw;
      },
      Exception);
}

TEST_F(DSJoinTest, ASourceThatGivesNoPicturesOrClaimsMoreThanItsFileHoldsFailsTheJoin) {
  // A sound-only file, and an AVI file whose video header the engine cannot read (an empty
  // format chunk): either would add nothing, and the join would report success without it.
  TClip a;
  a.Seconds = 0.4;
  const std::string good = Clip("a.avi", a);
  const std::string sound = Dir.File("s.wav");
  ASSERT_EQ(test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=d=0.5 " +
                             test::ShellQuote(sound)),
            0);
  const std::string empty = Clip("empty.avi", a);
  std::string bytes = test::ReadFileBytes(empty);
  const size_t strf = bytes.find("strf");
  ASSERT_NE(strf, std::string::npos);
  bytes.replace(strf, 4, "JUNK");
  test::WriteFileBytes(empty, bytes);
  // Headers that claim more than the file can hold: pictures of 8192x8192, PCM sound of one
  // sample a second (each chunk would be resampled to minutes of sound). Refused before the
  // engine decodes anything of them.
  a.AudioCodec = "pcm_s16le";
  const std::string huge = Clip("huge.avi", a);
  bytes = test::ReadFileBytes(huge);
  const size_t bitmap = bytes.find("strf") + 8;
  PutLE32(bytes.data() + bitmap + 4, 8192);
  PutLE32(bytes.data() + bitmap + 8, 8192);
  test::WriteFileBytes(huge, bytes);
  const std::string slow = Clip("slow.avi", a);
  bytes = test::ReadFileBytes(slow);
  const size_t wave = bytes.find("strf", bytes.find("auds")) + 8;
  PutLE32(bytes.data() + wave + 4, 1);
  PutLE32(bytes.data() + wave + 8, 4);
  test::WriteFileBytes(slow, bytes);
  auto cannotHold = [](const std::string& Name, const std::string& Claim) {
    return "The file " + Name + " claims " + Claim + ", which its " +
           std::to_string(std::filesystem::file_size(Name)) + " bytes cannot hold";
  };
  const std::map<std::string, std::string> refused = {
      {sound, ""},
      {empty, ""},
      {huge, cannotHold(huge, "pictures of 8192x8192")},
      {slow, cannotHold(slow, "sound of 1 samples per second")}};
  for (const auto& [nothing, message] : refused) {
    TDSVideoJoiner j;
    j.FFiles = {good, nothing};
    j.FOutFileName = Dir.File("out.avi");
    try {
      j.Join();
      ADD_FAILURE() << "joined without " << nothing;
    } catch (const Exception& E) {
      EXPECT_NE(std::string(E.what()).find(nothing), std::string::npos) << E.what();
      if (!message.empty()) {
        EXPECT_EQ(std::string(E.what()), message);
      }
    }
    EXPECT_FALSE(std::filesystem::exists(j.FOutFileName));
  }
}

TEST_F(DSJoinTest, DamagedSourcesAreJoinedAsFarAsTheyDecode) {
  TClip c;
  c.Seconds = 1;
  const std::string cut = Clip("cut.avi", c);
  c.AudioCodec = "libmp3lame";
  const std::string flipped = Clip("flipped.avi", c);
  std::string bytes = test::ReadFileBytes(flipped);
  for (size_t at = bytes.size() / 4; at < bytes.size() * 3 / 4; at += 97)
    bytes[at] = static_cast<char>(~bytes[at]);
  test::WriteFileBytes(flipped, bytes);
  bytes = test::ReadFileBytes(cut);
  test::WriteFileBytes(cut, bytes.substr(0, bytes.size() / 2));

  // MP3 sound whose sample rate changes halfway.
  const std::string mixed = Dir.File("mixed.avi");
  const std::string q1 = test::ShellQuote(Dir.File("1.mp3")),
                    q2 = test::ShellQuote(Dir.File("2.mp3")),
                    q12 = test::ShellQuote(Dir.File("12.mp3"));
  ASSERT_EQ(
      test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=d=1:sample_rate=44100 " + q1 +
                       " && ffmpeg -nostdin -v error -f lavfi -i sine=d=1:sample_rate=22050 " + q2 +
                       " && cat " + q1 + " " + q2 + " > " + q12 +
                       " && ffmpeg -nostdin -v error -f lavfi -i testsrc=d=2:s=64x48 -i " + q12 +
                       " -c:v mpeg4 -c:a copy " + test::ShellQuote(mixed)),
      0);

  TDSVideoJoiner j;
  j.FFiles = {flipped, cut, mixed};
  j.FOutFileName = Dir.File("out.avi");
  j.FVideoCompressor = Encoder("mpeg4");
  try {
    j.Join();
  } catch (const Exception& E) {
    ADD_FAILURE() << E.what();
  }
  EXPECT_EQ(test::DecodeErrors(j.FOutFileName), "");
  EXPECT_GT(test::DecodedDuration(j.FOutFileName, "v:0"), 3.0);
}

TEST_F(DSJoinTest, MediaInfoTakesTheFirstVideoStream) {
  const std::string two = Dir.File("two.avi");
  ASSERT_EQ(test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=d=1:s=64x48 -f lavfi -i "
                             "testsrc=d=2:s=64x48 "
                             "-map 0 -map 1 -c:v mpeg4 " +
                             test::ShellQuote(two)),
            0);
  TMediaInfo info = GetMediaInfo(two);
  EXPECT_NEAR(info.Length, 1.0, 0.05);
  EXPECT_FALSE(info.HasAudio);
  const std::string sound = Dir.File("s.wav");
  ASSERT_EQ(test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=d=0.5 " +
                             test::ShellQuote(sound)),
            0);
  info = GetMediaInfo(sound);
  EXPECT_EQ(info.Length, 0);
  EXPECT_TRUE(info.HasAudio);
}

TEST_F(DSJoinTest, ASourceLastsWhatItsFileHolds) {
  // A one-second clip whose headers claim 2^32 - 1 frames rendered for hours; with a RIFF size
  // of 0xFFFFFFF0 the engine found no length and left it out. Both last their one second.
  TClip c;
  c.Seconds = 1;
  c.AudioCodec.clear();
  const std::string frames = Clip("frames.avi", c);
  std::string bytes = test::ReadFileBytes(frames);
  for (const char* id : {"avih", "strh"}) {
    const size_t at = bytes.find(id) + 8 + (id[1] == 'v' ? 16 : 32);
    bytes.replace(at, 4, "\xff\xff\xff\xff");
  }
  test::WriteFileBytes(frames, bytes);
  const std::string riff = Clip("riff.avi", c);
  bytes = test::ReadFileBytes(riff);
  bytes.replace(4, 4, "\xf0\xff\xff\xff");
  test::WriteFileBytes(riff, bytes);
  for (const std::string& f : {frames, riff}) EXPECT_NEAR(GetMediaInfo(f).Length, 1.0, 0.05) << f;

  TDSVideoJoiner j = SmallJoiner({frames, riff});
  j.Join();
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "v:0"), 2.0, 0.05);
}

TEST_F(DSJoinTest, ASourceWithoutAUsableIndexIsJoinedWhole) {
  // 100 pictures with one key frame: an engine that measures a source by the index entries it
  // found while probing sees one picture of it.
  const std::string whole = Dir.File("whole.avi");
  ASSERT_EQ(test::RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc=d=4:s=64x48:r=25 "
                             "-f lavfi -i sine=d=4 -c:v mpeg4 -g 1000 -c:a pcm_s16le " +
                             test::ShellQuote(whole)),
            0);
  const std::string bytes = test::ReadFileBytes(whole);
  const size_t idx1 = bytes.rfind("idx1");
  ASSERT_NE(idx1, std::string::npos);
  auto damaged = [&](const std::string& Name, std::string Bytes) {
    const std::string f = Dir.File(Name);
    test::WriteFileBytes(f, Bytes);
    return f;
  };
  std::string noIndex = bytes, empty = bytes, misplaced = bytes, shortHeader = bytes;
  noIndex.replace(idx1, 4, "JUNK");
  empty.replace(idx1 + 4, 4, std::string(4, '\0'));
  for (size_t at = idx1 + 8 + 8; at + 8 <= bytes.size(); at += 16) misplaced[at + 1] ^= 0x40;
  for (const char* id : {"avih", "strh"}) {
    const size_t at = shortHeader.find(id) + 8 + (id[1] == 'v' ? 16 : 32);
    shortHeader.replace(at, 4, std::string("\1\0\0\0", 4));
  }
  const std::vector<std::string> sources = {
      damaged("noindex.avi", noIndex), damaged("empty.avi", empty),
      damaged("misplaced.avi", misplaced), damaged("short.avi", shortHeader),
      damaged("half.avi", bytes.substr(0, bytes.size() / 2))};
  double decoded = 0;
  for (const std::string& f : sources) {
    const double length = test::DecodedDuration(f, "v:0");
    EXPECT_NEAR(GetMediaInfo(f).Length, length, 0.05) << f;
    decoded += length;
  }
  EXPECT_GT(decoded, 4 * 4 + 1.5);

  TDSVideoJoiner j = SmallJoiner(sources, Encoder("mpeg4"));
  j.Join();
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "v:0"), decoded, 0.05);
  EXPECT_EQ(test::DecodeErrors(j.FOutFileName), "");
  // The source cut short is named as the copy names it; one claiming fewer pictures is not.
  const long halfPictures = std::lround(test::DecodedDuration(sources[4], "v:0") * 25);
  EXPECT_EQ(j.Warnings(), std::vector<std::string>{"Only " + std::to_string(halfPictures) +
                                                   " of the 100 frames of the file " + sources[4] +
                                                   " could be read"});
}

TEST_F(DSJoinTest, PicturesOfAnImplausibleHeaderRateAreJoinedAtTheJoinsRate) {
  // 125 pictures of 25 a second whose headers claim 10^6, 1000 and 10^-6 a second: timed by
  // the header they would give no picture, 3 pictures, or render for years.
  TClip c;
  c.Width = 64;
  c.Height = 48;
  c.Seconds = 5;
  const std::string whole = Clip("whole.avi", c);
  c.Seconds = 1;
  const std::string good = Clip("good.avi", c);
  const std::string bytes = test::ReadFileBytes(whole);
  const size_t strh = bytes.find("strh") + 8;  // the video stream's header comes first
  std::vector<std::string> sources = {good};
  for (auto [scale, rate] : {std::pair<uint32_t, uint32_t>{1, 1000000}, {1, 1000}, {1000000, 1}}) {
    std::string b = bytes;
    PutLE32(reinterpret_cast<uint8_t*>(b.data()) + strh + 20, scale);
    PutLE32(reinterpret_cast<uint8_t*>(b.data()) + strh + 24, rate);
    sources.push_back(Dir.File("rate" + std::to_string(rate) + ".avi"));
    test::WriteFileBytes(sources.back(), b);
  }
  TDSVideoJoiner j = SmallJoiner(sources, Encoder("mpeg4"));
  j.Join();
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "v:0"), 16.0, 0.05);
  EXPECT_NEAR(test::DecodedDuration(j.FOutFileName, "a:0"), 16.0, 0.05);
  // Each one's pictures move on through its five seconds: none is a picture held.
  for (int start : {25, 150, 275})
    EXPECT_NE(test::GreyFrame(j.FOutFileName, start + 25),
              test::GreyFrame(j.FOutFileName, start + 100))
        << "the source from picture " << start;
  ASSERT_EQ(j.Warnings().size(), 3u);
  EXPECT_EQ(j.Warnings()[1], "The file " + sources[2] +
                                 " claims 1000 frames per second; its 125 pictures were joined "
                                 "at 25 frames per second");
  EXPECT_EQ(j.Warnings()[0], "The file " + sources[1] +
                                 " claims 1000000 frames per second; its 125 pictures were "
                                 "joined at 25 frames per second");
  EXPECT_EQ(j.Warnings()[2], "The file " + sources[3] +
                                 " claims 0.000001 frames per second; its 125 pictures were "
                                 "joined at 25 frames per second");

  // One picture of 1/25 s gives none at 10 pictures a second: the join fails naming it.
  c.Seconds = 0.04;
  j.FFiles = {good, Clip("one.avi", c)};
  j.FFrameRate = 10;
  std::filesystem::remove(j.FOutFileName);
  try {
    j.Join();
    ADD_FAILURE() << "joined without " << j.FFiles[1];
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()),
              "The file " + j.FFiles[1] + " gives no picture at 10 frames per second");
  }
  EXPECT_FALSE(std::filesystem::exists(j.FOutFileName));
}

TEST_F(DSJoinTest, OutputsThatWouldDestroyASourceOrCannotBeWrittenLeaveTheSourcesAlone) {
  TClip a;
  a.Seconds = 0.4;
  TDSVideoJoiner j;
  j.FFiles = {Clip("a.avi", a), Clip("b.avi", a)};
  const std::string sums[] = {test::Checksum(j.FFiles[0]), test::Checksum(j.FFiles[1])};
  const std::string link = Dir.File("link.avi");
  std::filesystem::create_symlink(j.FFiles[1], link);
  const std::string refusals[][2] = {
      {link, "The output file " + link + " is one of the files to join"},
      {"/dev/null", "The output file /dev/null is not a regular file"},
      {j.FFiles[0] + "/out.avi", "System Error.  Code: 20.\nNot a directory"},
  };
  for (const auto& [out, message] : refusals) {
    j.FOutFileName = out;
    try {
      j.Join();
      ADD_FAILURE() << "joined into " << out;
    } catch (const Exception& E) {
      EXPECT_EQ(std::string(E.what()), message);
    }
  }
  EXPECT_EQ(test::Checksum(j.FFiles[0]), sums[0]);
  EXPECT_EQ(test::Checksum(j.FFiles[1]), sums[1]);
}

TEST(CheckDSResult, RaisesForEveryNonzeroCode) {
  EXPECT_NO_THROW(CheckDSResult({}));
  auto text = [](const TEngineError& E) {
    try {
      CheckDSResult(E);
    } catch (const Exception& X) {
      return std::string(X.what());
    }
    return std::string();
  };
  EXPECT_EQ(text({1, ""}), "DirectShow Error: 1");
  EXPECT_EQ(text({0x2A, ""}), "DirectShow Error: 2A");
  EXPECT_EQ(text({static_cast<int32_t>(0x80004004u), ""}), "DirectShow Error: 80004004");
  EXPECT_EQ(text({-1, ""}), "DirectShow Error: FFFFFFFF");

  // An engine failure crosses the module boundary as its code and the engine's reason.
  EXPECT_EQ(text(MediaEngine().SetCompressorOption("mpeg4", "no_such_option", "1")),
            "DirectShow Error: 80004002: The mpeg4 encoder has no option no_such_option");
  EXPECT_EQ(text(MediaEngine().Describe("/no/such/clip.avi").Error),
            "DirectShow Error: 80070002: Cannot open /no/such/clip.avi: No such file or directory");
  EXPECT_EQ(text(MediaEngine().CheckCompressor("mpeg4", {TMediaKind::mkAudio})),
            "DirectShow Error: 80040201: There is no audio compressor mpeg4");
}

TEST(ResizeMethodOfItem, FollowsTheOrderOfTheList) {
  EXPECT_EQ(ResizeMethodOfItem(0), rmLetterbox);
  EXPECT_EQ(ResizeMethodOfItem(3), rmNoResize);
  EXPECT_EQ(ResizeMethodOfItem(-1), std::nullopt);
  EXPECT_EQ(ResizeMethodOfItem(4), std::nullopt);
  EXPECT_EQ(StretchModeOf(rmNoResize), RESIZEF_CROP);
  EXPECT_EQ(StretchModeOf(rmCrop), RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX);
}

TEST(RenderPercent, StaysWithinRange) {
  EXPECT_DOUBLE_EQ(RenderPercent(5, 20), 25.0);
  EXPECT_DOUBLE_EQ(RenderPercent(0, 0), 0.0);
  EXPECT_DOUBLE_EQ(RenderPercent(30, 20), 100.0);
}

}  // namespace
}  // namespace rw
