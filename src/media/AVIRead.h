#pragma once
// The AVI reader: walks the first RIFF 'AVI ' container, reads the main header and every
// stream's header and format and, unless only the headers are wanted, builds a per-stream
// index of all data chunks from the legacy 'idx1' index or the OpenDML 'indx'/'ix##' indexes,
// or, where those are missing, damaged or cut short, by walking the 'movi' lists themselves.
// Chunks are then read by number, or walked over all streams in time order.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "media/AVIFacts.h"
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

// One data chunk of a stream, as GetIndexEntry gives it.
struct TAVIIndexEntry {
  int64_t FilePos = 0;  // absolute position of the chunk's data (after its 8-byte header)
  uint32_t Size = 0;    // data bytes
  bool KeyFrame = false;
  int64_t StreamPos = 0;  // bytes of the same stream before this chunk
  // The walk of the data found where the chunk ends by the chunk header that follows it: the
  // size in its own header does not fit (damaged), so that header is not checked against Size.
  bool SizeFromWalk = false;
};

// One stream of an open file: its headers and its chunk index. Made and filled only by the
// reader while it opens the file; afterwards it is read through const references.
class TAVIStream {
public:
  TAVIStream(const TAVIStream&) = delete;
  TAVIStream& operator=(const TAVIStream&) = delete;

  // Header as read, with SampleSize of fast sample-based audio and Handler of video streams
  // adjusted in memory: audio of more than 500 blocks a second is timed by its bytes, and the
  // handler names the codec the format declares.
  TAVIStreamHeader Header;
  std::string Format;      // the 'strf' bytes
  std::string VideoProps;  // the 'vprp' bytes (frame aspect, fields), empty when none
  std::string StreamId;    // two upper-case hexadecimal digits: '00', '01', ... '0A'
  int32_t Width = 0;       // video streams only
  int32_t Height = 0;

  // Little-endian fields of Format; a field that lies past the end of Format reads as 0.
  uint16_t FormatWord(uint32_t Offset) const;
  uint32_t FormatDWord(uint32_t Offset) const;

  // ---- index and chunk access ----
  uint32_t ChunkCount() const { return static_cast<uint32_t>(FIndex.Entries.size()); }
  // Bytes of memory the index holds (its allocation).
  uint64_t IndexMemory() const { return FIndex.Entries.capacity() * sizeof(TEntry); }
  // Copies entry Index and returns true; false (Entry untouched) when out of range.
  bool GetIndexEntry(uint32_t Index, TAVIIndexEntry& Entry) const;
  // Reads chunk Index's data into Dest (at least its Size bytes). True exactly when all of
  // them arrived; false for an index out of range or data past the end of the file.
  bool ReadChunk(uint32_t Index, void* Dest) const;
  // True when the 8 bytes of a chunk header name this stream (the first two characters of the
  // id) and a data size of Size: the header an index entry of Size bytes must point behind.
  bool IsChunkHeader(const uint8_t* Header, uint32_t Size) const;
  // The same for the header an entry points behind; the size is not checked where the walk
  // found the chunk's end itself (SizeFromWalk).
  bool IsChunkHeader(const uint8_t* Header, const TAVIIndexEntry& Entry) const;
  // StreamPos of the entry, -1 when out of range.
  int64_t GetChunkStreamPos(uint32_t Index) const;
  // Start time of the chunk in seconds, -1.0 when out of range. A stream with Rate 0 has no
  // defined times: its chunks come after every timed chunk (+infinity).
  double GetChunkTime(uint32_t Index) const;

private:
  friend class TAVIFileReader;

