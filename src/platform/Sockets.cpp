#include "platform/Sockets.h"

#include <sys/socket.h>

#include <cerrno>

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

}  // namespace rw
