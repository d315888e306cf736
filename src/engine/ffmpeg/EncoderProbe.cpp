#include "engine/ffmpeg/EncoderProbe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/RenderOutput.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

namespace rw {

namespace {

// A file in memory that the AVI writer writes and the AVI reader reads back.
class TMemoryFile {
public:
  ~TMemoryFile() { Close(); }
  AVIOContext* Open(bool Write) {
    Close();
    FPos = 0;
    constexpr int size = 32768;
    auto* buffer = static_cast<unsigned char*>(av_malloc(size));
    if (!buffer) throw std::bad_alloc();
    FIO = avio_alloc_context(buffer, size, Write ? 1 : 0, this, Write ? nullptr : ReadPacket,
                             Write ? WritePacket : nullptr, SeekTo);
    if (!FIO) {
      av_free(buffer);
      throw std::bad_alloc();
    }
    FIO->seekable = AVIO_SEEKABLE_NORMAL;
    return FIO;
  }
  void Close() {
    if (!FIO) return;
    avio_flush(FIO);
    av_freep(&FIO->buffer);
    avio_context_free(&FIO);
  }

private:
  static int WritePacket(void* Opaque, uint8_t* Buf, int Size) {
    auto* f = static_cast<TMemoryFile*>(Opaque);
    const size_t end = static_cast<size_t>(f->FPos) + static_cast<size_t>(Size);
    if (f->FData.size() < end) f->FData.resize(end);
    std::memcpy(f->FData.data() + f->FPos, Buf, static_cast<size_t>(Size));
    f->FPos = static_cast<int64_t>(end);
    return Size;
  }
  static int ReadPacket(void* Opaque, uint8_t* Buf, int Size) {
    auto* f = static_cast<TMemoryFile*>(Opaque);
    const int64_t left = static_cast<int64_t>(f->FData.size()) - f->FPos;
    if (left <= 0) return AVERROR_EOF;
    const int n = static_cast<int>(std::min<int64_t>(left, Size));
    std::memcpy(Buf, f->FData.data() + f->FPos, static_cast<size_t>(n));
    f->FPos += n;
    return n;
  }
  static int64_t SeekTo(void* Opaque, int64_t Offset, int Whence) {
    auto* f = static_cast<TMemoryFile*>(Opaque);
    const auto size = static_cast<int64_t>(f->FData.size());
    if (Whence == AVSEEK_SIZE) return size;
    int64_t at = Offset;
    if ((Whence & ~AVSEEK_FORCE) == SEEK_CUR) at = f->FPos + Offset;
    if ((Whence & ~AVSEEK_FORCE) == SEEK_END) at = size + Offset;
    if (at < 0) return AVERROR(EINVAL);
    f->FPos = at;
    return at;
  }

  std::string FData;
  int64_t FPos = 0;
  AVIOContext* FIO = nullptr;
};

// The sample: pictures of distinct grey levels, or sound that is silent but for a tone burst.
constexpr int ProbeFrames = 5;
int LevelOf(int Frame) { return 30 + 40 * Frame; }
constexpr int BurstStart = 4410;  // samples
constexpr int BurstLength = 2205;

struct TDecoded {
  int64_t Count = 0;  // frames or samples decoded
  // The slots of the chunks that hold a picture, in stream order: AVI shows the Nth decoded
  // picture in the Nth of them, whatever time the decoder guesses for it (a guess that carries
  // the decoder's reorder delay where the encoder made B-frames).
  std::vector<int64_t> Slots;
  std::vector<int> Level;    // per picture: the grey level in its middle
  std::vector<float> Sound;  // mixed to one channel
  // Samples before the first decoded sound by its time stamp: where the decoder swallows the
  // first packets (WMA), players play what it gives from that time on.
  int64_t Start = 0;
  AVRational TimeBase{0, 1};
  int Errors = 0;
};

class TProbe {
public:
  TProbe(const AVCodec* Codec, const TEncoderFormat& Format, const TOptionList& Kept)
      : FCodec(Codec), FFormat(Format), FKept(Kept) {}

