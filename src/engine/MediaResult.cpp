#include "engine/MediaResult.h"

extern "C" {
#include <libavutil/error.h>
}

namespace rw {

TMediaResult ResultFromAVError(int Error) {
  if (Error >= 0) return ME_OK;
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

}  // namespace rw
