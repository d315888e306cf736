#include "join/OutputCheck.h"

#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {

void CheckJoinOutput(const std::string& OutFileName, const std::vector<std::string>& Sources) {
  for (const std::string& name : Sources)
    if (SameFile(name, OutFileName))
      throw Exception("The output file " + OutFileName + " is one of the files to join");
  if (FileExists(OutFileName) && !IsRegularFile(OutFileName))
    throw Exception("The output file " + OutFileName + " is not a regular file");
}

}  // namespace rw
