// The list's picture of a file (its first key frame) and the picture at a place in a file (for
// cutting it), decoded and fitted into a box. A file comes from anywhere, so the work is
// bounded: the open and the search for the frame stop at a deadline, after a number of packets
// or bytes read, and a frame larger than a picture can sensibly be is refused before it is
// decoded.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>

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
// The picture at a place is decoded from the key frame before it: up to a key-frame interval.
constexpr auto cPlaceDeadline = std::chrono::seconds(10);
constexpr int cMaxPlacePackets = 20000;
constexpr int64_t cMaxPlaceBytes = 512 << 20;

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

void CheckBox(int32_t MaxWidth, int32_t MaxHeight) {
  if (MaxWidth < 1 || MaxHeight < 1 || MaxWidth > cMaxBox || MaxHeight > cMaxBox)
    throw EMediaEngineError(ME_INVALIDARG, "A picture of " + std::to_string(MaxWidth) + "x" +
                                               std::to_string(MaxHeight) + " cannot be made");
}

// The file's pictures, opened for decoding: the other streams are not read.
struct TPictureSource {
  TInputContextPtr Input;
  int Index = -1;
  AVStream* Stream = nullptr;
  TCodecContextPtr Decoder;
};

TPictureSource OpenPictures(const std::string& FileName, TClock::time_point* Deadline,
                            bool KeyFramesOnly) {
  TPictureSource source;
  source.Input = OpenBounded(FileName, Deadline);
  AVFormatContext* input = source.Input.get();
  source.Index = FindSourceStream(input, TMediaKind::mkVideo);
  if (source.Index < 0)
    throw EMediaEngineError(ME_INVALIDMEDIA, "The file " + FileName + " has no pictures");
  for (unsigned i = 0; i < input->nb_streams; ++i)
    input->streams[i]->discard =
        static_cast<int>(i) == source.Index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  source.Stream = input->streams[source.Index];
  const AVCodecParameters* par = source.Stream->codecpar;
  if (static_cast<int64_t>(par->width) * par->height > cMaxPixels)
    throw EMediaEngineError(ME_INVALIDMEDIA, "The pictures of " + FileName + " are too large");
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) throw EMediaEngineError(ME_NOCODEC, "No decoder for " + FileName);
  source.Decoder.reset(avcodec_alloc_context3(codec));
  if (!source.Decoder) throw EMediaEngineError(ME_OUTOFMEMORY, "Out of memory");
  AVCodecContext* decoder = source.Decoder.get();
  CheckAV(avcodec_parameters_to_context(decoder, par), "Cannot decode " + FileName);
  // One thread answers a frame as soon as its packet is in.
  decoder->thread_count = 1;
  if (KeyFramesOnly) decoder->skip_frame = AVDISCARD_NONKEY;
  decoder->max_pixels = cMaxPixels;
  decoder->pkt_timebase = source.Stream->time_base;
  CheckAV(avcodec_open2(decoder, codec, nullptr), "Cannot decode " + FileName);
  return source;
}

// A decoded frame fitted into the box as 24-bit RGB rows.
TThumbnail FitPicture(const TPictureSource& Source, AVFrame* Frame, int32_t MaxWidth,
                      int32_t MaxHeight, const std::string& FileName) {
  TThumbnail picture;
  AVRational aspect = Frame->sample_aspect_ratio;
  if (aspect.num <= 0)
    aspect = av_guess_sample_aspect_ratio(Source.Input.get(), Source.Stream, Frame);
  FitInto(Frame->width, Frame->height, aspect, MaxWidth, MaxHeight, picture.Width, picture.Height);
  TSwsPtr sws(sws_getContext(Frame->width, Frame->height, static_cast<AVPixelFormat>(Frame->format),
                             picture.Width, picture.Height, AV_PIX_FMT_RGB24, SWS_AREA, nullptr,
                             nullptr, nullptr));
  if (!sws)
    throw EMediaEngineError(ME_NOCODEC, "The pictures of " + FileName + " cannot be scaled");
  TFramePtr rgb = NewFrame();
  rgb->format = AV_PIX_FMT_RGB24;
  rgb->width = picture.Width;
  rgb->height = picture.Height;
  CheckAV(av_frame_get_buffer(rgb.get(), 0), "Out of memory");
  CheckAV(sws_scale_frame(sws.get(), rgb.get(), Frame), "Cannot scale " + FileName);
  const size_t row = static_cast<size_t>(picture.Width) * 3;
  picture.Rgb.resize(row * picture.Height);
  for (int y = 0; y < picture.Height; ++y)
    std::memcpy(picture.Rgb.data() + y * row, rgb->data[0] + y * rgb->linesize[0], row);
  return picture;
}

}  // namespace

