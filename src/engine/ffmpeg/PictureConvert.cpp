// Converts the pictures of one source into chunks that continue an output's video stream: the
// source is decoded, re-timed to the output's rate, fitted into its frame and encoded as the
// output's first file encodes it (same codec, frame size, and the set-up its decoder reads from
// the stream), each piece starting with a key frame.
#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include "engine/ffmpeg/AVHandles.h"
#include "engine/ffmpeg/ConvertJobs.h"
#include "engine/ffmpeg/EncoderSetup.h"
#include "engine/ffmpeg/FilterChain.h"
#include "engine/ffmpeg/SourceDecoder.h"
#include "formats/Limits.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace rw {

namespace {

constexpr uint32_t FourCC(char A, char B, char C, char D) {
  return static_cast<uint32_t>(static_cast<uint8_t>(A)) |
         static_cast<uint32_t>(static_cast<uint8_t>(B)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(C)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(D)) << 24;
}

uint32_t Read32(const std::vector<uint8_t>& B, size_t At) {
  if (At + 4 > B.size()) return 0;
  return B[At] | B[At + 1] << 8 | B[At + 2] << 16 | static_cast<uint32_t>(B[At + 3]) << 24;
}

uint16_t Read16(const std::vector<uint8_t>& B, size_t At) {
  if (At + 2 > B.size()) return 0;
  return static_cast<uint16_t>(B[At] | B[At + 1] << 8);
}

// A four-character code as text ("XVID"), or in hexadecimal when it is not printable.
std::string FourCCText(uint32_t Code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(Code >> (8 * i) & 0xFF);
    if (c < 0x20 || c > 0x7E) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", Code);
      return hex;
    }
    text += c;
  }
  return text;
}

// How the chunks of the output's pictures are made.
enum class TPacking {
  Encoded,        // by an encoder
  Rgb,            // uncompressed rows, each padded to RowBytes
  Whole,          // uncompressed planes (or one packed plane) back to back
  SwappedChroma,  // planes in the order Y, V, U
};

struct TPictureFormat {
  AVCodecID Codec = AV_CODEC_ID_NONE;
  std::string Name;  // the codec as messages name it
  int Width = 0;
  int Height = 0;
  AVRational Rate{0, 1};
  AVPixelFormat PixelFormat = AV_PIX_FMT_NONE;
  bool BottomUp = false;  // rows stored last first, as AVI stores RGB
  TPacking Packing = TPacking::Encoded;
  size_t RowBytes = 0;
  size_t PictureBytes = 0;
  std::string Encoder;
  TOptionList Options;
  int Level = 0;                   // H.264: the level_idc to declare, 0 for the encoder's
  std::vector<uint8_t> SetupData;  // bytes the encoder's set-up must equal (HuffYUV tables)
  std::string Statistics;          // symbol counts the encoder builds its tables from
  bool Interlaced = false;         // HuffYUV: fields predicted apart
};

std::string CodecName(AVCodecID Id, uint32_t Compression) {
  switch (Id) {
    case AV_CODEC_ID_HEVC:
      return "H.265";
    case AV_CODEC_ID_H264:
      return "H.264";
    case AV_CODEC_ID_MPEG4:
      return "MPEG-4";
    case AV_CODEC_ID_MJPEG:
      return "MJPEG";
    case AV_CODEC_ID_HUFFYUV:
      return "HuffYUV";
    case AV_CODEC_ID_NONE:
      return FourCCText(Compression);
    default:
      break;
  }
  const AVCodecDescriptor* d = avcodec_descriptor_get(Id);
  return FourCCText(Compression) +
         (d && d->long_name ? std::string(" (") + d->long_name + ")" : "");
}

[[noreturn]] void CannotContinue(const std::string& What, const std::string& Why = "") {
  throw EMediaEngineError(ME_NOCODEC,
                          What + " pictures cannot be continued" + (Why.empty() ? "" : ": " + Why));
}

