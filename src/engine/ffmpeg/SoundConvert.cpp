// Converting one source's sound into chunks of an output sound stream's exact format: decoded,
// placed from the source's first picture, resampled and remixed, cut or padded to the source's
// length, and encoded at the stream's own rate, channels, sample format and bit rate. The
// chunks are timed as the stream they join: any size for PCM, one coded frame each otherwise.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/ConvertJobs.h"
#include "engine/ffmpeg/FilterChain.h"
#include "engine/ffmpeg/SourceDecoder.h"
#include "formats/AacFrames.h"
#include "formats/Ac3Frames.h"
#include "formats/MpegAudio.h"
#include "formats/WaveFormat.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace rw {

namespace {

constexpr uint16_t TagPCM = riff::wavePCM;
constexpr uint16_t TagFloat = riff::waveFloat;
constexpr uint16_t TagALaw = riff::waveALaw;
constexpr uint16_t TagMuLaw = riff::waveMuLaw;
constexpr uint16_t TagMP2 = riff::waveMpeg;
constexpr uint16_t TagMP3 = riff::waveMpegLayer3;
constexpr uint16_t TagAC3 = riff::waveAc3;
constexpr uint16_t TagExtensible = riff::waveFormatExtensible;
constexpr uint16_t TagWma1 = riff::waveWma1;
constexpr uint16_t TagWma2 = riff::waveWma2;

uint16_t Word(const std::vector<uint8_t>& F, size_t At) {
  return At + 2 <= F.size() ? static_cast<uint16_t>(F[At] | F[At + 1] << 8) : 0;
}
uint32_t DWord(const std::vector<uint8_t>& F, size_t At) {
  return At + 4 <= F.size() ? static_cast<uint32_t>(Word(F, At) | Word(F, At + 2) << 16) : 0;
}

// The target's WAVEFORMATEX, and the encoder that writes it.
struct TSoundFormat {
  uint16_t Tag = 0;  // the sub-format's for an extensible format
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t AvgBytes = 0;
  uint16_t BlockAlign = 0;
  uint16_t Bits = 0;
  uint32_t ChannelMask = 0;
  const char* Encoder = nullptr;
  bool Pcm = false;  // samples, any number a chunk
  // AAC-LC: the stream's own set-up, and whether its frames come behind ADTS headers (the
  // first chunk's header, 7 bytes, is the model of every header written).
  bool Aac = false;
  TAacConfig AacConfig;
  std::vector<uint8_t> Adts;
  // WMA 1 or 2: the bytes after the wave format, its set-up.
  bool Wma = false;
  std::vector<uint8_t> Setup;
};

[[noreturn]] void Unsupported(const std::string& Why) {
  throw EMediaEngineError(ME_NOCODEC, "The sound format cannot be written: " + Why);
}

// The bit rate of the first MPEG audio or AC-3 frame in Data, 0 when there is none.
uint32_t FrameBitRate(uint16_t Tag, const std::vector<uint8_t>& Data) {
  for (size_t i = 0; i + 5 <= Data.size(); ++i) {
    const uint8_t* p = Data.data() + i;
    if (Tag == TagAC3) {
      if (const uint32_t rate = Ac3BitRate(p, Data.size() - i)) return rate;
      continue;
    }
    TMpegAudioHeader mpeg;
    if (ParseMpegAudioHeader(p, Data.size() - i, mpeg)) return mpeg.Bitrate;
  }
  return 0;
}

// AAC-LC as the stream has it: raw frames after the AudioSpecificConfig that follows its wave
// format, or frames behind ADTS headers when its format holds no config.
void ReadAacFormat(const TStreamTarget& Target, TSoundFormat& S) {
  const std::vector<uint8_t>& f = Target.Format;
  const size_t extra =
      f.size() >= riff::WaveExtraOffset
          ? std::min<size_t>(Word(f, riff::WaveExtraSizeOffset), f.size() - riff::WaveExtraOffset)
          : 0;
  const std::vector<uint8_t>& first = Target.FirstKeyFrame;
  if (extra > 0) {
    if (!ParseAacConfig(f.data() + riff::WaveExtraOffset, extra, S.AacConfig))
      Unsupported(AacConfigText(f.data() + riff::WaveExtraOffset, extra));
  } else if (first.size() >= AdtsHeaderBytes &&
             ParseAdtsHeader(first.data(), first.size(), S.AacConfig)) {
    S.Adts.assign(first.begin(), first.begin() + AdtsHeaderBytes);
  } else {
    Unsupported("AAC without its set-up");
  }
  if (S.AacConfig.SampleRate != S.SampleRate)
    Unsupported("AAC of " + std::to_string(S.AacConfig.SampleRate) + " Hz in a stream of " +
                std::to_string(S.SampleRate) + " Hz");
  S.Aac = true;
  S.Encoder = "aac";
}

// The frame with an ADTS header made from the stream's own: its length, no CRC, one block.
std::vector<uint8_t> WithAdtsHeader(const std::vector<uint8_t>& Model, const uint8_t* Frame,
                                    size_t Size) {
  std::vector<uint8_t> out(Model.begin(), Model.end());
  const size_t length = AdtsHeaderBytes + Size;
  out[1] |= 0x01;  // no CRC
  out[3] = static_cast<uint8_t>((out[3] & 0xFC) | ((length >> 11) & 0x03));
  out[4] = static_cast<uint8_t>(length >> 3);
  out[5] = static_cast<uint8_t>(((length & 0x07) << 5) | 0x1F);  // buffer fullness: variable
  out[6] = 0xFC;                                                 // and one raw data block
  out.insert(out.end(), Frame, Frame + Size);
  return out;
}

TSoundFormat ReadFormat(const TStreamTarget& Target) {
  const std::vector<uint8_t>& f = Target.Format;
  if (Target.Kind != TMediaKind::mkAudio || f.size() < 16) Unsupported("no sound format");
  TSoundFormat s;
  s.Tag = Word(f, 0);
  s.Channels = Word(f, 2);
  s.SampleRate = DWord(f, 4);
  s.AvgBytes = DWord(f, 8);
  s.BlockAlign = Word(f, 12);
  s.Bits = Word(f, 14);
  if (s.Tag == TagExtensible) {
    if (f.size() < 40) Unsupported("a damaged extensible format");
    s.ChannelMask = DWord(f, 20);
    s.Tag = Word(f, 24);
  }
  if (s.Channels < 1 || s.Channels > 8) Unsupported(std::to_string(s.Channels) + " channels");
  if (s.SampleRate < 1000 || s.SampleRate > 192000)
    Unsupported(std::to_string(s.SampleRate) + " Hz");
  s.Pcm = IsSampleSound(s.Tag);
  switch (s.Tag) {
    case TagPCM:
      s.Encoder = s.Bits == 8    ? "pcm_u8"
                  : s.Bits == 16 ? "pcm_s16le"
                  : s.Bits == 24 ? "pcm_s24le"
                  : s.Bits == 32 ? "pcm_s32le"
                                 : nullptr;
      break;
    case TagFloat:
      s.Encoder = s.Bits == 32 ? "pcm_f32le" : s.Bits == 64 ? "pcm_f64le" : nullptr;
      break;
    case TagALaw:
    case TagMuLaw:
      s.Encoder = s.Bits == 8 ? (s.Tag == TagALaw ? "pcm_alaw" : "pcm_mulaw") : nullptr;
      break;
    case TagMP2:
      s.Encoder = "mp2";
      break;
    case TagMP3:
      s.Encoder = "libmp3lame";
      break;
    case TagAC3:
      s.Encoder = "ac3";
      break;
    case TagWma1:
    case TagWma2:
      s.Encoder = s.Tag == TagWma1 ? "wmav1" : "wmav2";
      s.Wma = true;
      if (f.size() > riff::WaveExtraOffset)
        s.Setup.assign(f.begin() + riff::WaveExtraOffset,
                       f.begin() + riff::WaveExtraOffset +
                           std::min<size_t>(Word(f, riff::WaveExtraSizeOffset),
                                            f.size() - riff::WaveExtraOffset));
      break;
    default:
      break;
  }
  if (IsAacTag(s.Tag)) ReadAacFormat(Target, s);
  if (!s.Encoder)
    Unsupported(SoundCodecName(s.Tag) +
                (s.Pcm && s.Bits ? ", " + std::to_string(s.Bits) + " bits" : ""));
  if (s.Pcm && s.BlockAlign != s.Channels * s.Bits / 8)
    Unsupported("a block of " + std::to_string(s.BlockAlign) + " bytes");
  if (!s.Pcm && s.AvgBytes == 0) s.AvgBytes = FrameBitRate(s.Tag, Target.FirstKeyFrame) / 8;
  // AAC frames are as long as their content needs; a bit rate of the header is only a guide.
  if (s.Aac && (s.AvgBytes < 2000 || s.AvgBytes > 80000)) s.AvgBytes = 16000u * s.Channels;
  if (!s.Pcm && s.AvgBytes == 0) Unsupported("no bit rate");
  return s;
}

// The bit rates MPEG audio frames can carry, in kbit/s, for the layer and sample rate.
bool MpegBitRate(bool Layer3, uint32_t SampleRate, uint32_t Kbps) {
  return IsMpegBitRate(Layer3 ? 3 : 2, SampleRate >= 32000, Kbps * 1000);
}

// The bit rate MPEG audio frames are made at: the format's when frames can carry it, else the
// first chunk's frame's, else the nearest one above the format's (average) rate.
int64_t MpegFrameRate(const TStreamTarget& Target, const TSoundFormat& S) {
  const bool layer3 = S.Tag == TagMP3;
  const uint32_t declared = S.AvgBytes * 8;
  if (declared % 1000 == 0 && MpegBitRate(layer3, S.SampleRate, declared / 1000)) return declared;
  const uint32_t first = FrameBitRate(S.Tag, Target.FirstKeyFrame);
  if (first % 1000 == 0 && MpegBitRate(layer3, S.SampleRate, first / 1000)) return first;
  for (uint32_t kbps = (declared + 999) / 1000; kbps <= 448; ++kbps)
    if (MpegBitRate(layer3, S.SampleRate, kbps)) return int64_t{kbps} * 1000;
  for (uint32_t kbps = std::min<uint32_t>(declared / 1000, 448); kbps >= 8; --kbps)
    if (MpegBitRate(layer3, S.SampleRate, kbps)) return int64_t{kbps} * 1000;
  Unsupported("a bit rate of " + std::to_string(declared) + " bit/s");
}

// The encoder opened for the format, its timing checked against the stream's header.
TCodecContextPtr OpenSoundEncoder(const TStreamTarget& Target, const TSoundFormat& S) {
  const AVCodec* codec = avcodec_find_encoder_by_name(S.Encoder);
  if (!codec) Unsupported(std::string("no encoder ") + S.Encoder);
  if (!S.Pcm) {
    const uint32_t kbps = S.AvgBytes * 8 / 1000;
    const bool exact = S.AvgBytes * 8 % 1000 == 0;
    const bool known = S.Aac || S.Wma ? true
                       : S.Tag == TagAC3
                           ? exact && kbps >= 32 && kbps <= 640
                           : exact && MpegBitRate(S.Tag == TagMP3, S.SampleRate, kbps);
    if (!known && !S.Aac) {
      // MPEG audio timed by its frames may change its rate from frame to frame (variable-rate
      // MP3 declares its average): its frames are made at a rate frames can carry, the first
      // chunk's when it has one, else the nearest one above the average.
      const bool byFrames = (S.Tag == TagMP3 || S.Tag == TagMP2) && Target.SampleSize == 0;
      if (!byFrames) Unsupported("a bit rate of " + std::to_string(S.AvgBytes * 8) + " bit/s");
    }
  }
  TCodecContextPtr c(avcodec_alloc_context3(codec));
  if (!c) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  c->sample_rate = static_cast<int>(S.SampleRate);
  c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  if (S.ChannelMask != 0 && static_cast<unsigned>(__builtin_popcount(S.ChannelMask)) == S.Channels)
    av_channel_layout_from_mask(&c->ch_layout, S.ChannelMask);
  else
    av_channel_layout_default(&c->ch_layout, S.Channels);
  c->time_base = AVRational{1, static_cast<int>(S.SampleRate)};
  if (!S.Pcm) c->bit_rate = static_cast<int64_t>(S.AvgBytes) * 8;
  if (S.Tag == TagMP3 || S.Tag == TagMP2) c->bit_rate = MpegFrameRate(Target, S);
  if (S.Aac) c->profile = FF_PROFILE_AAC_LOW;
  TLibraryMessages messages;
  const int err = avcodec_open2(c.get(), codec, nullptr);
  if (err < 0) Unsupported(messages.Text().empty() ? AVErrorText(err) : messages.Text());
  if (S.Aac) {
    // The decoder reads the stream's set-up: the encoder's must say the same.
    TAacConfig made;
    if (!ParseAacConfig(c->extradata, static_cast<size_t>(std::max(c->extradata_size, 0)), made) ||
        made.SampleRate != S.AacConfig.SampleRate || made.Channels != S.AacConfig.Channels)
      Unsupported("AAC of " + std::to_string(S.Channels) + " channels at " +
                  std::to_string(S.SampleRate) + " Hz cannot be made as the stream has it");
  }
  if (S.Wma) {
    // Every packet is one block of the stream's size, coded with the tools the stream's set-up
    // names (exponents by VLC, a bit reservoir, blocks of varying length): the decoder reads
    // them from the first file's format and decodes our packets with them too.
    if (c->block_align != S.BlockAlign)
      Unsupported("WMA in blocks of " + std::to_string(S.BlockAlign) + " bytes at " +
                  std::to_string(S.AvgBytes * 8) + " bit/s");
    const size_t at = S.Tag == TagWma1 ? 2 : 4;
    const std::vector<uint8_t> made(c->extradata, c->extradata + std::max(c->extradata_size, 0));
    if ((Word(S.Setup, at) & 0x7) != (Word(made, at) & 0x7))
      Unsupported(
          "WMA coded with other tools than the encoder's (a bit reservoir or blocks of "
          "varying length)");
  }
  // A stream timed by its blocks takes one coded frame a chunk: their lengths must agree.
  if (!S.Pcm && Target.SampleSize == 0 &&
      static_cast<uint64_t>(Target.Scale) * S.SampleRate !=
          static_cast<uint64_t>(Target.Rate) * static_cast<uint64_t>(c->frame_size))
    Unsupported("blocks of " + std::to_string(Target.Scale) + "/" + std::to_string(Target.Rate) +
                " s");
  // A stream timed by its bytes must run at the format's byte rate.
  if (Target.SampleSize != 0) {
    const long double perSecond = static_cast<long double>(Target.Rate) * Target.SampleSize /
                                  std::max<uint32_t>(Target.Scale, 1);
    const long double wanted = S.Pcm ? static_cast<long double>(S.SampleRate) * S.BlockAlign
                                     : static_cast<long double>(S.AvgBytes);
    if (std::fabs(perSecond - wanted) > wanted * 1e-4L)
      Unsupported("a stream clock of " + std::to_string(static_cast<int64_t>(perSecond)) +
                  " bytes a second");
    if (S.Pcm && Target.SampleSize % S.BlockAlign != 0) Unsupported("a damaged sample size");
  }
  return c;
}

class TSoundConvertJob : public IConvertJob {
public:
  explicit TSoundConvertJob(const TConvertPlan& Plan)
      : FFormat(ReadFormat(Plan.Target)),
        FEncoder(OpenSoundEncoder(Plan.Target, FFormat)),
        FDecoder(Plan.FileName, TMediaKind::mkAudio, Plan.StartSeconds),
        FChain(Chain(Plan), FDecoder.HasStream() ? FDecoder.TimeBase() : AVRational{1, 1}),
        FSeconds(Plan.Seconds),
        FFrame(NewFrame()),
        FPacket(NewPacket()) {
    FTotal = std::max<int64_t>(1, std::llround(Length(Plan) * FFormat.SampleRate));
  }

