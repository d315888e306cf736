#include <gtest/gtest.h>

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
  ASSERT_EQ(Cli("join -o " + test::ShellQuote(out) + " " + Sources(), &output), 0) << output;
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
  for (const char* option : {"--size 96", "--rate fast", "--resize zoom", "--vcodec nothing", "--acodec mpeg4"}) {
    EXPECT_EQ(Cli(std::string("join ") + option + " -o " + test::ShellQuote(bad) + " " + Sources()), 2) << option;
    EXPECT_FALSE(std::filesystem::exists(bad)) << option;
  }
  EXPECT_EQ(Cli("join --copy --vcodec mpeg4 -o " + test::ShellQuote(bad) + " " + Sources()), 2);

  // An encoder that refuses the frame size: the engine's code and its reason.
  EXPECT_EQ(Cli("join --size 320x240 --vcodec h261 -o " + test::ShellQuote(bad) + " " + Sources(), &output), 1);
  EXPECT_EQ(output, "Join fails: DirectShow Error: 80070057: The h261 encoder cannot take 320x240 frames at 25 fps: "
                    "The specified picture size of 320x240 is not valid for the H.261 codec. Valid sizes are "
                    "176x144, 352x288 (Invalid argument)\n");
}

TEST(RecompressJoinCommand, CompressorsListsBothKinds) {
  std::string output;
  ASSERT_EQ(Cli("compressors", &output), 0);
  EXPECT_NE(output.find("Video compressors:"), std::string::npos);
  EXPECT_NE(output.find(" mpeg4 "), std::string::npos);
  EXPECT_NE(output.find("none                 No-compressing"), std::string::npos);
}

}  // namespace
}  // namespace rw
