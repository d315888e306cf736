#include "engine/EngineInfo.h"

#include "engine/EngineLoader.h"

namespace rw {
std::string MediaEngineVersion() {
  std::string text;
  MediaEngine().Version(text);
  return text;
}
}  // namespace rw
