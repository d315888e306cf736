#include "platform/Errors.h"

#include <cerrno>
#include <cstring>

namespace rw {

std::string OSErrorMessage(int Code) {
  if (Code == 0) return "A system call failed";
  return "System Error.  Code: " + std::to_string(Code) + ".\n" + std::strerror(Code);
}

void RaiseOSError(int Code) { throw EOSError(Code, OSErrorMessage(Code)); }

void RaiseLastOSError() { RaiseOSError(errno); }

std::string WithFullStop(const std::string& Message) {
  if (!Message.empty() && static_cast<unsigned char>(Message.back()) > '.') return Message + ".";
  return Message;
}

std::string MessageNamingFile(const std::string& FileName, const std::string& Message) {
  if (!FileName.empty() && Message.find(FileName) != std::string::npos) return Message;
  return "Unable to read " + FileName + ": " + Message;
}

}  // namespace rw
