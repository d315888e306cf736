#include "core/SavedFolders.h"

namespace rw {

std::string LastSaveFolder;
std::string LastProjectFolder;

}  // namespace rw
