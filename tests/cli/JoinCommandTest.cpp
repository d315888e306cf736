#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "support/JoinCheck.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/TempDir.h"

extern char** environ;

namespace rw {
namespace {

struct TRun {
  int Status;
  std::string Output;  // standard output and standard error
};

TRun Cli(const std::string& Args) {
  TRun r;
  r.Status = test::RunCommand(test::ShellQuote(std::getenv("RW_CLI")) + " join " + Args + " 2>&1",
                              &r.Output);
  return r;
}

test::TClipSpec Clip(int Width, const std::string& Audio) {
  test::TClipSpec s;
  s.Width = Width;
  s.Frames = 6;
  s.Audio = Audio;
  return s;
}

class JoinCommand : public ::testing::Test {
protected:
  test::TTempDir Dir;
  std::string Out = Dir.File("out.avi");
  std::string Q(const std::string& S) { return test::ShellQuote(S); }
};

TEST_F(JoinCommand, JoinsAndReplacesAnExistingOutputOnlyWithYes) {
  std::string a = test::MakeClip(Clip(64, "mp3")), b = test::MakeClip(Clip(64, "mp3"));
  TRun r = Cli("-o " + Q(Out) + " " + Q(a) + " " + Q(b));
  ASSERT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::DecodeErrors(Out), "");
  auto one = test::ProbePacketCounts(a);
  // Every picture, and the sound (longer in the sources by the MP3 encoder's padding) cut to
  // the pictures' end to the nearest frame.
  auto soundWithPictures = [&] {
    EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"),
                1152.0 / 44100 / 2 + 1e-3);
  };
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 2 * one["video"]);
  soundWithPictures();

  std::string before = test::Checksum(Out);
  r = Cli("-o " + Q(Out) + " " + Q(a));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "The \"" + Out +
                          "\" file already exists. Do you want to overwrite it?\n"
                          "Run the command with --yes to replace it.\n");
  EXPECT_EQ(test::Checksum(Out), before);
  r = Cli("--yes -o " + Q(Out) + " " + Q(a));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], one["video"]);
  soundWithPictures();

  // A source cut short (its index gone with its end) is joined as far as it holds, with a
  // warning that names it.
  std::string cut = Dir.File("cut.avi"), bytes = test::ReadFileBytes(a);
  auto movi = test::ListChunks(
      bytes, test::FindChunk(test::ListChunks(bytes, 12, bytes.size()), "LIST", "movi"));
  test::WriteFileBytes(cut, bytes.substr(0, movi[movi.size() / 2].Offset));
  r = Cli("--yes -o " + Q(Out) + " " + Q(a) + " " + Q(cut));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("Warning: Only "), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find(" frames of the file " + cut + " could be read.\n"), std::string::npos)
      << r.Output;
  EXPECT_NE(r.Output.find("Warning: The file " + cut +
                          " was read without its index: The index is not found.\n"),
            std::string::npos)
      << r.Output;
  EXPECT_GT(test::ProbePacketCounts(Out)["video"], one["video"]);
  soundWithPictures();
}

TEST_F(JoinCommand, AFileThatCannotBeAddedEndsTheCommand) {
  std::string text = Dir.File("notes.txt");
  test::WriteFileBytes(text, "not a video at all, but long enough to be looked at");
  TRun r = Cli("-o " + Q(Out) + " " + Q(test::MakeClip(Clip(64, "pcm"))) + " " + Q(text));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "Unable to add file " + text + ": The file has unknown format.\n");
  EXPECT_FALSE(std::filesystem::exists(Out));
  EXPECT_EQ(Cli("").Status, 2);
  EXPECT_EQ(Cli("--copy --recompress -o " + Q(Out) + " " + Q(text)).Status, 2);
}

