#include "engine/MediaDetector.h"

#include <vector>

#include "engine/AVHandles.h"

namespace rw {

struct TMediaDetector::TImpl {
  TInputContextPtr Input;
  std::vector<const AVStream*> Streams;  // the video and audio streams, in file order
  int32_t Current = 0;

  const AVStream* CurrentStream() const {
    if (Current < 0 || static_cast<size_t>(Current) >= Streams.size()) return nullptr;
    return Streams[static_cast<size_t>(Current)];
  }
};

TMediaDetector::TMediaDetector() : FImpl(std::make_unique<TImpl>()) {}
TMediaDetector::~TMediaDetector() = default;

TMediaResult TMediaDetector::PutFilename(const std::string& FileName) {
  FImpl->Streams.clear();
  FImpl->Current = 0;
  int err = OpenMediaInput(FileName, FImpl->Input);
  if (err < 0) return ResultFromAVError(err);
  const AVFormatContext* in = FImpl->Input.get();
  for (unsigned i = 0; i < in->nb_streams; ++i)
    if (MajorTypeOf(in->streams[i]) != TMediaMajorType::mtNone) FImpl->Streams.push_back(in->streams[i]);
  return ME_OK;
}

TMediaResult TMediaDetector::GetOutputStreams(int32_t& Count) const {
  Count = 0;
  if (!FImpl->Input) return ME_UNEXPECTED;
  Count = static_cast<int32_t>(FImpl->Streams.size());
  return ME_OK;
}

TMediaResult TMediaDetector::PutCurrentStream(int32_t Stream) {
  if (!FImpl->Input) return ME_UNEXPECTED;
  if (Stream < 0 || static_cast<size_t>(Stream) >= FImpl->Streams.size()) return ME_INVALIDARG;
  FImpl->Current = Stream;
  return ME_OK;
}

TMediaResult TMediaDetector::GetStreamLength(double& Seconds) const {
  Seconds = 0;
  const AVStream* st = FImpl->CurrentStream();
  if (!st) return ME_UNEXPECTED;
  Seconds = StreamLength(FImpl->Input.get(), st);
  return ME_OK;
}

TMediaResult TMediaDetector::GetStreamType(TMediaMajorType& Type) const {
  Type = TMediaMajorType::mtNone;
  const AVStream* st = FImpl->CurrentStream();
  if (!st) return ME_UNEXPECTED;
  Type = MajorTypeOf(st);
  return ME_OK;
}

}  // namespace rw
