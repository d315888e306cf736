#pragma once
// Joins AVI files without recompression: every source is read with the AVI reader and its
// video and audio chunks are copied, source after source and each source in time order, into
// one file written by the AVI writer with the first source's headers. Each source's sound is
// kept with its pictures: silence fills where it is shorter, it is cut where it is longer.
// A source whose pictures or sound differ from the output's can be given as converted chunks
// instead (its plan); they are placed by the same rules as copied ones.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "join/JoinProgress.h"
#include "media/AVIRead.h"
#include "media/PictureCut.h"
#include "streamcopy/AVIWrite.h"
#include "streamcopy/SoundSync.h"

namespace rw {

// The chunks of one source's pictures or sound converted into an output stream's format, in
// stream order.
class IConvertedChunks {
public:
  virtual ~IConvertedChunks() = default;
  // The next chunk; false at the end (a failure raises).
  virtual bool Next(std::vector<uint8_t>& Data, bool& KeyFrame) = 0;
};

// What a source's converted stream must be: the output stream it joins (header and 'strf'),
// its first key frame (pictures) or first chunk (sound), and the source's length.
struct TConvertRequest {
  std::string FileName;
  bool Pictures = false;  // else sound
  TAVIStreamHeader Header;
  std::string Format;
  std::vector<uint8_t> FirstKeyFrame;
  double Seconds = 0;  // the length to convert
  // Sound: how long before the source's first picture the converted sound starts (silence
  // there), where the output's sound stands; negative: that much after it.
  double SoundLead = 0;
  uint32_t PictureCount = 0;  // pictures to make, at the output's rate
  // Pictures: the source's picture (by its place in the video stream) the first one made
  // shows. Sound: the seconds after the source's first picture where the sound made starts.
  uint32_t FirstPicture = 0;
  double StartSeconds = 0;
  // 0: the pictures keep the times the source gives them; else they follow one another at
  // this many per second from its start (a source whose header rate is no rate of pictures).
  double PictureRate = 0;
};
using TConverterFactory =
    std::function<std::unique_ptr<IConvertedChunks>(const TConvertRequest& Request)>;

// How one source goes into the output: its chunks copied, or its pictures or its sound
// converted (a source without sound gets silence either way).
struct TSourcePlan {
  bool ConvertPictures = false;
  bool ConvertSound = false;
  bool Copied() const { return !ConvertPictures && !ConvertSound; }
};

// Whether the output's MPEG audio is timed by its frames: unless every source whose sound is
// copied has it timed by bytes at one and the same constant bit rate. Told the sound of each
// such source in turn.
class TSoundTiming {
public:
  void Add(const TAVIStream& Audio);
  bool ByFrames() const { return !FConstantRate; }

private:
  bool FConstantRate = true;
  long double FFirstRate = -1;
};

// The output's streams, which converted sources continue: the headers and 'strf' the join
// writes (the sound's timed by frames where the join times it so), the first key frame of the
// pictures and the first sound chunk that holds data. A decoder set up from the stream's start
// (an MPEG-4 header, H.264 parameter sets) must read the converted pictures too, and sound
// frames tell a bit rate the format may leave out.
struct TOutputStreams {
  TAVIStreamHeader VideoHeader, SoundHeader;
  std::string VideoFormat, SoundFormat;
  bool HasSound = false;
  std::vector<uint8_t> FirstKeyFrame, FirstSound;
};

class TAVIFileJoiner {
public:
  // The pictures a copy converts of the file FileName cut by Cut (those from In to the next key
  // frame, and where B pictures would lose their references those before Out); 0 for a whole
  // file or one whose index cannot be read.
  static uint32_t PicturesConvertedByCut(const std::string& FileName, const TPictureCut& Cut);

  // The output's streams of a join that takes its headers from the source Reader has open
  // (it has a video stream), its sound timed by frames where SoundByFrames and left out where
  // DropAudio. The first chunks are read through the index, so a header-only open gives none.
  // The join decision asks the engine whether it can continue these very streams.
  static TOutputStreams OutputStreams(const TAVIFileReader& Reader, bool SoundByFrames,
                                      bool DropAudio);

  // Why a copy whose sound takes the format of file HeaderFile of Files would put some file's
  // sound out of step with its pictures: no silence of that format can be made (WMA, HE-AAC
  // and others), and the file has no sound, or sound that starts later or ends earlier than its
  // pictures by more than a block of it, by its headers. Names that file and says why; empty
  // when no such gap is found or silence can fill it.
  static std::string SoundGapProblem(const std::vector<std::string>& Files, size_t HeaderFile);
  // Every such file, in list order: its index, and whether it has no sound, else how its sound
  // lies ("starts 0.50 s after its pictures", "ends 1.20 s before its pictures").
  struct TSoundGap {
    size_t File = 0;
    bool NoSound = false;
    std::string Lies;
  };
  static std::vector<TSoundGap> SoundGaps(const std::vector<std::string>& Files, size_t HeaderFile);

