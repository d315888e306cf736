// Choosing between the file's own index and a walk of its data: when the index is missing,
// damaged, cut short or points elsewhere, every stream's chunks are found by walking the
// 'movi' lists of the first RIFF container and of the RIFF parts after it, within the file's
// real size, as other players do.
#include <algorithm>
#include <utility>
#include <vector>

#include "media/AVIRead.h"
#include "media/FileReadBuffer.h"

namespace rw {

namespace {

// Chunk headers lie mostly in file order: they are read through a window of this size.
constexpr uint32_t WalkWindow = 65536;

bool IsLetter(uint8_t C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
bool IsHexDigit(uint8_t C) { return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F'); }
bool IsPrintable(const uint8_t* Id) {
  return std::all_of(Id, Id + 4, [](uint8_t C) { return C >= 0x20 && C < 0x7F; });
}

}  // namespace

void TAVIFileReader::ReadIndexes() {
  const bool present = FIsOpenDML || FIdx1Pos >= 0;
  TIndexState state = TIndexState::Wrong;
  if (!present) FIndexProblem = "The index is not found";
  if (present && (FIsOpenDML ? ReadOpenDMLIndexes() : ReadOldIndex())) state = CheckIndex();
  if (state != TIndexState::Whole) WalkMovi(state == TIndexState::Short);
  for (auto& s : FStreams) s->TrimIndex();
}

TAVIFileReader::TIndexState TAVIFileReader::CheckIndex() {
  // A chunk listed twice, or entries that point into each other, are damage: copied, such an
  // index would repeat the same data as often as it lists it.
  for (auto& s : FStreams)
    if (s->HasOverlappingEntries()) return TIndexState::Wrong;
  uint64_t total = 0;
  for (auto& s : FStreams) {
    total += s->ChunkCount();
    // A stream that declares a length but has no entries at all.
    if (s->ChunkCount() == 0 && s->Header.Length > 0) return TIndexState::Short;
  }
  if (total == 0) return TIndexState::Short;
  // Video frames are one chunk each: fewer entries than the declared length.
  if (FVideoStream && FVideoStream->Header.SampleSize == 0 &&
      (FVideoStream->ChunkCount() == 0 || FVideoStream->ChunkCount() < FVideoStream->Header.Length))
    return TIndexState::Short;
  // The first entry of every stream must point just behind a header of its own chunk.
  for (auto& s : FStreams) {
    TAVIIndexEntry e;
    if (!s->GetIndexEntry(0, e)) continue;
    uint8_t head[riff::ChunkHeaderSize];
    if (e.FilePos < static_cast<int64_t>(sizeof head) ||
        FFile.ReadAt(head, sizeof head, e.FilePos - static_cast<int64_t>(sizeof head)) <
            sizeof head ||
        !s->IsChunkHeader(head, e.Size))
      return TIndexState::Wrong;
  }
  return TIndexState::Whole;
}

bool TAVIFileReader::RestartWalkFromData(int StreamIndex, uint32_t ChunkIndex) {
  if (FIndexIsWalked) return false;
  FStreams.at(static_cast<size_t>(StreamIndex))->FChunkCursor = ChunkIndex;
  WalkMovi(false);
  for (auto& s : FStreams) s->TrimIndex();
  return true;
}

void TAVIFileReader::WalkMovi(bool KeepBetter) {
  const size_t n = FStreams.size();
  std::vector<TAVIStream::TIndex> saved(n);
  for (size_t i = 0; i < n; ++i) saved[i] = std::exchange(FStreams[i]->FIndex, {});
  FIndexBudget = static_cast<uint64_t>(FFileSize) / 8;

  TFileReadBuffer buffer(FFile, WalkWindow);
  const int64_t moviEnd = FMoviPos + static_cast<int64_t>(FMoviSize) - 4;
  if (FMoviSize < 4 || moviEnd > FFileSize) {
    // The list's size was never written (a recording that stopped) or the file was cut: the
    // data runs on to the end of the file, RIFF parts after the first included.
    WalkMoviList(buffer, FMoviPos, FFileSize);
  } else {
    WalkMoviList(buffer, FMoviPos, moviEnd);
    // The RIFF parts that follow the first one, each with its own 'movi' list.
    int64_t pos = FRiffEnd;
    uint8_t head[riff::ListHeaderSize];
    while (pos + static_cast<int64_t>(sizeof head) <= FFileSize &&
           FFile.ReadAt(head, sizeof head, pos) == sizeof head && GetLE32(head) == riff::ckRIFF) {
      const uint32_t size = GetLE32(head + 4);
      const TChunkList part = ScanChunks(pos + static_cast<int64_t>(sizeof head), size);
      if (const TChunkInfo* movi = FindChunk(part, riff::ckLIST, riff::listMovi)) {
        const int64_t end = movi->DataPos + static_cast<int64_t>(movi->Size) - 4;
        WalkMoviList(buffer, movi->DataPos, std::min(end, FFileSize));
      }
      pos += static_cast<int64_t>(ChunkSpan(size));
    }
  }

  uint64_t walkedVideo = 0, walkedAll = 0, earlierVideo = 0, earlierAll = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint64_t walked = FStreams[i]->ChunkCount();
    const uint64_t earlier = saved[i].Entries.size();
    walkedAll += walked;
    earlierAll += earlier;
    if (FStreams[i].get() == FVideoStream) {
      walkedVideo = walked;
      earlierVideo = earlier;
    }
  }
  const bool better =
      walkedVideo > earlierVideo || (walkedVideo == earlierVideo && walkedAll > earlierAll);
  if (KeepBetter && !better) {
    for (size_t i = 0; i < n; ++i) FStreams[i]->FIndex = std::move(saved[i]);
    return;
  }
  // The chunk headers say nothing of key frames: they come from the earlier index where it lists
  // the same chunk; other pictures count as none (only a reader of their codec can tell, from
  // their bytes), other chunks (sound) as key frames.
  for (size_t i = 0; i < n; ++i) FStreams[i]->TakeKeyFrames(saved[i]);
  FIndexIsWalked = true;
  FQueueValid = false;
}

void TAVIFileReader::WalkMoviList(TFileReadBuffer& Buffer, int64_t Begin, int64_t End) {
  int64_t pos = Begin;
  // After bytes that are no chunk header, only a header that can be nothing else ends the
  // search, which goes on byte by byte.
  bool lost = false;
  while (pos + static_cast<int64_t>(riff::ChunkHeaderSize) <= End) {
    uint8_t h[riff::ListHeaderSize];
    const uint32_t got = Buffer.ReadAt(h, sizeof h, pos);
    if (got < riff::ChunkHeaderSize) return;
    const uint32_t id = GetLE32(h);
    const uint32_t size = GetLE32(h + 4);
    const int64_t dataEnd = pos + static_cast<int64_t>(riff::ChunkHeaderSize) + size;
    const bool fits = dataEnd <= End;
    const int64_t next = pos + static_cast<int64_t>(ChunkSpan(size));

    if ((id == riff::ckLIST || id == riff::ckRIFF) && got == sizeof h) {
      const uint32_t type = GetLE32(h + 8);
      if (type == riff::listRec || type == riff::listMovi ||
          (id == riff::ckRIFF && (type == riff::formAVIX || type == riff::formAVI))) {
        // A list of data chunks, or a further RIFF part: its chunks follow, as far as the
        // file holds them.
        pos += riff::ListHeaderSize;
        lost = false;
        continue;
      }
      if (!lost && fits) {
        pos = next;
        continue;
      }
    }
    // An index that the file ends in: the data is over.
    if (id == riff::ckIdx1 && !fits && !lost) return;
    TAVIStream* stream = IsLetter(h[2]) && IsLetter(h[3]) ? StreamOfChunkId(h) : nullptr;
    if (stream) {
      const int64_t data = pos + static_cast<int64_t>(riff::ChunkHeaderSize);
      uint32_t dataSize = size;
      int64_t after = next;
      bool sizeFromWalk = false;
      // A chunk that follows whole data ends where its size says when another chunk starts
      // there. Where none does, a size that is damaged (too large, past the end of the data) is
      // told from a damaged next header by a chunk that starts inside the span it claims: the
      // chunk's data then runs up to that header, as a player that resyncs on it reads it.
      if (!lost && (!fits || (next + static_cast<int64_t>(riff::ChunkHeaderSize) <= End &&
                              !IsChunkStart(Buffer, next, End, true)))) {
        const int64_t found = FindChunkStart(Buffer, data, fits ? next : End, End);
        if (found >= 0) {
          dataSize = static_cast<uint32_t>(found - data);
          after = found;
          sizeFromWalk = true;
        }
      }
      if (fits || sizeFromWalk) {
        const bool picture =
            stream->Header.Type == riff::streamVids || stream->Header.Type == riff::streamIavs;
        if (!stream->AddIndexEntry(dataSize, !picture, data, sizeFromWalk)) return;
        pos = after;
        lost = false;
        continue;
      }
    }
    const bool named = h[0] == 'i' && h[1] == 'x' && IsHexDigit(h[2]) && IsHexDigit(h[3]);
    if (fits && (named || id == riff::ckJUNK || (!lost && IsPrintable(h)))) {
      // An index, filler or any other named chunk: passed over.
      pos = next;
      lost = false;
      continue;
    }
    lost = true;
    ++pos;
  }
}

bool TAVIFileReader::IsChunkStart(TFileReadBuffer& Buffer, int64_t Pos, int64_t End,
                                  bool AnyName) const {
  if (Pos < 0 || Pos + static_cast<int64_t>(riff::ChunkHeaderSize) > End) return false;
  uint8_t h[riff::ListHeaderSize];
  const uint32_t got = Buffer.ReadAt(h, sizeof h, Pos);
  if (got < riff::ChunkHeaderSize) return false;
  const uint32_t id = GetLE32(h);
  const bool fits =
      Pos + static_cast<int64_t>(riff::ChunkHeaderSize) + static_cast<int64_t>(GetLE32(h + 4)) <=
      End;
  if ((id == riff::ckLIST || id == riff::ckRIFF) && got == sizeof h) {
    const uint32_t type = GetLE32(h + 8);
    return type == riff::listRec || type == riff::listMovi || type == riff::formAVIX || fits;
  }
  if (id == riff::ckIdx1) return true;
  const bool named = h[0] == 'i' && h[1] == 'x' && IsHexDigit(h[2]) && IsHexDigit(h[3]);
  if (named || id == riff::ckJUNK || (AnyName && IsPrintable(h))) return fits;
  return fits && IsLetter(h[2]) && IsLetter(h[3]) && StreamOfChunkId(h) != nullptr;
}

int64_t TAVIFileReader::FindChunkStart(TFileReadBuffer& Buffer, int64_t From, int64_t To,
                                       int64_t End) const {
  for (int64_t pos = From; pos < To; ++pos)
    if (IsChunkStart(Buffer, pos, End)) return pos;
  return -1;
}

}  // namespace rw
