#pragma once
// Checks of written AVI files by an independent reader (ffprobe, ffmpeg) and a plain RIFF walk
// for byte-level assertions.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rw::test {

// Packets per stream type as ffprobe counts them ("video" -> 25, "audio" -> 40).
std::map<std::string, int> ProbePacketCounts(const std::string& FileName);
// What `ffmpeg -v error -i FILE -f null -` prints (empty for a clean decode), or a note when
// ffmpeg could not be run or failed.
std::string DecodeErrors(const std::string& FileName);

struct TRiffChunk {
  std::string Id;
  std::string ListType;  // for 'RIFF' and 'LIST'
  uint64_t Offset = 0;   // of the 8-byte header
  uint32_t Size = 0;
  uint64_t DataPos() const { return Offset + 8; }
};

// The chunks of one level between Begin and End of the file's bytes.
std::vector<TRiffChunk> ListChunks(const std::string& Bytes, uint64_t Begin, uint64_t End);
// The chunks inside a 'RIFF' or 'LIST' chunk.
std::vector<TRiffChunk> ListChunks(const std::string& Bytes, const TRiffChunk& Container);
// The first chunk of the list with this id (and list type, when given); throws when absent.
TRiffChunk FindChunk(const std::vector<TRiffChunk>& Chunks, const std::string& Id,
                     const std::string& ListType = "");
uint32_t U32At(const std::string& Bytes, uint64_t Offset);
uint64_t U64At(const std::string& Bytes, uint64_t Offset);

// Reads only the top-level chunk headers of a file that may be too large to load.
std::vector<TRiffChunk> ListTopLevel(const std::string& FileName);

}  // namespace rw::test
