#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/TempDir.h"

namespace rw {
namespace {

int Cli(const std::string& Args, std::string* Output = nullptr) {
  return test::RunCommand(test::ShellQuote(std::getenv("RW_CLI")) + " " + Args + " 2>&1", Output);
}

std::string Sources() {
  test::TClipSpec a;
  a.Width = 80;
  a.Rate = "30";
  a.Audio = "mp3";
  test::TClipSpec b;
  b.Width = 64;
  b.Audio = "none";
  return test::ShellQuote(test::MakeClip(a)) + " " + test::ShellQuote(test::MakeClip(b));
}

TEST(RecompressJoinCommand, DefaultsAreWhatTheJoinOptionsPropose) {
  test::TTempDir dir;
  const std::string out = dir.File("out.avi");
  std::string output;
  ASSERT_EQ(Cli("join --recompress -o " + test::ShellQuote(out) + " " + Sources(), &output), 0)
      << output;
  EXPECT_EQ(test::DecodeErrors(out), "");
  auto v = test::ProbeStream(out, "v:0");
  EXPECT_EQ(v["width"], "64");
  EXPECT_EQ(v["height"], "48");
  EXPECT_EQ(v["r_frame_rate"], "25/1");
  auto s = test::ProbeStream(out, "a:0");
  EXPECT_EQ(s["codec_name"], "mp3");
  EXPECT_EQ(s["sample_rate"], "44100");
}

TEST(RecompressJoinCommand, OptionsChooseSizeRateAndCompressors) {
  test::TTempDir dir;
  const std::string out = dir.File("out.avi");
  std::string output;
  ASSERT_EQ(Cli("join --size 96x64 --rate 12.5 --resize stretch --vcodec mjpeg --acodec none -o " +
                    test::ShellQuote(out) + " " + Sources(),
                &output),
            0)
      << output;
  EXPECT_EQ(test::DecodeErrors(out), "");
  auto v = test::ProbeStream(out, "v:0");
  EXPECT_EQ(v["codec_name"], "mjpeg");
  EXPECT_EQ(v["width"], "96");
  EXPECT_EQ(v["r_frame_rate"], "25/2");
  EXPECT_EQ(test::ProbeStream(out, "a:0")["codec_name"], "pcm_s16le");

  // Values that are not understood are usage errors, and nothing is written.
  const std::string bad = dir.File("bad.avi");
  for (const char* option :
       {"--size 96", "--rate fast", "--resize zoom", "--vcodec nothing", "--acodec mpeg4",
        "--vopt no_such_option=1", "--vopt b=lots", "--aopt b", "--acodec none --aopt b=64k"}) {
    EXPECT_EQ(Cli(std::string("join ") + option + " -o " + test::ShellQuote(bad) + " " + Sources()),
              2)
        << option;
    EXPECT_FALSE(std::filesystem::exists(bad)) << option;
  }
  EXPECT_EQ(Cli("join --copy --vcodec mpeg4 -o " + test::ShellQuote(bad) + " " + Sources()), 2);

  // The compressor's own options reach it: the coarsest quantizer makes a smaller file.
  const std::string fine = dir.File("fine.avi"), coarse = dir.File("coarse.avi");
  ASSERT_EQ(
      Cli("join --vcodec mpeg4 --vopt qscale=2 -o " + test::ShellQuote(fine) + " " + Sources()), 0);
  ASSERT_EQ(Cli("join --vcodec mpeg4 --vopt qscale=31 --vopt g=300 -o " + test::ShellQuote(coarse) +
                " " + Sources()),
            0);
  auto videoBytes = [](const std::string& File) {
    std::string sum;
    test::RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 " +
                         test::ShellQuote(File) + " | awk '{s+=$1} END {print s}'",
                     &sum);
    return std::atol(sum.c_str());
  };
  EXPECT_LT(videoBytes(coarse) * 2, videoBytes(fine));
  EXPECT_EQ(Cli("join --vcodec mpeg4 --vopt no_such_option=1 -o " + test::ShellQuote(bad) + " " +
                    Sources(),
                &output),
            2);
  EXPECT_NE(output.find("--vopt no_such_option=1: The mpeg4 encoder has no option no_such_option"),
            std::string::npos)
      << output;
  // An encoder the engine has but does not offer is refused by name, with why, and no other
  // takes its place.
  EXPECT_EQ(Cli("join --acodec libvorbis -o " + test::ShellQuote(bad) + " " + Sources(), &output),
            2);
  EXPECT_NE(output.find("--acodec libvorbis: The libvorbis compressor is not offered: Vorbis"),
            std::string::npos)
      << output;
  EXPECT_FALSE(std::filesystem::exists(bad));

