#pragma once
// The output check both joiners make before they touch anything: replacing the output must
// never destroy one of the sources (named by any path or link) or a file that is not a regular
// file (a device or a pipe, which deleting would remove from the system).
#include <string>
#include <vector>

#include "platform/Files.h"

namespace rw {

// Raises "The output file X is one of the files to join" or "The output file X is not a
// regular file".
void CheckJoinOutput(const std::string& OutFileName, const std::vector<std::string>& Sources);

// A source must be the file it was described as (its row of the list): the same device and
// inode, size and time of change. Raises "The file X has changed since it was added to the
// list" when Now differs from Described; a Described of inode 0 was not recorded and passes.
void CheckSourceIdentity(const std::string& FileName, const TFileIdentity& Described,
                         const TFileIdentity& Now);

}  // namespace rw
