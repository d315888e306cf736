#include "engine/ffmpeg/EncoderSetup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace rw {

namespace {

// Defaults per encoder: constant quality where the encoder has it, bit rates that keep sound
// transparent, speed settings that make the slow encoders usable. "qscale" is the encoder's
// constant quantizer (1 best, 31 worst) for the MPEG family and MJPEG, its quality for
// Vorbis and Theora (0 worst, 10 best).
struct TEncoderDefaults {
  const char* Encoder;
  TOptionList Options;
};

const std::vector<TEncoderDefaults>& DefaultsTable() {
  static const std::vector<TEncoderDefaults> table = {
      {"mpeg4", {{"qscale", "3"}}},
      {"libxvid", {{"qscale", "3"}}},
      {"msmpeg4", {{"qscale", "3"}}},
      {"msmpeg4v2", {{"qscale", "3"}}},
      {"wmv1", {{"qscale", "3"}}},
      {"wmv2", {{"qscale", "3"}}},
      {"h263p", {{"qscale", "3"}}},
      {"flv", {{"qscale", "3"}}},
      {"mpeg1video", {{"qscale", "3"}}},
      {"mpeg2video", {{"qscale", "3"}}},
      {"mjpeg", {{"qscale", "3"}}},
      {"amv", {{"qscale", "3"}}},
      {"speedhq", {{"qscale", "3"}}},
      {"snow", {{"qscale", "3"}}},
      {"libtheora", {{"qscale", "7"}}},
      {"libx264", {{"crf", "20"}}},
      {"libvpx", {{"crf", "8"}, {"b", "4M"}, {"deadline", "good"}, {"cpu-used", "4"}}},
      {"libvpx-vp9",
       {{"crf", "30"}, {"b", "0"}, {"deadline", "good"}, {"cpu-used", "4"}, {"row-mt", "1"}}},
      {"libaom-av1",
       {{"crf", "30"}, {"b", "0"}, {"cpu-used", "8"}, {"usage", "realtime"}, {"row-mt", "1"}}},
      {"librav1e", {{"qp", "80"}, {"speed", "10"}}},
      {"libsvtav1", {{"crf", "32"}, {"preset", "10"}}},
      {"libmp3lame", {{"b", "192k"}}},
      {"libshine", {{"b", "192k"}}},
      {"aac", {{"b", "192k"}}},
      {"libvorbis", {{"qscale", "6"}}},
      {"mp2", {{"b", "224k"}}},
      {"mp2fixed", {{"b", "224k"}}},
      {"libtwolame", {{"b", "224k"}}},
      {"ac3", {{"b", "224k"}}},
      {"ac3_fixed", {{"b", "224k"}}},
      {"eac3", {{"b", "224k"}}},
      {"wmav1", {{"b", "160k"}}},
      {"wmav2", {{"b", "160k"}}},
  };
  return table;
}

// Options that choose the rate control: a user's choice of any of them replaces the defaults'.
bool IsRateControl(const std::string& Name) {
  static const std::set<std::string> names = {"b",        "qscale", "global_quality", "crf", "qp",
                                              "cq-level", "q",      "quality",        "vbr", "abr",
                                              "minrate",  "maxrate"};
  return names.count(Name) > 0;
}

bool IsLossless(const AVCodec* Codec) {
  const AVCodecDescriptor* d = avcodec_descriptor_get(Codec->id);
  return d && (d->props & AV_CODEC_PROP_LOSSLESS) && !(d->props & AV_CODEC_PROP_LOSSY);
}

}  // namespace

const AVCodec* FindEncoder(const std::string& Encoder, bool Video) {
  const char* name = !Encoder.empty() ? Encoder.c_str() : Video ? "rawvideo" : "pcm_s16le";
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) throw EMediaEngineError(ME_NOCODEC, std::string("There is no encoder ") + name);
  return codec;
}

