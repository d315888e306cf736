#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/ConvertJobs.h"

namespace rw {

void CheckSoundTarget(const TStreamTarget&) {
  throw EMediaEngineError(ME_NOCODEC, "Converting sound is not supported");
}

std::unique_ptr<IConvertJob> StartSoundConvert(const TConvertPlan& Plan) {
  CheckSoundTarget(Plan.Target);
  return nullptr;
}

}  // namespace rw
