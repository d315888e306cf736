#include "engine/ffmpeg/AVHandles.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <mutex>
#include <new>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include "formats/SourceStreams.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {

TFramePtr NewFrame() {
  TFramePtr f(av_frame_alloc());
  if (!f) throw std::bad_alloc();
  return f;
}

TPacketPtr NewPacket() {
  TPacketPtr p(av_packet_alloc());
  if (!p) throw std::bad_alloc();
  return p;
}

int32_t ResultFromAVError(int Error) {
  if (Error >= 0) return 0;
  switch (Error) {
    case AVERROR(ENOMEM):
      return ME_OUTOFMEMORY;
    case AVERROR(EINVAL):
      return ME_INVALIDARG;
    case AVERROR_INVALIDDATA:
    case AVERROR_STREAM_NOT_FOUND:
    case AVERROR_EOF:
      return ME_INVALIDMEDIA;
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_ENCODER_NOT_FOUND:
    case AVERROR_PATCHWELCOME:
      return ME_NOCODEC;
    default:
      break;
  }
  if (-Error > 0 && -Error < 0x10000)
    return static_cast<int32_t>(0x80070000u | static_cast<uint32_t>(-Error));
  return ME_FAIL;
}

std::string AVErrorText(int Error) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(Error, buf, sizeof buf);
  return buf;
}

namespace {

thread_local TLibraryMessages* Collecting = nullptr;

// The libraries' messages become the reason of the error being collected; any other goes
// nowhere: standard error is the program's own (the terminal's progress, its messages).
void LogMessage(void*, int Level, const char* Format, va_list Arguments) {
  if (Collecting && Level <= AV_LOG_ERROR) {
    char line[1024];
    std::vsnprintf(line, sizeof line, Format, Arguments);
    Collecting->Add(line);
  }
}

}  // namespace

TLibraryMessages::TLibraryMessages() : FOuter(Collecting) { Collecting = this; }
TLibraryMessages::~TLibraryMessages() { Collecting = FOuter; }

void TLibraryMessages::Add(const std::string& Message) {
  // A message may come in pieces and over several lines; the reason is one line.
  for (char c : Message) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    if (c == ' ' && (FText.empty() || FText.back() == ' ')) continue;
    FText += c;
  }
  if (Message.find('\n') != std::string::npos) {
    while (!FText.empty() && FText.back() == ' ') FText.pop_back();
    if (!FText.empty() && FText.back() != '.') FText += '.';
    if (!FText.empty()) FText += ' ';
  }
}

void CheckAV(int Error, const std::string& Context) {
  if (Error >= 0) return;
  std::string said = Collecting ? Collecting->Text() : std::string();
  while (!said.empty() && (said.back() == ' ' || said.back() == '.')) said.pop_back();
  const std::string text = AVErrorText(Error);
  throw EMediaEngineError(ResultFromAVError(Error),
                          Context + ": " + (said.empty() ? text : said + " (" + text + ")"));
}

std::string FileURL(const std::string& FileName) { return "file:" + FileName; }

void QuietLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    av_log_set_level(AV_LOG_ERROR);
    av_log_set_callback(LogMessage);
  });
}

int OpenMediaInput(const std::string& FileName, TInputContextPtr& Input) {
  QuietLibraries();
  Input.reset();
  // Regular files only: a named pipe or a device would hold the open up.
  try {
    TFile::OpenRead(FileName);
  } catch (const EOSError& E) {
    return E.ErrorCode ? AVERROR(E.ErrorCode) : AVERROR(EIO);
  } catch (const Exception&) {
    return AVERROR(EINVAL);
  }
  // Local files only: a name is never taken as a protocol, and a playlist inside a file may
  // not reach other files or the network.
  TAVDictionary options;
  av_dict_set(options.Address(), "protocol_whitelist", "file", 0);
  AVFormatContext* ctx = nullptr;
  int err = avformat_open_input(&ctx, FileURL(FileName).c_str(), nullptr, options.Address());
  if (err < 0) return err;
  TInputContextPtr owned(ctx);
  err = avformat_find_stream_info(owned.get(), nullptr);
  if (err < 0) return err;
  Input = std::move(owned);
  return 0;
}