  TEncoderBehaviour Run() {
    WriteSample();
    const TDecoded d = ReadBack();
    const std::string what = std::string("The ") + FCodec->name + " encoder ";
    if (d.Errors > 0)
      throw EMediaEngineError(ME_INVALIDMEDIA, what + "writes files that do not decode");
    return FFormat.Video ? VideoBehaviour(d) : AudioBehaviour(d);
  }

private:
  // Encodes and writes the sample as the render does.
  void WriteSample() {
    AVFormatContext* out = nullptr;
    CheckAV(avformat_alloc_output_context2(&out, nullptr, "avi", nullptr),
            "Cannot set up the AVI writer");
    FOutput.reset(out);
    FOutput->pb = FFile.Open(true);
    // One thread: the sample is a few frames, and some encoders' worker threads wait for each
    // other by spinning, which on a busy machine (or under a sanitizer) can run for minutes.
    TEncoderStream stream(FOutput.get(), OpenEncoder(FCodec, FFormat, FKept, 1),
                          TEncoderBehaviour{});
    {
      TLibraryMessages said;
      CheckAV(
          avformat_write_header(FOutput.get(), nullptr),
          std::string("The AVI writer cannot take what the ") + FCodec->name + " encoder makes");
    }
    if (FFormat.Video)
      SendPictures(stream);
    else
      SendSound(stream);
    stream.Send(nullptr);
    CheckAV(av_write_trailer(FOutput.get()), "Cannot complete the output");
    FFile.Close();
    FOutput.reset();
  }

  void SendPictures(TEncoderStream& Stream) {
    const AVCodecContext& encoder = *Stream.Codec();
    TFramePtr grey = NewFrame();
    grey->format = AV_PIX_FMT_BGR24;
    grey->width = FFormat.Width;
    grey->height = FFormat.Height;
    CheckAV(av_frame_get_buffer(grey.get(), 0), "Out of memory");
    TSwsPtr sws(sws_getContext(FFormat.Width, FFormat.Height, AV_PIX_FMT_BGR24, FFormat.Width,
                               FFormat.Height, encoder.pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                               nullptr));
    if (!sws)
      throw EMediaEngineError(
          ME_NOCODEC, std::string("Cannot make pictures for the ") + FCodec->name + " encoder");
    for (int i = 0; i < ProbeFrames; ++i) {
      for (int y = 0; y < FFormat.Height; ++y)
        std::memset(grey->data[0] + static_cast<ptrdiff_t>(y) * grey->linesize[0], LevelOf(i),
                    static_cast<size_t>(FFormat.Width) * 3);
      TFramePtr f = NewFrame();
      f->format = encoder.pix_fmt;
      f->width = FFormat.Width;
      f->height = FFormat.Height;
      CheckAV(av_frame_get_buffer(f.get(), 0), "Out of memory");
      CheckAV(sws_scale_frame(sws.get(), f.get(), grey.get()),
              "Cannot make pictures for the encoder");
      f->pts = i;
      Stream.Send(f.get());
    }
  }

