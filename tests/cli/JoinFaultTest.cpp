// reelwright-cli join against outputs it cannot or must not write: a file-size limit reached
// mid-join, folders it cannot create the output in, names that reach a source or a file that is
// not a regular file, and a process killed mid-join. A failure ends with "Join fails: ..." and
// exit status 1; an existing output stays byte for byte as it was, nothing is left beside it,
// and no other file is touched.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>
#include <grp.h>
#include <pwd.h>
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
// WhileRunning, when given, is called with the child's id once it runs; InChild runs in the
// child before the program starts. Status -1: killed.
TRun Join(const std::vector<std::string>& Args, rlim_t FileSizeLimit = RLIM_INFINITY,
          const std::function<void(pid_t)>& WhileRunning = {},
          const std::function<void()>& InChild = {}) {
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
    if (InChild) InChild();
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (WhileRunning) WhileRunning(pid);
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
  // The names in the test's folder.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir.Path())) names.insert(e.path().filename());
    return names;
  }

  test::TTempDir Dir;
  std::string A = Dir.File("a.avi"), B = Dir.File("b.avi"), Bystander = Dir.File("notes.txt");
  std::string Out = Dir.File("out.avi");
  std::map<std::string, std::string> Sums;
};

TEST_F(JoinFaults, AJoinThatFillsTheDiskLeavesTheOutputItReplacesAsItWasAndNothingBeside) {
  test::TClip clip;
  clip.Seconds = 2;
  const std::string c = Dir.File("clip.avi");
  test::MakeClipFile(c, clip);
  test::WriteFileBytes(Out, "the output the user agreed to replace");
  ::chmod(Out.c_str(), 0640);
  Sums[c] = test::Checksum(c);
  Sums[Out] = test::Checksum(Out);
  const std::set<std::string> before = Names();

  // By stream copy and by recompression: the system's text, and no stub of either file.
  ExpectFails(Join({"--yes", "-o", Out, A, B}, 256 * 1024),
              "System Error.  Code: 27.\nFile too large");
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(test::Checksum(Out), Sums[Out]);
  const TRun r = Join({"--recompress", "--yes", "-o", Out, c, c}, 48 * 1024);
  EXPECT_EQ(r.Status, 1) << r.Output;
  EXPECT_EQ(r.Output.rfind("Join fails: ", 0), 0u) << r.Output;
  EXPECT_NE(r.Output.find("File too large"), std::string::npos) << r.Output;
  EXPECT_EQ(Names(), before);
  EXPECT_EQ(test::Checksum(Out), Sums[Out]);

  // Without the limit the same join replaces the output, which keeps its permissions.
  Sums.erase(Out);
  EXPECT_EQ(Join({"--yes", "-o", Out, A, B}).Status, 0);
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 60);
  EXPECT_EQ(fs::status(Out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(), before);
}

TEST_F(JoinFaults, AnOutputThatCannotBeCreatedFailsBeforeAnythingIsWritten) {
  // The system's reason follows the output the user chose, not the temporary file's name.
  const auto unable = [](const std::string& Output, const std::string& Reason) {
    return "Unable to overwrite the file " + Output +
           ".\r\nPossible the file is blocked by other application.\r\n" + Reason;
  };
  ExpectFails(Join({"-o", Bystander + "/out.avi", A, B}),
              unable(Bystander + "/out.avi", "System Error.  Code: 20.\nNot a directory"));

  // The message names the output, its control characters shown as `info` shows them.
  const std::string folder = Dir.File("folder\x1b[2J\n.avi");
  fs::create_directory(folder);
  test::WriteFileBytes(folder + "/inside", "kept");
  ExpectFails(Join({"--yes", "-o", folder, A, B}),
              unable(Dir.File("folder?[2J?.avi"), "System Error.  Code: 21.\nIs a directory"));
  EXPECT_EQ(test::ReadFileBytes(folder + "/inside"), "kept");
  const std::string text = Dir.File("text\x07.avi");
  test::WriteFileBytes(text, "not a video at all, but long enough to be looked at");
  Sums[text] = test::Checksum(text);
  const TRun r = Join({"-o", Out, A, text});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output,
            "Unable to add file " + Dir.File("text?.avi") + ": The file has unknown format.\n");

  // Permission bits do not stop the superuser.
  if (::geteuid() != 0) {
    const std::string locked = Dir.File("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    ExpectFails(Join({"-o", locked + "/out.avi", A, B}),
                unable(locked + "/out.avi", "System Error.  Code: 13.\nPermission denied"));
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
  ExpectFails(Join({"--yes", "-o", pipe, A, B}),
              "The output file " + pipe + " is not a regular file");
  EXPECT_TRUE(fs::is_fifo(pipe));
}