std::optional<TMediaKind> KindOf(const AVStream* Stream) {
  const AVMediaType type = Stream->codecpar->codec_type;
  if (type == AVMEDIA_TYPE_VIDEO && !(Stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
    return TMediaKind::mkVideo;
  if (type == AVMEDIA_TYPE_AUDIO) return TMediaKind::mkAudio;
  return std::nullopt;
}

double StreamLength(const AVFormatContext* Input, const AVStream* Stream) {
  double length = 0;
  if (Stream->duration != AV_NOPTS_VALUE && Stream->duration > 0)
    length = static_cast<double>(Stream->duration) * av_q2d(Stream->time_base);
  else if (Input->duration != AV_NOPTS_VALUE && Input->duration > 0)
    length = static_cast<double>(Input->duration) / AV_TIME_BASE;
  if (KindOf(Stream) != TMediaKind::mkVideo) return length;
  // A header may claim any length, or none. What the file holds is in its index: the last
  // picture's time and one frame more. That length wins over a header that is longer (a damaged
  // file is never padded out to years of black) or gives none.
  const AVRational rate =
      Stream->avg_frame_rate.num > 0 ? Stream->avg_frame_rate : Stream->r_frame_rate;
  const double frame = rate.num > 0 && rate.den > 0 ? 1 / av_q2d(rate) : 0;
  auto* st = const_cast<AVStream*>(Stream);
  const int entries = avformat_index_get_entries_count(st);
  if (entries > 0) {
    const AVIndexEntry* last = avformat_index_get_entry(st, entries - 1);
    if (last && last->timestamp != AV_NOPTS_VALUE && last->timestamp >= 0) {
      const double held = static_cast<double>(last->timestamp) * av_q2d(Stream->time_base) + frame;
      if (length <= 0 || length > held) length = held;
    }
  }
  // Without an index, every picture takes at least a chunk header of 8 bytes of the file.
  const int64_t size = Input->pb ? avio_size(Input->pb) : -1;
  if (frame > 0 && size > 0) length = std::min(length, static_cast<double>(size / 8) * frame);
  return length;
}

AVRational FrameRateOf(double FPS) {
  // The rates of NTSC television, given as 29.97, 23.98 or 59.94 (two decimals), are
  // 30000/1001, 24000/1001 and 60000/1001: MPEG encoders take only those, and players
  // expect them.
  const double whole = std::round(FPS * 1.001);
  if (whole >= 1 && whole <= 1000 && std::fabs(FPS - std::round(FPS)) > 0.001 &&
      std::fabs(FPS - whole / 1.001) < 0.0051)
    return AVRational{static_cast<int>(whole) * 1000, 1001};
  return av_d2q(FPS, 65535);
}

int FindSourceStream(const AVFormatContext* Input, TMediaKind Kind) {
  return SourceStream(static_cast<int>(Input->nb_streams),
                      [&](int I) { return KindOf(Input->streams[I]) == Kind; });
}

TEngineError ErrorOf(std::exception_ptr Failure) noexcept {
  try {
    try {
      std::rethrow_exception(Failure);
    } catch (const EMediaEngineError& E) {
      return {E.Code(), E.what()};
    } catch (const std::bad_alloc&) {
      return {ME_OUTOFMEMORY, "Out of memory"};
    } catch (const std::exception& E) {
      return {ME_FAIL, E.what()};
    } catch (...) {
      return {ME_FAIL, "The media engine failed"};
    }
  } catch (...) {
    // Even the reason could not be kept.
    return {ME_OUTOFMEMORY, {}};
  }
}

}  // namespace rw