// H.264: the profile and level of the first sequence parameter set in Annex B bytes (or in an
// 'avcC' record); false when there is none.
bool FindH264Profile(const std::vector<uint8_t>& B, size_t From, int& Profile, int& Level) {
  if (From < B.size() && B[From] == 1 && B.size() - From >= 4) {
    Profile = B[From + 1];
    Level = B[From + 3];
    return true;
  }
  for (size_t i = From; i + 6 < B.size(); ++i)
    if (B[i] == 0 && B[i + 1] == 0 && B[i + 2] == 1 && (B[i + 3] & 0x1F) == 7) {
      Profile = B[i + 4];
      Level = B[i + 6];
      return true;
    }
  return false;
}

// MJPEG: the constant quantizer at which the encoder's luma table is closest to the picture's,
// and the chroma sampling of its frame header; 0 and 4:2:0 when the picture does not say.
void ReadJpegSetup(const std::vector<uint8_t>& B, int& Quantizer, AVPixelFormat& Format) {
  // The encoder scales this table (MPEG-1's intra matrix) by quantizer / 8.
  static const uint8_t base[64] = {8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37,
                                   19, 22, 26, 27, 29, 34, 34, 38, 22, 22, 26, 27, 29, 34, 37, 40,
                                   22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32, 35, 40, 48, 58,
                                   26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};
  Quantizer = 0;
  Format = AV_PIX_FMT_YUVJ420P;
  size_t at = 0;
  while (at + 4 <= B.size()) {
    if (B[at] != 0xFF) return;
    const uint8_t marker = B[at + 1];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return;
    const size_t length = static_cast<size_t>(B[at + 2] << 8 | B[at + 3]);
    const size_t end = std::min(B.size(), at + 2 + length);
    if (length < 2) return;
    if (marker == 0xDB) {
      for (size_t t = at + 4; t < end;) {
        const bool wide = B[t] >> 4;
        const bool luma = (B[t] & 0x0F) == 0;
        const size_t size = wide ? 128 : 64;
        if (t + 1 + size > end) break;
        if (luma) {
          double sum = 0, baseSum = 0;
          for (size_t i = 0; i < 64; ++i) {
            sum += wide ? B[t + 1 + 2 * i] << 8 | B[t + 2 + 2 * i] : B[t + 1 + i];
            baseSum += base[i];
          }
          Quantizer = static_cast<int>(std::lround(8 * sum / baseSum));
        }
        t += 1 + size;
      }
    } else if ((marker == 0xC0 || marker == 0xC1) && at + 13 <= end && B[at + 9] >= 1) {
      const int h = B[at + 11] >> 4, v = B[at + 11] & 0x0F;
      Format = h == 2 && v == 1   ? AV_PIX_FMT_YUVJ422P
               : h == 1 && v == 1 ? AV_PIX_FMT_YUVJ444P
                                  : AV_PIX_FMT_YUVJ420P;
    }
    at += 2 + length;
  }
}

// HuffYUV: symbol counts from which the encoder builds the code lengths of the format's three
// tables (each symbol's count 2^(48 - its length): the only optimal code for such counts is
// that one), as its statistics text; empty when the tables cannot be read.
std::string HuffmanStatistics(const std::vector<uint8_t>& Extra) {
  // Each table: its lengths, run-length coded (length | repeat << 5, or a length byte then a
  // repeat byte when the repeat is 0).
  std::string rows[3];
  size_t at = 4;
  for (std::string& row : rows) {
    int symbols = 0;
    while (symbols < 256) {
      if (at >= Extra.size()) return {};
      const int length = Extra[at] & 0x1F;
      int repeat = Extra[at++] >> 5;
      if (repeat == 0) {
        if (at >= Extra.size()) return {};
        repeat = Extra[at++];
      }
      if (length == 0 || repeat == 0 || symbols + repeat > 256) return {};
      for (int i = 0; i < repeat; ++i, ++symbols)
        row += std::to_string(int64_t{1} << (48 - length)) + " ";
    }
  }
  // The encoder reads four rows and builds its tables from the first three; the text ends
  // with the last number.
  std::string text = rows[0] + rows[1] + rows[2] + rows[0];
  text.pop_back();
  return text;
}

void SetEncoded(TPictureFormat& F, const char* Encoder, AVPixelFormat PixelFormat,
                TOptionList Options) {
  F.Encoder = Encoder;
  F.PixelFormat = PixelFormat;
  F.Options = std::move(Options);
  F.Packing = TPacking::Encoded;
}

