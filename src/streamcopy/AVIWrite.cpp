#include "streamcopy/AVIWrite.h"

#include <algorithm>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {

namespace {

constexpr int64_t MovieAlignment = 2048;
constexpr int64_t PartLimit = int64_t{1} << 30;
constexpr uint32_t BufferSizeMargin = 1024;

bool IsVideoType(uint32_t Type) { return Type == riff::streamVids || Type == riff::streamIavs; }

uint32_t BitmapRows(int32_t Height) {
  return Height < 0 ? 0u - static_cast<uint32_t>(Height) : static_cast<uint32_t>(Height);
}

}  // namespace

uint32_t StreamChunkId(uint32_t StreamNumber, uint32_t StreamType) {
  std::string n = std::to_string(StreamNumber);
  if (n.size() < 2) n = "0" + n;
  return StrToFourCC(n + (IsVideoType(StreamType) ? "dc" : "wb"));
}

void TAVIFileWriter::BeginFile(const std::string& FileName, uint32_t MainFlags) {
  FreeSlots();
  FFileMode = FIndexMode;
  FLegacyIndex.Reset();
  FOut.Create(FileName);
  FRiffPos = FOut.BeginList(riff::ckRIFF, riff::formAVI);
  FHdrlPos = FOut.BeginList(riff::ckLIST, riff::listHdrl);
  FMainHeader = TAVIMainHeader{};
  FMainHeader.Flags = MainFlags;
  FTotalFramesAllParts = 0;
  WriteMainHeader();
  FHeadersOpen = true;
  FFirstPart = true;
  FMainVideo = -1;
  FIndexBase = 0;
  FStreamOrder.clear();
  FWritten = TAVIWritten{};
}

void TAVIFileWriter::WriteMainHeader() {
  FOut.WriteChunk(riff::ckAvih, &FMainHeader, sizeof FMainHeader);
}

void TAVIFileWriter::WriteExtendedHeader() {
  FOut.WriteChunkHeader(riff::ckDmlh, riff::DmlhSize);
  uint8_t total[4];
  PutLE32(total, FTotalFramesAllParts);
  FOut.Write(total, sizeof total);
  FOut.WriteZeros(riff::DmlhSize - sizeof total);
}

void TAVIFileWriter::AddStream(int StreamId, const TAVIStreamHeader& Header, const void* Format,
                               uint32_t FormatSize, const std::string& VideoProps) {
  if (StreamId < 0 || StreamId >= MaxStreams) throw Exception("Abnormal stream id (must be 0..99)");
  TStreamSlot& slot = FStreams[StreamId];
  if (slot.ChunkId != 0) throw Exception("Not unique stream id");
  if (!FHeadersOpen) throw Exception("Headers was already closed");

  const auto* format = static_cast<const uint8_t*>(Format);
  bool hasBitmapHeader = FormatSize >= riff::BmpHeaderSize;
  // A negative bitmap height marks top-down rows; the frame is as high as its magnitude.
  const uint32_t width = hasBitmapHeader ? GetLE32(format + riff::BmpWidthOffset) : 0;
  const uint32_t height =
      hasBitmapHeader ? BitmapRows(static_cast<int32_t>(GetLE32(format + riff::BmpHeightOffset)))
                      : 0;
  TAVIStreamHeader header = Header;
  header.Length = 0;
  if (header.Type == riff::streamVids && hasBitmapHeader) {
    header.Frame.left = 0;
    header.Frame.top = 0;
    header.Frame.right = static_cast<int16_t>(width);
    header.Frame.bottom = static_cast<int16_t>(height);
  }

  int64_t strl = FOut.BeginList(riff::ckLIST, riff::listStrl);
  slot.HeaderPos = FOut.Position() + riff::ChunkHeaderSize;
  FOut.WriteChunk(riff::ckStrh, &header, sizeof header);
  FOut.WriteChunk(riff::ckStrf, Format, FormatSize);
  if (OpenDMLOn()) {
    slot.SuperIndexPos = FOut.Position();
    FOut.WriteChunkHeader(riff::ckIndx, TOpenDMLIndex::ReservedSize);
    FOut.WriteZeros(TOpenDMLIndex::ReservedSize);
  }
  if (!VideoProps.empty())
    FOut.WriteChunk(riff::ckVprp, VideoProps.data(), static_cast<uint32_t>(VideoProps.size()));
  FOut.EndList(strl);

  slot.ChunkId = StreamChunkId(FMainHeader.Streams, Header.Type);
  slot.SampleSize = Header.SampleSize;
  ++FMainHeader.Streams;
  FStreamOrder.push_back(StreamId);
  // The index exists before anything below can fail, so a stream that took its slot is
  // always complete enough to be closed.
  if (OpenDMLOn()) slot.Index = std::make_unique<TOpenDMLIndex>(slot.ChunkId, slot.SampleSize);

  if (FMainVideo < 0 && IsVideoType(Header.Type)) {
    FMainHeader.MicroSecPerFrame = static_cast<uint32_t>(
        MulDiv(static_cast<int32_t>(Header.Scale), 1000000, static_cast<int32_t>(Header.Rate)));
    if (Header.Type == riff::streamVids) {
      if (!hasBitmapHeader) throw Exception("Invalid video format");
      FMainHeader.Width = width;
      FMainHeader.Height = height;
    } else {
      FMainHeader.Width = static_cast<uint32_t>(static_cast<int32_t>(Header.Frame.right));
      FMainHeader.Height = static_cast<uint32_t>(static_cast<int32_t>(Header.Frame.bottom));
    }
    FMainVideo = StreamId;
  }
}

