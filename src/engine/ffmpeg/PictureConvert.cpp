#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/ConvertJobs.h"

namespace rw {

void CheckPictureTarget(const TStreamTarget&) {
  throw EMediaEngineError(ME_NOCODEC, "Converting pictures is not supported");
}

std::unique_ptr<IConvertJob> StartPictureConvert(const TConvertPlan& Plan) {
  CheckPictureTarget(Plan.Target);
  return nullptr;
}

}  // namespace rw
