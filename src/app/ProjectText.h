#pragma once
// The text form of a project file: a streamed TProjectSettings object whose only content is the
// Files.Strings list of full file names. Names are byte strings in the locale's encoding.
#include <string>
#include <string_view>
#include <vector>

namespace rw {

// The exact bytes the program writes for Files (CR LF line ends).
std::string WriteProjectText(const std::vector<std::string>& Files);

// Parses the textual object form, tolerating white space, case and the general properties Name
// and Tag. Raises "The project file is corrupted" for anything else.
std::vector<std::string> ReadProjectText(std::string_view Text);

inline constexpr const char* SProjectCorrupted = "The project file is corrupted";

}  // namespace rw
