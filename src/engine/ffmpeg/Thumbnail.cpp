#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/ConvertJobs.h"

namespace rw {

TThumbnail MakeThumbnail(const std::string&, int32_t, int32_t) {
  throw EMediaEngineError(ME_NOCODEC, "Pictures of files are not supported");
}

}  // namespace rw