  // An output that may reach this many bytes gets OpenDML indexes beside 'idx1', so that the
  // 'AVIX' parts past 1 GiB, which 'idx1' does not reach, are indexed too.
  static constexpr int64_t OpenDMLThreshold = 943718400;
  // The copy reads the sources through a window of this size: chunks lie mostly in file
  // order, so many small chunks become few large reads.
  static constexpr uint32_t ReadAheadSize = 1 << 20;
  // A copied picture of at least this many bytes that the window does not hold goes from the
  // source to the output inside the kernel, not through the program's memory.
  static constexpr uint32_t CopyByRangeSize = 64 * 1024;
  // Silence made to keep sound with pictures never exceeds this many bytes plus
  // SilencePerSourceByte times the sources' sizes: a bound against absurd stream clocks.
  static constexpr uint64_t SilenceAllowance = 1 << 20;
  static constexpr uint64_t SilencePerSourceByte = 16;
  // That bound for sources of SourcesSize bytes.
  static uint64_t SilenceBudget(int64_t SourcesSize);

  // The most the output's chunks can take: every source's bytes, and with sound the silence
  // that may be made to keep it with the pictures.
  static int64_t OutputSizeBound(int64_t SourcesSize, bool WithSound);
  // Legacy 'idx1' only for an output bound below OpenDMLThreshold, else both indexes.
  static uint8_t IndexModeFor(int64_t SourcesSize, bool WithSound);

  std::vector<std::string> FFiles;
  // Each source as it was described, in FFiles' order (entries of inode 0, or missing, as the
  // scan finds it): a source whose identity differs from this when it is opened fails the
  // join, naming it; one that shrinks while it is copied ends where its data ends, with a
  // warning.
  std::vector<TFileIdentity> FIdentities;
  std::string FOutFileName;
  bool FDropAudio = false;
  // The output's 'ISFT' text (the program that wrote it, and its version); empty: the first
  // source's is kept. The output carries the first source's recording date and 'INFO' texts.
  std::string FSoftware;
  // One per source, or none: every source is copied.
  std::vector<TSourcePlan> FPlans;
  // The part of each source the output keeps, in FFiles' order; missing entries keep the
  // source whole. A source whose pictures are copied is cut to the picture: from In the
  // pictures up to the next key frame are converted (FConvert), from there on its chunks are
  // copied up to Out; where the pictures after Out are shown before some that precede them (B
  // pictures), the copy ends earlier, where no picture is missing, and the rest is converted.
  // Its sound is cut with its pictures. A source whose plan converts its pictures has its cut
  // converted.
  std::vector<TPictureCut> FCuts;
  // The source whose headers the output takes (one of the format that is copied).
  size_t FHeaderSource = 0;
  // Makes the converted chunks of the sources whose plans say so.
  TConverterFactory FConvert;
  // Told the percentage after every chunk and asked then whether to stop; none: the join runs
  // to its end. Whoever runs the join shows and hides it.
  IProgress* FProgress = nullptr;

