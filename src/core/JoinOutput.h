#pragma once
// The output of a join as the user sees it: where a typed name lands (a relative name is taken
// in the first source's folder, not in the program's working folder) and the message that
// tells what a finished join made (full name, duration, size).
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

// Name as a full path: unchanged when absolute; "~/..." in the home folder; else in the
// first source's folder, or in SaveFolder when there is no first source, or in the working
// folder when neither is known. "." and ".." parts are resolved.
std::string ResolveOutputFileName(const std::string& Name, const std::string& FirstSource,
                                  const std::string& SaveFolder);

// The file a typed output name writes: resolved as above; a name without an extension gets
// ".avi". Raises, with a message that names it, when the name is a folder (ends with "/" or
// names an existing folder) or is only an extension (".avi"). Empty stays empty.
std::string OutputFileName(const std::string& Name, const std::string& FirstSource,
                           const std::string& SaveFolder);

// The output name proposed for joining Sources (full names, in list order): beside the first,
// named by the names' common stem ("holiday part 1.avi" ... "holiday part 12.avi" give
// "holiday.avi"), else "FIRST joined.avi"; never one of the sources' own names. Empty without
// sources.
std::string ProposedOutputName(const std::vector<std::string>& Sources);

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

// The message of a join the user stopped, which keeps what was written under the output's
// name: "Stopped after 00:05 of 00:54; the first 00:05 is kept as NAME.", or that nothing
// was kept. Total is the sources' whole duration in seconds.
std::string JoinStoppedText(const TJoinOutputFacts& Output, bool Kept, double Total);

}  // namespace rw