void SetUncompressed(TPictureFormat& F, AVPixelFormat PixelFormat, TPacking Packing) {
  F.PixelFormat = PixelFormat;
  F.Packing = Packing;
  const int size = av_image_get_buffer_size(PixelFormat, F.Width, F.Height, 1);
  if (size <= 0) CannotContinue("Uncompressed", "the frame size is too large");
  F.PictureBytes = static_cast<size_t>(size);
}

TPictureFormat PictureFormatOf(const TStreamTarget& Target) {
  if (Target.Kind != TMediaKind::mkVideo)
    throw EMediaEngineError(ME_INVALIDARG, "The target is not a stream of pictures");
  const std::vector<uint8_t>& bi = Target.Format;
  if (bi.size() < 40 || Read32(bi, 0) < 40)
    throw EMediaEngineError(ME_INVALIDARG, "The target's picture format is incomplete");
  if (Target.Rate == 0 || Target.Scale == 0)
    throw EMediaEngineError(ME_INVALIDARG, "The target has no frame rate");
  TPictureFormat f;
  const int32_t width = static_cast<int32_t>(Read32(bi, 4));
  const int32_t height = static_cast<int32_t>(Read32(bi, 8));
  const uint16_t bits = Read16(bi, 14);
  const uint32_t compression = Read32(bi, 16);
  if (width <= 0 || width > MaxFrameSide || height == 0 || height < -MaxFrameSide ||
      height > MaxFrameSide)
    throw EMediaEngineError(ME_INVALIDARG, "The target's frame size " + std::to_string(width) +
                                               "x" + std::to_string(height) + " is not valid");
  f.Width = width;
  f.Height = std::abs(height);
  av_reduce(&f.Rate.num, &f.Rate.den, Target.Rate, Target.Scale, INT_MAX);
  const AVCodecTag* tags[] = {avformat_get_riff_video_tags(), nullptr};
  f.Codec = compression == 0 ? AV_CODEC_ID_RAWVIDEO : av_codec_get_id(tags, compression);
  // Codes of H.265 that the libraries' table lacks.
  for (uint32_t hevc : {FourCC('H', 'E', 'V', 'C'), FourCC('H', 'V', 'C', '1'),
                        FourCC('H', 'E', 'V', '1'), FourCC('X', '2', '6', '5')})
    if (f.Codec == AV_CODEC_ID_NONE && (compression & 0xDFDFDFDF) == hevc)
      f.Codec = AV_CODEC_ID_HEVC;
  f.Name = CodecName(f.Codec, compression);
  // What follows the 40 bytes of the bitmap header: the codec's set-up (some writers count it
  // in the header's size, others do not).
  const std::vector<uint8_t> extra(bi.begin() + 40, bi.end());

  switch (compression) {
    case 0: {
      // Rows of whole 4-byte words, last row first unless the height is negative; a first file
      // whose pictures are stored unpadded is continued unpadded.
      if (bits != 24 && bits != 32)
        CannotContinue("Uncompressed " + std::to_string(bits) + "-bit",
                       "only 24 and 32-bit RGB are made");
      f.PixelFormat = bits == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
      f.Packing = TPacking::Rgb;
      f.BottomUp = height > 0;
      const size_t row = static_cast<size_t>(f.Width) * (bits / 8);
      f.RowBytes = (row + 3) / 4 * 4;
      if (Target.FirstKeyFrame.size() == row * static_cast<size_t>(f.Height)) f.RowBytes = row;
      f.PictureBytes = f.RowBytes * static_cast<size_t>(f.Height);
      return f;
    }
    case FourCC('Y', 'U', 'Y', '2'):
      SetUncompressed(f, AV_PIX_FMT_YUYV422, TPacking::Whole);
      return f;
    case FourCC('U', 'Y', 'V', 'Y'):
      SetUncompressed(f, AV_PIX_FMT_UYVY422, TPacking::Whole);
      return f;
    case FourCC('I', '4', '2', '0'):
    case FourCC('I', 'Y', 'U', 'V'):
      SetUncompressed(f, AV_PIX_FMT_YUV420P, TPacking::Whole);
      return f;
    case FourCC('Y', 'V', '1', '2'):
      SetUncompressed(f, AV_PIX_FMT_YUV420P, TPacking::SwappedChroma);
      return f;
    default:
      break;
  }

  switch (f.Codec) {
    case AV_CODEC_ID_MPEG4:
      // Headers with every key frame, so that each piece tells the decoder its own set-up.
      SetEncoded(f, "mpeg4", AV_PIX_FMT_YUV420P, {{"qscale", "2"}});
      break;
    case AV_CODEC_ID_H264: {
      if (!avcodec_find_encoder_by_name("libx264"))
        CannotContinue(f.Name, "there is no H.264 encoder");
      // Only pictures after start codes: length-prefixed ones take their set-up from the
      // format alone, which another encoding cannot match.
      // A byte stream may put any number of zero bytes before its first start code.
      const std::vector<uint8_t>& key = Target.FirstKeyFrame;
      const size_t zeros = static_cast<size_t>(
          std::find_if(key.begin(), key.end(), [](uint8_t B) { return B != 0; }) - key.begin());
      const bool startCode = zeros >= 2 && zeros < key.size() && key[zeros] == 1;
      if ((!extra.empty() && extra[0] == 1) || (!key.empty() && !startCode))
        CannotContinue(f.Name, "its pictures are stored with lengths, not start codes");
      int profile = 0, level = 0;
      if (!FindH264Profile(Target.FirstKeyFrame, 0, profile, level))
        FindH264Profile(extra, 0, profile, level);
      // No higher profile than the first file's: a decoder set up for it may not take more.
      const char* name = profile == 66 || profile == 88 ? "baseline"
                         : profile == 77                ? "main"
                                                        : "high";
      SetEncoded(f, "libx264", AV_PIX_FMT_YUV420P,
                 {{"crf", "17"}, {"preset", "fast"}, {"profile", name}, {"forced-idr", "1"}});
      f.Level = level;
      break;
    }
    case AV_CODEC_ID_MJPEG: {
      int quantizer = 0;
      AVPixelFormat format = AV_PIX_FMT_YUVJ420P;
      ReadJpegSetup(Target.FirstKeyFrame, quantizer, format);
      // The first file's quality where its tables tell it, else a high one.
      quantizer = quantizer > 0 ? std::clamp(quantizer, 2, 31) : 3;
      SetEncoded(f, "mjpeg", format, {{"qscale", std::to_string(quantizer)}});
      break;
    }
    case AV_CODEC_ID_HUFFYUV: {
      // The decoder takes its tables from the first file's format: the encoder must make the
      // very same ones, which its own set-up shows.
      const AVPixelFormat format = bits == 16   ? AV_PIX_FMT_YUV422P
                                   : bits == 24 ? AV_PIX_FMT_RGB24
                                   : bits == 32 ? AV_PIX_FMT_BGRA
                                                : AV_PIX_FMT_NONE;
      if (format == AV_PIX_FMT_NONE || extra.size() < 4)
        CannotContinue(f.Name,
                       "its format has no tables of " + std::to_string(bits) + "-bit pictures");
      static const char* predictors[] = {"left", "plane", "median"};
      const int predictor = extra[0] & 0x3F;
      if (predictor > 2) CannotContinue(f.Name, "its prediction is unknown");
      SetEncoded(f, "huffyuv", format, {{"pred", predictors[predictor]}});
      f.SetupData = extra;
      f.Interlaced = (extra[2] & 0x30) == 0x10;
      f.Statistics = HuffmanStatistics(extra);
      break;
    }
    default:
      CannotContinue(f.Name);
  }
  if (!avcodec_find_encoder_by_name(f.Encoder.c_str()))
    CannotContinue(f.Name, "there is no encoder " + f.Encoder);
  return f;
}

