#pragma once
// The RIFF AVI layout shared by the reader and the writer: chunk and list codes, flag bits,
// the byte-exact main and stream headers, the index record sizes. Codes, byte order and the
// wave format come from the format facts below it.
//
// A chunk is: 4-byte id, 32-bit size (data bytes, excluding this header and the pad byte),
// data, and one pad byte when the size is odd. 'RIFF' and 'LIST' chunks are containers whose
// first 4 data bytes are a form or list type, followed by sub-chunks.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "formats/ByteOrder.h"
#include "formats/FourCC.h"
#include "formats/WaveFormat.h"

namespace rw {

static_assert(std::endian::native == std::endian::little,
              "the header structs below map the little-endian file layout directly");

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
