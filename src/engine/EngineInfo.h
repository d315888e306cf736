#pragma once
#include <string>

namespace rw {
// Version text of the media libraries that the recompressing join runs on.
std::string MediaEngineVersion();
}  // namespace rw