TCodecContextPtr OpenPictureEncoder(const TPictureFormat& F) {
  const AVCodec* codec = avcodec_find_encoder_by_name(F.Encoder.c_str());
  TCodecContextPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx) throw std::bad_alloc();
  ctx->width = F.Width;
  ctx->height = F.Height;
  ctx->pix_fmt = F.PixelFormat;
  ctx->time_base = av_inv_q(F.Rate);
  ctx->framerate = F.Rate;
  ctx->sample_aspect_ratio = AVRational{1, 1};
  ctx->max_b_frames = 0;
  ctx->thread_count = 0;
  if (F.Level > 0) ctx->level = F.Level;
  for (const auto& [option, value] : F.Options)
    if (SetContextOption(ctx.get(), option, value) < 0)
      throw EMediaEngineError(
          ME_INVALIDARG, "The " + F.Encoder + " encoder does not accept " + option + " = " + value);
  if (F.Interlaced) ctx->flags |= AV_CODEC_FLAG_INTERLACED_ME;
  // Read while the encoder opens only.
  if (!F.Statistics.empty()) ctx->stats_in = const_cast<char*>(F.Statistics.c_str());
  TLibraryMessages said;
  const int opened = avcodec_open2(ctx.get(), codec, nullptr);
  ctx->stats_in = nullptr;
  CheckAV(opened, F.Name + " pictures of " + std::to_string(F.Width) + "x" +
                      std::to_string(F.Height) + " cannot be continued");
  if (!F.SetupData.empty()) {
    const std::vector<uint8_t> made(ctx->extradata, ctx->extradata + ctx->extradata_size);
    // The format's own bytes may be padded to whole words.
    if (made.size() > F.SetupData.size() ||
        !std::equal(made.begin(), made.end(), F.SetupData.begin()) ||
        std::any_of(F.SetupData.begin() + static_cast<ptrdiff_t>(made.size()), F.SetupData.end(),
                    [](uint8_t B) { return B != 0; }))
      CannotContinue(F.Name, "the encoder cannot make the first file's tables");
  }
  return ctx;
}

