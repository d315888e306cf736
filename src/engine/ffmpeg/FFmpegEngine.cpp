// The engine module's one entry point and the engine it hands out: version text, detectors,
// renders and the encoders with their options; every call keeps the reason of its failure
// for the thread that made it.
#include "engine/ffmpeg/FFmpegEngine.h"

#include "engine/ffmpeg/EncoderProbe.h"
#include "engine/ffmpeg/FFmpegEncoders.h"

#include <cstdlib>

extern "C" {
#include <libavutil/avutil.h>
}

namespace rw {

namespace {

struct TLastError {
  TMediaResult Code = ME_OK;
  std::string Text;
};
thread_local TLastError LastFailure;

// The general meaning of a failure code, for a failure that gave no reason of its own.
const char* Meaning(TMediaResult Code) {
  switch (Code) {
    case ME_ABORT:
      return "The wait timed out";
    case ME_UNEXPECTED:
      return "The media engine was called out of order";
    case ME_INVALIDARG:
      return "A value given to the media engine is not valid";
    case ME_OUTOFMEMORY:
      return "Out of memory";
    case ME_NOINTERFACE:
      return "There is no such option";
    case ME_INVALIDMEDIA:
      return "The media cannot be read";
    case ME_NOCODEC:
      return "There is no such encoder or decoder";
    default:
      return "The media engine failed";
  }
}

class TFFmpegEngine final : public IMediaEngine {
public:
  TMediaResult Version(std::string& Text) override {
    return EngineCall([&] {
      Text = std::string("FFmpeg ") + av_version_info();
      return ME_OK;
    });
  }

  void LastError(TMediaResult& Code, std::string& Text) override {
    Code = LastFailure.Code;
    try {
      Text = LastFailure.Text;
    } catch (...) {
      Text.clear();
    }
  }

  TMediaResult NewDetector(std::unique_ptr<IEngineDetector>& Detector) override {
    return EngineCall([&] {
      Detector = NewFFmpegDetector();
      return ME_OK;
    });
  }

  TMediaResult NewRender(std::unique_ptr<IEngineRender>& Render) override {
    return EngineCall([&] {
      Render = NewFFmpegRender();
      return ME_OK;
    });
  }

  TMediaResult ListEncoders(TCompressorCategory Category, std::vector<std::string>& Names) override {
    return EngineCall([&] {
      Names = rw::ListEncoders(Category);
      return Names.empty() ? ME_FALSE : ME_OK;
    });
  }

  TMediaResult IsListed(TCompressorCategory Category, const std::string& Encoder) override {
    return EngineCall([&] {
      try {
        return CheckListed(Category, Encoder) == ME_OK ? ME_OK : ME_FALSE;
      } catch (const EMediaEngineError&) {
        return ME_FALSE;
      }
    });
  }

  TMediaResult EncoderLongName(const std::string& Encoder, std::string& Name) override {
    return EngineCall([&] {
      const TMediaResult r = rw::EncoderLongName(Encoder, Name);
      return r == ME_NOCODEC ? Failed(r, "There is no encoder " + Encoder) : r;
    });
  }

  TMediaResult SetEncoderOption(const std::string& Encoder, const std::string& Name,
                                const std::string& Value) override {
    return EngineCall([&] {
      std::string said;
      const TMediaResult r = rw::SetEncoderOption(Encoder, Name, Value, said);
      while (!said.empty() && (said.back() == ' ' || said.back() == '.')) said.pop_back();
      if (r == ME_NOINTERFACE) return Failed(r, "The " + Encoder + " encoder has no option " + Name);
      if (r == ME_INVALIDARG)
        return Failed(r, "The " + Encoder + " encoder does not accept " + Name + " = " + Value +
                             (said.empty() ? std::string() : ": " + said));
      return r;
    });
  }

  TMediaResult GetEncoderOption(const std::string& Encoder, const std::string& Name,
                                std::string& Value) override {
    return EngineCall([&] { return rw::GetEncoderOption(Encoder, Name, Value); });
  }

  TMediaResult KeptEncoderOptions(const std::string& Encoder,
                                  std::vector<std::pair<std::string, std::string>>& Options) override {
    return EngineCall([&] {
      Options = rw::KeptEncoderOptions(Encoder);
      return ME_OK;
    });
  }

  TMediaResult ListEncoderOptions(const std::string& Encoder, std::vector<TCompressorOptionInfo>& List) override {
    return EngineCall([&] { return rw::ListEncoderOptions(Encoder, List); });
  }

  TMediaResult FitFrameSize(const std::string& Encoder, int32_t& Width, int32_t& Height, std::string& Why) override {
    return EngineCall([&] {
      Why.clear();
      int w = Width, h = Height;
      if (rw::FitFrameSize(FindEncoder(&Encoder, true), w, h, Why)) return ME_OK;
      Width = w;
      Height = h;
      return ME_FALSE;
    });
  }

  TMediaResult CheckEncoder(const std::string& Encoder, const TMediaType& Type, double FPS) override {
    return EngineCall([&] {
      const TEncoderFormat format = EncoderFormatOf(Type, FPS);
      ProbeEncoder(FindEncoder(&Encoder, format.Video), format);
      return ME_OK;
    });
  }
};

}  // namespace

void ForgetLastError() noexcept {
  LastFailure.Code = ME_OK;
  LastFailure.Text.clear();
}

TMediaResult Failed(TMediaResult Code, const std::string& Text) noexcept {
  LastFailure.Code = Code;
  try {
    LastFailure.Text = Text;
  } catch (...) {
    LastFailure.Text.clear();
  }
  return Code;
}

TMediaResult EndCall(TMediaResult Result) noexcept {
  if (Result < 0 && LastFailure.Code != Result) Failed(Result, Meaning(Result));
  return Result;
}

}  // namespace rw

// The module's only exported symbol.
extern "C" __attribute__((visibility("default"))) rw::IMediaEngine* ReelwrightMediaEngine(int32_t InterfaceVersion) {
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
