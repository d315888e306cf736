#include "formats/DecoderSetup.h"

#include <vector>

#include "formats/BitFields.h"
#include "formats/VideoCodecs.h"

namespace rw {

namespace {

// The position just after the first start code prefix (00 00 01) at or after From whose next
// byte Accepts, or Size.
template <class F>
size_t FindStartCode(const uint8_t* P, size_t Size, size_t From, F Accepts) {
  for (size_t i = From; i + 3 < Size; ++i)
    if (P[i] == 0 && P[i + 1] == 0 && P[i + 2] == 1 && Accepts(P[i + 3])) return i + 3;
  return Size;
}

// The video object layer header at P (after its start code).
std::string Mpeg4VolSetup(const uint8_t* P, size_t Size) {
  TBitReader r(P + 1, Size - 1);
  r.Get(1);  // random accessible
  r.Get(8);  // object type
  int verid = 1;
  if (r.Get(1)) {
    verid = static_cast<int>(r.Get(4));
    r.Get(3);  // priority
  }
  if (r.Get(4) == 15) r.Get(16);  // extended pixel aspect ratio
  uint32_t chroma = 1;
  if (r.Get(1)) {  // control parameters
    chroma = r.Get(2);
    r.Get(1);                 // low delay
    if (r.Get(1)) r.Get(79);  // buffer parameters, markers included
  }
  const uint32_t shape = r.Get(2);
  if (shape == 3 && verid != 1) r.Get(4);
  r.Get(1);
  const uint32_t resolution = r.Get(16);
  r.Get(1);
  if (r.Get(1)) {  // fixed rate: an increment of as many bits as the resolution needs
    int bits = 1;
    while (bits < 16 && (1u << bits) < resolution) ++bits;
    r.Get(bits);
  }
  if (shape != 0 || resolution == 0) return "";  // only rectangular pictures are read here
  r.Get(29);                                     // width and height with their markers
  const uint32_t interlaced = r.Get(1);
  r.Get(1);  // overlapped block motion compensation disabled
  const uint32_t sprite = r.Get(verid == 1 ? 1 : 2);
  uint32_t warpingPoints = 0, warpingAccuracy = 0, brightness = 0;
  if (sprite == 1 || sprite == 2) {
    if (sprite != 2) r.Get(56);  // sprite size and position with markers
    warpingPoints = r.Get(6);
    warpingAccuracy = r.Get(2);
    brightness = r.Get(1);
    if (sprite != 2) r.Get(1);
  }
  const uint32_t not8Bit = r.Get(1);
  uint32_t precision = 5, bitsPerPixel = 8;
  if (not8Bit) {
    precision = r.Get(4);
    bitsPerPixel = r.Get(4);
  }
  const uint32_t quantType = r.Get(1);
  if (quantType) {
    // Matrices: up to 64 values of 8 bits, ended early by a 0.
    for (int m = 0; m < 2; ++m)
      if (r.Get(1))
        for (int i = 0; i < 64 && !r.Overrun(); ++i)
          if (r.Get(8) == 0) break;
  }
  const uint32_t quarterPel = verid != 1 ? r.Get(1) : 0;
  if (r.Overrun()) return "";
  return "mpeg4 chroma=" + std::to_string(chroma) + " interlaced=" + std::to_string(interlaced) +
         " sprite=" + std::to_string(sprite) + "/" + std::to_string(warpingPoints) + "/" +
         std::to_string(warpingAccuracy) + "/" + std::to_string(brightness) +
         " bits=" + std::to_string(precision) + "/" + std::to_string(bitsPerPixel) +
         " quant=" + std::to_string(quantType) + " qpel=" + std::to_string(quarterPel);
}

std::string Mpeg4Setup(const uint8_t* Extra, size_t ExtraSize, const uint8_t* Picture,
                       size_t PictureSize) {
  auto isVol = [](uint8_t Code) { return Code >= 0x20 && Code <= 0x2F; };
  for (auto [p, size] : {std::pair{Extra, ExtraSize}, std::pair{Picture, PictureSize}}) {
    if (!p) continue;
    const size_t at = FindStartCode(p, size, 0, isVol);
    if (at < size) return Mpeg4VolSetup(p + at, size - at);
  }
  return "";
}

// Exp-Golomb codes of H.264 headers.
uint32_t UnsignedCode(TBitReader& R) {
  int zeros = 0;
  while (R.Get(1) == 0 && zeros < 32 && !R.Overrun()) ++zeros;
  return zeros >= 32 ? 0 : ((1u << zeros) - 1) + R.Get(zeros);
}

// The sequence parameter set whose NAL unit starts at P (its header byte), Size bytes at most.
std::string H264SpsSetup(const uint8_t* P, size_t Size, const char* Storage) {
  // The header's first bytes without emulation prevention bytes.
  std::vector<uint8_t> rbsp;
  for (size_t i = 1; i < Size && rbsp.size() < 32; ++i) {
    if (i >= 3 && P[i] == 3 && P[i - 1] == 0 && P[i - 2] == 0) continue;
    rbsp.push_back(P[i]);
  }
  TBitReader r(rbsp.data(), rbsp.size());
  const uint32_t profile = r.Get(8);
  r.Get(16);  // constraint flags and level
  UnsignedCode(r);
  uint32_t chroma = 1, lumaBits = 8, chromaBits = 8;
  switch (profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
      chroma = UnsignedCode(r);
      if (chroma == 3) r.Get(1);
      lumaBits = 8 + UnsignedCode(r);
      chromaBits = 8 + UnsignedCode(r);
      break;
    default:
      break;
  }
  if (r.Overrun() || profile == 0) return "";
  return std::string("h264 ") + Storage + " profile=" + std::to_string(profile) +
         " chroma=" + std::to_string(chroma) + " bits=" + std::to_string(lumaBits) + "/" +
         std::to_string(chromaBits);
}

std::string H264Setup(const uint8_t* Extra, size_t ExtraSize, const uint8_t* Picture,
                      size_t PictureSize) {
  // Pictures stored with lengths take their parameter sets from an 'avcC' record.
  if (Extra && ExtraSize >= 8 && Extra[0] == 1) {
    const size_t length = static_cast<size_t>(Extra[6] << 8 | Extra[7]);
    if ((Extra[5] & 0x1F) == 0 || 8 + length > ExtraSize) return "";
    return H264SpsSetup(Extra + 8, length, "lengths");
  }
  if (!Picture) return "";
  // A byte stream may put any number of zero bytes before its first start code.
  size_t zeros = 0;
  while (zeros < PictureSize && Picture[zeros] == 0) ++zeros;
  if (zeros < 2 || zeros >= PictureSize || Picture[zeros] != 1) return "";
  auto isSps = [](uint8_t Header) { return (Header & 0x1F) == 7; };
  for (auto [p, size] : {std::pair{Picture, PictureSize}, std::pair{Extra, ExtraSize}}) {
    if (!p) continue;
    const size_t at = FindStartCode(p, size, 0, isSps);
    if (at < size) return H264SpsSetup(p + at, size - at, "startcodes");
  }
  return "";
}

}  // namespace

std::string DecoderSetup(uint32_t Compression, const uint8_t* Extra, size_t ExtraSize,
                         const uint8_t* Picture, size_t PictureSize) {
  switch (VideoCodecOf(Compression)) {
    case TVideoCodec::Mpeg4Visual:
      return Mpeg4Setup(Extra, ExtraSize, Picture, PictureSize);
    case TVideoCodec::H264:
      return H264Setup(Extra, ExtraSize, Picture, PictureSize);
    default:
      return "";
  }
}

}  // namespace rw