std::string Rational(AVRational R) { return std::to_string(R.num) + "/" + std::to_string(R.den); }

// Makes the chunks of one conversion, a picture at a time.
class TPictureMaker {
public:
  TPictureMaker(const TConvertPlan& Plan, const TPictureFormat& Format)
      : FFormat(Format),
        FFileName(Plan.FileName),
        FPictures(Plan.Pictures),
        FDecoder(Plan.FileName, TMediaKind::mkVideo, static_cast<double>(Plan.FirstPicture)),
        FChain(ChainOf(Plan), FDecoder.HasStream() ? FDecoder.TimeBase() : AVRational{1, 1}),
        FPipeline(FDecoder, FChain) {
    if (!FDecoder.HasStream())
      throw EMediaEngineError(ME_INVALIDMEDIA, "There are no pictures in " + Plan.FileName);
    if (FFormat.Packing == TPacking::Encoded) FEncoder = OpenPictureEncoder(FFormat);
  }

  bool Ended() const { return FEnded && FReady.empty(); }
  // The next chunk; false when the one picture made gave none yet (or the stream ended).
  bool Make(TConvertedChunk& Chunk) {
    while (FReady.empty() && !FEnded) Produce();
    if (FReady.empty()) return false;
    Chunk = std::move(FReady.front());
    FReady.pop_front();
    return true;
  }

private:
  std::string ChainOf(const TConvertPlan& Plan) const {
    const std::string retime =
        Plan.PictureRate > 0
            ? "settb=AVTB,setpts=N/(" + Rational(FrameRateOf(Plan.PictureRate)) + ")/TB,"
            : "";
    return retime + "fps=fps=" + Rational(FFormat.Rate) + ":start_time=0:round=near," +
           FitFilters(Plan.StretchMode, FFormat.Width, FFormat.Height) +
           ",format=pix_fmts=" + av_get_pix_fmt_name(FFormat.PixelFormat) + ",setsar=1" +
           (FFormat.BottomUp ? ",vflip" : "");
  }

