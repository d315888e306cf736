// reelwright-cli join against outputs it cannot or must not write: a file-size limit reached
// mid-join, folders it cannot create the output in, and names that reach a source or a file
// that is not a regular file. Each fails with "Join fails: ..." and exit status 1, and nothing
// but the output is touched.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/JoinCheck.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace rw {
namespace {

struct TRun {
  int Status = -1;
  std::string Output;  // standard output and standard error
};

// Runs `reelwright-cli join Args...` in a child process. With FileSizeLimit, no file of the
// child may grow past that many bytes: SIGXFSZ is ignored, so a write past it fails with EFBIG.
TRun Join(const std::vector<std::string>& Args, rlim_t FileSizeLimit = RLIM_INFINITY) {
  std::vector<std::string> args = {std::getenv("RW_CLI"), "join"};
  args.insert(args.end(), Args.begin(), Args.end());
  std::vector<char*> argv;
  for (auto& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(out[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    const rlimit limit{FileSizeLimit, FileSizeLimit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  TRun r;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(out[0], buf, sizeof buf)) > 0) r.Output.append(buf, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class JoinFaults : public ::testing::Test {
protected:
  void SetUp() override {
    // 30 video chunks of 20 KiB each: about 600 KiB per source.
    test::TAVIBuilder b;
    b.AddStream(test::VideoHeader(25, 1), test::BitmapInfo(64, 48, FourCC("FMP4")));
    b.StreamList[0].Header.Length = 30;
    for (int i = 0; i < 30; ++i) b.AddChunk(0, 20 * 1024, i % 10 == 0);
    b.Write(A);
    b.Write(B);
    test::WriteFileBytes(Bystander, "a file beside the output");
    for (const auto& f : {A, B, Bystander}) Sums[f] = test::Checksum(f);
  }
  // Every file but the output is as it was.
  void TearDown() override {
    for (const auto& [file, sum] : Sums) EXPECT_EQ(test::Checksum(file), sum) << file;
  }
  void ExpectFails(const TRun& R, const std::string& Message) {
    EXPECT_EQ(R.Status, 1) << R.Output;
    EXPECT_EQ(R.Output, "Join fails: " + Message + "\n");
  }

  test::TTempDir Dir;
  std::string A = Dir.File("a.avi"), B = Dir.File("b.avi"), Bystander = Dir.File("notes.txt");
  std::string Out = Dir.File("out.avi");
  std::map<std::string, std::string> Sums;
};

TEST_F(JoinFaults, AFileSizeLimitReachedMidJoinFailsWithTheSystemsText) {
  constexpr rlim_t limit = 256 * 1024;
  test::WriteFileBytes(Out, "the output the user agreed to replace");
  ExpectFails(Join({"--yes", "-o", Out, A, B}, limit), "Win32 Error.  Code: 27.\nFile too large");
  EXPECT_LE(fs::file_size(Out), limit);

  // Without the limit the same join succeeds.
  EXPECT_EQ(Join({"--yes", "-o", Out, A, B}).Status, 0);
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 60);
}

TEST_F(JoinFaults, ARecompressionThatReachesAFileSizeLimitFailsWithTheSystemsText) {
  test::TClip clip;
  clip.Seconds = 2;
  const std::string c = Dir.File("clip.avi");
  test::MakeClipFile(c, clip);
  Sums[c] = test::Checksum(c);
  constexpr rlim_t limit = 48 * 1024;
  const TRun r = Join({"--recompress", "-o", Out, c, c}, limit);
  EXPECT_EQ(r.Status, 1) << r.Output;
  EXPECT_EQ(r.Output.rfind("Join fails: ", 0), 0u) << r.Output;
  EXPECT_NE(r.Output.find("File too large"), std::string::npos) << r.Output;
  EXPECT_LE(fs::file_size(Out), limit);
}

TEST_F(JoinFaults, AnOutputThatCannotBeCreatedFailsBeforeAnythingIsWritten) {
  ExpectFails(Join({"-o", Bystander + "/out.avi", A, B}), "Win32 Error.  Code: 20.\nNot a directory");

  const std::string folder = Dir.File("folder.avi");
  fs::create_directory(folder);
  test::WriteFileBytes(folder + "/inside", "kept");
  ExpectFails(Join({"--yes", "-o", folder, A, B}), "Win32 Error.  Code: 21.\nIs a directory");
  EXPECT_EQ(test::ReadFileBytes(folder + "/inside"), "kept");

  // Permission bits do not stop the superuser.
  if (::geteuid() != 0) {
    const std::string locked = Dir.File("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    ExpectFails(Join({"-o", locked + "/out.avi", A, B}), "Win32 Error.  Code: 13.\nPermission denied");
    EXPECT_TRUE(fs::is_empty(locked));
    fs::permissions(locked, fs::perms::owner_all);
  }
}

TEST_F(JoinFaults, AnOutputThatIsASourceOrNotARegularFileIsRefusedEvenWhenReplacingIsAllowed) {
  const std::string link = Dir.File("link.avi"), hard = Dir.File("hard.avi");
  fs::create_symlink(B, link);
  fs::create_hard_link(B, hard);
  for (const std::string& out : {Dir.File("./b.avi"), link, hard})
    ExpectFails(Join({"--yes", "-o", out, A, B}),
                "The output file " + out + " is one of the files to join");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::exists(hard));

  const std::string pipe = Dir.File("pipe.avi");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  ExpectFails(Join({"--yes", "-o", pipe, A, B}), "The output file " + pipe + " is not a regular file");
  EXPECT_TRUE(fs::is_fifo(pipe));
}

}  // namespace
}  // namespace rw
