// The RIFF walk, the main header and the stream list of the AVI reader.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "media/AVIFacts.h"
#include "media/AVIRead.h"

#include "formats/SourceStreams.h"

namespace rw {

TAVIFileReader::~TAVIFileReader() { Close(); }

void TAVIFileReader::Close() {
  FVideoStream = nullptr;
  FAudioStream = nullptr;
  FQueue.clear();
  FQueueValid = false;
  FIndexIsWalked = false;
  FIndexProblem.clear();
  FFacts = TAVIFacts{};
  FStreams.clear();
  FFile.Close();
}

int64_t TAVIFileReader::GetFileSize() const { return FFile.Size(); }

uint32_t TAVIFileReader::ReadAt(void* Dest, uint32_t Count, int64_t Position) {
  return static_cast<uint32_t>(FFile.ReadAt(Dest, Count, Position));
}

std::unique_ptr<uint8_t[]> TAVIFileReader::NewIndexBlock(size_t Bytes) {
  try {
    return std::make_unique_for_overwrite<uint8_t[]>(std::min<size_t>(Bytes, IndexBlockBytes));
  } catch (const std::bad_alloc&) {
    throw Exception("Out of memory");
  }
}

void TAVIFileReader::ReadIndexBlock(uint8_t* Dest, size_t Count, int64_t Position) {
  if (FFile.ReadAt(Dest, Count, Position) != Count) throw Exception("Unable to read file");
}

TAVIFileReader::TChunkList TAVIFileReader::ScanChunks(int64_t Begin, uint32_t Size) {
  TChunkList chunks;
  int64_t pos = Begin;
  const int64_t end = Begin + static_cast<int64_t>(Size) - 4;
  // Every pass moves on by at least 8 bytes and a short header read ends the level, so the
  // walk stays within the file whatever the size fields claim; a level of more chunks than any
  // header holds is cut, so that neither time nor memory follows a file's made-up lists.
  while (pos < end && chunks.size() < MaxLevelChunks) {
    uint8_t head[riff::ListHeaderSize];
    const uint32_t got = ReadAt(head, sizeof head, pos);
    if (got < riff::ChunkHeaderSize) break;
    TChunkInfo info;
    info.Id = GetLE32(head);
    info.Size = GetLE32(head + 4);
    if (info.Id == riff::ckLIST) {
      if (got < riff::ListHeaderSize) break;
      info.ListType = GetLE32(head + 8);
      info.DataPos = pos + riff::ListHeaderSize;
      pos = info.DataPos + static_cast<int64_t>(info.Size) - 4 + (info.Size & 1);
      // Tools write the texts' list with sizes that miss by a byte, or 0, or all ones. When
      // its size leads to no chunk and its texts end where one starts, the list ends there,
      // so that a damaged list of texts never hides the data after it.
      if (info.ListType == riff::listInfo && !StartsHeaderChunk(pos)) {
        const int64_t textsEnd = InfoTextsEnd(info.DataPos);
        if (textsEnd != pos && StartsHeaderChunk(textsEnd)) {
          pos = textsEnd;
          info.Size = static_cast<uint32_t>(textsEnd - info.DataPos + 4);
        }
      }
    } else {
      info.DataPos = pos + riff::ChunkHeaderSize;
      pos = info.DataPos + static_cast<int64_t>(info.Size) + (info.Size & 1);
    }
    chunks.push_back(info);
  }
  return chunks;
}

int64_t TAVIFileReader::InfoTextsEnd(int64_t DataPos) {
  int64_t pos = DataPos;
  for (size_t n = 0; n < MaxLevelChunks && pos < FFileSize; ++n) {
    uint8_t head[riff::ChunkHeaderSize];
    if (ReadAt(head, sizeof head, pos) < sizeof head) break;
    const uint32_t id = GetLE32(head);
    if (!IsInfoId(id) || id == riff::ckLIST || id == riff::ckJUNK || id == riff::ckRIFF) break;
    const uint32_t size = GetLE32(head + 4);
    pos += static_cast<int64_t>(riff::ChunkHeaderSize) + size + (size & 1);
  }
  return pos;
}

bool TAVIFileReader::StartsHeaderChunk(int64_t Position) {
  uint8_t head[4];
  if (Position < 0 || ReadAt(head, sizeof head, Position) < sizeof head) return false;
  const uint32_t id = GetLE32(head);
  return id == riff::ckLIST || id == riff::ckJUNK || id == riff::ckIdx1 || id == riff::ckRIFF ||
         id == riff::ckStrh || id == riff::ckStrf || id == riff::ckAvih;
}

const TAVIFileReader::TChunkInfo* TAVIFileReader::FindChunk(const TChunkList& Chunks, uint32_t Id,
                                                            uint32_t ListType) {
  for (const TChunkInfo& c : Chunks)
    if (c.Id == Id && c.ListType == ListType) return &c;
  return nullptr;
}

void TAVIFileReader::Open(const std::string& FileName, bool HeaderOnly) {
  FIsOpenDML = false;
  Close();
  FFile = TFile::OpenRead(FileName);
  FFileSize = FFile.Size();
  FIndexBudget = static_cast<uint64_t>(FFileSize) / 8;

  uint8_t head[riff::ListHeaderSize];
  if (ReadAt(head, sizeof head, 0) < sizeof head || GetLE32(head) != riff::ckRIFF ||
      GetLE32(head + 8) != riff::formAVI)
    throw EAVIReadError("The file has unknown format");
  // The first RIFF container ends where its size says unless that size cannot be right: past
  // the end of the file, or too small to hold the headers and the data (0 where a recording
  // stopped before it was written). It then runs to the end of the file, as far as a player
  // reads it. Either way it ends where the next RIFF part begins: a size that reaches over the
  // parts that follow counts them in none of the first.
  const int64_t room = FFileSize - static_cast<int64_t>(riff::ChunkHeaderSize);
  auto scanTop = [&](uint32_t Size) {
    TChunkList chunks = ScanChunks(sizeof head, Size);
    FRiffEnd = static_cast<int64_t>(ChunkSpan(Size));
    for (size_t i = 0; i < chunks.size(); ++i) {
      if (chunks[i].Id != riff::ckRIFF) continue;
      FRiffEnd = chunks[i].DataPos - static_cast<int64_t>(riff::ChunkHeaderSize);
      chunks.resize(i);
      break;
    }
    return chunks;
  };
  const uint32_t toEnd = static_cast<uint32_t>(std::clamp<int64_t>(room, 4, UINT32_MAX - 1));
  const uint32_t stored = GetLE32(head + 4);
  TChunkList top = scanTop(static_cast<int64_t>(stored) > room ? toEnd : stored);
  if (stored < toEnd && (!FindChunk(top, riff::ckLIST, riff::listHdrl) ||
                         !FindChunk(top, riff::ckLIST, riff::listMovi)))
    top = scanTop(toEnd);

  const TChunkInfo* hdrl = FindChunk(top, riff::ckLIST, riff::listHdrl);
  if (!hdrl) throw EAVIReadError("The header is not found");
  FHdrlPos = hdrl->DataPos;
  FHdrlSize = hdrl->Size;
  const TChunkInfo* movi = FindChunk(top, riff::ckLIST, riff::listMovi);
  if (!movi) throw EAVIReadError("The data is not found");
  FMoviPos = movi->DataPos;
  FMoviSize = movi->Size;
  const TChunkInfo* idx1 = FindChunk(top, riff::ckIdx1, 0);
  FIdx1Pos = idx1 ? idx1->DataPos : -1;
  FIdx1Size = idx1 ? idx1->Size : 0;

  ReadHeaders();
  ReadFacts(top);

  if (!HeaderOnly) ReadIndexes();
}

void TAVIFileReader::ReadFacts(const TChunkList& Top) {
  FFacts = TAVIFacts{};
  // Texts are read no further than the facts keep them.
  auto text = [&](const TChunkInfo& C) {
    std::string bytes(std::min<size_t>(C.Size, TAVIFacts::MaxText + 1), '\0');
    bytes.resize(ReadAt(bytes.data(), static_cast<uint32_t>(bytes.size()), C.DataPos));
    return CleanFactText(bytes.data(), bytes.size());
  };
  const TChunkList hdrl = ScanChunks(FHdrlPos, FHdrlSize);
  if (const TChunkInfo* idit = FindChunk(hdrl, FourCC("IDIT"), 0))
    FFacts.RecordingDate = text(*idit);
  for (const TChunkList* level : {&hdrl, &Top})
    for (const TChunkInfo& list : *level) {
      if (list.Id != riff::ckLIST || list.ListType != riff::listInfo) continue;
      for (const TChunkInfo& c : ScanChunks(list.DataPos, list.Size)) {
        if (FFacts.Info.size() >= TAVIFacts::MaxInfoEntries) return;
        if (IsInfoId(c.Id)) FFacts.SetInfo(c.Id, text(c));
      }
    }
}

void TAVIFileReader::ReadHeaders() {
  const TChunkList hdrl = ScanChunks(FHdrlPos, FHdrlSize);
  const TChunkInfo* avih = FindChunk(hdrl, riff::ckAvih, 0);
  if (!avih) throw EAVIReadError("The main header is not found");
  // 56 bytes whatever the chunk's size; what the file does not have reads as 0.
  uint8_t main[riff::MainHeaderSize] = {};
  ReadAt(main, sizeof main, avih->DataPos);
  FMainHeader = LoadRecord<TAVIMainHeader>(main);

  // Chunk ids can name no more than MaxStreams streams; later lists are left alone.
  for (const TChunkInfo& c : hdrl) {
    if (c.Id != riff::ckLIST || c.ListType != riff::listStrl) continue;
    if (FStreams.size() == static_cast<size_t>(MaxStreams)) break;
    FStreams.push_back(std::unique_ptr<TAVIStream>(new TAVIStream(*this, c.DataPos, c.Size)));
    TAVIStream& s = *FStreams.back();
    s.ReadHeaders(static_cast<unsigned>(FStreams.size() - 1));
    if (s.FIndxPos >= 0) FIsOpenDML = true;
    TakeSourceStreams();
  }
}

void TAVIFileReader::TakeSourceStreams() {
  const int count = StreamCount();
  const int video = SourceStream(count, [&](int I) {
    const uint32_t type = FStreams[static_cast<size_t>(I)]->Header.Type;
    return type == riff::streamVids || type == riff::streamIavs;
  });
  const int audio = SourceStream(count, [&](int I) {
    return FStreams[static_cast<size_t>(I)]->Header.Type == riff::streamAuds;
  });
  FVideoStream = video < 0 ? nullptr : FStreams[static_cast<size_t>(video)].get();
  FAudioStream = audio < 0 ? nullptr : FStreams[static_cast<size_t>(audio)].get();
}

}  // namespace rw
