#include "engine/ffmpeg/GroupRender.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/ffmpeg/FilterChain.h"
#include "engine/ffmpeg/RenderOutput.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace rw {

namespace {

int64_t UnitsAt(int64_t Time, AVRational UnitsPerSecond) {
  return av_rescale_rnd(Time, UnitsPerSecond.num, static_cast<int64_t>(UnitsPerSecond.den) * UNITS,
                        AV_ROUND_NEAR_INF);
}

std::string Rational(AVRational R) { return std::to_string(R.num) + "/" + std::to_string(R.den); }

}  // namespace

TGroupRender::TGroupRender(std::vector<TPlacedSource> Sources, TMediaKind Kind,
                           TEncoderStream& Encoder, AVRational UnitsPerSecond, int64_t Duration)
    : FEncoder(Encoder),
      FRate(UnitsPerSecond),
      FTotal(UnitsAt(Duration, UnitsPerSecond) + Encoder.Tail()),
      FLead(Encoder.Lead()),
      FSources(std::move(Sources)),
      FKind(Kind) {
  // The sources and the gaps between them up to the output's end, then the encoder's tail of
  // filler.
  int64_t cursor = 0;
  auto add = [&](int64_t End, const TPlacedSource* Source) {
    if (End > cursor) FSegments.push_back({cursor, End, Source});
    cursor = std::max(cursor, End);
  };
  const int64_t end = UnitsAt(Duration, UnitsPerSecond);
  for (const TPlacedSource& s : FSources) {
    add(std::min(UnitsAt(s.Start, FRate), end), nullptr);
    add(std::min(UnitsAt(s.Stop, FRate), end), &s);
  }
  add(end, nullptr);
  add(FTotal, nullptr);
}

int64_t TGroupRender::Position() const {
  return av_rescale(FNext, static_cast<int64_t>(FRate.den) * UNITS, FRate.num);
}

void TGroupRender::StartReader() {
  std::vector<TSourceJob> jobs;
  FJobOf.assign(FSegments.size(), 0);
  for (size_t i = 0; i < FSegments.size(); ++i) {
    if (!FSegments[i].Source) continue;
    FJobOf[i] = jobs.size();
    jobs.push_back({FSegments[i].Source->FileName, FKind, SourceChain(*FSegments[i].Source)});
  }
  // A few pictures ahead (they are large), more sound frames (they are small).
  FReader = std::make_unique<TSourceReader>(std::move(jobs), FKind == TMediaKind::mkVideo ? 6 : 32);
}

void TGroupRender::EndSegment() {
  const TGroupSegment& seg = FSegments[FSegment];
  if (seg.Source && !FSourceEnded) FReader->Skip(FJobOf[FSegment]);
  FSourceEnded = false;
  SourceClosed();
}

void TGroupRender::Step() {
  if (!FReader) StartReader();
  while (FNext < FTotal && FSegment < FSegments.size()) {
    const TGroupSegment& seg = FSegments[FSegment];
    if (FNext >= seg.End) {
      EndSegment();
      ++FSegment;
      continue;
    }
    if (!seg.Source) {
      EmitFill(seg.End - FNext);
      return;
    }
    if (!FSourceEnded) {
      const size_t job = FJobOf[FSegment];
      if (FReader->Next(job, FFrame.get())) {
        const bool more = EmitSourceFrame(FFrame.get(), seg);
        av_frame_unref(FFrame.get());
        if (!more) {
          FSourceEnded = true;
          FReader->Skip(job);
        }
        return;
      }
      FSourceEnded = true;
    }
    EmitTail(seg.End - FNext);
    return;
  }
}

TVideoGroupRender::TVideoGroupRender(std::vector<TPlacedSource> Sources, TEncoderStream& Encoder,
                                     AVRational Rate, int32_t StretchMode, int64_t Duration)
    : TGroupRender(std::move(Sources), TMediaKind::mkVideo, Encoder, Rate, Duration),
      FStretchMode(StretchMode) {
  const AVCodecContext* c = Encoder.Codec();
  FBlack = NewFrame();
  FBlack->format = c->pix_fmt;
  FBlack->width = c->width;
  FBlack->height = c->height;
  CheckAV(av_frame_get_buffer(FBlack.get(), 0), "Out of memory");
  ptrdiff_t lines[4];
  for (int i = 0; i < 4; ++i) lines[i] = FBlack->linesize[i];
  CheckAV(av_image_fill_black(FBlack->data, lines, c->pix_fmt, c->color_range, c->width, c->height),
          "Cannot make a black frame");
}

