#pragma once
// The AVI reader: walks the first RIFF 'AVI ' container, reads the main header and every
// stream's header and format and, unless only the headers are wanted, builds a per-stream
// index of all data chunks from the legacy 'idx1' index or the OpenDML 'indx'/'ix##' indexes,
// or, where those are missing, damaged or cut short, by walking the 'movi' lists themselves.
// Chunks are then read by number, or walked over all streams in time order.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/MemoryBuffer.h"
#include "media/RiffFormat.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {

class TFileReadBuffer;
class TAVIFileReader;

// The reader's error class. Messages: "The file has unknown format", "The header is not
// found", "The data is not found", "The main header is not found", "The stream header is not
// found", "The stream format is not found". A missing or damaged index is no error: the
// chunks are then found by walking the data.
class EAVIReadError : public Exception {
public:
  using Exception::Exception;
};

// One data chunk of a stream. The stream keeps its entries packed in 21 bytes each.
struct TAVIIndexEntry {
  int64_t FilePos = 0;    // absolute position of the chunk's data (after its 8-byte header)
  uint32_t Size = 0;      // data bytes
  bool KeyFrame = false;
  int64_t StreamPos = 0;  // bytes of the same stream before this chunk
};

// One entry of the chunk list of the level being walked.
struct TRIFFChunkInfo {
  uint32_t Id = 0;
  uint32_t ListType = 0;  // list type of a 'LIST' chunk, 0 for every other chunk
  int64_t DataPos = 0;    // after the list type ('LIST') or after the 8-byte header
  uint32_t Size = 0;      // size field as stored
};

class TAVIStream {
public:
  static constexpr uint32_t IndexEntrySize = 21;

  TAVIStream(TAVIFileReader& Reader, int64_t StrlPos, uint32_t StrlSize);
  TAVIStream(const TAVIStream&) = delete;
  TAVIStream& operator=(const TAVIStream&) = delete;

  // Header as read, with SampleSize of fast sample-based audio and Handler of video streams
  // adjusted in memory (see ReadHeaders).
  TAVIStreamHeader Header;
  std::string Format;     // the 'strf' bytes
  std::string VideoProps;  // the 'vprp' bytes (frame aspect, fields), empty when none
  std::string StreamId;   // two upper-case hexadecimal digits: '00', '01', ... '0A'
  int32_t Width = 0;      // video streams only
  int32_t Height = 0;
  uint32_t ChunkCursor = 0;  // next chunk of the time-ordered walk

  // Little-endian fields of Format; a field that lies past the end of Format reads as 0.
  uint16_t FormatWord(uint32_t Offset) const;
  uint32_t FormatDWord(uint32_t Offset) const;

  int64_t IndxPos() const { return FIndxPos; }    // 'indx' chunk header, -1 when none
  uint32_t IndxSize() const { return FIndxSize; }

  // ---- index and chunk access ----
  uint32_t ChunkCount() const { return FIndex.Size() / IndexEntrySize; }
  // Bytes of memory the index holds (its allocation).
  uint32_t IndexMemory() const { return FIndex.Capacity(); }
  // Copies entry Index and returns true; false (Entry untouched) when out of range.
  bool GetIndexEntry(uint32_t Index, TAVIIndexEntry& Entry) const;
  // Reads chunk Index's data into Dest (at least its Size bytes). True exactly when all of
  // them arrived; false for an index out of range or data past the end of the file.
  bool ReadChunk(uint32_t Index, void* Dest) const;
  // True when the 8 bytes of a chunk header name this stream (the first two characters of the
  // id) and a data size of Size: the header an index entry of Size bytes must point behind.
  bool IsChunkHeader(const uint8_t* Header, uint32_t Size) const;
  // StreamPos of the entry, -1 when out of range.
  int64_t GetChunkStreamPos(uint32_t Index) const;
  // Start time of the chunk in seconds, -1.0 when out of range. A stream with Rate 0 has no
  // defined times: its chunks come after every timed chunk (+infinity).
  double GetChunkTime(uint32_t Index) const;

  // ---- used while opening ----
  // Reads 'strh', 'strf' and 'indx' of this stream's list; rescans the reader's chunk list.
  void ReadHeaders(unsigned StreamIndex);
  // Appends an entry; false (nothing added) once the reader's entry budget is spent.
  bool AddIndexEntry(uint32_t Size, bool KeyFrame, int64_t FilePos);
  // Both false when an index has a type it cannot have (a damaged index).
  bool ReadSuperIndex();
  bool ReadStandardIndex(TFileReadBuffer& Buffer, int64_t Position);
  // Moves the index out into Saved (and back), leaving this stream without entries.
  void SwapIndex(TMemoryBuf& Saved, int64_t& SavedBytes);
  // Takes the key-frame flags of the entries of Earlier (an index moved out by SwapIndex) that
  // lie at the same file positions as entries of this index.
  void TakeKeyFrames(const TMemoryBuf& Earlier);

private:
  TAVIFileReader& FReader;
  int64_t FStrlPos;
  uint32_t FStrlSize;
  int64_t FIndxPos = -1;
  uint32_t FIndxSize = 0;
  TMemoryBuf FIndex;
  int64_t FStreamBytes = 0;  // StreamPos of the next entry
};

class TAVIFileReader {
public:
  TAVIFileReader() = default;
  ~TAVIFileReader();
  TAVIFileReader(const TAVIFileReader&) = delete;
  TAVIFileReader& operator=(const TAVIFileReader&) = delete;