  // The picture shown at output picture FMade: the source's picture of that time, the one
  // before it repeated where the source has none, its first one before it starts.
  const AVFrame* NextPicture() {
    while (true) {
      if (!FPending && !FSourceEnded) {
        TFramePtr frame = NewFrame();
        if (FPipeline.Next(frame.get()))
          FPending = std::move(frame);
        else
          FSourceEnded = true;
      }
      if (FPending && FPending->pts <= FMade) {
        FLast = std::move(FPending);
        if (FLast->pts == FMade) return FLast.get();
        continue;  // a picture the output has no time for
      }
      if (FLast) return FLast.get();
      if (FPending) return FPending.get();
      throw EMediaEngineError(ME_INVALIDMEDIA, "No picture of " + FFileName + " can be read");
    }
  }

  void Produce() {
    if (FMade >= FPictures) {
      if (FEncoder && !FFlushed) {
        FFlushed = true;
        CheckAV(avcodec_send_frame(FEncoder.get(), nullptr), "Encoding failed");
        Receive();
      }
      FEnded = true;
      return;
    }
    const AVFrame* picture = NextPicture();
    if (!FEncoder) {
      FReady.push_back({Pack(picture), true});
      ++FMade;
      return;
    }
    TFramePtr frame(av_frame_clone(picture));
    if (!frame) throw std::bad_alloc();
    frame->pts = FMade;
    frame->pict_type = FMade == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    // A constant quantizer is taken from each picture's quality.
    if (FEncoder->flags & AV_CODEC_FLAG_QSCALE) frame->quality = FEncoder->global_quality;
    {
      TLibraryMessages said;
      CheckAV(avcodec_send_frame(FEncoder.get(), frame.get()), "Encoding failed");
    }
    ++FMade;
    Receive();
  }

  void Receive() {
    TPacketPtr packet = NewPacket();
    while (true) {
      const int err = avcodec_receive_packet(FEncoder.get(), packet.get());
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
      CheckAV(err, "Encoding failed");
      FReady.push_back({std::vector<uint8_t>(packet->data, packet->data + packet->size),
                        (packet->flags & AV_PKT_FLAG_KEY) != 0});
      av_packet_unref(packet.get());
    }
  }

  std::vector<uint8_t> Pack(const AVFrame* Picture) const {
    std::vector<uint8_t> data(FFormat.PictureBytes);
    if (FFormat.Packing == TPacking::Rgb) {
      const size_t row =
          static_cast<size_t>(FFormat.Width) * (FFormat.PixelFormat == AV_PIX_FMT_BGR24 ? 3 : 4);
      for (int y = 0; y < FFormat.Height; ++y)
        std::memcpy(data.data() + static_cast<size_t>(y) * FFormat.RowBytes,
                    Picture->data[0] + static_cast<ptrdiff_t>(y) * Picture->linesize[0], row);
      return data;
    }
    const uint8_t* planes[4] = {Picture->data[0], Picture->data[1], Picture->data[2],
                                Picture->data[3]};
    int lines[4] = {Picture->linesize[0], Picture->linesize[1], Picture->linesize[2],
                    Picture->linesize[3]};
    if (FFormat.Packing == TPacking::SwappedChroma) {
      std::swap(planes[1], planes[2]);
      std::swap(lines[1], lines[2]);
    }
    CheckAV(av_image_copy_to_buffer(data.data(), static_cast<int>(data.size()), planes, lines,
                                    FFormat.PixelFormat, FFormat.Width, FFormat.Height, 1),
            "Cannot store a picture");
    return data;
  }

  TPictureFormat FFormat;
  std::string FFileName;
  int64_t FPictures;
  TSourceDecoder FDecoder;
  TFilterChain FChain;
  TSourcePipeline FPipeline;
  TCodecContextPtr FEncoder;
  TFramePtr FPending;  // the next filtered picture of the source
  TFramePtr FLast;     // the picture shown last
  bool FSourceEnded = false;
  int64_t FMade = 0;  // pictures given to the encoder (or packed)
  bool FFlushed = false;
  bool FEnded = false;
  std::deque<TConvertedChunk> FReady;
};

