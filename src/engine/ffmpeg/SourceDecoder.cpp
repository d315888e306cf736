#include "engine/ffmpeg/SourceDecoder.h"

#include <algorithm>

#include "formats/AacFrames.h"

namespace rw {

std::string SoundRateText(int Rate) {
  return "has a sample rate of " + std::to_string(Rate) + " Hz, which no sound is made at";
}

TSourceDecoder::TSourceDecoder(const std::string& FileName, TMediaKind Kind, double From)
    : FPacket(NewPacket()) {
  CheckAV(OpenMediaInput(FileName, FInput), "Cannot open " + FileName);
  const int index = FindSourceStream(FInput.get(), Kind);
  for (unsigned i = 0; i < FInput->nb_streams; ++i)
    FInput->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  if (index < 0) return;
  FStream = FInput->streams[index];
  const AVCodecParameters* par = FStream->codecpar;
  if (Kind == TMediaKind::mkAudio &&
      (par->sample_rate < MinSoundRate || par->sample_rate > MaxSoundRate))
    throw EMediaEngineError(ME_INVALIDMEDIA,
                            "The sound of " + FileName + " " + SoundRateText(par->sample_rate));
  const AVCodec* codec = avcodec_find_decoder(FStream->codecpar->codec_id);
  if (!codec) throw EMediaEngineError(ME_NOCODEC, "No decoder for " + FileName);
  FCodec.reset(avcodec_alloc_context3(codec));
  if (!FCodec) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  CheckAV(avcodec_parameters_to_context(FCodec.get(), FStream->codecpar),
          "Cannot decode " + FileName);
  FCodec->thread_count = 0;
  FCodec->pkt_timebase = FStream->time_base;
  // The decoder says why in its own messages ("channel element 0.0 is not allocated"); its
  // error code alone ("Operation not permitted") tells a user nothing.
  TLibraryMessages messages;
  const int err = avcodec_open2(FCodec.get(), codec, nullptr);
  if (err < 0) {
    std::string why = messages.Text().empty() ? AVErrorText(err) : messages.Text();
    while (!why.empty() && (why.back() == ' ' || why.back() == '.')) why.pop_back();
    const std::string what = std::string(Kind == TMediaKind::mkAudio ? "sound" : "pictures");
    // An AAC set-up says what in it no decoder takes (a channel configuration of 0 that lists
    // no channels, a rate number that stands for no rate): the value comes first, in words.
    const std::string aac = par->codec_id == AV_CODEC_ID_AAC && par->extradata_size > 0
                                ? AacConfigText(par->extradata, par->extradata_size)
                                : "";
    if (!aac.empty())
      throw EMediaEngineError(ME_NOCODEC, "Cannot decode the sound of " + FileName + ": it is " +
                                              aac + " (" + codec->name + ": " + why + ")");
    throw EMediaEngineError(ME_NOCODEC, "Cannot decode the " + what + " of " + FileName + " (" +
                                            codec->name + "): " + why);
  }
  const int64_t start = FInput->start_time != AV_NOPTS_VALUE ? FInput->start_time : 0;
  FOrigin = av_rescale_q(start, AV_TIME_BASE_Q, FStream->time_base);
  if (!(From > 0)) return;
  if (Kind == TMediaKind::mkAudio) {
    FShift = std::llround(From * FStream->time_base.den / FStream->time_base.num);
    return;
  }
  // A chunk's slot is its time in the stream, which starts at the stream's own start.
  const int64_t first = FStream->start_time != AV_NOPTS_VALUE ? FStream->start_time : 0;
  FFirstSlot = first + std::llround(From);
  FShift = FFirstSlot - FOrigin;
  SeekPicture(FFirstSlot);
}

void TSourceDecoder::SeekPicture(int64_t Slot) {
  // Where the file cannot be searched, it is read from its start: the pictures before the
  // slot are dropped all the same.
  if (av_seek_frame(FInput.get(), FStream->index, Slot, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(FInput.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
  FNextSlot = 0;
}

bool TSourceDecoder::Receive(AVFrame* Frame) {
  int err = avcodec_receive_frame(FCodec.get(), Frame);
  if (err == AVERROR(ENOMEM)) CheckAV(err, "Decoding failed");
  // Nothing yet, the end, or damaged data: the damaged part is skipped, as players do.
  if (err < 0) return false;
  int64_t pts = Frame->best_effort_timestamp;
  const int64_t duration = Frame->pkt_duration > 0 ? Frame->pkt_duration : 0;
  if (FStream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    // Pictures come out in the order they are shown: the next one takes the earliest slot
    // still waiting, the one after the last when the decoder gives more pictures than chunks.
    pts = FNextPts;
    // Chunks before the first picture that decodes (pictures that need one before them) give
    // none: their slots repeat that picture, as a player shows it.
    if (!FPictureSeen && Frame->pts != AV_NOPTS_VALUE)
      while (!FSlots.empty() && FSlots.front() < Frame->pts) FSlots.pop_front();
    FPictureSeen = true;
    if (!FSlots.empty()) {
      pts = FSlots.front();
      FSlots.pop_front();
    }
    FNextPts = std::max(FNextPts, pts + std::max<int64_t>(duration, 1));
    // The pixels' shape as the codec's header says it, else as the file's header ('vprp').
    if (Frame->sample_aspect_ratio.num <= 0 || Frame->sample_aspect_ratio.den <= 0)
      Frame->sample_aspect_ratio = av_guess_sample_aspect_ratio(FInput.get(), FStream, Frame);
  } else {
    if (pts == AV_NOPTS_VALUE) pts = FNextPts;
    FNextPts = pts + duration;
  }
  Frame->pts = pts - FOrigin - FShift;
  return true;
}

bool TSourceDecoder::Next(AVFrame* Frame) {
  if (!FStream) return false;
  while (true) {
    if (Receive(Frame)) {
      if (Frame->pts >= 0 || FFirstSlot == 0) return true;
      av_frame_unref(Frame);  // a picture before the first one wanted
      continue;
    }
    if (FFlushed) return false;
    int err = av_read_frame(FInput.get(), FPacket.get());
    if (err < 0) {
      // The end of the file, or a read error: decode what the decoder still holds.
      avcodec_send_packet(FCodec.get(), nullptr);
      FFlushed = true;
      continue;
    }
    if (FPacket->stream_index == FStream->index) {
      // A chunk's slot is its time in the stream (AVI gives each chunk its place); one
      // without a time follows the one before.
      const int64_t slot = FPacket->dts != AV_NOPTS_VALUE   ? FPacket->dts
                           : FPacket->pts != AV_NOPTS_VALUE ? FPacket->pts
                                                            : FNextSlot;
      const int64_t step = FPacket->duration > 0 ? FPacket->duration : 1;
      // The decoder hands each picture the time of the chunk that held it.
      if (FPacket->pts == AV_NOPTS_VALUE) FPacket->pts = slot;
      err = avcodec_send_packet(FCodec.get(), FPacket.get());
      // A damaged packet is skipped; only running out of memory ends the render.
      if (err == AVERROR(ENOMEM)) {
        av_packet_unref(FPacket.get());
        CheckAV(err, "Decoding failed");
      }
      if (err >= 0 && FStream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        FSlots.push_back(slot);
        FNextSlot = slot + step;
      }
    }
    av_packet_unref(FPacket.get());
  }
}

}  // namespace rw
