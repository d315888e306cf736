#pragma once
// Loads the media engine module at its first use, once per process: the file named by the
// environment variable REELWRIGHT_ENGINE when it is set (and only that one), otherwise
// reelwright-engine.so beside the running executable, then in the lib/reelwright of the
// prefix the executable is installed under (bin/../lib/reelwright), then in the configured
// install prefix's lib/reelwright.
// Until then the program has no FFmpeg library in memory.
#include <string>
#include <vector>

#include "engine/MediaEngine.h"

namespace rw {

// The loaded engine, or the worker's engine once UseEngineWorker (EngineClient.h) was called.
// Raises rw::Exception, at every call, when it cannot be loaded: where it
// was looked for, why each file failed, and that stream copy still works. Thread-safe.
IMediaEngine& MediaEngine();

// The module file the engine was loaded from (loading it); raises as MediaEngine does.
std::string MediaEngineModuleFile();

// The files MediaEngine tries, in order.
std::vector<std::string> MediaEngineCandidates();

}  // namespace rw