TThumbnail MakeThumbnail(const std::string& FileName, int32_t MaxWidth, int32_t MaxHeight) {
  CheckBox(MaxWidth, MaxHeight);
  TLibraryMessages messages;
  TClock::time_point deadline = TClock::now() + cDeadline;
  TPictureSource source = OpenPictures(FileName, &deadline, true);
  AVCodecContext* decoder = source.Decoder.get();

  TPacketPtr packet = NewPacket();
  TFramePtr frame = NewFrame();
  int packets = 0;
  int64_t bytes = 0;
  bool flushed = false;
  bool found = false;
  while (!found) {
    const int received = avcodec_receive_frame(decoder, frame.get());
    if (received >= 0) {
      found = frame->width > 0 && frame->height > 0;
      if (!found) av_frame_unref(frame.get());
      continue;
    }
    if (received == AVERROR(ENOMEM)) CheckAV(received, "Cannot decode " + FileName);
    if (flushed) break;
    if (packets >= cMaxPackets || bytes >= cMaxPacketBytes || TClock::now() > deadline ||
        av_read_frame(source.Input.get(), packet.get()) < 0) {
      avcodec_send_packet(decoder, nullptr);
      flushed = true;
      continue;
    }
    if (packet->stream_index == source.Index) {
      ++packets;
      bytes += packet->size;
      // A damaged packet is skipped, as a player skips it.
      const int sent = avcodec_send_packet(decoder, packet.get());
      if (sent == AVERROR(ENOMEM)) CheckAV(sent, "Cannot decode " + FileName);
    }
    av_packet_unref(packet.get());
  }
  if (!found) throw EMediaEngineError(ME_INVALIDMEDIA, "No picture found in " + FileName);
  return FitPicture(source, frame.get(), MaxWidth, MaxHeight, FileName);
}

TThumbnail MakePictureAt(const std::string& FileName, uint32_t Picture, int32_t MaxWidth,
                         int32_t MaxHeight) {
  CheckBox(MaxWidth, MaxHeight);
  TLibraryMessages messages;
  TClock::time_point deadline = TClock::now() + cPlaceDeadline;
  TPictureSource source = OpenPictures(FileName, &deadline, false);
  AVFormatContext* input = source.Input.get();
  AVCodecContext* decoder = source.Decoder.get();
  // The stream's time stamps count its places (one tick a picture), from its start.
  const int64_t base = source.Stream->start_time != AV_NOPTS_VALUE ? source.Stream->start_time : 0;
  if (av_seek_frame(input, source.Index, base + Picture, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(input, source.Index, base, AVSEEK_FLAG_BACKWARD);

  // The places of the packets sent and not yet decoded: pictures come out in the order their
  // packets went in. An empty chunk holds a place without a picture: the one before it shows.
  std::deque<int64_t> places;
  int64_t nextPlace = 0;
  int64_t lastPlace = -1;
  TPacketPtr packet = NewPacket();
  TFramePtr frame = NewFrame();
  TFramePtr shown = NewFrame();
  bool have = false;
  int packets = 0;
  int64_t bytes = 0;
  bool flushed = false;
  bool done = false;
  while (!done) {
    const int received = avcodec_receive_frame(decoder, frame.get());
    if (received >= 0) {
      if (frame->width <= 0 || frame->height <= 0) {
        av_frame_unref(frame.get());
        continue;
      }
      int64_t place = lastPlace + 1;
      if (!places.empty()) {
        place = places.front();
        places.pop_front();
      }
      lastPlace = place;
      if (place > Picture && have) break;
      av_frame_unref(shown.get());
      av_frame_move_ref(shown.get(), frame.get());
      have = true;
      done = place >= Picture;
      continue;
    }
    if (received == AVERROR(ENOMEM)) CheckAV(received, "Cannot decode " + FileName);
    if (flushed) break;
    if (packets >= cMaxPlacePackets || bytes >= cMaxPlaceBytes || TClock::now() > deadline ||
        av_read_frame(input, packet.get()) < 0) {
      avcodec_send_packet(decoder, nullptr);
      flushed = true;
      continue;
    }
    if (packet->stream_index == source.Index) {
      ++packets;
      bytes += packet->size;
      const int64_t place = packet->dts != AV_NOPTS_VALUE ? packet->dts - base : nextPlace;
      nextPlace = place + 1;
      if (packet->size > 0) {
        places.push_back(place);
        // A damaged packet is skipped, as a player skips it, and gives its place up.
        const int sent = avcodec_send_packet(decoder, packet.get());
        if (sent == AVERROR(ENOMEM)) CheckAV(sent, "Cannot decode " + FileName);
        if (sent < 0) places.pop_back();
      } else if (have && places.empty() && place > Picture) {
        done = true;
      }
    }
    av_packet_unref(packet.get());
  }
  if (!have) throw EMediaEngineError(ME_INVALIDMEDIA, "No picture found in " + FileName);
  return FitPicture(source, shown.get(), MaxWidth, MaxHeight, FileName);
}

}  // namespace rw
