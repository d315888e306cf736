#pragma once
// The RIFF AVI layout shared by the reader and the writer: four-character codes, flag bits,
// the byte-exact main and stream headers, the index record sizes and little-endian helpers.
//
// A chunk is: 4-byte id, 32-bit size (data bytes, excluding this header and the pad byte),
// data, and one pad byte when the size is odd. 'RIFF' and 'LIST' chunks are containers whose
// first 4 data bytes are a form or list type, followed by sub-chunks.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace rw {

static_assert(std::endian::native == std::endian::little,
              "the header structs below map the little-endian file layout directly");

// ---- little-endian access to unaligned bytes ----

inline uint16_t GetLE16(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t GetLE32(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline uint64_t GetLE64(const void* P) {
  const auto* b = static_cast<const uint8_t*>(P);
  return static_cast<uint64_t>(GetLE32(b)) | (static_cast<uint64_t>(GetLE32(b + 4)) << 32);
}
inline void PutLE16(void* P, uint16_t V) {
  auto* b = static_cast<uint8_t*>(P);
  b[0] = static_cast<uint8_t>(V);
  b[1] = static_cast<uint8_t>(V >> 8);
}
inline void PutLE32(void* P, uint32_t V) {
  auto* b = static_cast<uint8_t*>(P);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(V >> (8 * i));
}
inline void PutLE64(void* P, uint64_t V) {
  auto* b = static_cast<uint8_t*>(P);
  PutLE32(b, static_cast<uint32_t>(V));
  PutLE32(b + 4, static_cast<uint32_t>(V >> 32));
}

// Appends little-endian values to a byte string (used to assemble headers and index chunks).
inline void AppendLE16(std::string& S, uint16_t V) {
  char b[2];
  PutLE16(b, V);
  S.append(b, 2);
}
inline void AppendLE32(std::string& S, uint32_t V) {
  char b[4];
  PutLE32(b, V);
  S.append(b, 4);
}
inline void AppendLE64(std::string& S, uint64_t V) {
  char b[8];
  PutLE64(b, V);
  S.append(b, 8);
}

// ---- four-character codes: the first character in the lowest byte ----

constexpr uint32_t MakeFourCC(char A, char B, char C, char D) {
  return static_cast<uint32_t>(static_cast<uint8_t>(A)) |
         (static_cast<uint32_t>(static_cast<uint8_t>(B)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(C)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(D)) << 24);
}
// FourCC("RIFF"): the literal must have exactly four characters.
template <size_t N>
constexpr uint32_t FourCC(const char (&Text)[N]) {
  static_assert(N == 5, "a four-character code has four characters");
  return MakeFourCC(Text[0], Text[1], Text[2], Text[3]);
}
// The code as its four characters in file order; empty for 0.
inline std::string FourCCToStr(uint32_t Code) {
  if (Code == 0) return {};
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(Code >> (8 * i));
  return s;
}
// The first four characters of Text, padded with spaces, as a code.
inline uint32_t StrToFourCC(std::string Text) {
  while (Text.size() < 4) Text += ' ';
  return MakeFourCC(Text[0], Text[1], Text[2], Text[3]);
}

namespace riff {

// Containers and their types.
inline constexpr uint32_t ckRIFF = FourCC("RIFF");
inline constexpr uint32_t ckLIST = FourCC("LIST");
inline constexpr uint32_t formAVI = FourCC("AVI ");
inline constexpr uint32_t formAVIX = FourCC("AVIX");
inline constexpr uint32_t formWAVE = FourCC("WAVE");
inline constexpr uint32_t listHdrl = FourCC("hdrl");
inline constexpr uint32_t listStrl = FourCC("strl");
inline constexpr uint32_t listMovi = FourCC("movi");
inline constexpr uint32_t listOdml = FourCC("odml");
inline constexpr uint32_t listRec = FourCC("rec ");
inline constexpr uint32_t listInfo = FourCC("INFO");

// Plain chunks.
inline constexpr uint32_t ckAvih = FourCC("avih");
inline constexpr uint32_t ckStrh = FourCC("strh");
inline constexpr uint32_t ckStrf = FourCC("strf");
inline constexpr uint32_t ckStrd = FourCC("strd");
inline constexpr uint32_t ckStrn = FourCC("strn");
inline constexpr uint32_t ckIndx = FourCC("indx");
inline constexpr uint32_t ckIdx1 = FourCC("idx1");
inline constexpr uint32_t ckDmlh = FourCC("dmlh");
inline constexpr uint32_t ckVprp = FourCC("vprp");  // video properties (OpenDML)
inline constexpr uint32_t ckJUNK = FourCC("JUNK");

// Stream types.
inline constexpr uint32_t streamVids = FourCC("vids");
inline constexpr uint32_t streamAuds = FourCC("auds");
inline constexpr uint32_t streamIavs = FourCC("iavs");
inline constexpr uint32_t streamTxts = FourCC("txts");
inline constexpr uint32_t streamMids = FourCC("mids");

// Main header flags.
inline constexpr uint32_t AVIF_HASINDEX = 0x00000010;
inline constexpr uint32_t AVIF_MUSTUSEINDEX = 0x00000020;
inline constexpr uint32_t AVIF_ISINTERLEAVED = 0x00000100;
inline constexpr uint32_t AVIF_TRUSTCKTYPE = 0x00000800;

// 'idx1' entry flags.
inline constexpr uint32_t AVIIF_LIST = 0x00000001;
inline constexpr uint32_t AVIIF_KEYFRAME = 0x00000010;

// Sizes of the fixed records.
inline constexpr uint32_t ChunkHeaderSize = 8;    // id + size
inline constexpr uint32_t ListHeaderSize = 12;    // 'LIST' + size + list type
inline constexpr uint32_t MainHeaderSize = 56;    // 'avih' data
inline constexpr uint32_t StreamHeaderSize = 56;  // 'strh' data
inline constexpr uint32_t Idx1EntrySize = 16;     // chunk id, flags, offset, size
inline constexpr uint32_t DmlhSize = 248;         // 'dmlh' data: total frames + zeros

// OpenDML indexes. Both index levels start with the same 32-byte header counted from the
// chunk's own header: id, size, longs per entry (16), sub-type (8), type (8), entries in use,
// chunk id, then 12 bytes that are reserved for a super index and hold the 64-bit base offset
// and 4 reserved bytes for a standard index.
inline constexpr uint8_t AVI_INDEX_OF_INDEXES = 0;
inline constexpr uint8_t AVI_INDEX_OF_CHUNKS = 1;
inline constexpr uint8_t AVI_INDEX_2FIELD = 1;   // sub-type: field index
inline constexpr uint32_t IndexHeaderSize = 32;  // including the 8-byte chunk header
inline constexpr uint32_t IndexTypeOffset = 11;
inline constexpr uint32_t IndexEntriesInUseOffset = 12;
inline constexpr uint32_t IndexChunkIdOffset = 16;
inline constexpr uint32_t IndexBaseOffsetOffset = 20;
inline constexpr uint32_t SuperIndexEntrySize = 16;  // offset (64), size (32), duration (32)
inline constexpr uint32_t StdIndexEntrySize = 8;     // offset (32), size (32, bit 31 = no key)
inline constexpr uint32_t StdIndexNoKeyFrame = 0x80000000u;

// Offsets inside a video stream's format (bitmap information header).
inline constexpr uint32_t BmpWidthOffset = 4;
inline constexpr uint32_t BmpHeightOffset = 8;
inline constexpr uint32_t BmpBitCountOffset = 14;
inline constexpr uint32_t BmpCompressionOffset = 16;
inline constexpr uint32_t BmpHeaderSize = 40;
// Offsets inside an audio stream's format (wave format header).
inline constexpr uint32_t WaveFormatTagOffset = 0;
inline constexpr uint32_t WaveChannelsOffset = 2;
inline constexpr uint32_t WaveSamplesPerSecOffset = 4;
inline constexpr uint32_t WaveAvgBytesPerSecOffset = 8;
inline constexpr uint32_t WaveBlockAlignOffset = 12;
inline constexpr uint32_t WaveBitsPerSampleOffset = 14;
// The count of the bytes that follow the wave format header, and where they begin.
inline constexpr uint32_t WaveExtraSizeOffset = 16;
inline constexpr uint32_t WaveExtraOffset = 18;

// Wave format tags.
inline constexpr uint16_t wavePCM = 0x0001;
inline constexpr uint16_t waveFloat = 0x0003;
inline constexpr uint16_t waveALaw = 0x0006;
inline constexpr uint16_t waveMuLaw = 0x0007;
inline constexpr uint16_t waveMpeg = 0x0050;
inline constexpr uint16_t waveMpegLayer3 = 0x0055;
inline constexpr uint16_t waveAc3 = 0x2000;
// AAC: raw frames (with an AudioSpecificConfig after the wave format) or ADTS frames; the last
// two say only that ADTS headers come with the frames.
inline constexpr uint16_t waveAac = 0x00FF;
inline constexpr uint16_t waveAdtsAac = 0x1600;
inline constexpr uint16_t waveAacMp = 0x706D;

// WAVE_FORMAT_EXTENSIBLE: its tag, and where its sub-format GUID (whose first two bytes are
// the real format tag) stands in the wave format.
inline constexpr uint16_t waveFormatExtensible = 0xFFFE;
inline constexpr size_t waveSubFormatOffset = 24;
// The extensible format's own bytes after the header (valid bits, channel mask, sub-format).
inline constexpr uint16_t WaveExtensibleExtraSize = 22;

}  // namespace riff

// The 'avih' record, byte for byte as stored.
struct TAVIMainHeader {
  uint32_t MicroSecPerFrame = 0;
  uint32_t MaxBytesPerSec = 0;
  uint32_t PaddingGranularity = 0;
  uint32_t Flags = 0;
  uint32_t TotalFrames = 0;
  uint32_t InitialFrames = 0;
  uint32_t Streams = 0;
  uint32_t SuggestedBufferSize = 0;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint32_t Reserved[4] = {0, 0, 0, 0};
};
static_assert(sizeof(TAVIMainHeader) == riff::MainHeaderSize);

struct TAVIRect16 {
  int16_t left = 0;
  int16_t top = 0;
  int16_t right = 0;
  int16_t bottom = 0;
};

// The 'strh' record, byte for byte as stored.
struct TAVIStreamHeader {
  uint32_t Type = 0;
  uint32_t Handler = 0;
  uint32_t Flags = 0;
  uint16_t Priority = 0;
  uint16_t Language = 0;
  uint32_t InitialFrames = 0;
  uint32_t Scale = 0;
  uint32_t Rate = 0;
  uint32_t Start = 0;
  uint32_t Length = 0;
  uint32_t SuggestedBufferSize = 0;
  uint32_t Quality = 0;
  uint32_t SampleSize = 0;
  TAVIRect16 Frame;
};
static_assert(sizeof(TAVIStreamHeader) == riff::StreamHeaderSize);
static_assert(offsetof(TAVIStreamHeader, Scale) == 20);
static_assert(offsetof(TAVIStreamHeader, Rate) == 24);
static_assert(offsetof(TAVIStreamHeader, Length) == 32);
static_assert(offsetof(TAVIStreamHeader, SampleSize) == 44);
static_assert(offsetof(TAVIStreamHeader, Frame) == 48);

// Copies a stored record into its struct and back (the structs have no padding).
template <class T>
T LoadRecord(const void* Bytes) {
  T r;
  std::memcpy(&r, Bytes, sizeof(T));
  return r;
}
template <class T>
void StoreRecord(void* Bytes, const T& Record) {
  std::memcpy(Bytes, &Record, sizeof(T));
}

// Total bytes a chunk of DataSize occupies in the file: header, data and pad byte.
constexpr uint64_t ChunkSpan(uint32_t DataSize) {
  return riff::ChunkHeaderSize + static_cast<uint64_t>(DataSize) + (DataSize & 1u);
}

// The two characters by which chunk ids name the stream at Index: two upper-case hexadecimal
// digits of its low byte ('00', '09', '0A', ...).
inline std::string StreamIdText(unsigned Index) {
  static const char Hex[] = "0123456789ABCDEF";
  return std::string{Hex[(Index >> 4) & 0xF], Hex[Index & 0xF]};
}

}  // namespace rw
