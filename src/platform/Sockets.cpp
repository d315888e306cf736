#include "platform/Sockets.h"

#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace rw {

bool SendAll(int Socket, const void* Data, size_t Size) {
  for (size_t done = 0; done < Size;) {
    const ssize_t n =
        ::send(Socket, static_cast<const char*>(Data) + done, Size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReceiveAll(int Socket, void* Data, size_t Size) {
  for (size_t done = 0; done < Size;) {
    const ssize_t n = ::recv(Socket, static_cast<char*>(Data) + done, Size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int SpawnSocketWorker(const std::string& Program, const char* Verb, int& Pid) {
  Pid = -1;
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
  posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
  std::string verb = Verb;
  char* argv[] = {const_cast<char*>(Program.c_str()), verb.data(), nullptr};
  pid_t pid = -1;
  const int failed = ::posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pair[1]);
  if (failed != 0) {
    ::close(pair[0]);
    return -1;
  }
  Pid = pid;
  return pair[0];
}

}  // namespace rw