  bool Next(TConvertedChunk& Chunk) override {
    if (FError.Failed() || FEnded) return false;
    try {
      return Produce(Chunk);
    } catch (const EMediaEngineError& E) {
      FError = {E.Code(), E.what()};
    } catch (const std::bad_alloc&) {
      FError = {ME_OUTOFMEMORY, "Out of memory"};
    }
    return false;
  }
  double Percent() override { return RenderPercent(FDone, FTotal); }
  TEngineError Error() override { return FError; }

private:
  // The lead, no more than a minute of silence and no more left out than the source lasts.
  static double Lead(const TConvertPlan& Plan) {
    if (!std::isfinite(Plan.Lead)) return 0;
    return std::min(std::max(Plan.Lead, -std::max(Plan.Seconds, 0.0)), 60.0);
  }
  // Seconds of the converted sound: the source's length after the lead.
  static double Length(const TConvertPlan& Plan) {
    return std::max(Plan.Seconds + Lead(Plan), 0.0);
  }

  // Placed from the source's start (where its first picture is) after the lead, resampled,
  // remixed, then cut or padded to that length, in frames the encoder takes.
  std::string Chain(const TConvertPlan& Plan) const {
    const AVCodecContext* c = FEncoder.get();
    char layout[128] = {};
    av_channel_layout_describe(&c->ch_layout, layout, sizeof layout);
    const std::string rate = std::to_string(c->sample_rate);
    const int64_t total = std::max<int64_t>(1, std::llround(Length(Plan) * c->sample_rate));
    const int frame = c->frame_size > 0 ? c->frame_size : std::max(1, c->sample_rate / 25);
    // A decoder gives the encoder's priming samples first: the sound is taken that much
    // later, so that it plays where it played in the source; the lead comes before it.
    const int64_t skip = c->initial_padding - std::llround(Lead(Plan) * c->sample_rate);
    const std::string lead = skip > 0   ? ",atrim=start_sample=" + std::to_string(skip)
                             : skip < 0 ? ",adelay=delays=" + std::to_string(-skip) + "S:all=1"
                                        : "";
    return "aresample=" + rate +
           ":async=1:first_pts=0,aformat=sample_fmts=" + av_get_sample_fmt_name(c->sample_fmt) +
           ":sample_rates=" + rate + ":channel_layouts=" + layout + lead +
           ",apad=whole_len=" + std::to_string(total) +
           ",atrim=end_sample=" + std::to_string(total) +
           ",asetnsamples=n=" + std::to_string(frame) + (c->frame_size > 0 ? ":p=1" : ":p=0");
  }

