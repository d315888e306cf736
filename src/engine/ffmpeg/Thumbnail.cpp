// The list's picture of a file: its first key frame, decoded and fitted into a small box. A
// file comes from anywhere, so the work is bounded: the open and the search for the frame stop
// at a deadline, after a number of packets or bytes read, and a frame larger than a picture can
// sensibly be is refused before it is decoded.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/ConvertJobs.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {

namespace {

using TClock = std::chrono::steady_clock;

// Limits of one picture's work.
constexpr auto cDeadline = std::chrono::seconds(5);
constexpr int cMaxPackets = 600;               // packets read in search of a key frame
constexpr int64_t cMaxPacketBytes = 64 << 20;  // their bytes
constexpr int64_t cMaxPixels = 8192LL * 8192;  // a decoded frame
constexpr int64_t cProbeBytes = 1 << 20;       // read to find the streams
constexpr int32_t cMaxBox = 4096;              // the box asked for

int PastDeadline(void* Opaque) {
  return TClock::now() > *static_cast<const TClock::time_point*>(Opaque) ? 1 : 0;
}

// The file opened as OpenMediaInput opens it, with the probe bounded and the deadline checked
// by every read.
TInputContextPtr OpenBounded(const std::string& FileName, TClock::time_point* Deadline) {
  QuietLibraries();
  try {
    TFile::OpenRead(FileName);  // a regular file, readable
  } catch (const EOSError& E) {
    CheckAV(E.ErrorCode ? AVERROR(E.ErrorCode) : AVERROR(EIO), "Cannot open " + FileName);
  } catch (const Exception& E) {
    throw EMediaEngineError(ME_INVALIDARG, "Cannot open " + FileName + ": " + E.what());
  }
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  ctx->interrupt_callback.callback = PastDeadline;
  ctx->interrupt_callback.opaque = Deadline;
  TAVDictionary options;
  av_dict_set(options.Address(), "protocol_whitelist", "file", 0);
  av_dict_set_int(options.Address(), "probesize", cProbeBytes, 0);
  av_dict_set_int(options.Address(), "analyzeduration", 1000000, 0);
  // On failure the context is freed by the open itself.
  CheckAV(avformat_open_input(&ctx, FileURL(FileName).c_str(), nullptr, options.Address()),
          "Cannot open " + FileName);
  TInputContextPtr input(ctx);
  CheckAV(avformat_find_stream_info(input.get(), nullptr), "Cannot read " + FileName);
  return input;
}

// The largest size of Width x Height pixels of the given aspect that fits the box.
void FitInto(int Width, int Height, AVRational Aspect, int32_t MaxWidth, int32_t MaxHeight,
             int32_t& OutWidth, int32_t& OutHeight) {
  double shown = Width;
  if (Aspect.num > 0 && Aspect.den > 0) shown *= av_q2d(Aspect);
  const double scale = std::min(MaxWidth / shown, static_cast<double>(MaxHeight) / Height);
  OutWidth = std::clamp(static_cast<int32_t>(std::lround(shown * scale)), 1, MaxWidth);
  OutHeight = std::clamp(static_cast<int32_t>(std::lround(Height * scale)), 1, MaxHeight);
}

}  // namespace

TThumbnail MakeThumbnail(const std::string& FileName, int32_t MaxWidth, int32_t MaxHeight) {
  if (MaxWidth < 1 || MaxHeight < 1 || MaxWidth > cMaxBox || MaxHeight > cMaxBox)
    throw EMediaEngineError(ME_INVALIDARG, "A picture of " + std::to_string(MaxWidth) + "x" +
                                               std::to_string(MaxHeight) + " cannot be made");
  TLibraryMessages messages;
  TClock::time_point deadline = TClock::now() + cDeadline;
  TInputContextPtr input = OpenBounded(FileName, &deadline);
  const int index = FindSourceStream(input.get(), TMediaKind::mkVideo);
  if (index < 0)
    throw EMediaEngineError(ME_INVALIDMEDIA, "The file " + FileName + " has no pictures");
  for (unsigned i = 0; i < input->nb_streams; ++i)
    input->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  AVStream* stream = input->streams[index];
  const AVCodecParameters* par = stream->codecpar;
  if (static_cast<int64_t>(par->width) * par->height > cMaxPixels)
    throw EMediaEngineError(ME_INVALIDMEDIA, "The pictures of " + FileName + " are too large");
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) throw EMediaEngineError(ME_NOCODEC, "No decoder for " + FileName);
  TCodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  CheckAV(avcodec_parameters_to_context(decoder.get(), par), "Cannot decode " + FileName);
  // One thread answers the first frame at once; only key frames are decoded.
  decoder->thread_count = 1;
  decoder->skip_frame = AVDISCARD_NONKEY;
  decoder->max_pixels = cMaxPixels;
  decoder->pkt_timebase = stream->time_base;
  CheckAV(avcodec_open2(decoder.get(), codec, nullptr), "Cannot decode " + FileName);

  TPacketPtr packet = NewPacket();
  TFramePtr frame = NewFrame();
  int packets = 0;
  int64_t bytes = 0;
  bool flushed = false;
  bool found = false;
  while (!found) {
    const int received = avcodec_receive_frame(decoder.get(), frame.get());
    if (received >= 0) {
      found = frame->width > 0 && frame->height > 0;
      if (!found) av_frame_unref(frame.get());
      continue;
    }
    if (received == AVERROR(ENOMEM)) CheckAV(received, "Cannot decode " + FileName);
    if (flushed) break;
    if (packets >= cMaxPackets || bytes >= cMaxPacketBytes || TClock::now() > deadline ||
        av_read_frame(input.get(), packet.get()) < 0) {
      avcodec_send_packet(decoder.get(), nullptr);
      flushed = true;
      continue;
    }
    if (packet->stream_index == index) {
      ++packets;
      bytes += packet->size;
      // A damaged packet is skipped, as a player skips it.
      const int sent = avcodec_send_packet(decoder.get(), packet.get());
      if (sent == AVERROR(ENOMEM)) CheckAV(sent, "Cannot decode " + FileName);
    }
    av_packet_unref(packet.get());
  }
  if (!found) throw EMediaEngineError(ME_INVALIDMEDIA, "No picture found in " + FileName);

  TThumbnail picture;
  AVRational aspect = frame->sample_aspect_ratio;
  if (aspect.num <= 0) aspect = av_guess_sample_aspect_ratio(input.get(), stream, frame.get());
  FitInto(frame->width, frame->height, aspect, MaxWidth, MaxHeight, picture.Width, picture.Height);
  TSwsPtr sws(sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                             picture.Width, picture.Height, AV_PIX_FMT_RGB24, SWS_AREA, nullptr,
                             nullptr, nullptr));
  if (!sws)
    throw EMediaEngineError(ME_NOCODEC, "The pictures of " + FileName + " cannot be scaled");
  TFramePtr rgb = NewFrame();
  rgb->format = AV_PIX_FMT_RGB24;
  rgb->width = picture.Width;
  rgb->height = picture.Height;
  CheckAV(av_frame_get_buffer(rgb.get(), 0), "Out of memory");
  CheckAV(sws_scale_frame(sws.get(), rgb.get(), frame.get()), "Cannot scale " + FileName);
  const size_t row = static_cast<size_t>(picture.Width) * 3;
  picture.Rgb.resize(row * picture.Height);
  for (int y = 0; y < picture.Height; ++y)
    std::memcpy(picture.Rgb.data() + y * row, rgb->data[0] + y * rgb->linesize[0], row);
  return picture;
}

}  // namespace rw
