#include "engine/EngineInfo.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace rw {
std::string MediaEngineVersion() { return std::string("FFmpeg ") + av_version_info(); }
}  // namespace rw
