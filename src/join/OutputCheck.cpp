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

void CheckSourceIdentity(const std::string& FileName, const TFileIdentity& Described,
                         const TFileIdentity& Now) {
  if (Described.Inode != 0 && !(Described == Now))
    throw Exception("The file " + FileName + " has changed since it was added to the list");
}

}  // namespace rw