void TAVIFileWriter::CloseHeaders() {
  if (OpenDMLOn()) {
    int64_t odml = FOut.BeginList(riff::ckLIST, riff::listOdml);
    FDmlhPos = FOut.Position();
    WriteExtendedHeader();
    FOut.EndList(odml);
  }
  const std::string date = RecordingDateChunk(FFacts), info = InfoListChunk(FFacts);
  FOut.Write(date.data(), date.size());
  FOut.EndList(FHdrlPos);
  FOut.Write(info.data(), info.size());
  int64_t c = FOut.Position();
  FOut.PadWithJunk(c + (MovieAlignment - c % MovieAlignment) - riff::ListHeaderSize);
  FMoviPos = FOut.BeginList(riff::ckLIST, riff::listMovi);
  FHeadersOpen = false;
}

bool TAVIFileWriter::NeedsNewPart(uint32_t Size) const {
  int64_t used = FOut.Position() - FRiffPos;
  int64_t needed = used + FLegacyIndex.Bytes() + riff::ChunkHeaderSize + Size +
                   riff::ChunkHeaderSize + riff::Idx1EntrySize + 1;
  return needed >= PartLimit;
}

void TAVIFileWriter::FlushStandardIndexes() {
  for (TStreamSlot& slot : FStreams)
    if (slot.Index && slot.Index->HasPending()) slot.Index->FlushStandardIndex(FOut, FIndexBase);
}

void TAVIFileWriter::EndMovieAndPart() {
  FOut.EndList(FMoviPos);
  if (FFirstPart && LegacyOn()) {
    FWritten.LegacyEntries = FLegacyIndex.Bytes() / riff::Idx1EntrySize;
    FLegacyIndex.Write(FOut);
  }
  FOut.EndList(FRiffPos);
}

void TAVIFileWriter::StartNewPart() {
  if (OpenDMLOn()) FlushStandardIndexes();
  EndMovieAndPart();
  FIndexBase = FOut.SeekEnd();
  // Parts after the first are OpenDML extension parts.
  FRiffPos = FOut.BeginList(riff::ckRIFF, riff::formAVIX);
  FMoviPos = FOut.BeginList(riff::ckLIST, riff::listMovi);
  if (FFirstPart && FMainVideo >= 0) FMainHeader.TotalFrames = FStreams[FMainVideo].ChunkCount;
  FFirstPart = false;
}

TAVIFileWriter::TStreamSlot& TAVIFileWriter::BeginChunk(int StreamId, uint32_t Size) {
  if (StreamId < 0 || StreamId >= MaxStreams || FStreams[StreamId].ChunkId == 0)
    throw Exception("Not initialized stream id");
  if (FHeadersOpen) CloseHeaders();
  if (NeedsNewPart(Size)) StartNewPart();
  return FStreams[StreamId];
}

void TAVIFileWriter::WriteChunk(int StreamId, const void* Data, bool KeyFrame, uint32_t Size) {
  TStreamSlot& slot = BeginChunk(StreamId, Size);
  int64_t p = FOut.Position();
  FOut.WriteChunk(slot.ChunkId, Data, Size);
  EndChunk(slot, p, KeyFrame, Size);
}

