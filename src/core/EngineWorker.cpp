#include "core/EngineWorker.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/Errors.h"
#include "recompress/CompressorList.h"

extern char** environ;

namespace rw {

std::string WorkerNameArgument(const std::string& Name) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : Name) {
    const auto b = static_cast<unsigned char>(c);
    if (b > ' ' && b < 0x7F && b != '%') {
      out += c;
    } else {
      out += '%';
      out += digits[b >> 4];
      out += digits[b & 15];
    }
  }
  return out;
}

std::string NameFromWorkerArgument(const std::string& Argument) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < Argument.size(); ++i) {
    const int high = Argument[i] == '%' && i + 2 < Argument.size() ? value(Argument[i + 1]) : -1;
    const int low = high >= 0 ? value(Argument[i + 2]) : -1;
    if (low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += Argument[i];
    }
  }
  return out;
}

std::string WorkerLine(const std::string& Word, const std::string& Text) {
  std::string line = Word;
  if (!Text.empty()) line += ' ';
  for (char c : Text) {
    if (c == '\\')
      line += "\\\\";
    else if (c == '\n')
      line += "\\n";
    else
      line += c;
  }
  return line + '\n';
}

void ReadWorkerLine(const std::string& Line, std::string& Word, std::string& Text) {
  std::string line = Line;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  const size_t space = line.find(' ');
  Word = line.substr(0, space);
  Text.clear();
  if (space == std::string::npos) return;
  for (size_t i = space + 1; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      ++i;
      Text += line[i] == 'n' ? '\n' : line[i];
    } else {
      Text += line[i];
    }
  }
}

std::string WorkerProgram() {
  const char* named = std::getenv("REELWRIGHT_WORKER");
  if (named && *named) return named;
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return ((error ? std::filesystem::path(".") : exe.parent_path()) / "reelwright-cli").string();
}

std::string JoinWorkText(const TJoinRequest& Request) {
  if (!Request.JoinWORecomp) {
    const auto& video = Request.Recompression.VideoCompressor;
    return "encoding with " + (video ? video->EncoderName() : std::string("uncompressed pictures"));
  }
  for (const TSourcePlan& plan : Request.Plans)
    if (!plan.Copied()) return "converting the files that differ";
  return "copying the files";
}

namespace {

std::mutex RunningLock;
std::set<pid_t> Running;
bool Stopping = false;

}  // namespace

std::string RunWorker(const std::vector<std::string>& Args, const std::string& Work) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw EOSError(errno, "A worker cannot be started");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const std::string program = WorkerProgram();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int failed = 0;
  {
    std::lock_guard<std::mutex> lock(RunningLock);
    failed = Stopping
                 ? ECANCELED
                 : ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    if (!failed) Running.insert(pid);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (failed) {
    ::close(out[0]);
    throw Exception("The program " + program + " cannot be started: " + OSErrorMessage(failed));
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  {
    std::lock_guard<std::mutex> lock(RunningLock);
    Running.erase(pid);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return text;
  std::istringstream lines(text);
  std::string line, word, error;
  while (std::getline(lines, line)) {
    ReadWorkerLine(line, word, error);
    if (word == "error") throw Exception(error);
  }
  throw Exception(WorkerStoppedText(Work, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                                    WIFEXITED(status) ? WEXITSTATUS(status) : 0));
}

void StopWorkers() {
  std::lock_guard<std::mutex> lock(RunningLock);
  Stopping = true;
  for (pid_t pid : Running) ::kill(pid, SIGKILL);
  StopEngineWorker();
}

TCompressorList WorkerCompressors(bool Audio) {
  const std::string kind = Audio ? "audio" : "video";
  std::istringstream lines(
      RunWorker({"compressor-worker", kind}, "listing the " + kind + " compressors"));
  TCompressorList list;
  std::string line, word, text;
  while (std::getline(lines, line)) {
    ReadWorkerLine(line, word, text);
    const size_t tab = text.find('\t');
    if (word == "compressor" && tab != std::string::npos)
      list.push_back({text.substr(0, tab), text.substr(tab + 1)});
  }
  return list;
}

std::string WorkerListingKey() {
  std::istringstream lines(RunWorker({"compressor-worker", "key"}, "loading the media engine"));
  std::string line, word, text;
  while (std::getline(lines, line)) {
    ReadWorkerLine(line, word, text);
    if (word == "key") return text;
  }
  return {};
}

bool WorkerCrashAsked(const char* Where) {
  const char* asked = std::getenv("REELWRIGHT_WORKER_CRASH");
  return asked && std::string(asked) == Where;
}

int WorkerPauseMs() {
  const char* pause = std::getenv("REELWRIGHT_WORKER_PAUSE");
  return pause ? std::atoi(pause) : 0;
}

}  // namespace rw