// A conversion whose chunks are made on a thread of its own, a few ahead of the caller, so that
// decoding and encoding go on while the caller writes; the encoder's libraries also keep their
// per-thread state there, off the caller's thread.
class TPictureConvertJob final : public IConvertJob {
public:
  explicit TPictureConvertJob(const TConvertPlan& Plan)
      : FPictures(Plan.Pictures),
        FThread([this, Plan, Format = PictureFormatOf(Plan.Target)] { Run(Plan, Format); }) {
    // The source and the encoder are opened before the job is handed out: a failure to open
    // them fails the start.
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [&] { return FOpened || FOpenFailure; });
    if (FOpenFailure) {
      const std::exception_ptr failure = FOpenFailure;
      lock.unlock();
      FThread.join();
      std::rethrow_exception(failure);
    }
  }

  ~TPictureConvertJob() override {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FStop = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
  }

  bool Next(TConvertedChunk& Chunk) override {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [&] { return !FQueue.empty() || FDone; });
    if (FQueue.empty()) return false;
    Chunk = std::move(FQueue.front());
    FQueue.pop_front();
    FQueuedBytes -= Chunk.Data.size();
    ++FDelivered;
    lock.unlock();
    FChanged.notify_all();
    return true;
  }

  double Percent() override {
    std::lock_guard<std::mutex> lock(FLock);
    if (FPictures <= 0) return FDone && FQueue.empty() ? 100 : 0;
    return 100.0 * static_cast<double>(std::min(FDelivered, FPictures)) / FPictures;
  }

  TEngineError Error() override {
    std::lock_guard<std::mutex> lock(FLock);
    return FError;
  }

private:
  // Chunks made ahead: enough for the head of a cut file to be made while the file before it
  // is copied, and of large uncompressed pictures no more than fit in 32 MiB.
  static constexpr size_t Ahead = 64;
  static constexpr size_t AheadBytes = 32 << 20;

  void Run(const TConvertPlan& Plan, const TPictureFormat& Format) {
    std::unique_ptr<TPictureMaker> maker;
    try {
      maker = std::make_unique<TPictureMaker>(Plan, Format);
    } catch (...) {
      std::lock_guard<std::mutex> lock(FLock);
      FOpenFailure = std::current_exception();
      FChanged.notify_all();
      return;
    }
    {
      std::lock_guard<std::mutex> lock(FLock);
      FOpened = true;
    }
    FChanged.notify_all();
    TEngineError error;
    try {
      for (TConvertedChunk chunk; maker->Make(chunk);) {
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait(lock, [&] {
          return FQueue.empty() || (FQueue.size() < Ahead && FQueuedBytes < AheadBytes) || FStop;
        });
        if (FStop) break;
        FQueuedBytes += chunk.Data.size();
        FQueue.push_back(std::move(chunk));
        lock.unlock();
        FChanged.notify_all();
      }
    } catch (...) {
      error = ErrorOf(std::current_exception());
    }
    maker.reset();
    {
      std::lock_guard<std::mutex> lock(FLock);
      FError = error;
      FDone = true;
    }
    FChanged.notify_all();
  }

  const int64_t FPictures;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TConvertedChunk> FQueue;
  size_t FQueuedBytes = 0;
  int64_t FDelivered = 0;
  bool FOpened = false;
  std::exception_ptr FOpenFailure;
  bool FStop = false;
  bool FDone = false;
  TEngineError FError;
  std::thread FThread;  // last: it starts once every other member is made
};

}  // namespace

void CheckPictureTarget(const TStreamTarget& Target) {
  const TPictureFormat format = PictureFormatOf(Target);
  if (format.Packing != TPacking::Encoded) return;
  // Tried on a thread of its own, as a conversion's encoder runs.
  std::exception_ptr failure;
  std::thread([&] {
    try {
      OpenPictureEncoder(format);
    } catch (...) {
      failure = std::current_exception();
    }
  }).join();
  if (failure) std::rethrow_exception(failure);
}

std::unique_ptr<IConvertJob> StartPictureConvert(const TConvertPlan& Plan) {
  if (Plan.Pictures < 0 || Plan.FirstPicture < 0 || Plan.FileName.empty() ||
      Plan.StretchMode < RESIZEF_STRETCH ||
      Plan.StretchMode > RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX || Plan.PictureRate < 0 ||
      !std::isfinite(Plan.PictureRate))
    throw EMediaEngineError(ME_INVALIDARG, "The conversion's plan is not valid");
  return std::make_unique<TPictureConvertJob>(Plan);
}

}  // namespace rw
