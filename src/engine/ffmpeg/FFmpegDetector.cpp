// The media detector over libavformat: a file's video and audio streams, their types and
// lengths.
#include <vector>

#include "engine/ffmpeg/FFmpegEngine.h"

namespace rw {

namespace {

class TFFmpegDetector final : public IEngineDetector {
public:
  TMediaResult PutFilename(const std::string& FileName) override {
    return EngineCall([&] {
      FStreams.clear();
      FCurrent = 0;
      const int err = OpenMediaInput(FileName, FInput);
      if (err < 0) return Failed(ResultFromAVError(err), "Cannot open " + FileName + ": " + AVErrorText(err));
      const AVFormatContext* in = FInput.get();
      for (unsigned i = 0; i < in->nb_streams; ++i)
        if (MajorTypeOf(in->streams[i]) != TMediaMajorType::mtNone) FStreams.push_back(in->streams[i]);
      return ME_OK;
    });
  }

  TMediaResult GetOutputStreams(int32_t& Count) override {
    return EngineCall([&] {
      Count = 0;
      if (!FInput) return ME_UNEXPECTED;
      Count = static_cast<int32_t>(FStreams.size());
      return ME_OK;
    });
  }

  TMediaResult PutCurrentStream(int32_t Stream) override {
    return EngineCall([&] {
      if (!FInput) return ME_UNEXPECTED;
      if (Stream < 0 || static_cast<size_t>(Stream) >= FStreams.size()) return ME_INVALIDARG;
      FCurrent = Stream;
      return ME_OK;
    });
  }

  TMediaResult GetStreamLength(double& Seconds) override {
    return EngineCall([&] {
      Seconds = 0;
      const AVStream* st = CurrentStream();
      if (!st) return ME_UNEXPECTED;
      Seconds = StreamLength(FInput.get(), st);
      return ME_OK;
    });
  }

  TMediaResult GetStreamType(TMediaMajorType& Type) override {
    return EngineCall([&] {
      Type = TMediaMajorType::mtNone;
      const AVStream* st = CurrentStream();
      if (!st) return ME_UNEXPECTED;
      Type = MajorTypeOf(st);
      return ME_OK;
    });
  }

private:
  const AVStream* CurrentStream() const {
    if (FCurrent < 0 || static_cast<size_t>(FCurrent) >= FStreams.size()) return nullptr;
    return FStreams[static_cast<size_t>(FCurrent)];
  }

  TInputContextPtr FInput;
  std::vector<const AVStream*> FStreams;  // the video and audio streams, in file order
  int32_t FCurrent = 0;
};

}  // namespace

std::unique_ptr<IEngineDetector> NewFFmpegDetector() { return std::make_unique<TFFmpegDetector>(); }

}  // namespace rw
