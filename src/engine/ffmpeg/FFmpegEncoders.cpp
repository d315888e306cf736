#include "engine/ffmpeg/FFmpegEncoders.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/EncoderProbe.h"
#include "engine/ffmpeg/EncoderSetup.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace rw {

namespace {

// Wrappers around hardware or driver encoders; they cannot run everywhere, so they are not
// listed.
constexpr const char* HardwareWrappers[] = {"omx",   "v4l2m2m", "vaapi",      "qsv",
                                            "nvenc", "amf",     "mediacodec", "videotoolbox",
                                            "mf",    "cuda",    "vulkan"};

bool IsHardwareEncoder(const AVCodec* Codec) {
  if (Codec->capabilities & (AV_CODEC_CAP_HARDWARE | AV_CODEC_CAP_EXPERIMENTAL)) return true;
  const std::string name = Codec->name;
  for (const char* w : HardwareWrappers) {
    const std::string suffix = std::string("_") + w;
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
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

// The options the user set, kept per encoder name for the run.
class TOptionStore {
public:
  static TOptionStore& Instance() {
    static TOptionStore store;
    return store;
  }
  void Set(const std::string& Encoder, const std::string& Name, const std::string& Value) {
    std::lock_guard lock(FLock);
    auto& list = FOptions[Encoder];
    auto at =
        std::find_if(list.begin(), list.end(), [&](const auto& P) { return P.first == Name; });
    if (at != list.end())
      at->second = Value;
    else
      list.emplace_back(Name, Value);
  }
  TOptionList Get(const std::string& Encoder) {
    std::lock_guard lock(FLock);
    auto at = FOptions.find(Encoder);
    return at == FOptions.end() ? TOptionList{} : at->second;
  }

private:
  std::mutex FLock;
  std::map<std::string, TOptionList> FOptions;
};

// Encoders that open and decode back in a short try but are not offered, with why. An encoder
// is left out when the file it makes is faulty: ffmpeg, the library that wrote it, decodes it
// with errors or out of step (a wrong picture count, sound ending more than a frame away from
// the pictures), or players read its data wrongly for a reason of the file rather than for
// want of a decoder. A player that merely has no decoder for a format is no reason: the README
// names those. bench/compressor-sweep.py tries every offered encoder with every player.
struct TUnplayable {
  const char* Encoder;
  const char* Why;
};
constexpr TUnplayable Unplayable[] = {
    {"libx264rgb", "its H.264 is of a 4:4:4 profile that AVI players do not play"},
    {"flac", "its packets do not fit AVI's sound chunks, and ffmpeg reports decoding errors"},
    {"dfpwm", "its packets do not fit AVI's sound chunks, and ffmpeg reports decoding errors"},
    {"libvorbis",
     "Vorbis in AVI has no timing of its own: ffmpeg times its packets apart from its samples "
     "and GStreamer plays none of it"},
    {"eac3",
     "ffmpeg and mpv misread the length of its sound in AVI, and mencoder reads none of "
     "the file"},
    {"libtheora", "ffmpeg reads back only a few of its pictures from AVI"},
    {"adpcm_swf",
     "its blocks of 4096 samples (93 ms) make its sound end up to 93 ms after the "
     "pictures"}};

const TUnplayable* FindUnplayable(const std::string& Encoder) {
  for (const TUnplayable& u : Unplayable)
    if (Encoder == u.Encoder) return &u;
  return nullptr;
}

// The better encoder of a format, put last among the encoders of that format, so that a
// preference for the last matching name picks it: LAME gives MP3 of 5 dB better SNR than
// libshine at the same bit rate.
struct TPreferred {
  AVCodecID Format;
  const char* Encoder;
};
constexpr TPreferred Preferred[] = {{AV_CODEC_ID_MP3, "libmp3lame"}};

bool Works(const AVCodec* Codec, TMediaKind Kind) {
  try {
    ProbeEncoder(Codec, EncoderFormatOf({Kind}), TOptionStore::Instance().Get(Codec->name));
    return true;
  } catch (const EMediaEngineError&) {
    return false;
  }
}

void PutPreferredLast(std::vector<const AVCodec*>& List) {
  for (const TPreferred& p : Preferred) {
    auto at = std::find_if(List.begin(), List.end(),
                           [&](const AVCodec* C) { return p.Encoder == std::string(C->name); });
    if (at == List.end()) continue;
    const AVCodec* best = *at;
    List.erase(at);
    auto last = std::find_if(List.rbegin(), List.rend(),
                             [&](const AVCodec* C) { return C->id == p.Format; });
    List.insert(last.base(), best);
  }
}

// A context of the encoder with the options in effect, to check and read options on.
TCodecContextPtr OptionContext(const std::string& Encoder) {
  TCodecContextPtr ctx(avcodec_alloc_context3(FindEncoder(Encoder, true)));
  if (!ctx) throw std::bad_alloc();
  for (const auto& [name, value] : EncoderOptionsInEffect(Encoder, KeptEncoderOptions(Encoder)))
    SetContextOption(ctx.get(), name, value);
  return ctx;
}

std::string OptionText(AVCodecContext* Context, const char* Name) {
  std::string value;
  GetContextOption(Context, Name, value);
  return value;
}

// The encoders of the kind that AVI can carry and players play, in the order they are listed.
std::vector<const AVCodec*> Candidates(TMediaKind Kind) {
  const AVMediaType type = Kind == TMediaKind::mkVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  std::vector<const AVCodec*> encoders;
  if (!avi) return encoders;
  void* it = nullptr;
  while (const AVCodec* c = av_codec_iterate(&it)) {
    if (!av_codec_is_encoder(c) || c->type != type || IsHardwareEncoder(c)) continue;
    if (avformat_query_codec(avi, c->id, FF_COMPLIANCE_NORMAL) != 1) continue;
    if (FindUnplayable(c->name)) continue;
    encoders.push_back(c);
  }
  PutPreferredLast(encoders);
  return encoders;
}

// The encoder's long name; two encoders of one format may share one (ac3 and ac3_fixed): the
// later one gets its own name added, so that no two entries of a list read the same.
std::string DisplayName(const AVCodec* Codec) {
  std::string name = Codec->long_name ? Codec->long_name : Codec->name;
  void* it = nullptr;
  while (const AVCodec* c = av_codec_iterate(&it)) {
    if (c == Codec) break;
    if (av_codec_is_encoder(c) && c->type == Codec->type && c->long_name && name == c->long_name)
      return name + " (" + Codec->name + ")";
  }
  return name;
}

}  // namespace

std::vector<TCompressorEntry> ListEncoders(TMediaKind Kind) {
  // Only what opens with the join's formats and makes a file that decodes. The tries run one
  // after the other: some encoder libraries keep thread pools and global state that tries
  // running side by side contend for.
  std::vector<TCompressorEntry> entries;
  for (const AVCodec* c : Candidates(Kind))
    if (Works(c, Kind)) entries.push_back({c->name, DisplayName(c)});
  return entries;
}

void CheckListedEncoder(const std::string& Encoder, const TCompressorFormat& Format) {
  const std::vector<const AVCodec*> candidates = Candidates(Format.Kind);
  auto at = std::find_if(candidates.begin(), candidates.end(),
                         [&](const AVCodec* C) { return Encoder == C->name; });
  const char* kind = Format.Kind == TMediaKind::mkVideo ? "video" : "audio";
  const AVCodec* named = avcodec_find_encoder_by_name(Encoder.c_str());
  const TUnplayable* u = FindUnplayable(Encoder);
  if (u && named && (named->type == AVMEDIA_TYPE_VIDEO) == (Format.Kind == TMediaKind::mkVideo))
    throw EMediaEngineError(ME_NOCODEC, "The " + Encoder + " compressor is not offered: " + u->Why);
  if (at == candidates.end())
    throw EMediaEngineError(ME_NOCODEC,
                            "There is no " + std::string(kind) + " compressor " + Encoder);
  ProbeEncoder(*at, EncoderFormatOf(Format), KeptEncoderOptions(Encoder));
}

void SetEncoderOption(const std::string& Encoder, const std::string& Name,
                      const std::string& Value) {
  TCodecContextPtr ctx = OptionContext(Encoder);
  // A refused value is explained in the library's log, kept for the reason.
  TLibraryMessages said;
  const int err = SetContextOption(ctx.get(), Name, Value);
  if (err == AVERROR_OPTION_NOT_FOUND)
    throw EMediaEngineError(ME_NOINTERFACE, "The " + Encoder + " encoder has no option " + Name);
  std::string why = said.Text();
  while (!why.empty() && (why.back() == ' ' || why.back() == '.')) why.pop_back();
  if (err < 0)
    throw EMediaEngineError(ME_INVALIDARG, "The " + Encoder + " encoder does not accept " + Name +
                                               " = " + Value + (why.empty() ? "" : ": " + why));
  TOptionStore::Instance().Set(Encoder, Name, Value);
}

std::string GetEncoderOption(const std::string& Encoder, const std::string& Name) {
  std::string value;
  if (!GetContextOption(OptionContext(Encoder).get(), Name, value))
    throw EMediaEngineError(ME_NOINTERFACE, "The " + Encoder + " encoder has no option " + Name);
  return value;
}

TOptionList KeptEncoderOptions(const std::string& Encoder) {
  FindEncoder(Encoder, true);
  return TOptionStore::Instance().Get(Encoder);
}

std::vector<TCompressorOptionInfo> ListEncoderOptions(const std::string& Encoder) {
  std::vector<TCompressorOptionInfo> list;
  TCodecContextPtr ctx = OptionContext(Encoder);
  // The encoder's private options, then the common bit rate and quality settings.
  void* priv = ctx->priv_data;
  const AVOption* o = nullptr;
  while (priv && (o = av_opt_next(priv, o)))
    if (o->type != AV_OPT_TYPE_CONST && (o->flags & AV_OPT_FLAG_ENCODING_PARAM))
      list.push_back({o->name, o->help ? o->help : "", OptionText(ctx.get(), o->name)});
  for (const char* name : {"b", "g", "compression_level"})
    if (const AVOption* c = av_opt_find(ctx.get(), name, nullptr, 0, 0))
      list.push_back({c->name, c->help ? c->help : "", OptionText(ctx.get(), name)});
  list.push_back({"qscale",
                  "constant quantizer (1 best, 31 worst) or quality, as the encoder reads it; "
                  "empty for none",
                  OptionText(ctx.get(), "qscale")});
  return list;
}

}  // namespace rw
