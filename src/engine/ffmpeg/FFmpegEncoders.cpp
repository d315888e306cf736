#include "engine/ffmpeg/FFmpegEncoders.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "engine/ffmpeg/AVHandles.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace rw {

namespace {

// Wrappers around hardware or driver encoders; they cannot run everywhere, so they are not
// listed.
constexpr const char* HardwareWrappers[] = {"omx", "v4l2m2m", "vaapi", "qsv", "nvenc", "amf",
                                            "mediacodec", "videotoolbox", "mf", "cuda", "vulkan"};

bool IsHardwareEncoder(const AVCodec* Codec) {
  if (Codec->capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_EXPERIMENTAL)) return true;
  const std::string name = Codec->name;
  for (const char* w : HardwareWrappers) {
    const std::string suffix = std::string("_") + w;
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  }
  if (Codec->pix_fmts) {
    bool software = false;
    for (const AVPixelFormat* p = Codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
      if (!(av_pix_fmt_desc_get(*p)->flags & AV_PIX_FMT_FLAG_HWACCEL)) software = true;
    if (!software) return true;
  }
  return false;
}

// The options every encoder object of a moniker shares: kept per encoder name for the run.
class TOptionStore {
public:
  static TOptionStore& Instance() {
    static TOptionStore store;
    return store;
  }
  void Set(const std::string& Encoder, const std::string& Name, const std::string& Value) {
    std::lock_guard lock(FLock);
    auto& list = FOptions[Encoder];
    auto at = std::find_if(list.begin(), list.end(), [&](const auto& P) { return P.first == Name; });
    if (at != list.end())
      at->second = Value;
    else
      list.emplace_back(Name, Value);
  }
  std::vector<std::pair<std::string, std::string>> Get(const std::string& Encoder) {
    std::lock_guard lock(FLock);
    auto at = FOptions.find(Encoder);
    return at == FOptions.end() ? std::vector<std::pair<std::string, std::string>>{} : at->second;
  }

private:
  std::mutex FLock;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> FOptions;
};

// A context of the encoder with the kept options applied, to check and read options on.
TCodecContextPtr OptionContext(const std::string& Encoder) {
  const AVCodec* codec = avcodec_find_encoder_by_name(Encoder.c_str());
  if (!codec) return nullptr;
  TCodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) return nullptr;
  for (const auto& [name, value] : TOptionStore::Instance().Get(Encoder))
    av_opt_set(ctx.get(), name.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
  return ctx;
}

std::string OptionText(void* Object, const char* Name) {
  uint8_t* value = nullptr;
  if (av_opt_get(Object, Name, AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value) return {};
  std::string text(reinterpret_cast<char*>(value));
  av_free(value);
  return text;
}

}  // namespace

std::vector<std::string> ListEncoders(TCompressorCategory Category) {
  const AVMediaType type = Category == TCompressorCategory::ccVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  std::vector<std::string> names;
  if (!avi) return names;
  void* it = nullptr;
  while (const AVCodec* c = av_codec_iterate(&it)) {
    if (!av_codec_is_encoder(c) || c->type != type || IsHardwareEncoder(c)) continue;
    if (avformat_query_codec(avi, c->id, FF_COMPLIANCE_NORMAL) != 1) continue;
    names.emplace_back(c->name);
  }
  return names;
}

TMediaResult EncoderLongName(const std::string& Encoder, std::string& Name) {
  Name.clear();
  const AVCodec* codec = avcodec_find_encoder_by_name(Encoder.c_str());
  if (!codec) return ME_NOCODEC;
  Name = codec->long_name ? codec->long_name : codec->name;
  return ME_OK;
}

TMediaResult SetEncoderOption(const std::string& Encoder, const std::string& Name, const std::string& Value) {
  TCodecContextPtr ctx = OptionContext(Encoder);
  if (!ctx) return ME_NOCODEC;
  int err = av_opt_set(ctx.get(), Name.c_str(), Value.c_str(), AV_OPT_SEARCH_CHILDREN);
  if (err < 0) return err == AVERROR_OPTION_NOT_FOUND ? ME_NOINTERFACE : ME_INVALIDARG;
  TOptionStore::Instance().Set(Encoder, Name, Value);
  return ME_OK;
}

TMediaResult GetEncoderOption(const std::string& Encoder, const std::string& Name, std::string& Value) {
  Value.clear();
  TCodecContextPtr ctx = OptionContext(Encoder);
  if (!ctx) return ME_NOCODEC;
  if (!av_opt_find(ctx.get(), Name.c_str(), nullptr, 0, AV_OPT_SEARCH_CHILDREN)) return ME_NOINTERFACE;
  Value = OptionText(ctx.get(), Name.c_str());
  return ME_OK;
}

std::vector<std::pair<std::string, std::string>> KeptEncoderOptions(const std::string& Encoder) {
  return TOptionStore::Instance().Get(Encoder);
}

TMediaResult ListEncoderOptions(const std::string& Encoder, std::vector<TCompressorOptionInfo>& List) {
  List.clear();
  TCodecContextPtr ctx = OptionContext(Encoder);
  if (!ctx) return ME_NOCODEC;
  // The encoder's private options, then the common bit rate and quality settings.
  void* priv = ctx->priv_data;
  const AVOption* o = nullptr;
  while (priv && (o = av_opt_next(priv, o)))
    if (o->type != AV_OPT_TYPE_CONST && (o->flags & AV_OPT_FLAG_ENCODING_PARAM))
      List.push_back({o->name, o->help ? o->help : "", OptionText(priv, o->name)});
  for (const char* name : {"b", "g", "qscale", "compression_level"})
    if (const AVOption* c = av_opt_find(ctx.get(), name, nullptr, 0, 0))
      List.push_back({c->name, c->help ? c->help : "", OptionText(ctx.get(), name)});
  return ME_OK;
}

}  // namespace rw
