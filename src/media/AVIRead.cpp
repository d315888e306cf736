// The RIFF walk, the main header and the stream list of the AVI reader.
#include <cstring>

#include "media/AVIRead.h"

namespace rw {

TAVIFileReader::~TAVIFileReader() {
  Close();
  ClearChunks();
}

void TAVIFileReader::Close() {
  FVideoStream = nullptr;
  FAudioStream = nullptr;
  FQueue.clear();
  FQueueValid = false;
  FIndexIsWalked = false;
  FStreams.clear();
  FFile.Close();
}

int64_t TAVIFileReader::GetFileSize() const { return FFile.Size(); }

uint32_t TAVIFileReader::Read(void* Dest, uint32_t Count) {
  uint32_t n = static_cast<uint32_t>(FFile.ReadAt(Dest, Count, FPosition));
  FPosition += n;
  return n;
}

void TAVIFileReader::ScanChunks(uint32_t Size) {
  ClearChunks();
  const int64_t end = FPosition + static_cast<int64_t>(Size) - 4;
  // Every pass moves on by at least 8 bytes and a short header read ends the level, so the
  // walk stays within the file whatever the size fields claim; a level of more chunks than any
  // header holds is cut, so that neither time nor memory follows a file's made-up lists.
  while (FPosition < end && FChunks.size() < MaxLevelChunks) {
    uint8_t head[riff::ListHeaderSize];
    uint32_t got = Read(head, sizeof head);
    if (got < riff::ChunkHeaderSize) break;
    TRIFFChunkInfo info;
    info.Id = GetLE32(head);
    info.Size = GetLE32(head + 4);
    const int64_t headerStart = FPosition - got;
    if (info.Id == riff::ckLIST) {
      if (got < riff::ListHeaderSize) break;
      info.ListType = GetLE32(head + 8);
      info.DataPos = headerStart + riff::ListHeaderSize;
      FPosition = info.DataPos + static_cast<int64_t>(info.Size) - 4 + (info.Size & 1);
    } else {
      info.DataPos = headerStart + riff::ChunkHeaderSize;
      FPosition = info.DataPos + static_cast<int64_t>(info.Size) + (info.Size & 1);
    }
    FChunks.push_back(info);
  }
}

const TRIFFChunkInfo* TAVIFileReader::FindChunk(uint32_t Id, uint32_t ListType) const {
  for (const TRIFFChunkInfo& c : FChunks)
    if (c.Id == Id && c.ListType == ListType) return &c;
  return nullptr;
}

void TAVIFileReader::Open(const std::string& FileName, bool HeaderOnly) {
  FIsOpenDML = false;
  Close();
  FFile = TFile::OpenRead(FileName);
  FFileSize = FFile.Size();
  FIndexBudget = static_cast<uint64_t>(FFileSize) / 8;
  FPosition = 0;

  uint8_t head[riff::ListHeaderSize];
  if (Read(head, sizeof head) < sizeof head || GetLE32(head) != riff::ckRIFF ||
      GetLE32(head + 8) != riff::formAVI)
    throw EAVIReadError("The file has unknown format");
  FRiffEnd = static_cast<int64_t>(ChunkSpan(GetLE32(head + 4)));
  ScanChunks(GetLE32(head + 4));

  const TRIFFChunkInfo* hdrl = FindChunk(riff::ckLIST, riff::listHdrl);
  if (!hdrl) throw EAVIReadError("The header is not found");
  FHdrlPos = hdrl->DataPos;
  FHdrlSize = hdrl->Size;
  const TRIFFChunkInfo* movi = FindChunk(riff::ckLIST, riff::listMovi);
  if (!movi) throw EAVIReadError("The data is not found");
  FMoviPos = movi->DataPos;
  FMoviSize = movi->Size;
  const TRIFFChunkInfo* idx1 = FindChunk(riff::ckIdx1, 0);
  FIdx1Pos = idx1 ? idx1->DataPos : -1;
  FIdx1Size = idx1 ? idx1->Size : 0;

  ReadHeaders();
  ClearChunks();

  if (!HeaderOnly) ReadIndexes();
}

void TAVIFileReader::ReadHeaders() {
  Seek(FHdrlPos);
  ScanChunks(FHdrlSize);
  const TRIFFChunkInfo* avih = FindChunk(riff::ckAvih, 0);
  if (!avih) throw EAVIReadError("The main header is not found");
  // 56 bytes whatever the chunk's size; what the file does not have reads as 0.
  uint8_t main[riff::MainHeaderSize] = {};
  Seek(avih->DataPos);
  Read(main, sizeof main);
  FMainHeader = LoadRecord<TAVIMainHeader>(main);

  // All streams are made before any is read: reading one rescans the chunk list. Chunk ids
  // can name no more than MaxStreams streams; later lists are left alone.
  for (const TRIFFChunkInfo& c : FChunks)
    if (c.Id == riff::ckLIST && c.ListType == riff::listStrl &&
        FStreams.size() < static_cast<size_t>(MaxStreams))
      FStreams.push_back(std::make_unique<TAVIStream>(*this, c.DataPos, c.Size));

  for (size_t i = 0; i < FStreams.size(); ++i) {
    TAVIStream& s = *FStreams[i];
    s.ReadHeaders(static_cast<unsigned>(i));
    if (s.IndxPos() >= 0) FIsOpenDML = true;
    const uint32_t type = s.Header.Type;
    if ((type == riff::streamVids || type == riff::streamIavs) && !FVideoStream)
      FVideoStream = &s;
    if (type == riff::streamAuds && !FAudioStream) FAudioStream = &s;
  }
}

TAVIStream* TAVIFileReader::StreamOfChunkId(const uint8_t* Id) const {
  // The stream number is two upper-case hexadecimal digits, as StreamIdText writes it.
  auto digit = [](uint8_t C) {
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
  };
  const int high = digit(Id[0]), low = digit(Id[1]);
  if (high < 0 || low < 0) return nullptr;
  const size_t n = static_cast<size_t>(high * 16 + low);
  return n < FStreams.size() ? FStreams[n].get() : nullptr;
}

bool TAVIFileReader::TakeIndexEntry() {
  if (FIndexBudget == 0) return false;
  --FIndexBudget;
  return true;
}

}  // namespace rw