  void SendSound(TEncoderStream& Stream) {
    AVCodecContext& encoder = *Stream.Codec();
    const int frameSize = encoder.frame_size > 0 ? encoder.frame_size : 1024;
    FSent = (BurstStart + BurstLength + 8820 + frameSize - 1) / frameSize * frameSize;
    TSwrPtr swr;
    {
      SwrContext* s = nullptr;
      AVChannelLayout layout;
      av_channel_layout_default(&layout, FFormat.Channels);
      CheckAV(swr_alloc_set_opts2(&s, &encoder.ch_layout, encoder.sample_fmt, FFormat.SampleRate,
                                  &layout, AV_SAMPLE_FMT_FLT, FFormat.SampleRate, 0, nullptr),
              "Cannot make sound for the encoder");
      swr.reset(s);
      CheckAV(swr_init(swr.get()), "Cannot make sound for the encoder");
    }
    int64_t done = 0;
    while (done < FSent) {
      const int n = static_cast<int>(std::min<int64_t>(frameSize, FSent - done));
      TFramePtr in = NewFrame();
      in->format = AV_SAMPLE_FMT_FLT;
      in->sample_rate = FFormat.SampleRate;
      in->nb_samples = n;
      av_channel_layout_default(&in->ch_layout, FFormat.Channels);
      CheckAV(av_frame_get_buffer(in.get(), 0), "Out of memory");
      auto* s = reinterpret_cast<float*>(in->data[0]);
      for (int i = 0; i < n; ++i) {
        const int64_t at = done + i;
        const float v =
            at >= BurstStart && at < BurstStart + BurstLength
                ? 0.5f * static_cast<float>(std::sin(2 * M_PI * 1000.0 * static_cast<double>(at) /
                                                     FFormat.SampleRate))
                : 0.0f;
        for (int c = 0; c < FFormat.Channels; ++c) s[i * FFormat.Channels + c] = v;
      }
      TFramePtr out = NewFrame();
      out->format = encoder.sample_fmt;
      out->sample_rate = FFormat.SampleRate;
      out->nb_samples = n;
      CheckAV(av_channel_layout_copy(&out->ch_layout, &encoder.ch_layout), "Out of memory");
      CheckAV(av_frame_get_buffer(out.get(), 0), "Out of memory");
      CheckAV(swr_convert_frame(swr.get(), out.get(), in.get()),
              "Cannot make sound for the encoder");
      out->pts = done;
      Stream.Send(out.get());
      done += n;
    }
  }

  TDecoded ReadBack() {
    TDecoded d;
    AVFormatContext* in = avformat_alloc_context();
    if (!in) throw std::bad_alloc();
    in->pb = FFile.Open(false);
    in->flags |= AVFMT_FLAG_CUSTOM_IO;
    const std::string bad =
        std::string("The ") + FCodec->name + " encoder writes files that do not decode";
    int err = avformat_open_input(&in, nullptr, av_find_input_format("avi"), nullptr);
    if (err < 0) throw EMediaEngineError(ME_INVALIDMEDIA, bad);
    TInputContextPtr input(in);
    if (avformat_find_stream_info(in, nullptr) < 0 || in->nb_streams != 1)
      throw EMediaEngineError(ME_INVALIDMEDIA, bad);
    AVStream* st = in->streams[0];
    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder)
      throw EMediaEngineError(ME_NOCODEC, "There is no decoder for what the " +
                                              std::string(FCodec->name) + " encoder makes");
    TCodecContextPtr dec(avcodec_alloc_context3(decoder));
    if (!dec) throw std::bad_alloc();
    CheckAV(avcodec_parameters_to_context(dec.get(), st->codecpar), bad);
    dec->pkt_timebase = st->time_base;
    d.TimeBase = st->time_base;
    if (avcodec_open2(dec.get(), decoder, nullptr) < 0)
      throw EMediaEngineError(ME_INVALIDMEDIA, bad);
    TPacketPtr pkt = NewPacket();
    TFramePtr frame = NewFrame();
    bool flushed = false;
    while (!flushed) {
      err = av_read_frame(in, pkt.get());
      if (err < 0) {
        flushed = true;
        err = avcodec_send_packet(dec.get(), nullptr);
      } else {
        if (FFormat.Video && pkt->size > 0)
          d.Slots.push_back(pkt->dts != AV_NOPTS_VALUE ? pkt->dts
                            : d.Slots.empty()          ? 0
                                                       : d.Slots.back() + 1);
        err = avcodec_send_packet(dec.get(), pkt.get());
        av_packet_unref(pkt.get());
      }
      if (err < 0 && err != AVERROR(EAGAIN) && err != AVERROR_EOF) ++d.Errors;
      while ((err = avcodec_receive_frame(dec.get(), frame.get())) >= 0) {
        Take(*frame, d);
        av_frame_unref(frame.get());
      }
      if (err != AVERROR(EAGAIN) && err != AVERROR_EOF) ++d.Errors;
    }
    return d;
  }