  bool Produce(TConvertedChunk& Chunk) {
    while (true) {
      const int got = avcodec_receive_packet(FEncoder.get(), FPacket.get());
      if (got == 0) {
        if (FFormat.Adts.empty())
          Chunk.Data.assign(FPacket->data, FPacket->data + FPacket->size);
        else
          Chunk.Data = WithAdtsHeader(FFormat.Adts, FPacket->data, FPacket->size);
        Chunk.KeyFrame = true;
        av_packet_unref(FPacket.get());
        if (Chunk.Data.empty()) continue;
        return true;
      }
      if (got == AVERROR_EOF) {
        FEnded = true;
        return false;
      }
      if (got != AVERROR(EAGAIN)) CheckAV(got, "Encoding the sound failed");
      if (FFlushed) {
        FEnded = true;
        return false;
      }
      // A source without sound gives silence of its length.
      const bool more = FDecoder.HasStream() ? NextSound(FFrame.get()) : Silence();
      if (!more) {
        CheckAV(avcodec_send_frame(FEncoder.get(), nullptr), "Encoding the sound failed");
        FFlushed = true;
        continue;
      }
      FFrame->pts = FDone;
      FDone += FFrame->nb_samples;
      CheckAV(avcodec_send_frame(FEncoder.get(), FFrame.get()), "Encoding the sound failed");
      av_frame_unref(FFrame.get());
    }
  }

