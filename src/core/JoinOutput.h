#pragma once
// The output of a join as the user sees it: where a typed name lands (a relative name is taken
// in the first source's folder, not in the program's working folder) and the message that
// tells what a finished join made (full name, duration, size).
#include <cstdint>
#include <string>

namespace rw {

// Name as a full path: unchanged when absolute; "~/..." in the home folder; else in the
// first source's folder, or in SaveFolder when there is no first source, or in the working
// folder when neither is known. "." and ".." parts are resolved.
std::string ResolveOutputFileName(const std::string& Name, const std::string& FirstSource,
                                  const std::string& SaveFolder);

// What a finished join made. Size and Duration are -1 when they cannot be learnt.
struct TJoinOutputFacts {
  std::string FileName;
  int64_t Size = -1;
  double Duration = -1;  // seconds
};

// Reads the output's size and, with the AVI reader's header-only open, its duration; never
// raises.
TJoinOutputFacts DescribeJoinOutput(const std::string& FileName);

// "850 bytes", "12.3 KiB", "4.5 MiB", "1.2 GiB": binary multiples, named as such.
std::string FileSizeText(int64_t Bytes);

// The done message: the full name on its own line, then the duration and the size.
std::string JoinDoneText(const TJoinOutputFacts& Output);

}  // namespace rw