  void Take(const AVFrame& Frame, TDecoded& D) {
    if (FFormat.Video) {
      ++D.Count;
      D.Level.push_back(MiddleGrey(Frame));
      if (Frame.width != FFormat.Width || Frame.height != FFormat.Height) ++D.Errors;
      return;
    }
    if (D.Count == 0 && D.TimeBase.num > 0 && Frame.best_effort_timestamp != AV_NOPTS_VALUE)
      D.Start = std::max<int64_t>(
          0, av_rescale_q(Frame.best_effort_timestamp, D.TimeBase, {1, FFormat.SampleRate}));
    SwrContext* s = nullptr;
    AVChannelLayout mono;
    av_channel_layout_default(&mono, 1);
    AVChannelLayout layout;
    if (av_channel_layout_copy(&layout, &Frame.ch_layout) < 0 || !av_channel_layout_check(&layout))
      av_channel_layout_default(&layout, FFormat.Channels);
    const int rate = Frame.sample_rate > 0 ? Frame.sample_rate : FFormat.SampleRate;

    if (swr_alloc_set_opts2(&s, &mono, AV_SAMPLE_FMT_FLT, rate, &layout,
                            static_cast<AVSampleFormat>(Frame.format), rate, 0, nullptr) < 0) {
      av_channel_layout_uninit(&layout);
      ++D.Errors;
      return;
    }
    TSwrPtr swr(s);
    av_channel_layout_uninit(&layout);
    // One channel is enough: the burst is in all of them. Mixing down keeps its onset.
    std::vector<float> out(static_cast<size_t>(Frame.nb_samples) + 64);
    uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(out.data())};
    if (swr_init(swr.get()) < 0) {
      ++D.Errors;
      return;
    }
    const int n = swr_convert(swr.get(), dst, static_cast<int>(out.size()),
                              const_cast<const uint8_t**>(Frame.extended_data), Frame.nb_samples);
    if (n < 0) {
      ++D.Errors;
      return;
    }
    D.Sound.insert(D.Sound.end(), out.begin(), out.begin() + n);
    D.Count += Frame.nb_samples;
  }

  int MiddleGrey(const AVFrame& Frame) {
    constexpr int size = 8;
    TSwsPtr sws(sws_getContext(Frame.width, Frame.height, static_cast<AVPixelFormat>(Frame.format),
                               size, size, AV_PIX_FMT_GRAY8, SWS_AREA, nullptr, nullptr, nullptr));
    if (!sws) return -1;
    uint8_t grey[size * size];
    uint8_t* dst[4] = {grey, nullptr, nullptr, nullptr};
    int lines[4] = {size, 0, 0, 0};
    if (sws_scale(sws.get(), Frame.data, Frame.linesize, 0, Frame.height, dst, lines) < 0)
      return -1;
    int sum = 0;
    for (uint8_t v : grey) sum += v;
    return sum / (size * size);
  }

