// The OpenDML two-level index: an 'indx' super index in each stream list pointing to
// 'ix##' standard indexes anywhere in the file.
#include <algorithm>
#include <memory>
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

// The entries of an index whose header lies whole at Position that the file holds, whatever
// the header claims.
uint32_t HeldEntries(const TFileReadBuffer& Buffer, int64_t Position, const TIndexHeader& Header) {
  const int64_t room = Buffer.FileSize() - Position - riff::IndexHeaderSize;
  return static_cast<uint32_t>(
      std::min<int64_t>(Header.EntriesInUse, room / riff::StdIndexEntrySize));
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
  if (h.Type == riff::AVI_INDEX_OF_CHUNKS) {
    ReserveIndex(std::min<uint64_t>(StandardIndexEntries(buffer, FIndxPos), FReader.FIndexBudget));
    return ReadStandardIndex(buffer, FIndxPos);
  }
  if (h.Type != riff::AVI_INDEX_OF_INDEXES) {
    FReader.FIndexProblem = "Unsupported type of super index: " + std::to_string(h.Type);
    return false;
  }
  // Calls Each(position) for every standard index the super index lists; stops and returns
  // false as soon as Each returns false.
  auto forEachStandardIndex = [&](auto&& Each) {
    for (uint32_t i = 0; i < h.EntriesInUse; ++i) {
      uint8_t e[riff::SuperIndexEntrySize];
      const int64_t at =
          FIndxPos + riff::IndexHeaderSize + static_cast<int64_t>(i) * riff::SuperIndexEntrySize;
      if (buffer.ReadAt(e, sizeof e, at) < sizeof e) break;
      if (!Each(static_cast<int64_t>(GetLE64(e)))) return false;
    }
    return true;
  };
  // The stream's index gets room for the entries of all its standard indexes at once.
  uint64_t entries = 0;
  forEachStandardIndex([&](int64_t Position) {
    entries += StandardIndexEntries(buffer, Position);
    return true;
  });
  ReserveIndex(std::min<uint64_t>(entries, FReader.FIndexBudget));
  return forEachStandardIndex(
      [&](int64_t Position) { return ReadStandardIndex(buffer, Position); });
}

uint32_t TAVIStream::StandardIndexEntries(TFileReadBuffer& Buffer, int64_t Position) {
  TIndexHeader h;
  if (!ReadIndexHeader(Buffer, Position, h) || h.Type != riff::AVI_INDEX_OF_CHUNKS) return 0;
  return HeldEntries(Buffer, Position, h);
}

bool TAVIStream::ReadStandardIndex(TFileReadBuffer& Buffer, int64_t Position) {
  TIndexHeader h;
  // A standard index past the end of the file (a file cut short) holds nothing.
  if (!ReadIndexHeader(Buffer, Position, h)) return true;
  if (h.Type != riff::AVI_INDEX_OF_CHUNKS) {
    FReader.FIndexProblem = "Unsupported type of chunk index: " + std::to_string(h.Type);
    return false;
  }
  // The entries are read a block at a time and parsed from memory.
  const uint32_t n = HeldEntries(Buffer, Position, h);
  const uint32_t blockEntries =
      std::min(n, TAVIFileReader::IndexBlockBytes / riff::StdIndexEntrySize);
  const std::unique_ptr<uint8_t[]> block =
      TAVIFileReader::NewIndexBlock(size_t{blockEntries} * riff::StdIndexEntrySize);
  for (uint32_t first = 0; first < n; first += blockEntries) {
    const size_t bytes = size_t{std::min(blockEntries, n - first)} * riff::StdIndexEntrySize;
    FReader.ReadIndexBlock(
        block.get(), bytes,
        Position + riff::IndexHeaderSize + static_cast<int64_t>(first) * riff::StdIndexEntrySize);
    for (const uint8_t* e = block.get(); e < block.get() + bytes; e += riff::StdIndexEntrySize) {
      const uint32_t size = GetLE32(e + 4);
      const int64_t pos = static_cast<int64_t>(h.BaseOffset + GetLE32(e));
      if (!AddIndexEntry(size & ~riff::StdIndexNoKeyFrame, (size & riff::StdIndexNoKeyFrame) == 0,
                         pos))
        return true;
    }
  }
  return true;
}

}  // namespace rw
