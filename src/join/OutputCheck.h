#pragma once
// The output check both joiners make before they touch anything: replacing the output must
// never destroy one of the sources (named by any path or link) or a file that is not a regular
// file (a device or a pipe, which deleting would remove from the system).
#include <string>
#include <vector>

namespace rw {

// Raises "The output file X is one of the files to join" or "The output file X is not a
// regular file".
void CheckJoinOutput(const std::string& OutFileName, const std::vector<std::string>& Sources);

}  // namespace rw
