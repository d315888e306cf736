// The OpenDML two-level index: an 'indx' super index in each stream list pointing to
// 'ix##' standard indexes anywhere in the file.
#include <string>

#include "media/AVIRead.h"
#include "media/FileReadBuffer.h"

namespace rw {

namespace {
constexpr uint32_t IndexWindow = 8192;

struct TIndexHeader {
  uint8_t Type = 0;
  uint32_t EntriesInUse = 0;
  uint64_t BaseOffset = 0;
};

// Reads the 32-byte header shared by both index levels; false when it is not all there.
bool ReadIndexHeader(TFileReadBuffer& Buffer, int64_t Position, TIndexHeader& Header) {
  uint8_t h[riff::IndexHeaderSize];
  if (Buffer.ReadAt(h, sizeof h, Position) < sizeof h) return false;
  Header.Type = h[riff::IndexTypeOffset];
  Header.EntriesInUse = GetLE32(h + riff::IndexEntriesInUseOffset);
  Header.BaseOffset = GetLE64(h + riff::IndexBaseOffsetOffset);
  return true;
}
}  // namespace

bool TAVIFileReader::ReadOpenDMLIndexes() {
  for (auto& s : FStreams)
    if (!s->ReadSuperIndex()) return false;
  return true;
}

bool TAVIStream::ReadSuperIndex() {
  // A stream without its own 'indx' in an OpenDML file has no index position: no entries.
  if (FIndxPos < 0) return true;
  TFileReadBuffer buffer(FReader.File(), IndexWindow);
  TIndexHeader h;
  if (!ReadIndexHeader(buffer, FIndxPos, h)) return true;
  if (h.Type == riff::AVI_INDEX_OF_CHUNKS) return ReadStandardIndex(buffer, FIndxPos);
  if (h.Type != riff::AVI_INDEX_OF_INDEXES) {
    FReader.FIndexProblem = "Unsupported type of super index: " + std::to_string(h.Type);
    return false;
  }
  for (uint32_t i = 0; i < h.EntriesInUse; ++i) {
    uint8_t e[riff::SuperIndexEntrySize];
    const int64_t at =
        FIndxPos + riff::IndexHeaderSize + static_cast<int64_t>(i) * riff::SuperIndexEntrySize;
    if (buffer.ReadAt(e, sizeof e, at) < sizeof e) break;
    if (!ReadStandardIndex(buffer, static_cast<int64_t>(GetLE64(e)))) return false;
  }
  return true;
}

bool TAVIStream::ReadStandardIndex(TFileReadBuffer& Buffer, int64_t Position) {
  TIndexHeader h;
  // A standard index past the end of the file (a file cut short) holds nothing.
  if (!ReadIndexHeader(Buffer, Position, h)) return true;
  if (h.Type != riff::AVI_INDEX_OF_CHUNKS) {
    FReader.FIndexProblem = "Unsupported type of chunk index: " + std::to_string(h.Type);
    return false;
  }
  for (uint32_t i = 0; i < h.EntriesInUse; ++i) {
    uint8_t e[riff::StdIndexEntrySize];
    const int64_t at =
        Position + riff::IndexHeaderSize + static_cast<int64_t>(i) * riff::StdIndexEntrySize;
    if (Buffer.ReadAt(e, sizeof e, at) < sizeof e) break;
    const uint32_t size = GetLE32(e + 4);
    const int64_t pos = static_cast<int64_t>(h.BaseOffset + GetLE32(e));
    if (!AddIndexEntry(size & ~riff::StdIndexNoKeyFrame, (size & riff::StdIndexNoKeyFrame) == 0,
                       pos))
      break;
  }
  return true;
}

}  // namespace rw