  // A frame size the compressor's 4:2:0 pictures cannot hold is fitted, with a note.
  std::string fitted;
  ASSERT_EQ(
      Cli("join --size 97x65 --vcodec mpeg4 -o " + test::ShellQuote(out) + " --yes " + Sources(),
          &fitted),
      0)
      << fitted;
  EXPECT_NE(
      fitted.find(
          "Note: the mpeg4 compressor takes only frame sizes that are even: 97x65 becomes 96x64."),
      std::string::npos)
      << fitted;
  v = test::ProbeStream(out, "v:0");
  EXPECT_EQ(v["width"] + "x" + v["height"], "96x64");
  EXPECT_EQ(test::DecodeErrors(out), "");

  // The resize words fit a wide picture with a black bar down its left edge into a taller
  // frame: stretched it keeps the bar, cropped (scaled to fill the frame) it loses it.
  test::TClip wide;
  wide.Width = 320;
  wide.Height = 60;
  wide.Color = "white";
  wide.LeftBar = 40;
  wide.Seconds = 0.2;
  wide.AudioCodec.clear();
  const std::string wideFile = dir.File("wide.avi");
  test::MakeClipFile(wideFile, wide);
  for (const char* word : {"stretch", "crop"}) {
    ASSERT_EQ(Cli("join --size 160x120 --resize " + std::string(word) + " -o " +
                  test::ShellQuote(out) + " --yes " + test::ShellQuote(wideFile)),
              0)
        << word;
    const std::string f = test::GreyFrame(out, 0);
    ASSERT_EQ(f.size(), 160u * 120u) << word;
    auto grey = [&](int X, int Y) { return static_cast<unsigned char>(f[Y * 160 + X]); };
    EXPECT_GT(grey(80, 10), 200) << word;  // neither leaves bars above or below
    EXPECT_EQ(grey(5, 60) < 40, std::string(word) == "stretch") << word;
  }

  // A compressor's own rule on frame sizes fits the size, with a note, instead of failing the
  // join (AMV's encoder takes only heights that are a multiple of 16).
  std::string amv;
  EXPECT_EQ(
      Cli("join --size 96x40 --vcodec amv -o " + test::ShellQuote(bad) + " " + Sources(), &amv), 0)
      << amv;
  EXPECT_NE(amv.find("heights that are a multiple of 16"), std::string::npos) << amv;
  std::string size;
  test::RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of "
      "csv=p=0 " +
          test::ShellQuote(bad),
      &size);
  EXPECT_EQ(size, "96,32\n");
}

TEST(RecompressJoinCommand, PicturesAreFittedByTheirDisplayAspect) {
  // A 16:9 picture of 720x576 (its pixels 64:45 wide, as the H.264 header says) holding a
  // white box of 180x144 pixels, shown 256x144: converted into a list of 1280x720 pictures or
  // recompressed to 1280x720, it fills the frame without bars and the box stays as it is shown.
  test::TTempDir dir;
  const std::string wide = dir.File("wide.avi"), anamorphic = dir.File("anamorphic.avi"),
                    out = dir.File("out.avi");
  const std::string ffmpeg = "ffmpeg -nostdin -v error -y -f lavfi -i ";
  test::RunTool(ffmpeg + "color=c=gray:size=1280x720:rate=25 -t 0.12 -c:v mpeg4 " +
                test::ShellQuote(wide) + " 2>&1");
  test::RunTool(ffmpeg +
                "'color=c=gray:size=720x576:rate=25,drawbox=c=white:t=fill:x=270:y=216:w=180:h=144'"
                " -t 0.12 -vf setsar=64/45 -c:v libx264 " +
                test::ShellQuote(anamorphic) + " 2>&1");
  auto expectFilled = [&](int Picture, const std::string& How) {
    const std::string f = test::GreyFrame(out, Picture);
    ASSERT_EQ(f.size(), 1280u * 720u) << How;
    auto grey = [&](int X, int Y) { return static_cast<unsigned char>(f[Y * 1280 + X]); };
    EXPECT_GT(grey(4, 360), 100) << How << ": no bar at the left";
    EXPECT_GT(grey(640, 4), 100) << How << ": no bar at the top";
    int width = 0, height = 0;
    for (int x = 0; x < 1280; ++x) width += grey(x, 360) > 200;
    for (int y = 0; y < 720; ++y) height += grey(640, y) > 200;
    EXPECT_NEAR(width, 320, 4) << How;
    EXPECT_NEAR(height, 180, 4) << How;
  };
  std::string output;
  ASSERT_EQ(Cli("join --convert -o " + test::ShellQuote(out) + " " + test::ShellQuote(wide) + " " +
                    test::ShellQuote(anamorphic) + " " + test::ShellQuote(wide),
                &output),
            0)
      << output;
  expectFilled(4, "converted");
  for (const char* method : {"letterbox", "crop", "none"}) {
    ASSERT_EQ(Cli("join --yes --size 1280x720 --vcodec mpeg4 --acodec none --resize " +
                      std::string(method) + " -o " + test::ShellQuote(out) + " " +
                      test::ShellQuote(anamorphic),
                  &output),
              0)
        << output;
    if (std::string(method) != "none") expectFilled(1, method);
  }
  // Without resizing the picture keeps its shown size, centred: 1024x576.
  const std::string f = test::GreyFrame(out, 1);
  ASSERT_EQ(f.size(), 1280u * 720u);
  EXPECT_LT(static_cast<unsigned char>(f[360 * 1280 + 120]), 40);
  EXPECT_GT(static_cast<unsigned char>(f[360 * 1280 + 136]), 100);
}