  TEncoderBehaviour VideoBehaviour(const TDecoded& D) const {
    if (D.Count < ProbeFrames)
      throw EMediaEngineError(ME_INVALIDMEDIA, std::string("The ") + FCodec->name +
                                                   " encoder loses pictures (" +
                                                   std::to_string(D.Count) + " of " +
                                                   std::to_string(ProbeFrames) + " decode)");
    TEncoderBehaviour b;
    b.Growth = D.Count - ProbeFrames;
    // The pictures recognised by their grey levels tell how late they are shown, each in its
    // slot; the first one may be on time where the later ones are not, and those are what a
    // viewer sees.
    std::vector<int64_t> slots = D.Slots;
    std::sort(slots.begin(), slots.end());
    std::vector<int64_t> late;
    for (size_t j = 0; j < D.Level.size(); ++j) {
      const int64_t slot = j < slots.size() ? slots[j]
                           : slots.empty()
                               ? static_cast<int64_t>(j)
                               : slots.back() + static_cast<int64_t>(j + 1 - slots.size());
      for (int i = 0; i < ProbeFrames; ++i)
        if (std::abs(D.Level[j] - LevelOf(i)) <= 8) late.push_back(slot - i);
    }
    if (!late.empty()) {
      std::nth_element(late.begin(), late.begin() + static_cast<ptrdiff_t>(late.size() / 2),
                       late.end());
      b.Delay = std::max<int64_t>(0, late[late.size() / 2]);
    }
    return b;
  }

  TEncoderBehaviour AudioBehaviour(const TDecoded& D) const {
    float peak = 0;
    for (float v : D.Sound) peak = std::max(peak, std::fabs(v));
    const std::string what = std::string("The ") + FCodec->name + " encoder ";
    if (D.Count < FSent / 2 || peak < 0.1f)
      throw EMediaEngineError(ME_INVALIDMEDIA, what + "writes sound that does not decode");
    TEncoderBehaviour b;
    for (size_t i = 0; i < D.Sound.size(); ++i)
      if (std::fabs(D.Sound[i]) > 0.3f * peak) {
        b.Delay = D.Start + static_cast<int64_t>(i) - BurstStart;
        break;
      }
    b.Growth = D.Start + D.Count - FSent;
    return b;
  }

  const AVCodec* FCodec;
  TEncoderFormat FFormat;
  const TOptionList& FKept;
  TMemoryFile FFile;
  TOutputContextPtr FOutput;
  int64_t FSent = 0;
};

struct TProbeAnswer {
  TEncoderBehaviour Behaviour;
  int32_t Code = 0;
  std::string Reason;
};

// Only the fields of the encoder's own kind: the listing's try and a join's are then one try.
std::string ProbeKey(const AVCodec* Codec, const TEncoderFormat& F, const TOptionList& Kept) {
  std::string key =
      std::string(Codec->name) + "|" +
      (F.Video ? "v|" + std::to_string(F.Width) + "x" + std::to_string(F.Height) + "|" +
                     std::to_string(F.Rate.num) + "/" + std::to_string(F.Rate.den)
               : "a|" + std::to_string(F.SampleRate) + "|" + std::to_string(F.Channels));
  for (const auto& [name, value] : EncoderOptionsInEffect(Codec->name, Kept))
    key += "|" + name + "=" + value;
  return key;
}

}  // namespace

TEncoderBehaviour ProbeEncoder(const AVCodec* Codec, const TEncoderFormat& Format,
                               const TOptionList& Kept) {
  static std::mutex lock;
  static std::map<std::string, TProbeAnswer> answers;
  const std::string key = ProbeKey(Codec, Format, Kept);
  {
    std::lock_guard guard(lock);
    auto at = answers.find(key);
    if (at != answers.end()) {
      if (at->second.Code != 0) throw EMediaEngineError(at->second.Code, at->second.Reason);
      return at->second.Behaviour;
    }
  }
  TProbeAnswer answer;
  {
    // The probe's own failures say why; the libraries' messages on the way stay quiet.
    TLibraryMessages quiet;
    try {
      answer.Behaviour = TProbe(Codec, Format, Kept).Run();
    } catch (const EMediaEngineError& E) {
      answer.Code = E.Code();
      answer.Reason = E.what();
    }
  }
  std::lock_guard guard(lock);
  answers[key] = answer;
  if (answer.Code != 0) throw EMediaEngineError(answer.Code, answer.Reason);
  return answer.Behaviour;
}

}  // namespace rw
