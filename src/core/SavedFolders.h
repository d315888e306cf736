#pragma once
// The folders the file dialogs start in, shared by the whole program and kept with the
// settings (read at start-up, stored at shut-down, with the list's LastOpenFolder):
// LastSaveFolder, the folder of the join's output-file chooser, and LastProjectFolder, the
// folder of the project dialogs. Empty: the dialogs start where the platform chooses.
#include <string>

namespace rw {

extern std::string LastSaveFolder;
extern std::string LastProjectFolder;

}  // namespace rw
