#pragma once
// The engine's conversions of one source into chunks of an output stream's format, and the
// list's pictures of files. Each throws EMediaEngineError; the engine's Guard turns it into the
// TEngineError it answers with.
#include <memory>
#include <string>

#include "engine/MediaEngine.h"

namespace rw {

// Sound: decoded, resampled, remixed and encoded into the target's exact format.
void CheckSoundTarget(const TStreamTarget& Target);
std::unique_ptr<IConvertJob> StartSoundConvert(const TConvertPlan& Plan);

// Pictures: decoded, fitted, re-timed and encoded as the target's codec continues them.
void CheckPictureTarget(const TStreamTarget& Target);
std::unique_ptr<IConvertJob> StartPictureConvert(const TConvertPlan& Plan);

TThumbnail MakeThumbnail(const std::string& FileName, int32_t MaxWidth, int32_t MaxHeight);
TThumbnail MakePictureAt(const std::string& FileName, uint32_t Picture, int32_t MaxWidth,
                         int32_t MaxHeight);

}  // namespace rw