bool TAVIFileWriter::CopyChunk(int StreamId, const TFile& Source, int64_t Position, bool KeyFrame,
                               uint32_t Size) {
  TStreamSlot& slot = BeginChunk(StreamId, Size);
  int64_t p = FOut.Position();
  FOut.WriteChunkHeader(slot.ChunkId, Size);
  if (FOut.CopyFrom(Source, Position, Size) != Size) {
    // The part copied is taken back: the file ends where the chunk would have started.
    FOut.Seek(p);
    FOut.TruncateHere();
    return false;
  }
  if (Size & 1u) FOut.WriteZeros(1);
  EndChunk(slot, p, KeyFrame, Size);
  return true;
}

void TAVIFileWriter::EndChunk(TStreamSlot& Slot, int64_t ChunkPos, bool KeyFrame, uint32_t Size) {
  // Legacy index offsets count from the 'movi' list type field, as players expect them. Absolute
  // positions would be read wrongly wherever the relative reading of the first entry happens to
  // land on a chunk of the same stream (chunks of one size repeat at such distances).
  if (FFirstPart && LegacyOn())
    FLegacyIndex.Add(Slot.ChunkId, KeyFrame,
                     static_cast<uint32_t>(ChunkPos - (FMoviPos + riff::ChunkHeaderSize)), Size);
  if (OpenDMLOn()) {
    auto offset = static_cast<uint32_t>(ChunkPos + riff::ChunkHeaderSize - FIndexBase);
    if (Slot.Index->Add(offset, Size, KeyFrame)) Slot.Index->FlushStandardIndex(FOut, FIndexBase);
  }
  ++Slot.ChunkCount;
  Slot.Entries = IndexFingerprint(Slot.Entries, ChunkPos + riff::ChunkHeaderSize, Size, KeyFrame);
  Slot.TotalBytes += Size;
  Slot.LargestChunk = std::max(Slot.LargestChunk, Size);
}

void TAVIFileWriter::PatchStreamHeader(TStreamSlot& Slot) {
  FOut.Seek(Slot.HeaderPos);
  TAVIStreamHeader header;
  if (FOut.Read(&header, sizeof header) < sizeof header) RaiseOSError(0);
  header.Length = Slot.SampleSize != 0 ? static_cast<uint32_t>(Slot.TotalBytes / Slot.SampleSize)
                                       : Slot.ChunkCount;
  header.SuggestedBufferSize = Slot.LargestChunk + BufferSizeMargin;
  Slot.Length = header.Length;
  FOut.Seek(Slot.HeaderPos);
  FOut.Write(&header, sizeof header);
  if (OpenDMLOn()) {
    FOut.Seek(Slot.SuperIndexPos);
    Slot.Index->WriteSuperIndex(FOut);
  }
}

void TAVIFileWriter::CloseFile() {
  if (!FOut.IsOpen()) return;
  if (FHeadersOpen) CloseHeaders();
  if (OpenDMLOn()) FlushStandardIndexes();
  EndMovieAndPart();

  if (FMainVideo >= 0) {
    uint32_t frames = FStreams[FMainVideo].ChunkCount;
    if (FFirstPart) FMainHeader.TotalFrames = frames;
    FTotalFramesAllParts = frames;
  }
  uint32_t largest = 0;
  for (const TStreamSlot& slot : FStreams)
    if (slot.ChunkId != 0) largest = std::max(largest, slot.LargestChunk);
  FMainHeader.SuggestedBufferSize = largest + BufferSizeMargin;
  // The flags say what this file holds, whatever the first source's header said: an 'idx1'
  // index exactly when the legacy index is written, and chunks in the order it lists them.
  FMainHeader.Flags &= ~(riff::AVIF_HASINDEX | riff::AVIF_MUSTUSEINDEX);
  if (LegacyOn()) FMainHeader.Flags |= riff::AVIF_HASINDEX;

  FOut.Seek(FHdrlPos + riff::ListHeaderSize);
  WriteMainHeader();
  if (OpenDMLOn()) {
    FOut.Seek(FDmlhPos);
    WriteExtendedHeader();
  }
  for (TStreamSlot& slot : FStreams)
    if (slot.ChunkId != 0) PatchStreamHeader(slot);

  FOut.Close();
  FWritten.TotalFrames = FMainHeader.TotalFrames;
  for (int id : FStreamOrder) {
    const TStreamSlot& slot = FStreams[static_cast<size_t>(id)];
    FWritten.Streams.push_back({slot.ChunkCount, slot.TotalBytes, slot.Length, slot.Entries});
  }
  FreeSlots();
}

void TAVIFileWriter::AbandonFile() {
  FOut.Abandon();
  FreeSlots();
}

void TAVIFileWriter::FreeSlots() {
  for (TStreamSlot& slot : FStreams) slot = TStreamSlot{};
}

}  // namespace rw