  // The source's sound as the chain takes it. The resampler fills a gap before a frame at once,
  // and a file's timestamps can claim hours: gaps longer than a second are filled here a second
  // at a time, and sound that starts past the source's length ends the input, so that memory
  // follows the frames, never the timestamps. A sample rate no sound is made at is refused.
  bool NextSound(AVFrame* Frame) {
    const AVRational tb = FDecoder.TimeBase();
    while (true) {
      if (FChain.Pull(Frame)) return true;
      if (FChain.Ended()) return false;
      if (FInputEnded) {
        FChain.Push(nullptr);
        continue;
      }
      AVFrame* d = FDecoded.get();
      if (!FPending) {
        if (!FDecoder.Next(d)) {
          FInputEnded = true;
          continue;
        }
        if (d->sample_rate < MinSoundRate || d->sample_rate > MaxSoundRate)
          throw EMediaEngineError(ME_INVALIDMEDIA, "its sound " + SoundRateText(d->sample_rate));
        FPending = true;
      }
      const AVRational sample{1, d->sample_rate};
      const int64_t start = av_rescale_q(d->pts, tb, sample);
      if (start > std::llround((FSeconds + 1) * d->sample_rate)) {
        av_frame_unref(d);
        FPending = false;
        FInputEnded = true;
        continue;
      }
      if (start - FExpected > d->sample_rate) {
        PushSilence(*d, FExpected, d->sample_rate);
        FExpected += d->sample_rate;
        continue;
      }
      FExpected = std::max(FExpected, start + d->nb_samples);
      FChain.Push(d);
      av_frame_unref(d);
      FPending = false;
    }
  }

