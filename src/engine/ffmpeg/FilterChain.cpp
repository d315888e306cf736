#include "engine/ffmpeg/FilterChain.h"

#include <algorithm>

#include "engine/ffmpeg/SourceDecoder.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace rw {

namespace {

std::string Rational(AVRational R) { return std::to_string(R.num) + "/" + std::to_string(R.den); }

std::string SourceArgs(const AVFrame* F, AVRational TimeBase) {
  if (F->nb_samples > 0) {
    char layout[128] = {};
    av_channel_layout_describe(&F->ch_layout, layout, sizeof layout);
    return "time_base=" + Rational(TimeBase) + ":sample_rate=" + std::to_string(F->sample_rate) +
           ":sample_fmt=" + av_get_sample_fmt_name(static_cast<AVSampleFormat>(F->format)) +
           ":channel_layout=" + layout;
  }
  AVRational sar = F->sample_aspect_ratio.num > 0 ? F->sample_aspect_ratio : AVRational{1, 1};
  return "video_size=" + std::to_string(F->width) + "x" + std::to_string(F->height) +
         ":pix_fmt=" + std::to_string(F->format) + ":time_base=" + Rational(TimeBase) +
         ":pixel_aspect=" + Rational(sar);
}

}  // namespace

std::string FitFilters(int32_t Mode, int W, int H) {
  const std::string w = std::to_string(W), h = std::to_string(H);
  const std::string centre = "pad=" + w + ":" + h + ":(ow-iw)/2:(oh-ih)/2:black";
  // Pictures of pixels that are not square are first given their displayed shape (widened, or
  // made taller, never narrowed), so that a 16:9 picture of 720x576 fills a 16:9 frame.
  const std::string shown =
      "scale=w='if(gte(sar,1),iw*sar,iw)':h='if(gte(sar,1),ih,ih/sar)',setsar=1,";
  switch (Mode) {
    case RESIZEF_PRESERVEASPECTRATIO:
      return shown + "scale=" + w + ":" + h + ":force_original_aspect_ratio=decrease," + centre;
    case RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX:
      return shown + "scale=" + w + ":" + h + ":force_original_aspect_ratio=increase,crop=" + w +
             ":" + h;
    case RESIZEF_CROP:
      return shown + "crop=w='min(iw," + w + ")':h='min(ih," + h + ")'," + centre;
    default:
      return "scale=" + w + ":" + h;
  }
}

void TFilterChain::Build(const AVFrame* First) {
  const bool audio = First->nb_samples > 0;
  FGraph.reset(avfilter_graph_alloc());
  if (!FGraph) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  FGraph->scale_sws_opts = av_strdup("flags=bicubic");
  const std::string args = SourceArgs(First, FTimeBase);
  CheckAV(avfilter_graph_create_filter(&FSource, avfilter_get_by_name(audio ? "abuffer" : "buffer"),
                                       "in", args.c_str(), nullptr, FGraph.get()),
          "Cannot set up the filters");
  CheckAV(avfilter_graph_create_filter(&FSink,
                                       avfilter_get_by_name(audio ? "abuffersink" : "buffersink"),
                                       "out", nullptr, nullptr, FGraph.get()),
          "Cannot set up the filters");
  TFilterInOutPtr outputs(avfilter_inout_alloc());
  TFilterInOutPtr inputs(avfilter_inout_alloc());
  if (!outputs || !inputs) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  outputs->name = av_strdup("in");
  outputs->filter_ctx = FSource;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = FSink;
  AVFilterInOut* in = inputs.release();
  AVFilterInOut* out = outputs.release();
  int err = avfilter_graph_parse_ptr(FGraph.get(), FChain.c_str(), &in, &out, nullptr);
  avfilter_inout_free(&in);
  avfilter_inout_free(&out);
  CheckAV(err, "Cannot set up the filters \"" + FChain + "\"");
  CheckAV(avfilter_graph_config(FGraph.get(), nullptr),
          "Cannot set up the filters \"" + FChain + "\"");
}

void TFilterChain::Push(AVFrame* Frame) {
  if (!FGraph) {
    // A source without any frame ends its chain at once.
    if (!Frame) {
      FEnded = true;
      return;
    }
    Build(Frame);
    FVideo = Frame->nb_samples <= 0;
    FSampleRate = Frame->sample_rate;
    FSampleFormat = Frame->format;
    FChannels = Frame->ch_layout.nb_channels;
  } else if (Frame && Frame->nb_samples > 0 &&
             (Frame->sample_rate != FSampleRate || Frame->format != FSampleFormat ||
              Frame->ch_layout.nb_channels != FChannels)) {
    // Sound whose format changes inside a stream comes from damaged data; it is left out
    // (the stretch is padded with silence) rather than ending the render.
    return;
  }
  if (!Frame && FVideo) {
    // The pictures end where the last one's slot ends, not where it starts: a frame-rate
    // conversion would otherwise drop the last picture.
    CheckAV(av_buffersrc_close(FSource, FEnd, 0), "Filtering failed");
    return;
  }
  if (Frame && FVideo && Frame->pts != AV_NOPTS_VALUE)
    FEnd = std::max(FEnd, Frame->pts + std::max<int64_t>(Frame->pkt_duration, 1));
  CheckAV(av_buffersrc_add_frame_flags(FSource, Frame, AV_BUFFERSRC_FLAG_KEEP_REF),
          "Filtering failed");
}

bool TFilterChain::Pull(AVFrame* Frame) {
  if (!FGraph || FEnded) return false;
  int err = av_buffersink_get_frame(FSink, Frame);
  if (err == AVERROR(EAGAIN)) return false;
  if (err == AVERROR_EOF) {
    FEnded = true;
    return false;
  }
  CheckAV(err, "Filtering failed");
  return true;
}

bool TSourcePipeline::Next(AVFrame* Frame) {
  while (true) {
    if (FChain.Pull(Frame)) return true;
    if (FChain.Ended()) return false;
    if (FDecoder.Next(FDecoded.get())) {
      FChain.Push(FDecoded.get());
      av_frame_unref(FDecoded.get());
    } else {
      FChain.Push(nullptr);
    }
  }
}

}  // namespace rw
