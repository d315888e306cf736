#pragma once
// The version text of the media engine.
#include <string>

namespace rw {
// Version text of the media libraries that the recompressing join runs on ("FFmpeg 5.1.4");
// loads the media engine, and raises rw::Exception when it cannot be loaded.
std::string MediaEngineVersion();
}  // namespace rw