  // An index entry as the stream keeps it: 21 bytes without padding, so that a file of
  // millions of chunks costs little memory.
  struct [[gnu::packed]] TEntry {
    int64_t FilePos;
    int64_t StreamPos;
    uint32_t Size;
    uint8_t Flags;  // EntryKeyFrame, EntrySizeFromWalk
  };
  static constexpr uint8_t EntryKeyFrame = 1;
  static constexpr uint8_t EntrySizeFromWalk = 2;
  static_assert(sizeof(TEntry) <= 24, "an index entry takes at most 24 bytes");
  // The entries in index order, and the StreamPos the next entry gets.
  struct TIndex {
    std::vector<TEntry> Entries;
    int64_t Bytes = 0;
    // Whether the entries so far run in file order, each chunk after the previous one's data,
    // and where the next one's data may then begin at the earliest: indexes list a stream's
    // chunks in file order, so this tells most indexes from damaged ones as they are read.
    bool InOrder = true;
    int64_t NextData = INT64_MIN;
  };
  // Where the data of a chunk after one at Pos of Size bytes may begin at the earliest (after
  // this chunk's data and the next one's 8-byte header); saturated against positions that a
  // damaged index puts near the end of the range.
  static int64_t NextDataAfter(int64_t Pos, uint32_t Size) {
    int64_t next;
    if (__builtin_add_overflow(Pos, int64_t{Size} + riff::ChunkHeaderSize, &next)) next = INT64_MAX;
    return next;
  }

  TAVIStream(TAVIFileReader& Reader, int64_t StrlPos, uint32_t StrlSize);
  // Reads 'strh', 'strf', 'vprp' and the position of 'indx' from this stream's list.
  void ReadHeaders(unsigned StreamIndex);
  // Appends an entry; false (nothing added) once the reader's entry budget is spent or the
  // stream holds as many chunks as a chunk number can count. Inline: indexes are read at tens
  // of millions of entries a second.
  bool AddIndexEntry(uint32_t Size, bool KeyFrame, int64_t FilePos, bool SizeFromWalk = false);
  // Makes room for Count more entries at once (an index that knows how many it adds), so that
  // the index is not moved while it grows, nor copied when it is trimmed.
  void ReserveIndex(size_t Count);
  // Makes room for the next entry when the index is full: grows it by half. False (nothing
  // changed) when no entry may be added.
  bool GrowIndex();
  // Both false when an index has a type it cannot have (a damaged index), which they then
  // name as the reader's index problem.
  bool ReadSuperIndex();
  bool ReadStandardIndex(TFileReadBuffer& Buffer, int64_t Position);
  // The entries a standard index at Position holds within the file, 0 for one that is not all
  // there or of another type.
  uint32_t StandardIndexEntries(TFileReadBuffer& Buffer, int64_t Position);
  // Takes the key-frame flags of the entries of Earlier (an index this one replaces) that lie
  // at the same file positions as entries of this index.
  void TakeKeyFrames(const TIndex& Earlier);
  // Whether two entries point at the same chunk or into each other's data (each chunk's data
  // follows its own 8-byte header): a damaged index, which a copy would repeat from.
  bool HasOverlappingEntries() const;
  // Frees what the index holds beyond its entries, once it is complete.
  void TrimIndex() { FIndex.Entries.shrink_to_fit(); }

  TAVIFileReader& FReader;
  int64_t FStrlPos;
  uint32_t FStrlSize;
  int64_t FIndxPos = -1;  // 'indx' chunk header, -1 when none
  TIndex FIndex;
  uint32_t FChunkCursor = 0;  // next chunk of the time-ordered walk
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

  // Stream lists past this many are ignored: chunk ids name streams by two hexadecimal digits.
  static constexpr int MaxStreams = 256;
  // A level of the RIFF tree is walked for at most this many chunks (headers hold a handful).
  static constexpr size_t MaxLevelChunks = 4096;