  // Opens and parses the file. With HeaderOnly no index is read; otherwise every stream's
  // index is complete on return. Raises EAVIReadError (or the system failure when the file
  // cannot be opened); a reader that failed holds what was parsed so far.
  void Open(const std::string& FileName, bool HeaderOnly);
  void Close();
  int64_t GetFileSize() const;
  // The size taken when the file was opened; every read of the parse is bounded by it.
  int64_t FileSizeAtOpen() const { return FFileSize; }

  // Stream lists past this many are ignored: chunk ids name streams by two hexadecimal digits.
  static constexpr int MaxStreams = 256;
  // A level of the RIFF tree is walked for at most this many chunks (headers hold a handful).
  static constexpr size_t MaxLevelChunks = 4096;

  int StreamCount() const { return static_cast<int>(FStreams.size()); }
  TAVIStream& Streams(int Index) { return *FStreams.at(static_cast<size_t>(Index)); }
  const TAVIStream& Streams(int Index) const { return *FStreams.at(static_cast<size_t>(Index)); }
  TAVIStream* VideoStream() const { return FVideoStream; }
  TAVIStream* AudioStream() const { return FAudioStream; }
  const TAVIMainHeader& MainHeader() const { return FMainHeader; }
  bool IsOpenDML() const { return FIsOpenDML; }
  // Whether the file has an index to read ('idx1', or OpenDML 'indx'); known after a
  // header-only open too.
  bool HasIndex() const { return FIsOpenDML || FIdx1Pos >= 0; }
  // Entries of the legacy 'idx1' index (0 when there is none); known after a header-only open.
  uint32_t LegacyIndexEntries() const { return FIdx1Size / riff::Idx1EntrySize; }

  // The time-ordered walk over the chunks of all streams. NextChunk gives the stream and chunk
  // that start earliest (ties go to the lower stream index) and advances that stream's cursor;
  // StreamIndex -1 means every stream is exhausted (ChunkIndex is then left alone). The walk
  // keeps the streams in time order between calls: a cursor changed by hand takes effect at
  // the next ResetChunkCursors or IndexFromMovi.
  void ResetChunkCursors();
  void NextChunk(int& StreamIndex, uint32_t& ChunkIndex);

  // True when the indexes came from walking the 'movi' lists rather than from the file's index.
  bool IndexIsWalked() const { return FIndexIsWalked; }
  // For a file whose index proved wrong while it was read: replaces every stream's index by
  // one found by walking the 'movi' lists; the time-ordered walk goes on from each stream's
  // ChunkCursor. False (nothing changed) when the indexes already came from that walk.
  bool IndexFromMovi();

  // The open file, for readers that go through it at their own positions.
  TFile& File() { return FFile; }

private:
  friend class TAVIStream;

  // The parse's own file position: reads are positioned (pread), so a seek costs nothing.
  void Seek(int64_t Position) { FPosition = Position; }
  int64_t Position() const { return FPosition; }
  // Reads up to Count bytes at the current position and advances it; returns the count read.
  uint32_t Read(void* Dest, uint32_t Count);
  // Lists the chunks of one container, from the current position (just after its form or
  // list type) for its size field; replaces the chunk list.
  void ScanChunks(uint32_t Size);
  const TRIFFChunkInfo* FindChunk(uint32_t Id, uint32_t ListType) const;
  void ClearChunks() { FChunks.clear(); }
  // Index entries may still be added; every entry stands for at least one 8-byte record of
  // the file, so a file cannot rightly hold more than its size / 8.
  bool TakeIndexEntry();
  void ReadHeaders();
  int64_t GetIndexBase();
  // Both false when the index is damaged.
  bool ReadOldIndex();
  bool ReadOpenDMLIndexes();
  // The stream whose chunk ids begin with these two characters, or null.
  TAVIStream* StreamOfChunkId(const uint8_t* Id) const;

  // ---- the walk of the data (AVIReadMoviWalk.cpp) ----
  enum class TIndexState { Whole, Short, Wrong };
  // Reads the file's index and, unless it looks whole, the walk of the data.
  void ReadIndexes();
  // Whether the index read agrees with the stream headers and its first entries with the data.
  TIndexState CheckIndex();
  // Replaces the indexes by the walk's; with KeepBetter, the earlier indexes stay when the
  // walk finds no more video chunks (nor more chunks at all).
  void WalkMovi(bool KeepBetter);
  // Adds the chunks of the span [Begin, End) of the file to their streams.
  void WalkMoviList(TFileReadBuffer& Buffer, int64_t Begin, int64_t End);
  // Rebuilds the order of the time-ordered walk from the cursors.
  void QueueStreams();

  TFile FFile;
  int64_t FPosition = 0;
  int64_t FFileSize = 0;
  std::vector<TRIFFChunkInfo> FChunks;
  TAVIMainHeader FMainHeader;
  int64_t FHdrlPos = 0;
  uint32_t FHdrlSize = 0;
  int64_t FMoviPos = 0;
  uint32_t FMoviSize = 0;
  int64_t FIdx1Pos = -1;
  uint32_t FIdx1Size = 0;
  std::vector<std::unique_ptr<TAVIStream>> FStreams;
  TAVIStream* FVideoStream = nullptr;
  TAVIStream* FAudioStream = nullptr;
  bool FIsOpenDML = false;
  bool FIndexIsWalked = false;
  int64_t FRiffEnd = 0;  // just after the first RIFF container, as its size claims
  uint64_t FIndexBudget = 0;
  // Streams with chunks left, by the start time of their next chunk then stream index: a heap
  // with the earliest on top. Rebuilt when FQueueValid is false.
  std::vector<std::pair<double, int>> FQueue;
  bool FQueueValid = false;
};

}  // namespace rw
