#pragma once
// Whole messages over a connected socket: a send or a receive that the kernel splits, or a
// signal interrupts, goes on until every byte is through. A closed peer is a false result,
// never SIGPIPE.
#include <cstddef>
#include <string>

namespace rw {

bool SendAll(int Socket, const void* Data, size_t Size);
bool ReceiveAll(int Socket, void* Data, size_t Size);

// Starts Program with the one argument Verb, its standard input and output one end of a new
// socket pair; the other end, or -1 when it cannot start. Pid is the child's process id.
int SpawnSocketWorker(const std::string& Program, const char* Verb, int& Pid);

}  // namespace rw
