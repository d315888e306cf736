// The media engine module as reelwright-cli loads it: only for what needs it, and when it
// cannot be loaded, only recompression fails, with a message that says why and where.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/TempDir.h"

namespace rw {
namespace {

struct TRun {
  int Status;
  std::string Output;  // standard output and standard error
};

// Runs reelwright-cli with Environment ("NAME=value ...", already quoted) before it.
TRun Cli(const std::string& Environment, const std::string& Args) {
  TRun r;
  r.Status = test::RunCommand(
      Environment + " " + test::ShellQuote(std::getenv("RW_CLI")) + " " + Args + " 2>&1",
      &r.Output);
  return r;
}

// The shared libraries the dynamic loader started in a run (LD_DEBUG=libs), one per line.
std::string LoadedLibraries(const test::TTempDir& Dir, const std::string& Args, int& Status) {
  const std::string log = Dir.File("ld.log");
  std::filesystem::remove(log);
  Status =
      Cli("LD_DEBUG=libs LD_DEBUG_OUTPUT=" + test::ShellQuote(log), Args + " >/dev/null").Status;
  std::string libraries;
  for (const auto& entry : std::filesystem::directory_iterator(Dir.Path())) {
    if (entry.path().filename().string().rfind("ld.log.", 0) != 0) continue;
    std::istringstream text(test::ReadFileBytes(entry.path().string()));
    const std::string init = "calling init: ";
    for (std::string line; std::getline(text, line);)
      if (const size_t at = line.find(init); at != std::string::npos)
        libraries += line.substr(at + init.size()) + "\n";
    std::filesystem::remove(entry.path());
  }
  return libraries;
}

// The FFmpeg libraries (libavcodec, libswscale, ...) or the engine module among Libraries.
bool HasMediaLibrary(const std::string& Libraries) {
  std::istringstream lines(Libraries);
  for (std::string line; std::getline(lines, line);) {
    const std::string name = std::filesystem::path(line).filename().string();
    if (name.rfind("libav", 0) == 0 || name.rfind("libsw", 0) == 0 ||
        name.rfind("reelwright-engine", 0) == 0)
      return true;
  }
  return false;
}

TEST(EngineModule, InfoAndStreamCopyLoadNoMediaLibrary) {
  test::TTempDir dir;
  test::TClipSpec spec;
  spec.Audio = "pcm";
  const std::string clip = test::ShellQuote(test::MakeClip(spec));
  int status = -1;
  const std::string info = LoadedLibraries(dir, "info " + clip, status);
  EXPECT_EQ(status, 0);
  ASSERT_NE(info.find("libc.so"), std::string::npos) << "the loader's log was not read:\n" << info;
  EXPECT_FALSE(HasMediaLibrary(info)) << info;

  const std::string copy = LoadedLibraries(
      dir, "join --copy -o " + test::ShellQuote(dir.File("out.avi")) + " " + clip + " " + clip,
      status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(HasMediaLibrary(copy)) << copy;
  EXPECT_EQ(test::DecodeErrors(dir.File("out.avi")), "");

  EXPECT_FALSE(HasMediaLibrary(LoadedLibraries(dir, "--help", status)));
  // What needs the engine loads it, FFmpeg with it.
  const std::string compressors = LoadedLibraries(dir, "compressors", status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasMediaLibrary(compressors)) << compressors;
  EXPECT_NE(compressors.find("/reelwright-engine.so\n"), std::string::npos) << compressors;
}

TEST(EngineModule, WithoutTheModuleOnlyRecompressionFailsAndSaysWhy) {
  test::TTempDir dir;
  test::TClipSpec spec;
  spec.Audio = "pcm";
  const std::string clip = test::ShellQuote(test::MakeClip(spec));
  const std::string missing = dir.File("no-such/reelwright-engine.so");
  const std::string env = "REELWRIGHT_ENGINE=" + test::ShellQuote(missing);
  const std::string reason =
      "The media engine (reelwright-engine.so) could not be loaded, so files cannot be "
      "recompressed; joining without recompression (stream copy) still works. Looked for " +
      missing +
      " (named by REELWRIGHT_ENGINE): cannot open shared object file: No such "
      "file or directory.\n";

  const std::string out = dir.File("out.avi");
  TRun r = Cli(env, "join --recompress -o " + test::ShellQuote(out) + " " + clip + " " + clip);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "Join fails: " + reason);
  EXPECT_FALSE(std::filesystem::exists(out));

  r = Cli(env, "compressors");
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, reason);

  // A file that is not a module: the loader's reason, and still only recompression fails.
  const std::string text = dir.File("text.so");
  test::WriteFileBytes(text, "not a module\n");
  r = Cli("REELWRIGHT_ENGINE=" + test::ShellQuote(text), "compressors");
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Output.find(text + " (named by REELWRIGHT_ENGINE): "), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find("file too short"), std::string::npos) << r.Output;

  r = Cli(env, "info " + clip);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("AVI:FMP4\t64x48\t25\t44KHz Stereo"), std::string::npos) << r.Output;
  r = Cli(env, "join -o " + test::ShellQuote(out) + " " + clip + " " + clip);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::DecodeErrors(out), "");

  // The variable names the module to use, wherever it is.
  const std::string real =
      (std::filesystem::path(std::getenv("RW_CLI")).parent_path() / "reelwright-engine.so")
          .string();
  r = Cli("REELWRIGHT_ENGINE=" + test::ShellQuote(real), "compressors");
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find(" mpeg4 "), std::string::npos);
}

}  // namespace
}  // namespace rw
