#pragma once
// The text form of a project file: a streamed TProjectSettings object whose only content is the
// Files.Strings list of full file names. Names are byte strings in the locale's encoding.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rw {

// The exact bytes the program writes for Files (CR LF line ends).
std::string WriteProjectText(const std::vector<std::string>& Files);

// What a project holds at most: names that fit in the longest path the system takes (a
// longer one names no file), and no more names than a list of files can usefully show (adding
// each costs a file's description: 100,000 take seconds and tens of MB).
inline constexpr size_t MaxProjectNameBytes = 4095;
inline constexpr size_t MaxProjectFiles = 100000;

// Parses the textual object form, tolerating white space, case and the general properties Name
// and Tag. Raises "The project file is corrupted" for anything else, also for a name or a list
// longer than the bounds above.
std::vector<std::string> ReadProjectText(std::string_view Text);

// Reads the names a project file holds. Raises "Cannot open file " + name when it cannot be
// opened, else "The project file is corrupted" for anything that is not a project file.
std::vector<std::string> ReadProjectFile(const std::string& FileName);
// Creates (or truncates) the file and writes Files into it. Raises "Cannot create file " + name.
void WriteProjectFile(const std::string& FileName, const std::vector<std::string>& Files);

inline constexpr const char* SProjectCorrupted = "The project file is corrupted";

}  // namespace rw
