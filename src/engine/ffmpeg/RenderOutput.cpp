#include "engine/ffmpeg/RenderOutput.h"

#include <cstdio>
#include <exception>

#include "engine/ffmpeg/FFmpegEncoders.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace rw {

namespace {

const AVCodec* FindEncoder(const std::string* Encoder, const char* Uncompressed) {
  const char* name = Encoder ? Encoder->c_str() : Uncompressed;
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) throw EMediaEngineError(ME_NOCODEC, std::string("No encoder ") + name);
  return codec;
}

TCodecContextPtr NewCodecContext(const AVCodec* Codec) {
  TCodecContextPtr ctx(avcodec_alloc_context3(Codec));
  if (!ctx) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  ctx->thread_count = 0;
  return ctx;
}

// The encoder's pixel format closest to the group's 24-bit frames.
AVPixelFormat VideoFormat(const AVCodec* Codec) {
  if (!Codec->pix_fmts) return AV_PIX_FMT_BGR24;
  std::vector<AVPixelFormat> software;
  for (const AVPixelFormat* p = Codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
    if (!(av_pix_fmt_desc_get(*p)->flags & AV_PIX_FMT_FLAG_HWACCEL)) software.push_back(*p);
  if (software.empty()) return Codec->pix_fmts[0];
  software.push_back(AV_PIX_FMT_NONE);
  return avcodec_find_best_pix_fmt_of_list(software.data(), AV_PIX_FMT_BGR24, 0, nullptr);
}

AVSampleFormat AudioFormat(const AVCodec* Codec) {
  if (!Codec->sample_fmts) return AV_SAMPLE_FMT_S16;
  for (const AVSampleFormat* f = Codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == AV_SAMPLE_FMT_S16) return *f;
  return Codec->sample_fmts[0];
}

}  // namespace

TEncoderStream::TEncoderStream(AVFormatContext* Output, TCodecContextPtr Codec)
    : FOutput(Output), FCodec(std::move(Codec)) {
  FStream = avformat_new_stream(FOutput, nullptr);
  if (!FStream) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  CheckAV(avcodec_parameters_from_context(FStream->codecpar, FCodec.get()), "Cannot set up the output");
  FStream->time_base = FCodec->time_base;
  if (FCodec->codec_type == AVMEDIA_TYPE_VIDEO) FStream->avg_frame_rate = FCodec->framerate;
}

void TEncoderStream::Send(const AVFrame* Frame) {
  int err = avcodec_send_frame(FCodec.get(), Frame);
  if (err == AVERROR_EOF) return;
  CheckAV(err, std::string("Encoding with ") + FCodec->codec->name + " failed");
  while (true) {
    err = avcodec_receive_packet(FCodec.get(), FPacket.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
    CheckAV(err, std::string("Encoding with ") + FCodec->codec->name + " failed");
    FPacket->stream_index = FStream->index;
    av_packet_rescale_ts(FPacket.get(), FCodec->time_base, FStream->time_base);
    err = av_interleaved_write_frame(FOutput, FPacket.get());
    CheckAV(err, "Writing the output failed");
  }
}

TRenderOutput::TRenderOutput(const std::string& FileName) {
  QuietLibraries();
  CheckAV(avformat_alloc_output_context2(&FOutput, nullptr, "avi", nullptr), "Cannot set up the AVI writer");
  const int err = avio_open(&FOutput->pb, FileURL(FileName).c_str(), AVIO_FLAG_WRITE);
  if (err < 0) {
    Release();
    CheckAV(err, "Cannot create " + FileName);
  }
}

TRenderOutput::~TRenderOutput() { Release(); }

void TRenderOutput::Release() {
  FStreams.clear();
  if (FOutput) avio_closep(&FOutput->pb);
  avformat_free_context(FOutput);
  FOutput = nullptr;
}

TEncoderStream& TRenderOutput::Add(TCodecContextPtr Codec, const std::string* Encoder, const std::string& What) {
  TAVDictionary options;
  if (Encoder)
    for (const auto& [name, value] : KeptEncoderOptions(*Encoder)) av_dict_set(options.Address(), name.c_str(), value.c_str(), 0);
  // An encoder that refuses the format or an option says why only in its log.
  TLibraryMessages said;
  CheckAV(avcodec_open2(Codec.get(), Codec->codec, options.Address()),
          std::string("The ") + Codec->codec->name + " encoder cannot take " + What);
  FStreams.push_back(std::make_unique<TEncoderStream>(FOutput, std::move(Codec)));
  return *FStreams.back();
}

TEncoderStream& TRenderOutput::AddVideo(const TMediaType& Type, double FPS, const std::string* Encoder) {
  const AVCodec* codec = FindEncoder(Encoder, "rawvideo");
  TCodecContextPtr ctx = NewCodecContext(codec);
  const AVRational rate = FrameRateOf(FPS);
  ctx->width = Type.Width;
  ctx->height = Type.Height;
  ctx->pix_fmt = VideoFormat(codec);
  ctx->time_base = av_inv_q(rate);
  ctx->framerate = rate;
  ctx->sample_aspect_ratio = AVRational{1, 1};
  char what[96];
  std::snprintf(what, sizeof what, "%dx%d frames at %g fps", Type.Width, Type.Height, FPS);
  return Add(std::move(ctx), Encoder, what);
}

TEncoderStream& TRenderOutput::AddAudio(const TMediaType& Type, const std::string* Encoder) {
  const AVCodec* codec = FindEncoder(Encoder, "pcm_s16le");
  TCodecContextPtr ctx = NewCodecContext(codec);
  ctx->sample_fmt = AudioFormat(codec);
  ctx->sample_rate = static_cast<int>(Type.SamplesPerSec);
  av_channel_layout_default(&ctx->ch_layout, Type.Channels);
  ctx->time_base = AVRational{1, ctx->sample_rate};
  return Add(std::move(ctx), Encoder,
             std::to_string(Type.SamplesPerSec) + " Hz sound in " + std::to_string(Type.Channels) + " channels");
}

void TRenderOutput::Begin() {
  TLibraryMessages said;
  CheckAV(avformat_write_header(FOutput, nullptr), "Cannot write the output");
  FBegun = true;
}

void TRenderOutput::Finish() {
  if (!FBegun || FFinished) return;
  FFinished = true;
  // The file is completed also when an encoder fails to drain; the first failure is raised.
  std::exception_ptr failure;
  for (auto& s : FStreams) {
    try {
      s->Send(nullptr);
    } catch (const EMediaEngineError&) {
      if (!failure) failure = std::current_exception();
    }
  }
  CheckAV(av_write_trailer(FOutput), "Cannot complete the output");
  if (failure) std::rethrow_exception(failure);
}

}  // namespace rw