TEST(RecompressJoinCommand, AHostileIndexCannotMakeTheJoinRunOutOfMemory) {
  // An 'idx1' entry that gives one sound chunk a size of 2 GiB moves every later sound chunk
  // hours ahead; filling that gap with silence took 3.6 GB. The sound stays where it is, and
  // the join takes what joining a sane file takes.
  test::TTempDir dir;
  test::TClip c;
  c.Seconds = 2;
  c.Flash = 1.2;
  const std::string hostile = dir.File("hostile.avi");
  test::MakeClipFile(hostile, c);
  std::string bytes = test::ReadFileBytes(hostile);
  const size_t idx1 = bytes.find("idx1");
  ASSERT_NE(idx1, std::string::npos);
  size_t sound = bytes.find("01wb", idx1);
  sound = bytes.find("01wb", sound + 16);
  ASSERT_NE(sound, std::string::npos);
  bytes.replace(sound + 12, 4, "\xf0\xff\xff\x7f");
  test::WriteFileBytes(hostile, bytes);

  const std::string out = dir.File("out.avi");
  std::string output;
  ASSERT_EQ(Cli("join --recompress --acodec libmp3lame -o " + test::ShellQuote(out) + " " +
                    test::ShellQuote(hostile),
                &output),
            0)
      << output;
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 1500 * 1024) << "kB at most";
  EXPECT_EQ(test::DecodeErrors(out), "");
  EXPECT_NEAR(test::DecodedDuration(out, "a:0"), 2.0, 0.1);
  const auto flashes = test::FlashTimes(out), beeps = test::BeepOnsets(out);
  ASSERT_EQ(flashes.size(), 1u);
  ASSERT_EQ(beeps.size(), 1u);
  EXPECT_NEAR(beeps[0] - flashes[0], 0, 0.05);
}

TEST(RecompressJoinCommand, TheLibrariesOwnMessagesStayOffTheTerminal) {
  // Damaged pictures make the decoder complain on its threads ("[mpeg4 @ 0x...] ac-tex
  // damaged"); the join goes on, and standard error is the program's own.
  test::TTempDir dir;
  test::TClip c;
  c.Seconds = 2;
  c.AudioCodec.clear();
  const std::string damaged = dir.File("damaged.avi");
  test::MakeClipFile(damaged, c);
  std::string bytes = test::ReadFileBytes(damaged);
  const size_t movi = bytes.find("movi");
  ASSERT_NE(movi, std::string::npos);
  for (size_t at = bytes.find("00dc", movi); at != std::string::npos && at + 300 < bytes.size();
       at = bytes.find("00dc", at + 8))
    for (size_t i = at + 40; i < at + 300; i += 23) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  test::WriteFileBytes(damaged, bytes);

  const std::string out = dir.File("out.avi");
  std::string output;
  EXPECT_EQ(Cli("join --recompress --vcodec mpeg4 --acodec none -o " + test::ShellQuote(out) + " " +
                    test::ShellQuote(damaged),
                &output),
            0);
  EXPECT_EQ(output, "");
  EXPECT_GT(test::ProbePacketCounts(out)["video"], 0);
}

TEST(RecompressJoinCommand, CompressorsListsBothKinds) {
  std::string output;
  ASSERT_EQ(Cli("compressors", &output), 0);
  EXPECT_NE(output.find("Video compressors:"), std::string::npos);
  EXPECT_NE(output.find(" mpeg4 "), std::string::npos);
  EXPECT_NE(output.find("none                 No-compressing"), std::string::npos);
  // LAME, the better MP3 encoder, comes after libshine, so the last "mp3" entry, the one
  // proposed, is LAME's.
  EXPECT_NE(output.find("\n* libmp3lame           libmp3lame MP3 (MPEG audio layer 3)\n"),
            std::string::npos)
      << output;
  EXPECT_LT(output.find(" libshine "), output.find(" libmp3lame "));
  // Entries that never work with the join's formats are not offered.
  for (const char* never : {" h261 ", " g723_1 ", " flac "})
    EXPECT_EQ(output.find(never), std::string::npos) << never;
}

}  // namespace
}  // namespace rw