std::string TVideoGroupRender::SourceChain(const TPlacedSource& Source) const {
  const AVCodecContext* c = FEncoder.Codec();
  // Pictures retimed: the Nth decoded one is shown at N / PictureRate seconds, in microseconds
  // (the file's own time base may be a million seconds).
  const std::string retime =
      Source.PictureRate > 0
          ? "settb=AVTB,setpts=N/(" + Rational(FrameRateOf(Source.PictureRate)) + ")/TB,"
          : "";
  // A piece from From on: the picture in From's slot comes to time 0, and the frame-rate filter
  // keeps none before it but the one that holds that slot (an empty chunk repeats it).
  const std::string from =
      Source.From > 0 ? "setpts=PTS-round(" + Rational(av_d2q(Source.From, 1 << 30)) + "/TB)," : "";
  return retime + from + "fps=fps=" + Rational(FRate) + ":start_time=0:round=near," +
         FitFilters(FStretchMode, c->width, c->height) +
         ",format=pix_fmts=" + av_get_pix_fmt_name(c->pix_fmt) + ",setsar=1";
}

void TVideoGroupRender::Emit(const AVFrame* Frame) {
  const int64_t at = FNext++;
  if (at < FLead) return;
  // The encoder takes its own reference; the stamp is set on a shallow copy.
  TFramePtr f(av_frame_clone(Frame));
  if (!f) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  f->pts = at - FLead;
  f->pict_type = AV_PICTURE_TYPE_NONE;
  FEncoder.Send(f.get());
}

void TVideoGroupRender::EmitFill(int64_t /*Count*/) { Emit(FBlack.get()); }

void TVideoGroupRender::EmitTail(int64_t /*Count*/) { Emit(FLast ? FLast.get() : FBlack.get()); }

bool TVideoGroupRender::EmitSourceFrame(AVFrame* Frame, const TGroupSegment& Segment) {
  const int64_t at = Segment.Begin + Frame->pts;
  if (at >= Segment.End) return false;
  if (at >= FNext) {
    while (FNext < at) EmitTail(at - FNext);
    Emit(Frame);
  }
  FLast.reset(av_frame_clone(Frame));
  return FNext < Segment.End;
}

TAudioGroupRender::TAudioGroupRender(std::vector<TPlacedSource> Sources, TEncoderStream& Encoder,
                                     int64_t Duration)
    : TGroupRender(std::move(Sources), TMediaKind::mkAudio, Encoder,
                   AVRational{Encoder.Codec()->sample_rate, 1}, Duration) {
  const AVCodecContext* c = Encoder.Codec();
  FFrameSize = c->frame_size > 0 ? c->frame_size : c->sample_rate / 10;
  FToSkip = FLead;
  FFifo.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, FFrameSize * 4));
  if (!FFifo) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  // A decoder that drops the start of the sound gets silence to drop.
  for (int64_t left = -FLead; left > 0; left -= FFrameSize)
    WriteSilence(static_cast<int>(std::min<int64_t>(left, FFrameSize)));
}

void TAudioGroupRender::WriteSilence(int Count) {
  const AVCodecContext* c = FEncoder.Codec();
  TFramePtr silence = NewFrame();
  silence->format = c->sample_fmt;
  silence->nb_samples = Count;
  CheckAV(av_channel_layout_copy(&silence->ch_layout, &c->ch_layout), "Out of memory");
  CheckAV(av_frame_get_buffer(silence.get(), 0), "Out of memory");
  av_samples_set_silence(silence->extended_data, 0, Count, c->ch_layout.nb_channels, c->sample_fmt);
  CheckAV(av_audio_fifo_write(FFifo.get(), reinterpret_cast<void**>(silence->extended_data), Count),
          "Out of memory");
}

