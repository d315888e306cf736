#pragma once
// Codec families of pictures and the four-character codes that writers give them. One family
// is one bitstream for a decoder, whatever code names it: MPEG-4 Visual is written as XVID,
// DIVX, DX50, FMP4, MP4V and more, H.264 as H264, X264, AVC1 and more, in either case.
#include <cstdint>
#include <string>

namespace rw {

enum class TVideoCodec {
  Other,        // a code this program knows nothing of: only the same code is the same codec
  Mpeg4Visual,  // MPEG-4 Part 2 (simple and advanced simple profile)
  H264,
  Mjpeg,         // Motion JPEG: every picture a JPEG image
  MsMpeg4v3,     // Microsoft's MPEG-4 version 3 (DivX 3): no start codes, no B pictures
  Uncompressed,  // RGB, bit fields and the packed and planar YUV layouts
};

// The family of a bitmap header's compression field (0 and 3 for RGB and bit fields).
TVideoCodec VideoCodecOf(uint32_t Compression);

// Whether every picture of the codec stands alone (a key frame).
inline bool EveryPictureIsKey(TVideoCodec Codec) {
  return Codec == TVideoCodec::Mjpeg || Codec == TVideoCodec::Uncompressed;
}

// The family's name as people know it ("MPEG-4 Visual", "H.264"); empty for Other.
std::string VideoCodecName(TVideoCodec Codec);

}  // namespace rw