TEST_F(JoinFaults, ASymbolicLinkAsOutputIsReplacedByEitherJoinAndItsTargetLeftAlone) {
  const std::string link = Dir.File("link.avi");
  fs::create_symlink(Bystander, link);
  // Even pointing nowhere, the link is a name the join would replace: only with --yes.
  const std::string dangling = Dir.File("dangling.avi");
  fs::create_symlink(Dir.File("nowhere.avi"), dangling);
  TRun r = Join({"-o", dangling, A});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "The \"" + dangling +
                          "\" file already exists. Do you want to overwrite it?\n"
                          "Run the command with --yes to replace it.\n");
  EXPECT_TRUE(fs::is_symlink(dangling));

  test::TClip clip;
  clip.Seconds = 0.4;
  const std::string c = Dir.File("clip.avi");
  test::MakeClipFile(c, clip);
  for (const std::string mode : {"--copy", "--recompress"}) {
    SCOPED_TRACE(mode);
    fs::remove(link);
    fs::create_symlink(Bystander, link);
    r = Join({mode, "--yes", "-o", link, c, c});
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_NEAR(test::ProbePacketCounts(link)["video"], 20, 1);
  }
  EXPECT_FALSE(fs::exists(Dir.File("nowhere.avi")));
}

// Waits (at most a minute) until the join's temporary file beside Out holds At bytes.
void AwaitWritten(const std::string& Temp, uintmax_t At) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto below = [&] {
    std::error_code ec;
    return fs::file_size(Temp, ec) < At || ec;
  };
  while (below() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

TEST_F(JoinFaults, AFileThatAppearsAtTheOutputsNameDuringTheJoinIsNotReplaced) {
  const std::string a = Dir.File("big-a.avi"), b = Dir.File("big-b.avi");
  test::MakeSparseRawAVI(a, 100);
  test::MakeSparseRawAVI(b, 100);
  const std::set<std::string> before = Names();
  // Another program saves its file there while the join runs (with or without --yes: the
  // user agreed to replace nothing).
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    fs::remove(Out);
    std::vector<std::string> args = {"-o", Out, a, b};
    if (yes) args.insert(args.begin(), "--yes");
    const TRun r = Join(args, RLIM_INFINITY, [&](pid_t) {
      AwaitWritten(Dir.File(".out.avi.part"), 1 << 20);
      test::WriteFileBytes(Out, "another program's file");
    });
    ExpectFails(r, "The output file " + Out + " was created during the join; it is left as it is");
    EXPECT_TRUE(test::ReadFileBytes(Out) == "another program's file");  // not 200 MB of diff
    std::set<std::string> left = Names();
    left.erase("out.avi");
    EXPECT_EQ(left, before);
  }
}

TEST_F(JoinFaults, AsAnOrdinaryUserAReadOnlyOutputIsReplacedAndAnUnreadableFolderOnlyWarns) {
  // As root (permission bits do not stop the superuser), the join runs as "nobody", who is
  // given the test's folder.
  const bool root = ::geteuid() == 0;
  const passwd* nobody = root ? ::getpwnam("nobody") : nullptr;
  const uid_t uid = !root ? ::geteuid() : nobody ? nobody->pw_uid : 65534;
  const gid_t gid = !root ? ::getegid() : nobody ? nobody->pw_gid : 65534;
  auto asUser = [=] {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
      ::_exit(126);
  };
  for (const std::string& name : {Dir.Path().string(), A, B}) {
    ASSERT_EQ(::chown(name.c_str(), uid, gid), 0);
    ASSERT_EQ(::chmod(name.c_str(), name == A || name == B ? 0644 : 0755), 0);
  }

  // The user's own read-only output: --yes replaces it, and the new file is read-only too.
  test::WriteFileBytes(Out, "the user's read-only output");
  ASSERT_EQ(::chown(Out.c_str(), uid, gid), 0);
  ASSERT_EQ(::chmod(Out.c_str(), 0444), 0);
  TRun r = Join({"--yes", "-o", Out, A, B}, RLIM_INFINITY, {}, asUser);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(r.Output, "");
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 60);
  EXPECT_EQ(fs::status(Out).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  // A drop box (written, not read): the output is in place, and the folder that could not be
  // synced is only named in a warning.
  const std::string box = Dir.File("drop-box"), inBox = box + "/out.avi";
  fs::create_directory(box);
  ASSERT_EQ(::chown(box.c_str(), uid, gid), 0);
  ASSERT_EQ(::chmod(box.c_str(), 0333), 0);
  r = Join({"-o", inBox, A, B}, RLIM_INFINITY, {}, asUser);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(r.Output, "Warning: The folder of " + inBox +
                          " could not be synced to the disk (Permission denied).\n");
  EXPECT_EQ(test::ProbePacketCounts(inBox)["video"], 60);
  fs::permissions(box, fs::perms::owner_all);
}

