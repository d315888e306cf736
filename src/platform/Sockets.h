#pragma once
// Whole messages over a connected socket: a send or a receive that the kernel splits, or a
// signal interrupts, goes on until every byte is through. A closed peer is a false result,
// never SIGPIPE.
#include <cstddef>

namespace rw {

bool SendAll(int Socket, const void* Data, size_t Size);
bool ReceiveAll(int Socket, void* Data, size_t Size);

}  // namespace rw
