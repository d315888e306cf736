#include "engine/MediaDetector.h"

#include <new>

#include "engine/EngineLoader.h"

namespace rw {

TMediaDetector::TMediaDetector() {
  // Making one fails only for want of memory.
  if (MediaEngine().NewDetector(FImpl) != ME_OK) throw std::bad_alloc();
}

TMediaDetector::~TMediaDetector() = default;

TMediaResult TMediaDetector::PutFilename(const std::string& FileName) { return FImpl->PutFilename(FileName); }
TMediaResult TMediaDetector::GetOutputStreams(int32_t& Count) const { return FImpl->GetOutputStreams(Count); }
TMediaResult TMediaDetector::PutCurrentStream(int32_t Stream) { return FImpl->PutCurrentStream(Stream); }
TMediaResult TMediaDetector::GetStreamLength(double& Seconds) const { return FImpl->GetStreamLength(Seconds); }
TMediaResult TMediaDetector::GetStreamType(TMediaMajorType& Type) const { return FImpl->GetStreamType(Type); }

}  // namespace rw
