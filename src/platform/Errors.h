#pragma once
// The error classes every part of the program raises. A failure is an exception that carries
// the text the user is shown; commands that expect failures wrap it in their own sentence.
#include <stdexcept>
#include <string>

namespace rw {

// The general error class.
class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& Message) : std::runtime_error(Message) {}
};

// A failed operating-system call.
class EOSError : public Exception {
public:
  EOSError(int Code, const std::string& Message) : Exception(Message), ErrorCode(Code) {}
  int ErrorCode;
};

// A file stream that could not be created or opened.
class EFCreateError : public Exception {
public:
  using Exception::Exception;
};
class EFOpenError : public Exception {
public:
  using Exception::Exception;
};

// Text of a failed system call: "System Error.  Code: %d.\n%s", or
// "A system call failed" when no error code is set.
std::string OSErrorMessage(int Code);

// Raises EOSError for the calling thread's errno.
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(int Code);

// The message of an error that concerns the file FileName: "Unable to read " + FileName + ": "
// + Message, or Message as it is when it names the file already.
std::string MessageNamingFile(const std::string& FileName, const std::string& Message);

// The application's default error display appends a full stop to a message whose last
// character sorts after '.'.
std::string WithFullStop(const std::string& Message);

}  // namespace rw