std::string TAudioGroupRender::SourceChain(const TPlacedSource& /*Source*/) const {
  const AVCodecContext* c = FEncoder.Codec();
  char layout[128] = {};
  av_channel_layout_describe(&c->ch_layout, layout, sizeof layout);
  const std::string rate = std::to_string(c->sample_rate);
  return "aresample=" + rate + ",aformat=sample_fmts=" + av_get_sample_fmt_name(c->sample_fmt) +
         ":sample_rates=" + rate + ":channel_layouts=" + layout;
}

void TAudioGroupRender::EmitFill(int64_t Count) {
  const int n = static_cast<int>(std::min<int64_t>(Count, FFrameSize));
  WriteSilence(n);
  FNext += n;
  Drain(false);
}

bool TAudioGroupRender::EmitSourceFrame(AVFrame* Frame, const TGroupSegment& Segment) {
  // AVI sound is a sequence of samples: it is placed as it comes. Only its start is taken from
  // its time: sound that starts after its pictures begins with silence, sound before them is
  // cut. A damaged time stamp can thus never make more than the source's stretch of silence,
  // and that is made a frame at a time. A piece from From on drops the samples before it,
  // counted from that start.
  if (!FStarted) {
    FStarted = true;
    const int64_t from =
        Segment.Source ? std::llround(Segment.Source->From * FRate.num / FRate.den) : 0;
    const int64_t at = (Frame->pts != AV_NOPTS_VALUE ? Frame->pts : 0) - from;
    if (at > 0)
      for (int64_t left = std::min(at, Segment.End - FNext); left > 0;) {
        const int64_t before = FNext;
        EmitFill(left);
        left -= FNext - before;
      }
    else
      FDrop = -at;
  }
  const int offset = static_cast<int>(std::min<int64_t>(FDrop, Frame->nb_samples));
  FDrop -= offset;
  const int take = static_cast<int>(
      std::max<int64_t>(0, std::min<int64_t>(Frame->nb_samples - offset, Segment.End - FNext)));
  const AVSampleFormat format = static_cast<AVSampleFormat>(Frame->format);
  const int channels = Frame->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(format);
  const int step = av_get_bytes_per_sample(format) * (planar ? 1 : channels);
  std::vector<uint8_t*> planes(static_cast<size_t>(planar ? channels : 1));
  for (size_t i = 0; i < planes.size(); ++i)
    planes[i] = Frame->extended_data[i] + static_cast<ptrdiff_t>(offset) * step;
  CheckAV(av_audio_fifo_write(FFifo.get(), reinterpret_cast<void**>(planes.data()), take),
          "Out of memory");
  FNext += take;
  Drain(false);
  return offset + take == Frame->nb_samples && FNext < Segment.End;
}

void TAudioGroupRender::Drain(bool All) {
  const AVCodecContext* c = FEncoder.Codec();
  const bool shortLast =
      c->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
  while (true) {
    const int queued = av_audio_fifo_size(FFifo.get());
    if (FToSkip > 0 && queued > 0) {
      const int n = static_cast<int>(std::min<int64_t>(FToSkip, queued));
      av_audio_fifo_drain(FFifo.get(), n);
      FToSkip -= n;
      continue;
    }
    if (queued <= 0 || (queued < FFrameSize && !All)) return;
    const int n = std::min(queued, FFrameSize);
    av_frame_unref(FChunk.get());
    FChunk->format = c->sample_fmt;
    FChunk->sample_rate = c->sample_rate;
    FChunk->nb_samples = n < FFrameSize && !shortLast ? FFrameSize : n;
    CheckAV(av_channel_layout_copy(&FChunk->ch_layout, &c->ch_layout), "Out of memory");
    CheckAV(av_frame_get_buffer(FChunk.get(), 0), "Out of memory");
    if (FChunk->nb_samples > n)
      av_samples_set_silence(FChunk->extended_data, n, FChunk->nb_samples - n,
                             c->ch_layout.nb_channels, c->sample_fmt);
    if (av_audio_fifo_read(FFifo.get(), reinterpret_cast<void**>(FChunk->extended_data), n) != n)
      throw EMediaEngineError(ME_FAIL, "Sound buffering failed");
    FChunk->pts = FEncoded;
    FEncoded += FChunk->nb_samples;
    FEncoder.Send(FChunk.get());
  }
}

void TAudioGroupRender::Flush() { Drain(true); }

}  // namespace rw
