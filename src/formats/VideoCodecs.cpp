#include "formats/VideoCodecs.h"

#include <algorithm>
#include <array>

#include "formats/FourCC.h"

namespace rw {

namespace {

constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiBitfields = 3;

// The codes in upper case: codes are compared without case ("xvid" is "XVID").
constexpr std::array<uint32_t, 18> Mpeg4VisualCodecs = {
    FourCC("FMP4"), FourCC("XVID"), FourCC("DIVX"), FourCC("DX50"), FourCC("MP4V"), FourCC("M4S2"),
    FourCC("MP4S"), FourCC("3IV2"), FourCC("XVIX"), FourCC("DM4V"), FourCC("BLZ0"), FourCC("RMP4"),
    FourCC("SMP4"), FourCC("UMP4"), FourCC("HDX4"), FourCC("DXGM"), FourCC("FVFW"), FourCC("GEOX")};
constexpr std::array<uint32_t, 6> H264Codecs = {FourCC("H264"), FourCC("X264"), FourCC("AVC1"),
                                                FourCC("DAVC"), FourCC("VSSH"), FourCC("Q264")};
constexpr std::array<uint32_t, 8> MjpegCodecs = {FourCC("MJPG"), FourCC("AVRN"), FourCC("LJPG"),
                                                 FourCC("JPGL"), FourCC("AVDJ"), FourCC("JPEG"),
                                                 FourCC("DMB1"), FourCC("IJPG")};
constexpr std::array<uint32_t, 8> MsMpeg4v3Codecs = {FourCC("DIV3"), FourCC("DIV4"), FourCC("DIV5"),
                                                     FourCC("DIV6"), FourCC("MP43"), FourCC("MPG3"),
                                                     FourCC("AP41"), FourCC("COL1")};
constexpr std::array<uint32_t, 13> UncompressedCodecs = {
    FourCC("YUY2"), FourCC("UYVY"), FourCC("YVYU"), FourCC("YV12"), FourCC("I420"),
    FourCC("IYUV"), FourCC("Y800"), FourCC("GREY"), FourCC("NV12"), FourCC("NV21"),
    FourCC("YV16"), FourCC("HDYC"), FourCC("Y41P")};

template <size_t N>
bool Among(const std::array<uint32_t, N>& Codes, uint32_t Code) {
  return std::find(Codes.begin(), Codes.end(), Code) != Codes.end();
}

}  // namespace

TVideoCodec VideoCodecOf(uint32_t Compression) {
  if (Compression == BiRgb || Compression == BiBitfields) return TVideoCodec::Uncompressed;
  const uint32_t code = UpperCaseFourCC(Compression);
  if (Among(Mpeg4VisualCodecs, code)) return TVideoCodec::Mpeg4Visual;
  if (Among(H264Codecs, code)) return TVideoCodec::H264;
  if (Among(MjpegCodecs, code)) return TVideoCodec::Mjpeg;
  if (Among(MsMpeg4v3Codecs, code)) return TVideoCodec::MsMpeg4v3;
  if (Among(UncompressedCodecs, code)) return TVideoCodec::Uncompressed;
  return TVideoCodec::Other;
}

std::string VideoCodecName(TVideoCodec Codec) {
  switch (Codec) {
    case TVideoCodec::Mpeg4Visual:
      return "MPEG-4 Visual";
    case TVideoCodec::H264:
      return "H.264";
    case TVideoCodec::Mjpeg:
      return "Motion JPEG";
    case TVideoCodec::MsMpeg4v3:
      return "MS MPEG-4 v3";
    case TVideoCodec::Uncompressed:
      return "uncompressed";
    case TVideoCodec::Other:
      break;
  }
  return "";
}

}  // namespace rw
