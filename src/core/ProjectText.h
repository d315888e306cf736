#pragma once
// The text form of a project file: a streamed TProjectSettings object whose content is the
// Files.Strings list of full file names and, when some file is cut, the Cuts.Strings list of each
// file's cut. Names are byte strings in the locale's encoding.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "media/PictureCut.h"

namespace rw {

// What a project holds: the names, and either no cuts (every file whole) or one per name.
struct TProjectContents {
  std::vector<std::string> Files;
  std::vector<TPictureCut> Cuts;
};

// The exact bytes the program writes for Files (CR LF line ends). Cuts, one per file, are
// written as a second list only when some file is cut, as "IN-OUT" picture numbers ("IN-" to
// the end, empty for a whole file): a project without cuts is the names alone.
std::string WriteProjectText(const std::vector<std::string>& Files,
                             const std::vector<TPictureCut>& Cuts = {});

// What a project holds at most: names that fit in the longest path the system takes (a
// longer one names no file), and no more names than a list of files can usefully show (adding
// each costs a file's description: 100,000 take seconds and tens of MB).
inline constexpr size_t MaxProjectNameBytes = 4095;
inline constexpr size_t MaxProjectFiles = 100000;

// Parses the textual object form, tolerating white space, case and the general properties Name
// and Tag. Raises "The project file is corrupted" for anything else, also for a name or a list
// longer than the bounds above, and for a cut list that does not hold one valid cut per name.
TProjectContents ReadProjectContents(std::string_view Text);
// The names alone.
std::vector<std::string> ReadProjectText(std::string_view Text);

// Reads what a project file holds. Raises "Cannot open file " + name when it cannot be
// opened, else "The project file is corrupted" for anything that is not a project file.
TProjectContents ReadProjectFile(const std::string& FileName);
// Creates (or truncates) the file and writes Files and Cuts into it. Raises
// "Cannot create file " + name.
void WriteProjectFile(const std::string& FileName, const std::vector<std::string>& Files,
                      const std::vector<TPictureCut>& Cuts = {});

inline constexpr const char* SProjectCorrupted = "The project file is corrupted";

}  // namespace rw