TEST_F(JoinFaults, ASignalIgnoredWhenTheProgramStartsStaysIgnored) {
  // As under `nohup`: SIGHUP mid-join changes nothing, the join ends whole.
  const std::string a = Dir.File("big-a.avi"), b = Dir.File("big-b.avi");
  test::MakeSparseRawAVI(a, 100);
  test::MakeSparseRawAVI(b, 100);
  const TRun r = Join(
      {"-o", Out, a, b}, RLIM_INFINITY,
      [&](pid_t Pid) {
        AwaitWritten(Dir.File(".out.avi.part"), 1 << 20);
        ::kill(Pid, SIGHUP);
      },
      [] { ::signal(SIGHUP, SIG_IGN); });
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 200);
}

TEST_F(JoinFaults, AStopSignalWhileTheCompressorsAreTriedEndsTheCommandBeforeTheJoin) {
  test::TClip clip;
  clip.Seconds = 0.4;
  const std::string c = Dir.File("clip.avi");
  test::MakeClipFile(c, clip);
  Sums[c] = test::Checksum(c);
  const std::set<std::string> before = Names();
  // The media engine is loaded to try the compressors, which takes a while.
  const TRun r = Join({"--recompress", "-o", Out, c, c}, RLIM_INFINITY, [&](pid_t Pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto engineLoaded = [&] {
      try {
        return test::ReadFileBytes("/proc/" + std::to_string(Pid) + "/maps")
                   .find("reelwright-engine") != std::string::npos;
      } catch (const std::exception&) {
        return true;  // ended
      }
    };
    while (!engineLoaded() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(Pid, SIGTERM);
  });
  EXPECT_EQ(r.Status, 128 + SIGTERM) << r.Output;
  EXPECT_EQ(Names(), before);
}

TEST_F(JoinFaults, AJoinKilledAtAnyPointLeavesAtMostItsTemporaryFileBesideTheOutput) {
  const std::string a = Dir.File("big-a.avi"), b = Dir.File("big-b.avi");
  test::MakeSparseRawAVI(a, 400);
  test::MakeSparseRawAVI(b, 400);
  const std::string temp = Dir.File(".out.avi.part");
  test::WriteFileBytes(Out, "the output the user agreed to replace");
  Sums[Out] = test::Checksum(Out);
  std::set<std::string> before = Names();

  // SIGKILL at once, and once 1 MiB and 40 MiB of the 800 MiB are written.
  for (const uintmax_t at : {uintmax_t{0}, uintmax_t{1} << 20, uintmax_t{40} << 20}) {
    SCOPED_TRACE(at);
    fs::remove(temp);
    const TRun r = Join({"--yes", "-o", Out, a, b}, RLIM_INFINITY, [&](pid_t Pid) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      auto belowAt = [&] {
        std::error_code ec;
        return fs::file_size(temp, ec) < at || ec;
      };
      while (at > 0 && belowAt() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ::kill(Pid, SIGKILL);
    });
    EXPECT_EQ(r.Status, -1) << r.Output;
    if (at > 0) {
      EXPECT_GE(fs::file_size(temp), at);
    }
    std::set<std::string> left = Names();
    left.erase(".out.avi.part");
    EXPECT_EQ(left, before);
  }

  // The join runs again beside what the killed one left, and leaves that alone.
  Sums.erase(Out);
  const TRun r = Join({"--yes", "-o", Out, A, B});
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 60);
  before.insert(".out.avi.part");
  EXPECT_EQ(Names(), before);
}

// A join that a fault ends (here on purpose: the test switch aborts at its first report, as a
// codec library that aborts would) says so as a failure, removes its temporary file and keeps
// the output it would have replaced; the program still ends by the signal.
TEST_F(JoinFaults, AJoinEndedByAFaultSaysSoAndLeavesNothingBesideTheOutput) {
  test::WriteFileBytes(Out, "the output the user agreed to replace");
  Sums[Out] = test::Checksum(Out);
  const std::set<std::string> before = Names();
  const TRun r = Join({"--yes", "-o", Out, A, B}, RLIM_INFINITY, {},
                      [] { ::setenv("REELWRIGHT_WORKER_CRASH", "join", 1); });
  EXPECT_EQ(r.Status, -1) << r.Output;
  EXPECT_NE(r.Output.find("Join fails: the media engine stopped unexpectedly while copying the "
                          "files (signal 6)\n"),
            std::string::npos)
      << r.Output;
  EXPECT_EQ(Names(), before);
}

}  // namespace
}  // namespace rw
