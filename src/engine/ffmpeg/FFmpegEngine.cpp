// The engine module's one entry point and the engine it hands out. Inside the module a failure
// is an EMediaEngineError; each job turns it into the TEngineError it answers with, in Guard.
#include <cstdlib>
#include <new>
#include <type_traits>

#include "engine/ffmpeg/ConvertJobs.h"
#include "engine/ffmpeg/EncoderSetup.h"
#include "engine/ffmpeg/FFmpegEncoders.h"
#include "engine/ffmpeg/RenderJob.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace rw {

namespace {

// Runs a job's work: its value, or the failure that ended it. No exception leaves.
template <class TWork>
auto Guard(TWork&& Work) noexcept {
  using TValue = decltype(Work());
  if constexpr (std::is_void_v<TValue>) {
    try {
      Work();
      return TEngineError{};
    } catch (...) {
      return ErrorOf(std::current_exception());
    }
  } else {
    try {
      return TEngineResult<TValue>{{}, Work()};
    } catch (...) {
      return TEngineResult<TValue>{ErrorOf(std::current_exception()), {}};
    }
  }
}

class TFFmpegEngine final : public IMediaEngine {
public:
  TEngineResult<std::string> Version() override {
    return Guard([] { return std::string("FFmpeg ") + av_version_info(); });
  }

  TEngineResult<TFileDescription> Describe(const std::string& FileName) override {
    return Guard([&] {
      TInputContextPtr input;
      const int err = OpenMediaInput(FileName, input);
      if (err < 0)
        throw EMediaEngineError(ResultFromAVError(err),
                                "Cannot open " + FileName + ": " + AVErrorText(err));
      TFileDescription d;
      for (unsigned i = 0; i < input->nb_streams; ++i)
        if (const auto kind = KindOf(input->streams[i]))
          d.Streams.push_back({*kind, StreamLength(input.get(), input->streams[i])});
      return d;
    });
  }

  TEngineResult<std::vector<TCompressorEntry>> ListCompressors(TMediaKind Kind) override {
    return Guard([&] { return ListEncoders(Kind); });
  }

  TEngineError CheckCompressor(const std::string& Name, const TCompressorFormat& Format) override {
    return Guard([&] { CheckListedEncoder(Name, Format); });
  }

  TEngineResult<TFrameFit> FitFrameSize(const std::string& Name, int32_t Width,
                                        int32_t Height) override {
    return Guard([&] {
      TFrameFit fit;
      int w = Width, h = Height;
      rw::FitFrameSize(FindEncoder(Name, true), w, h, fit.Why);
      fit.Width = w;
      fit.Height = h;
      return fit;
    });
  }

  TEngineError SetCompressorOption(const std::string& Name, const std::string& Option,
                                   const std::string& Value) override {
    return Guard([&] { SetEncoderOption(Name, Option, Value); });
  }

  TEngineResult<std::string> CompressorOption(const std::string& Name,
                                              const std::string& Option) override {
    return Guard([&] { return GetEncoderOption(Name, Option); });
  }

  TEngineResult<TOptionList> KeptCompressorOptions(const std::string& Name) override {
    return Guard([&] { return KeptEncoderOptions(Name); });
  }

  TEngineResult<std::vector<TCompressorOptionInfo>> ListCompressorOptions(
      const std::string& Name) override {
    return Guard([&] { return ListEncoderOptions(Name); });
  }

  TEngineResult<std::unique_ptr<IEngineJob>> StartRender(const TRenderPlan& Plan) override {
    return Guard([&] { return StartRenderJob(Plan); });
  }

  TEngineError CheckConvert(const TStreamTarget& Target) override {
    return Guard([&] {
      if (Target.Kind == TMediaKind::mkAudio)
        CheckSoundTarget(Target);
      else
        CheckPictureTarget(Target);
    });
  }

  TEngineResult<std::unique_ptr<IConvertJob>> StartConvert(const TConvertPlan& Plan) override {
    return Guard([&] {
      return Plan.Target.Kind == TMediaKind::mkAudio ? StartSoundConvert(Plan)
                                                     : StartPictureConvert(Plan);
    });
  }

  TEngineResult<TThumbnail> Thumbnail(const std::string& FileName, int32_t MaxWidth,
                                      int32_t MaxHeight) override {
    return Guard([&] { return MakeThumbnail(FileName, MaxWidth, MaxHeight); });
  }

  TEngineResult<TThumbnail> PictureAt(const std::string& FileName, uint32_t Picture,
                                      int32_t MaxWidth, int32_t MaxHeight) override {
    return Guard([&] { return MakePictureAt(FileName, Picture, MaxWidth, MaxHeight); });
  }
};

}  // namespace

}  // namespace rw

// The module's only exported symbol.
extern "C" __attribute__((visibility("default"))) rw::IMediaEngine* ReelwrightMediaEngine(
    int32_t InterfaceVersion) {
  if (InterfaceVersion != rw::MediaEngineInterfaceVersion) return nullptr;
  // SVT-AV1 prints its settings on the console whenever it opens, unless told to keep to
  // errors; a setting of the user's own stays.
  setenv("SVT_LOG", "1", 0);
  try {
    rw::QuietLibraries();
  } catch (...) {
    return nullptr;
  }
  static rw::TFFmpegEngine engine;
  return &engine;
}