  // Count samples of silence in the format of Like, from sample At of the source.
  void PushSilence(const AVFrame& Like, int64_t At, int Count) {
    AVFrame* f = FSilence.get();
    av_frame_unref(f);
    f->format = Like.format;
    f->sample_rate = Like.sample_rate;
    f->nb_samples = Count;
    f->pts = av_rescale_q(At, AVRational{1, Like.sample_rate}, FDecoder.TimeBase());
    CheckAV(av_channel_layout_copy(&f->ch_layout, &Like.ch_layout), "Out of memory");
    CheckAV(av_frame_get_buffer(f, 0), "Out of memory");
    av_samples_set_silence(f->extended_data, 0, Count, Like.ch_layout.nb_channels,
                           static_cast<AVSampleFormat>(Like.format));
    FChain.Push(f);
    av_frame_unref(f);
  }

  bool Silence() {
    const AVCodecContext* c = FEncoder.get();
    if (FDone >= FTotal) return false;
    const int frame = c->frame_size > 0 ? c->frame_size : std::max(1, c->sample_rate / 25);
    av_frame_unref(FFrame.get());
    FFrame->format = c->sample_fmt;
    FFrame->sample_rate = c->sample_rate;
    FFrame->nb_samples = frame;
    CheckAV(av_channel_layout_copy(&FFrame->ch_layout, &c->ch_layout), "Out of memory");
    CheckAV(av_frame_get_buffer(FFrame.get(), 0), "Out of memory");
    av_samples_set_silence(FFrame->extended_data, 0, frame, c->ch_layout.nb_channels,
                           c->sample_fmt);
    return true;
  }

  TSoundFormat FFormat;
  TCodecContextPtr FEncoder;
  TSourceDecoder FDecoder;
  TFilterChain FChain;
  double FSeconds = 0;
  TFramePtr FFrame;
  TPacketPtr FPacket;
  TFramePtr FDecoded = NewFrame();
  TFramePtr FSilence = NewFrame();
  bool FPending = false;     // FDecoded holds a frame not yet pushed
  bool FInputEnded = false;  // no more of the source's sound is taken
  int64_t FExpected = 0;     // the source's sample after what was pushed
  int64_t FDone = 0;
  int64_t FTotal = 1;
  bool FFlushed = false;
  bool FEnded = false;
  TEngineError FError;
};

}  // namespace

void CheckSoundTarget(const TStreamTarget& Target) { OpenSoundEncoder(Target, ReadFormat(Target)); }

std::unique_ptr<IConvertJob> StartSoundConvert(const TConvertPlan& Plan) {
  if (!std::isfinite(Plan.StartSeconds) || Plan.StartSeconds < 0)
    throw EMediaEngineError(ME_INVALIDARG, "The conversion's plan is not valid");
  return std::make_unique<TSoundConvertJob>(Plan);
}

}  // namespace rw