  int StreamCount() const { return static_cast<int>(FStreams.size()); }
  const TAVIStream& Streams(int Index) const { return *FStreams.at(static_cast<size_t>(Index)); }
  const TAVIStream* VideoStream() const { return FVideoStream; }
  const TAVIStream* AudioStream() const { return FAudioStream; }
  const TAVIMainHeader& MainHeader() const { return FMainHeader; }
  // The recording date and 'INFO' texts of the header (of 'hdrl' and of the first RIFF
  // container), as bounded and cleaned as TAVIFacts keeps them; read by a header-only open too.
  const TAVIFacts& Facts() const { return FFacts; }
  bool IsOpenDML() const { return FIsOpenDML; }
  // Whether the file has an index to read ('idx1', or OpenDML 'indx'); known after a
  // header-only open too.
  bool HasIndex() const { return FIsOpenDML || FIdx1Pos >= 0; }
  // Entries of the legacy 'idx1' index (0 when there is none); known after a header-only open.
  uint32_t LegacyIndexEntries() const { return FIdx1Size / riff::Idx1EntrySize; }

  // The time-ordered walk over the chunks of all streams. NextChunk gives the stream and chunk
  // that start earliest (ties go to the lower stream index) and moves past it; StreamIndex -1
  // means every stream is exhausted (ChunkIndex is then left alone).
  void ResetChunkCursors();
  void NextChunk(int& StreamIndex, uint32_t& ChunkIndex);

  // True when the indexes came from walking the 'movi' lists rather than from the file's index.
  bool IndexIsWalked() const { return FIndexIsWalked; }
  // After a full open: why the file's own index could not be used, empty when it could or when
  // it was only incomplete or pointed elsewhere. "The index is not found", "Unsupported type of
  // super index: N" or "Unsupported type of chunk index: N".
  const std::string& IndexProblem() const { return FIndexProblem; }
  // For a file whose index proved wrong while the time-ordered walk read it: replaces every
  // stream's index by one found by walking the 'movi' lists, and the walk goes on from chunk
  // ChunkIndex of stream StreamIndex (what NextChunk gave last, which it gives again) and from
  // the chunk number each other stream had reached. False (nothing changed) when the indexes
  // already came from walking the data.
  bool RestartWalkFromData(int StreamIndex, uint32_t ChunkIndex);

  // The open file, for readers that go through it at their own positions.
  TFile& File() { return FFile; }

private:
  friend class TAVIStream;

  // One chunk of a level of the RIFF tree.
  struct TChunkInfo {
    uint32_t Id = 0;
    uint32_t ListType = 0;  // list type of a 'LIST' chunk, 0 for every other chunk
    int64_t DataPos = 0;    // after the list type ('LIST') or after the 8-byte header
    uint32_t Size = 0;      // size field as stored
  };
  using TChunkList = std::vector<TChunkInfo>;

  // Reads up to Count bytes at Position; returns the count read.
  uint32_t ReadAt(void* Dest, uint32_t Count, int64_t Position);
  // Index entries are read a block of this many bytes at a time and parsed from memory.
  static constexpr uint32_t IndexBlockBytes = 4 << 20;
  // Room for a block of index entries (at most IndexBlockBytes): raises "Out of memory".
  static std::unique_ptr<uint8_t[]> NewIndexBlock(size_t Bytes);
  // Reads Count bytes that lie within the file; raises "Unable to read file" when they do not
  // all arrive (the file shrank, or the read failed).
  void ReadIndexBlock(uint8_t* Dest, size_t Count, int64_t Position);
  // The chunks of one container whose contents (after its form or list type) start at Begin,
  // for its size field.
  TChunkList ScanChunks(int64_t Begin, uint32_t Size);
  // Where the 'INFO' list whose texts start at DataPos ends by its texts: after the last chunk
  // of an upper-case text id (not 'LIST', 'JUNK' or 'RIFF').
  int64_t InfoTextsEnd(int64_t DataPos);
  // Whether a chunk that can follow a list at a level of the header starts at Position.
  bool StartsHeaderChunk(int64_t Position);
  static const TChunkInfo* FindChunk(const TChunkList& Chunks, uint32_t Id, uint32_t ListType);
  // Index entries may still be added; every entry stands for at least one 8-byte record of
  // the file, so a file cannot rightly hold more than its size / 8.
  bool TakeIndexEntry() {
    if (FIndexBudget == 0) return false;
    --FIndexBudget;
    return true;
  }
  void ReadHeaders();
  // The streams a join reads (the first video and the first sound stream) of those read so far.
  void TakeSourceStreams();
  void ReadFacts(const TChunkList& Top);
  int64_t GetIndexBase();
  // Both false when the index is damaged.
  bool ReadOldIndex();
  bool ReadOpenDMLIndexes();
  // The number of the stream whose chunk ids begin with these two characters (two upper-case
  // hexadecimal digits, as StreamIdText writes them), or -1.
  int StreamNumberOfChunkId(const uint8_t* Id) const {
    const int high = HexDigits[Id[0]], low = HexDigits[Id[1]];
    if ((high | low) < 0) return -1;
    const int n = high * 16 + low;
    return static_cast<size_t>(n) < FStreams.size() ? n : -1;
  }
  // That stream, or null.
  TAVIStream* StreamOfChunkId(const uint8_t* Id) const {
    const int n = StreamNumberOfChunkId(Id);
    return n < 0 ? nullptr : FStreams[static_cast<size_t>(n)].get();
  }

