#pragma once
// The check of a join's output before it takes the output's place: its headers and indexes are
// read back with the AVI reader (nothing is decoded, no data read) and compared with what the
// writer says it wrote.
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

// What a writer wrote into one AVI file, stream by stream in the order of their headers.
struct TAVIWritten {
  struct TStream {
    uint32_t Chunks = 0;
    uint64_t Bytes = 0;
    uint32_t Length = 0;   // the stream header's
    uint64_t Entries = 0;  // IndexFingerprint over its chunks, in the order written
  };
  std::vector<TStream> Streams;
  uint32_t TotalFrames = 0;    // the main header's (the first RIFF part's pictures)
  uint32_t LegacyEntries = 0;  // of 'idx1', 0 when it has none
};

// Adds one chunk (where its data lie, its size, whether it is a key frame) to Hash.
uint64_t IndexFingerprint(uint64_t Hash, int64_t FilePos, uint32_t Size, bool KeyFrame);

// Reads FileName's headers and indexes back and raises "The output file OutFileName is not as
// it was written: " + what differs, when they differ from Written: the streams, each stream's
// chunk count, bytes, header length and index entries (each where its chunk was written, of
// its size), the frame total, the legacy index's entries; an index the reader does not take
// whole counts as a difference.
void CheckReadBack(const std::string& FileName, const std::string& OutFileName,
                   const TAVIWritten& Written);

// For an output another writer made (the recompressing join's engine), whose account is not
// known: reads FileName's headers and indexes back and raises the same failure when its index
// does not lead to its chunks, or its video stream's index holds another number of pictures
// than its header counts, or none.
void CheckReadBackWhole(const std::string& FileName, const std::string& OutFileName);

}  // namespace rw