AVPixelFormat EncoderPixelFormat(const AVCodec* Codec) {
  if (!Codec->pix_fmts) return AV_PIX_FMT_BGR24;
  std::vector<AVPixelFormat> software;
  for (const AVPixelFormat* p = Codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
    if (!(av_pix_fmt_desc_get(*p)->flags & AV_PIX_FMT_FLAG_HWACCEL)) software.push_back(*p);
  if (software.empty()) return Codec->pix_fmts[0];
  // Players expect compressed video in 4:2:0 (a 4:4:4 H.264 is a profile few of them decode):
  // the first 4:2:0 format of the encoder's own list (MJPEG's is the full-range one).
  if (!IsLossless(Codec))
    for (const AVPixelFormat* p = Codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
      if (*p == AV_PIX_FMT_YUV420P || *p == AV_PIX_FMT_YUVJ420P) return *p;
  software.push_back(AV_PIX_FMT_NONE);
  return avcodec_find_best_pix_fmt_of_list(software.data(), AV_PIX_FMT_BGR24, 0, nullptr);
}

AVSampleFormat EncoderSampleFormat(const AVCodec* Codec) {
  if (!Codec->sample_fmts) return AV_SAMPLE_FMT_S16;
  for (AVSampleFormat want : {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P})
    for (const AVSampleFormat* f = Codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
      if (*f == want) return *f;
  return Codec->sample_fmts[0];
}

bool FitFrameSize(const AVCodec* Codec, int& Width, int& Height, std::string& Why) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(EncoderPixelFormat(Codec));
  if (!d) return true;
  const int stepW = 1 << d->log2_chroma_w;
  // AMV's encoder refuses heights that are not whole rows of 16-pixel blocks.
  const int stepH = std::max(1 << d->log2_chroma_h, Codec->id == AV_CODEC_ID_AMV ? 16 : 1);
  const int w = std::max(stepW, Width / stepW * stepW), h = std::max(stepH, Height / stepH * stepH);
  if (w == Width && h == Height) return true;
  auto multiple = [](int Step) {
    return Step == 2 ? std::string("even") : "a multiple of " + std::to_string(Step);
  };
  if (stepW == stepH)
    Why = "the " + std::string(Codec->name) + " compressor takes only frame sizes that are " +
          multiple(stepW);
  else
    Why = "the " + std::string(Codec->name) + " compressor takes only widths that are " +
          multiple(stepW) +
          (stepH > 1 ? " and heights that are " + multiple(stepH) : std::string());
  Width = w;
  Height = h;
  return false;
}

TOptionList EncoderOptionsInEffect(const std::string& Encoder, const TOptionList& Kept) {
  const bool ownRateControl =
      std::any_of(Kept.begin(), Kept.end(), [](const auto& O) { return IsRateControl(O.first); });
  TOptionList options;
  for (const TEncoderDefaults& d : DefaultsTable()) {
    if (Encoder != d.Encoder) continue;
    for (const auto& o : d.Options) {
      if (ownRateControl && IsRateControl(o.first)) continue;
      if (std::any_of(Kept.begin(), Kept.end(), [&](const auto& K) { return K.first == o.first; }))
        continue;
      options.push_back(o);
    }
  }
  options.insert(options.end(), Kept.begin(), Kept.end());
  return options;
}

int SetContextOption(AVCodecContext* Context, const std::string& Name, const std::string& Value) {
  if (Name == "qscale") {
    char* end = nullptr;
    const double q = std::strtod(Value.c_str(), &end);
    if (Value.empty() || *end || !std::isfinite(q) || q < -1 || q > 255) return AVERROR(EINVAL);
    Context->flags |= AV_CODEC_FLAG_QSCALE;
    Context->global_quality = static_cast<int>(std::lround(q * FF_QP2LAMBDA));
    return 0;
  }
  return av_opt_set(Context, Name.c_str(), Value.c_str(), AV_OPT_SEARCH_CHILDREN);
}

bool GetContextOption(AVCodecContext* Context, const std::string& Name, std::string& Value) {
  Value.clear();
  if (Name == "qscale") {
    if (Context->flags & AV_CODEC_FLAG_QSCALE) {
      char text[32];
      std::snprintf(text, sizeof text, "%g",
                    static_cast<double>(Context->global_quality) / FF_QP2LAMBDA);
      Value = text;
    }
    return true;
  }
  if (!av_opt_find(Context, Name.c_str(), nullptr, 0, AV_OPT_SEARCH_CHILDREN)) return false;
  uint8_t* value = nullptr;
  if (av_opt_get(Context, Name.c_str(), AV_OPT_SEARCH_CHILDREN, &value) >= 0 && value) {
    Value = reinterpret_cast<char*>(value);
    av_free(value);
  }
  return true;
}

std::string FormatText(const TEncoderFormat& Format) {
  char text[96];
  if (Format.Video)
    std::snprintf(text, sizeof text, "%dx%d frames at %g fps", Format.Width, Format.Height,
                  Format.Rate.den ? av_q2d(Format.Rate) : 0.0);
  else
    std::snprintf(text, sizeof text, "%d Hz sound in %d channels", Format.SampleRate,
                  Format.Channels);
  return text;
}

TEncoderFormat EncoderFormatOf(const TCompressorFormat& Format) {
  TEncoderFormat format;
  format.Video = Format.Kind == TMediaKind::mkVideo;
  if (format.Video) {
    format.Width = Format.Width;
    format.Height = Format.Height;
    format.Rate = FrameRateOf(Format.Rate);
  } else {
    format.SampleRate = 44100;
    format.Channels = 2;
  }
  return format;
}

TCodecContextPtr OpenEncoder(const AVCodec* Codec, const TEncoderFormat& Format,
                             const TOptionList& Kept, int Threads) {
  TCodecContextPtr ctx(avcodec_alloc_context3(Codec));
  if (!ctx) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  ctx->thread_count = Threads;
  if (Format.Video) {
    ctx->width = Format.Width;
    ctx->height = Format.Height;
    ctx->pix_fmt = EncoderPixelFormat(Codec);
    ctx->time_base = av_inv_q(Format.Rate);
    ctx->framerate = Format.Rate;
    ctx->sample_aspect_ratio = AVRational{1, 1};
    ctx->max_b_frames = 0;
  } else {
    ctx->sample_fmt = EncoderSampleFormat(Codec);
    ctx->sample_rate = Format.SampleRate;
    av_channel_layout_default(&ctx->ch_layout, Format.Channels);
    ctx->time_base = AVRational{1, Format.SampleRate};
  }
  const std::string name = Codec->name;
  for (const auto& [option, value] : EncoderOptionsInEffect(name, Kept))
    if (SetContextOption(ctx.get(), option, value) < 0)
      throw EMediaEngineError(ME_INVALIDARG,
                              "The " + name + " encoder does not accept " + option + " = " + value);
  // MPEG-2 without B-frames says so in its stream, so that decoders hold no picture back.
  if (Codec->id == AV_CODEC_ID_MPEG2VIDEO && ctx->max_b_frames == 0)
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
  // An encoder that refuses the format or an option says why only in its log.
  TLibraryMessages said;
  CheckAV(avcodec_open2(ctx.get(), Codec, nullptr),
          "The " + name + " encoder cannot take " + FormatText(Format));
  return ctx;
}

}  // namespace rw