  // The value of each byte as an upper-case hexadecimal digit, -1 where it is none.
  static constexpr std::array<int8_t, 256> HexDigits = [] {
    std::array<int8_t, 256> digits{};
    for (int c = 0; c < 256; ++c)
      digits[static_cast<size_t>(c)] = static_cast<int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                                           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                  : -1);
    return digits;
  }();

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
  // Whether a header the walk takes without doubt lies at Pos: a data list, a RIFF part, an
  // index, filler, or a chunk of a stream that fits before End; with AnyName also any other
  // chunk with a printable id that fits (what may follow a whole chunk, not what a search
  // through data may take).
  bool IsChunkStart(TFileReadBuffer& Buffer, int64_t Pos, int64_t End, bool AnyName = false) const;
  // The first such position in [From, To), -1 when there is none.
  int64_t FindChunkStart(TFileReadBuffer& Buffer, int64_t From, int64_t To, int64_t End) const;
  // Rebuilds the order of the time-ordered walk from the cursors.
  void QueueStreams();

  TFile FFile;
  int64_t FFileSize = 0;  // taken at open: every read of the parse is bounded by it
  TAVIMainHeader FMainHeader;
  TAVIFacts FFacts;
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
  std::string FIndexProblem;
  int64_t FRiffEnd = 0;  // just after the first RIFF container, as its size claims
  uint64_t FIndexBudget = 0;
  // Streams with chunks left, by the start time of their next chunk then stream index: a heap
  // with the earliest on top. Rebuilt when FQueueValid is false.
  std::vector<std::pair<double, int>> FQueue;
  bool FQueueValid = false;
};

inline bool TAVIStream::AddIndexEntry(uint32_t Size, bool KeyFrame, int64_t FilePos,
                                      bool SizeFromWalk) {
  std::vector<TEntry>& entries = FIndex.Entries;
  if (entries.size() == entries.capacity() && !GrowIndex()) return false;
  if (!FReader.TakeIndexEntry()) return false;
  const uint8_t flags =
      static_cast<uint8_t>((KeyFrame ? EntryKeyFrame : 0) | (SizeFromWalk ? EntrySizeFromWalk : 0));
  entries.push_back(TEntry{FilePos, FIndex.Bytes, Size, flags});
  FIndex.Bytes += Size;
  if (FilePos < FIndex.NextData) FIndex.InOrder = false;
  FIndex.NextData = NextDataAfter(FilePos, Size);
  return true;
}

inline bool TAVIStream::GetIndexEntry(uint32_t Index, TAVIIndexEntry& Entry) const {
  if (Index >= ChunkCount()) return false;
  const TEntry& e = FIndex.Entries[Index];
  Entry.FilePos = e.FilePos;
  Entry.Size = e.Size;
  Entry.KeyFrame = (e.Flags & EntryKeyFrame) != 0;
  Entry.StreamPos = e.StreamPos;
  Entry.SizeFromWalk = (e.Flags & EntrySizeFromWalk) != 0;
  return true;
}

}  // namespace rw