  // Runs the join. A cancel ends it normally with the output finished. A source that gives no
  // video frame at all fails the join, naming it.
  void Execute();
  // After Execute: the pictures of the sources written to the output. A cancelled join that
  // wrote none made a file that holds nothing of the sources.
  uint32_t PicturesWritten() const { return FPicturesWritten; }
  // After Execute: what the output holds, for the check that reads it back.
  const TAVIWritten& Written() const { return FWriter.Written(); }
  // After Execute: texts naming the file, for each source that was read without its index
  // (saying why), gave clearly fewer frames than its header declares or no sound although it
  // declares some. The front ends show them.
  const std::vector<std::string>& Warnings() const { return FWarnings; }

private:
  void ScanSources();
  void PrepareOutput();
  // The most the converted streams can add beyond the sources' sizes (the header source open).
  int64_t ConvertedSizeBound() const;
  // Writes one source by its plan: its pictures and its sound copied from its index, or pulled
  // from FConvert as converted chunks; false when the user cancelled.
  bool JoinSource(size_t Index);
  // The number of the open source's stream Stream (one of its streams).
  int StreamIndexOf(const TAVIStream& Stream) const;
  // The converted chunks Request asks for; raises when there is no converter.
  std::unique_ptr<IConvertedChunks> StartConverting(const TConvertRequest& Request);
  TSourcePlan PlanOf(size_t Index) const {
    return Index < FPlans.size() ? FPlans[Index] : TSourcePlan{};
  }
  TPictureCut CutOf(size_t Index) const {
    return Index < FCuts.size() ? FCuts[Index] : TPictureCut{};
  }
  // Of the pictures First to Last (by chunk) of the source Reader has open, the ones copied:
  // from the first key frame at or after First that is shown first of the pictures after it,
  // to the last chunk up to Last after which no picture shown before it comes. CopyFrom >
  // CopyLast: none.
  static void CopiedPictures(const TAVIFileReader& Reader, uint32_t First, uint32_t Last,
                             uint32_t& CopyFrom, uint32_t& CopyLast);
  // Reports the percentage done; true when the user asks to stop.
  bool ReportCancelled(size_t Source);
  double Percent(size_t Source) const;
  // The share of the whole join done once Source's first Done of Count pictures are written.
  double Percent(size_t Source, uint64_t Done, uint64_t Count) const;
  // Makes FChunkData the chunk's bytes (in the read-ahead window or the chunk buffer, which
  // holds the 8-byte header first); false when the source does not hold it whole or the
  // header there is not the one of Stream's chunk of that size.
  bool ReadChunkData(TFileReadBuffer& ReadAhead, const TAVIStream& Stream,
                     const TAVIIndexEntry& Entry);
  // Writes the picture of Entry to the output straight from the source (file to file), once
  // the chunk's header there is checked as ReadChunkData checks it; false, with nothing
  // written, when the source does not hold it whole.
  bool CopyPictureByRange(TFileReadBuffer& ReadAhead, const TAVIStream& Video,
                          const TAVIIndexEntry& Entry);
  // What a source gave against what its headers declare, and why its own index was not used
  // (empty when it was): a failure or warnings.
  // Declared: the pictures the source should have given (its header's, or the cut's).
  void CheckContribution(size_t Index, uint32_t Frames, uint32_t Declared, uint32_t Sounds,
                         const std::string& IndexProblem);

  // The converted first pictures of a cut source whose pictures are copied, started while the
  // source before it is copied (HeadsAhead sources ahead), so that converting and
  // copying go on together.
  static constexpr size_t HeadsAhead = 1;
  struct TCutHead {
    size_t Index = SIZE_MAX;
    uint32_t CopyFrom = 1, CopyLast = 0;  // the chunks copied (none when CopyFrom > CopyLast)
    std::unique_ptr<IConvertedChunks> Pictures;
  };
  // Starts the converted heads of the sources after Index up to HeadsAhead ahead whose cuts
  // need one; nothing for a source that cannot be read (its own pass then says why).
  void PrepareCutHeads(size_t Index);
  // The chunks of the cut source Reader has open (First to Last kept) that are copied, and the
  // converter of those before the first of them (none when the cut starts on one).
  TCutHead CutHead(const TAVIFileReader& Reader, size_t Index, uint32_t First, uint32_t Last);

  TAVIFileReader FReader;
  TAVIFileWriter FWriter;
  std::deque<TCutHead> FHeads;  // in the sources' order
  size_t FHeadsFrom = 0;        // the first source not yet looked at for its head
  uint32_t FFramesCopied = 0;
  uint32_t FPicturesWritten = 0;
  uint32_t FTotalFrames = 0;
  // Each source's weight in the progress (its pictures, more where they are converted), and
  // the sum of those before it.
  std::vector<double> FWeights, FWeightsBefore;
  double FTotalWeight = 0;
  // Some source is converted, not copied whole (set once per join from FPlans).
  bool FConverting = false;
  std::vector<double> FSeconds;                // each source's length, by its header
  uint64_t FSourceDone = 0, FSourceCount = 0;  // pictures of the current source
  // The output's streams, for the sources converted into them.
  TOutputStreams FOut;
  int64_t FTotalSize = 0;
  bool FHasAudioOut = false;
  // MPEG audio is timed by frames: not every source is timed by bytes at one constant rate.
  bool FSoundByFrames = false;
  std::unique_ptr<TSoundSync> FSoundSync;  // while the output has sound
  std::vector<uint8_t> FChunkBuffer;       // a chunk's header, then its data
  const uint8_t* FChunkData = nullptr;
  std::vector<std::string> FWarnings;
  std::vector<TFileIdentity> FScanned;  // each source as the scan opened it
};

}  // namespace rw
