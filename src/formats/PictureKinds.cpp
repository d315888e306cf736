#include "formats/PictureKinds.h"

#include "formats/BitFields.h"
#include "formats/VideoCodecs.h"

namespace rw {

namespace {

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

// Some video object plane is bidirectionally predicted (coding type 2).
bool Mpeg4VisualReordered(const uint8_t* Data, uint32_t Size) {
  constexpr uint8_t VopStartCode = 0xB6;
  for (uint32_t at = NextStartCode(Data, Size, 0); at < Size; at = NextStartCode(Data, Size, at))
    if (Data[at] == VopStartCode && at + 1 < Size && (Data[at + 1] >> 6) == 2) return true;
  return false;
}

// An unsigned Exp-Golomb code.
uint32_t ReadUE(TBitReader& Bits) {
  int zeros = 0;
  while (zeros < 32 && Bits.Get(1) == 0 && !Bits.Overrun()) ++zeros;
  return zeros == 0 ? 0 : ((1u << zeros) - 1) + Bits.Get(zeros);
}

// The first slice's type is B (1 or 6).
bool H264Reordered(const uint8_t* Data, uint32_t Size) {
  for (uint32_t at = NextStartCode(Data, Size, 0); at < Size; at = NextStartCode(Data, Size, at)) {
    const uint8_t type = Data[at] & 0x1F;
    if (type == 5) return false;
    if (type < 1 || type > 4) continue;
    // first_mb_in_slice, then slice_type; the first bytes of a slice header hold no escapes.
    TBitReader bits(Data + at + 1, Size - at - 1);
    ReadUE(bits);
    const uint32_t sliceType = ReadUE(bits);
    return !bits.Overrun() && sliceType % 5 == 1;
  }
  return false;
}

}  // namespace

bool ReorderedPicture(uint32_t Compression, const uint8_t* Data, uint32_t Size) {
  switch (VideoCodecOf(Compression)) {
    case TVideoCodec::Mpeg4Visual:
      return Mpeg4VisualReordered(Data, Size);
    case TVideoCodec::H264:
      return H264Reordered(Data, Size);
    default:
      return false;
  }
}

std::optional<bool> KeyFrameOfPicture(uint32_t Compression, const uint8_t* Data, uint32_t Size) {
  switch (VideoCodecOf(Compression)) {
    case TVideoCodec::Mpeg4Visual:
      return Mpeg4VisualKey(Data, Size);
    case TVideoCodec::H264:
      return H264Key(Data, Size);
    case TVideoCodec::MsMpeg4v3:
      // The picture header's first two bits: 0 for an intra-coded picture.
      return Size > 0 && (Data[0] >> 6) == 0;
    case TVideoCodec::Mjpeg:
    case TVideoCodec::Uncompressed:
      return Size > 0;
    case TVideoCodec::Other:
      break;
  }
  return std::nullopt;
}

}  // namespace rw
