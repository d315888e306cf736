#pragma once
// Byte builders for RIFF AVI files that no tool writes: legacy indexes with movi-relative or
// absolute offsets, OpenDML super and standard indexes (also of unsupported types or with
// wrong counts), no index at all, 'iavs' and many streams, short 'strh' and 'strf' chunks,
// index entries past the end of the file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/RiffFormat.h"

namespace rw::test {

// ---- chunk level ----
// A chunk: id, size, data and the pad byte for odd sizes.
std::string Chunk(uint32_t Id, const std::string& Data);
// A 'LIST' (or 'RIFF' with Riff) container of the given type holding Contents.
std::string List(uint32_t ListType, const std::string& Contents);
std::string Riff(uint32_t FormType, const std::string& Contents);
std::string Bytes(const TAVIMainHeader& Header);
std::string Bytes(const TAVIStreamHeader& Header);

// ---- headers and formats ----
TAVIStreamHeader VideoHeader(uint32_t Rate, uint32_t Scale, uint32_t Handler = FourCC("FMP4"));
TAVIStreamHeader AudioHeader(uint32_t Rate, uint32_t Scale, uint32_t SampleSize);
// A bitmap information header (40 bytes).
std::string BitmapInfo(int32_t Width, int32_t Height, uint32_t Compression, uint16_t BitCount = 24);
// A wave format header (18 bytes, no extra data).
std::string WaveFormat(uint16_t Tag, uint16_t Channels, uint32_t SampleRate, uint16_t Bits,
                       uint16_t BlockAlign);

// ---- whole files ----
struct TBuildChunk {
  int Stream = 0;
  std::string Data;  // only its size matters unless the test reads it back
  bool KeyFrame = true;
};

struct TBuildStream {
  TAVIStreamHeader Header;
  std::string Format;
  std::optional<uint32_t> StrhSize;  // write only this many header bytes
  bool OmitStrh = false;
  bool OmitStrf = false;
  bool OmitIndx = false;  // OpenDML: leave this stream's list without 'indx'
  uint8_t SuperIndexType = riff::AVI_INDEX_OF_INDEXES;
  uint8_t StdIndexType = riff::AVI_INDEX_OF_CHUNKS;
  std::optional<uint32_t> SuperEntriesInUse;  // claimed count instead of the real one
  std::optional<uint32_t> StdEntriesInUse;
  int StdIndexes = 1;           // standard indexes the stream's chunks are spread over
  bool IndxIsStdIndex = false;  // the 'indx' chunk itself is the stream's standard index
  int SuperIndexCopies = 1;     // each standard index is listed this many times in a row
};

enum class TIndexKind { None, Idx1Relative, Idx1Absolute, OpenDML, Both };

class TAVIBuilder {
public:
  TAVIMainHeader Main;
  std::vector<TBuildStream> StreamList;
  std::vector<TBuildChunk> ChunkList;  // in 'movi' order
  TIndexKind Index = TIndexKind::Idx1Relative;
  bool OmitHdrl = false;
  bool OmitMovi = false;
  bool OmitAvih = false;
  std::string ExtraIdx1;      // raw 16-byte entries appended to 'idx1'
  std::string TopLevelJunk;   // a 'JUNK' chunk of this data between 'hdrl' and 'movi'
  std::string HdrlExtra;      // chunks (their bytes) at the end of 'hdrl'
  std::string TopLevelExtra;  // chunks (their bytes) before 'movi'

  int AddStream(const TAVIStreamHeader& Header, const std::string& Format);
  void AddChunk(int Stream, uint32_t Size, bool KeyFrame = true);
  void AddChunkData(int Stream, const std::string& Data, bool KeyFrame = true);

  std::string Build() const;
  // Builds and writes to FileName.
  void Write(const std::string& FileName) const;

  // After Build: file position of each chunk's data, in ChunkList order.
  mutable std::vector<int64_t> DataPositions;
};

// A file with one 'vids' stream (Rate 25) and optionally one PCM 'auds' stream of
// 44100 Hz 16-bit stereo; Frames video chunks of 100 + i bytes interleaved with audio
// chunks of 1764 bytes; key frames every 5th frame.
TAVIBuilder SimpleAVI(int Frames, bool Audio, TIndexKind Index);

}  // namespace rw::test
