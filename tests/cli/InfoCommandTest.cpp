#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/JoinRequest.h"
#include "engine/EngineLoader.h"
#include "media/AVIRead.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace rw::test {
namespace {

struct TRun {
  int Status;
  std::string Out;
  std::string Err;
};

// Runs reelwright-cli info with the given (already quoted) arguments.
TRun RunInfo(const TTempDir& Dir, const std::string& Arguments) {
  const char* cli = std::getenv("RW_CLI");
  if (!cli) throw std::runtime_error("RW_CLI is not set");
  const std::string err = Dir.File("stderr.txt");
  TRun run;
  run.Status =
      RunCommand(ShellQuote(cli) + " info " + Arguments + " 2>" + ShellQuote(err), &run.Out);
  run.Err = ReadFileBytes(err);
  return run;
}

const char* const cHeader =
    "File name\tDuration\tType\tFrame size\tFrame rate\tAudio\tFolder\t"
    "Video mismatch\tAudio mismatch\tJoined\n";

// A fixture copied under a name of the test's choosing, so the rows are predictable.
std::string Place(const TTempDir& Dir, const std::string& Name, const TClipSpec& Spec) {
  const std::string target = Dir.File(Name);
  std::filesystem::copy_file(MakeClip(Spec), target);
  return target;
}

TEST(InfoCommand, PrintsTheListsRowsFlagsAndStatusForRealClips) {
  TTempDir dir;
  TClipSpec first;  // mpeg4 64x48 at 25 fps, 2 s, 16-bit stereo sound at 44100 Hz
  first.Frames = 50;
  first.Audio = "pcm";
  TClipSpec other;  // MJPEG 32x32 at 29.97 fps, mono sound at 22050 Hz
  other.Codec = "mjpeg";
  other.Width = 32;
  other.Height = 32;
  other.Rate = "30000/1001";
  other.Frames = 45;
  other.Audio = "pcm";
  other.Channels = 1;
  other.SampleRate = 22050;
  other.Extra = "-pix_fmt yuvj420p";
  TClipSpec raw;  // uncompressed, no sound
  raw.Codec = "rawvideo";
  raw.Frames = 25;
  raw.Extra = "-pix_fmt bgr24";

  const std::string a = Place(dir, "a.avi", first);
  const std::string b = Place(dir, "b b.avi", other);
  const std::string c = Place(dir, "c.avi", raw);
  const std::string folder = dir.Path().string();
  // Only b and c differ from the format that covers most of the time (a's): they are
  // converted where the engine can continue a's pictures, else all four are recompressed.
  TAVIFileReader reader;
  reader.Open(a, true);
  const TAVIStream& video = *reader.VideoStream();
  const bool converts =
      !MediaEngine().CheckConvert(StreamTargetOf(true, video.Header, video.Format)).Failed();
  const std::string ways[] = {converts ? "copied" : "recompressed",
                              converts ? "pictures and sound converted" : "recompressed",
                              converts ? "pictures converted" : "recompressed"};
  TRun run =
      RunInfo(dir, ShellQuote(a) + " " + ShellQuote(b) + " " + ShellQuote(c) + " " + ShellQuote(a));
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out, std::string(cHeader) + "a.avi\t00:02\tAVI:FMP4\t64x48\t25\t44KHz Stereo\t" +
                         folder + "\t0\t0\t" + ways[0] +
                         "\n"
                         "b b.avi\t00:02\tAVI:MJPG\t32x32\t29.97\t22KHz Mono\t" +
                         folder + "\t1\t1\t" + ways[1] +
                         "\n"
                         "c.avi\t00:01\tAVI:\t64x48\t25\tnone\t" +
                         folder + "\t1\t1\t" + ways[2] +
                         "\n"
                         "a.avi\t00:02\tAVI:FMP4\t64x48\t25\t44KHz Stereo\t" +
                         folder + "\t0\t0\t" + ways[0] +
                         "\n"
                         "4 file(s)\tTotal duration: 00:07\n");
}

TEST(InfoCommand, ReportsFilesThatCannotBeAddedAndKeepsTheRest) {
  TTempDir dir;
  const std::string text = dir.File("notes.avi");
  WriteFileBytes(text, "this is not a video file at all\n");
  const std::string missing = dir.File("missing.avi");
  TClipSpec spec;
  const std::string clip = Place(dir, "clip.avi", spec);
  // What a killed join leaves beside its output, although it may read as an AVI file.
  const std::string part = dir.File(".joined.avi.part");
  std::filesystem::copy_file(clip, part);

  TRun run = RunInfo(dir, ShellQuote(text) + " " + ShellQuote(clip) + " " + ShellQuote(missing) +
                              " " + ShellQuote(part));
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "Unable to add file " + text +
                         ": The file has unknown format.\n"
                         "Unable to add file " +
                         missing +
                         ": System Error.  Code: 2.\nNo such file or directory.\n"
                         "Unable to add file " +
                         part + ": The file is an unfinished join output.\n");
  EXPECT_EQ(run.Out, std::string(cHeader) + "clip.avi\t00:00\tAVI:FMP4\t64x48\t25\tnone\t" +
                         dir.Path().string() +
                         "\t0\t0\tcopied\n1 file(s)\tTotal duration: 00:00\n");

  run = RunInfo(dir, ShellQuote(missing));
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Out, std::string(cHeader) + "There are no selected files.\t\n");
}

TEST(InfoCommand, ControlCharactersInANameCannotBreakTheRows) {
  TTempDir dir;
  const std::string odd = Place(dir, "a\tb\nc.avi", TClipSpec());
  TRun run = RunInfo(dir, ShellQuote(odd));
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, std::string(cHeader) + "a?b?c.avi\t00:00\tAVI:FMP4\t64x48\t25\tnone\t" +
                         dir.Path().string() +
                         "\t0\t0\tcopied\n1 file(s)\tTotal duration: 00:00\n");
}

TEST(InfoCommand, UsageErrorsAndHelp) {
  TTempDir dir;
  EXPECT_EQ(RunInfo(dir, "").Status, 2);
  EXPECT_EQ(RunInfo(dir, "--frobnicate x.avi").Status, 2);
  TRun help = RunInfo(dir, "--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("Usage: reelwright-cli info"), std::string::npos);
  // After "--" a name that starts with '-' is a file.
  TRun dashed = RunInfo(dir, "-- -x.avi");
  EXPECT_EQ(dashed.Status, 1);
  EXPECT_NE(dashed.Err.find("Unable to add file -x.avi: "), std::string::npos);
}

}  // namespace
}  // namespace rw::test
