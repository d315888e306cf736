#include "streamcopy/PictureKinds.h"

#include <algorithm>
#include <array>

#include "media/RiffFormat.h"

namespace rw {

namespace {

enum class TCodec { Other, Mpeg4Visual, H264, EveryPictureKey };

constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiBitfields = 3;

constexpr std::array<uint32_t, 18> Mpeg4VisualCodecs = {
    FourCC("FMP4"), FourCC("XVID"), FourCC("DIVX"), FourCC("DX50"), FourCC("MP4V"), FourCC("M4S2"),
    FourCC("MP4S"), FourCC("3IV2"), FourCC("XVIX"), FourCC("DM4V"), FourCC("BLZ0"), FourCC("RMP4"),
    FourCC("SMP4"), FourCC("UMP4"), FourCC("HDX4"), FourCC("DXGM"), FourCC("FVFW"), FourCC("GEOX")};
constexpr std::array<uint32_t, 6> H264Codecs = {FourCC("H264"), FourCC("X264"), FourCC("AVC1"),
                                                FourCC("DAVC"), FourCC("VSSH"), FourCC("Q264")};
// Motion JPEG and the packed and planar YUV layouts: every picture stands alone.
constexpr std::array<uint32_t, 21> EveryPictureKeyCodecs = {
    FourCC("MJPG"), FourCC("AVRN"), FourCC("LJPG"), FourCC("JPGL"), FourCC("AVDJ"), FourCC("JPEG"),
    FourCC("DMB1"), FourCC("IJPG"), FourCC("YUY2"), FourCC("UYVY"), FourCC("YVYU"), FourCC("YV12"),
    FourCC("I420"), FourCC("IYUV"), FourCC("Y800"), FourCC("GREY"), FourCC("NV12"), FourCC("NV21"),
    FourCC("YV16"), FourCC("HDYC"), FourCC("Y41P")};

uint32_t UpperCase(uint32_t Code) {
  uint32_t upper = 0;
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<uint8_t>(Code >> (8 * i));
    if (c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
    upper |= uint32_t{c} << (8 * i);
  }
  return upper;
}

template <size_t N>
bool Among(const std::array<uint32_t, N>& Codes, uint32_t Code) {
  return std::find(Codes.begin(), Codes.end(), Code) != Codes.end();
}

TCodec CodecOf(uint32_t Compression) {
  if (Compression == BiRgb || Compression == BiBitfields) return TCodec::EveryPictureKey;
  const uint32_t code = UpperCase(Compression);
  if (Among(Mpeg4VisualCodecs, code)) return TCodec::Mpeg4Visual;
  if (Among(H264Codecs, code)) return TCodec::H264;
  if (Among(EveryPictureKeyCodecs, code)) return TCodec::EveryPictureKey;
  return TCodec::Other;
}

// The position just after the next start code prefix (00 00 01) at or after From, or Size.
uint32_t NextStartCode(const uint8_t* Data, uint32_t Size, uint32_t From) {
  for (uint32_t i = From; i + 3 <= Size; ++i)
    if (Data[i] == 0 && Data[i + 1] == 0 && Data[i + 2] == 1) return i + 3;
  return Size;
}

// The first video object plane's coding type: 0 is intra coded.
bool Mpeg4VisualKey(const uint8_t* Data, uint32_t Size) {
  constexpr uint8_t VopStartCode = 0xB6;
  for (uint32_t at = NextStartCode(Data, Size, 0); at < Size; at = NextStartCode(Data, Size, at))
    if (Data[at] == VopStartCode) return at + 1 < Size && (Data[at + 1] >> 6) == 0;
  return false;
}

// The first slice decides: an IDR slice (NAL unit type 5) starts a key frame, any other slice
// (type 1..4) does not; parameter sets, SEI and delimiters before it say nothing.
bool H264Key(const uint8_t* Data, uint32_t Size) {
  constexpr uint8_t IdrSlice = 5;
  for (uint32_t at = NextStartCode(Data, Size, 0); at < Size; at = NextStartCode(Data, Size, at)) {
    const uint8_t type = Data[at] & 0x1F;
    if (type == IdrSlice) return true;
    if (type >= 1 && type <= 4) return false;
  }
  return false;
}

}  // namespace

std::optional<bool> KeyFrameOfPicture(uint32_t Compression, const uint8_t* Data, uint32_t Size) {
  switch (CodecOf(Compression)) {
    case TCodec::Mpeg4Visual:
      return Mpeg4VisualKey(Data, Size);
    case TCodec::H264:
      return H264Key(Data, Size);
    case TCodec::EveryPictureKey:
      return Size > 0;
    case TCodec::Other:
      break;
  }
  return std::nullopt;
}

}  // namespace rw