TEST_F(JoinCommand, DecidesBetweenCopyAndRecompressionAsTheJoinOptionsDo) {
  std::string pcm = test::MakeClip(Clip(64, "pcm")), silent = test::MakeClip(Clip(64, "none"));
  std::string wide = test::MakeClip(Clip(80, "pcm"));
  // A recompressed output always has sound, through the proposed MP3 compressor.
  auto recompressed = [&] { return test::ProbeStream(Out, "a:0")["codec_name"] == "mp3"; };

  // Different video formats: the file that differs is converted into the first one's format,
  // --recompress recompresses both, and --copy is refused with the note.
  TRun r = Cli("-o " + Q(Out) + " " + Q(pcm) + " " + Q(wide));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_FALSE(recompressed());
  EXPECT_EQ(test::ProbeStream(Out, "v:0")["width"], "64");
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "pcm_s16le");
  r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(wide));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(recompressed());
  r = Cli("--copy -o " + Q(Out) + " " + Q(pcm) + " " + Q(wide));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "<-- impossible because the selected files have different formats\n");

  // Sound would be lost: by default a copy that gives the silent file silence, --copy joins
  // without sound, --recompress recompresses.
  r = Cli("--yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("2. " + std::filesystem::path(silent).filename().string() + ": No sound"),
            std::string::npos)
      << r.Output;
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "pcm_s16le");
  EXPECT_EQ(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"));
  r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(recompressed());
  r = Cli("--copy --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(r.Output, "- files will be joined without sound (audio formats differ)\n");
  EXPECT_EQ(test::ProbePacketCounts(Out), (std::map<std::string, int>{{"video", 12}}));
  EXPECT_EQ(test::DecodeErrors(Out), "");

  // No file has sound: copied by default; --recompress asks for recompression.
  EXPECT_EQ(Cli("--yes -o " + Q(Out) + " " + Q(silent) + " " + Q(silent)).Status, 0);
  EXPECT_FALSE(recompressed());
  r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(recompressed());
}

TEST_F(JoinCommand, ConvertsOnlyTheSoundThatDiffersOrSaysWhyItCannot) {
  std::string mp3 = test::MakeClip(Clip(64, "mp3")), pcm = test::MakeClip(Clip(64, "pcm"));
  std::string aac = test::MakeClip(Clip(64, "aac"));
  // MP3 covers most of the time: the PCM file's sound is converted, the pictures all copied.
  TRun r = Cli("-o " + Q(Out) + " " + Q(mp3) + " " + Q(pcm) + " " + Q(mp3));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("2. " + std::filesystem::path(pcm).filename().string() + ": PCM"),
            std::string::npos)
      << r.Output;
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "mp3");
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 18);
  EXPECT_EQ(test::DecodeErrors(Out), "");
  const std::string info = test::RunTool(test::ShellQuote(std::getenv("RW_CLI")) + " info " +
                                         Q(mp3) + " " + Q(pcm) + " " + Q(mp3));
  EXPECT_NE(info.find("\tcopied\n"), std::string::npos) << info;
  EXPECT_NE(info.find("\tsound converted\n"), std::string::npos) << info;
  // PCM kept: the MP3 file's sound becomes PCM of the output's format, exactly as long as its
  // pictures, as the copied files' sound is.
  r = Cli("--convert --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(mp3) + " " + Q(pcm));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "pcm_s16le");
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"), 1e-4);

  // AAC is kept but cannot be written: --convert fails saying why, the default recompresses
  // (through the proposed MP3 compressor) and says why it does not convert.
  auto recompressed = [&] { return test::ProbeStream(Out, "a:0")["codec_name"] == "mp3"; };
  const std::string files = " " + Q(aac) + " " + Q(aac) + " " + Q(pcm);
  r = Cli("--convert --yes -o " + Q(Out) + files);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output.rfind("Only the files that differ cannot be converted: ", 0), 0u) << r.Output;
  EXPECT_NE(r.Output.find("cannot be written: AAC"), std::string::npos) << r.Output;
  r = Cli("--yes -o " + Q(Out) + files);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("Only the files that differ cannot be converted"), std::string::npos);
  EXPECT_TRUE(recompressed());
  EXPECT_EQ(Cli("--convert --copy -o " + Q(Out) + files).Status, 2);
  EXPECT_EQ(Cli("--convert --size 32x24 -o " + Q(Out) + files).Status, 2);
  EXPECT_EQ(Cli("--convert --resize zoom --yes -o " + Q(Out) + " " + Q(mp3) + " " + Q(pcm)).Status,
            2);
}

TEST_F(JoinCommand, CtrlCSigtermAndSighupStopTheJoinAndKeepAFinishedOutput) {
  std::string a = Dir.File("a.avi"), b = Dir.File("b.avi");
  test::MakeSparseRawAVI(a, 400);
  test::MakeSparseRawAVI(b, 400);
  const std::string temp = Dir.File(".out.avi.part");
  std::string cli = std::getenv("RW_CLI");
  std::vector<std::string> args = {cli, "join", "--yes", "-o", Out, a, b};
  std::vector<char*> argv;
  for (auto& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  // The signals sent one after the other once the join has written At bytes: the first one
  // stops it and gives the exit status; the others come while it finishes and are ignored.
  // (Signals pending together are delivered lowest number first: the first is the lowest.)
  struct TCase {
    std::vector<int> Signals;
    uintmax_t At;
  };
  for (const TCase& c : {TCase{{SIGINT}, 50u << 20}, TCase{{SIGTERM, SIGTERM}, 5u << 20},
                         TCase{{SIGHUP, SIGINT, SIGTERM}, 100u << 20}}) {
    SCOPED_TRACE(c.Signals[0]);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto written = [&] {
      std::error_code ec;
      auto size = std::filesystem::file_size(temp, ec);
      return ec ? 0 : size;
    };
    while (written() < c.At && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int signal : c.Signals) {
      ::kill(pid, signal);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.Signals[0]);
    int frames = test::ProbePacketCounts(Out)["video"];
    EXPECT_GE(frames, static_cast<int>(c.At >> 20) - 1);
    EXPECT_LT(frames, 800);
    EXPECT_EQ(test::DecodeErrors(Out), "");
    EXPECT_FALSE(std::filesystem::exists(temp));
  }
}

}  // namespace
}  // namespace rw
