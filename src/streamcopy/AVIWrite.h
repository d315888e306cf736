#pragma once
// Writes an AVI file from ready-made stream headers and compressed chunks: the RIFF layout,
// header space reserved and patched at the end, further 'AVIX' RIFF parts past 1 GiB, the legacy
// 'idx1' index and the OpenDML super and standard indexes, as the index mode asks.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/AVIFacts.h"
#include "media/AVIReadBack.h"
#include "media/RiffFormat.h"
#include "streamcopy/AVIWriteLegacyIndex.h"
#include "streamcopy/AVIWriteOpenDMLIndex.h"
#include "streamcopy/RiffOutput.h"

namespace rw {

class TAVIFileWriter {
public:
  static constexpr int MaxStreams = 100;
  // 1 = legacy index only, 2 = OpenDML indexes only, 3 = both; other values build no index.
  static constexpr uint8_t imLegacy = 1;
  static constexpr uint8_t imOpenDML = 2;
  static constexpr uint8_t imBoth = 3;

  TAVIFileWriter() = default;
  // Does not finish an open file; its handle is released.
  ~TAVIFileWriter() = default;
  TAVIFileWriter(const TAVIFileWriter&) = delete;
  TAVIFileWriter& operator=(const TAVIFileWriter&) = delete;

  // Takes effect at the next BeginFile.
  uint8_t IndexMode() const { return FIndexMode; }
  void SetIndexMode(uint8_t Value) { FIndexMode = Value; }

  // The recording date ('IDIT', in 'hdrl') and 'INFO' list the headers of the file being
  // written carry; set before its first chunk.
  void SetFacts(const TAVIFacts& Facts) { FFacts = Facts; }

  // MainFlags are the main header's flags but for the index flags, which CloseFile sets from
  // the indexes written.
  void BeginFile(const std::string& FileName, uint32_t MainFlags);
  // VideoProps, when not empty, is written as the stream's video properties ('vprp': frame
  // aspect, fields) after its format.
  void AddStream(int StreamId, const TAVIStreamHeader& Header, const void* Format,
                 uint32_t FormatSize, const std::string& VideoProps = {});
  void WriteChunk(int StreamId, const void* Data, bool KeyFrame, uint32_t Size);
  // Writes a chunk whose Size bytes lie in Source at Position, copied from file to file (inside
  // the kernel where it can). False, with nothing written, when the source ends before them.
  bool CopyChunk(int StreamId, const TFile& Source, int64_t Position, bool KeyFrame, uint32_t Size);
  // Finishes the file and closes it; does nothing when no file is open.
  void CloseFile();
  // Releases the file as it is, unfinished; never raises.
  void AbandonFile();
  bool IsOpen() const { return FOut.IsOpen(); }
  // After CloseFile: what the file holds, for the check that reads it back.
  const TAVIWritten& Written() const { return FWritten; }

private:
  struct TStreamSlot {
    uint32_t ChunkId = 0;  // nonzero: the slot is taken
    uint32_t SampleSize = 0;
    uint32_t ChunkCount = 0;
    uint64_t TotalBytes = 0;
    int64_t HeaderPos = 0;
    int64_t SuperIndexPos = 0;
    uint32_t LargestChunk = 0;
    uint32_t Length = 0;   // as patched into its header
    uint64_t Entries = 0;  // IndexFingerprint of its chunks
    std::unique_ptr<TOpenDMLIndex> Index;
  };

  bool LegacyOn() const { return FFileMode == imLegacy || FFileMode == imBoth; }
  bool OpenDMLOn() const { return FFileMode == imOpenDML || FFileMode == imBoth; }
  void CloseHeaders();
  bool NeedsNewPart(uint32_t Size) const;
  // Before a chunk of Size bytes of StreamId: its slot, the headers closed and a new part
  // started where the chunk needs one.
  TStreamSlot& BeginChunk(int StreamId, uint32_t Size);
  // After the chunk of Slot written at ChunkPos: its index entries and counts.
  void EndChunk(TStreamSlot& Slot, int64_t ChunkPos, bool KeyFrame, uint32_t Size);
  void StartNewPart();
  void FlushStandardIndexes();
  void EndMovieAndPart();
  void PatchStreamHeader(TStreamSlot& Slot);
  void WriteMainHeader();
  void WriteExtendedHeader();
  void FreeSlots();

  TRiffOutput FOut;
  uint8_t FIndexMode = imBoth;
  uint8_t FFileMode = imBoth;
  int64_t FRiffPos = 0;
  int64_t FHdrlPos = 0;
  int64_t FMoviPos = 0;
  int64_t FDmlhPos = 0;
  TAVIMainHeader FMainHeader;
  uint32_t FTotalFramesAllParts = 0;
  bool FHeadersOpen = false;
  int FMainVideo = -1;
  bool FFirstPart = true;
  int64_t FIndexBase = 0;
  std::array<TStreamSlot, MaxStreams> FStreams;
  TAVILegacyIndex FLegacyIndex;
  TAVIFacts FFacts;
  std::vector<int> FStreamOrder;  // stream ids in the order of their headers
  TAVIWritten FWritten;
};

// "00dc" for the first video stream added, "01wb" for a second stream of another type...
uint32_t StreamChunkId(uint32_t StreamNumber, uint32_t StreamType);
}  // namespace rw
