#pragma once
// Joins AVI files without recompression: every source is read with the AVI reader and its
// video and audio chunks are copied, source after source and each source in time order, into
// one file written by the AVI writer with the first source's headers. Each source's sound is
// kept with its pictures: silence fills where it is shorter, it is cut where it is longer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "join/JoinProgress.h"
#include "media/AVIRead.h"
#include "streamcopy/AVIWrite.h"
#include "streamcopy/SoundSync.h"

namespace rw {

class TAVIFileJoiner {
public:
  // An output that may reach this many bytes gets OpenDML indexes beside 'idx1', so that the
  // 'AVIX' parts past 1 GiB, which 'idx1' does not reach, are indexed too.
  static constexpr int64_t OpenDMLThreshold = 943718400;
  // The copy reads the sources through a window of this size: chunks lie mostly in file
  // order, so many small chunks become few large reads.
  static constexpr uint32_t ReadAheadSize = 1 << 20;
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
  // scan finds it): a source that is no longer that file when it is opened fails the join,
  // naming it; one that shrinks while it is copied ends where its data ends, with a warning.
  std::vector<TFileIdentity> FIdentities;
  std::string FOutFileName;
  bool FDropAudio = false;
  // The output's 'ISFT' text (the program that wrote it, and its version); empty: the first
  // source's is kept. The output carries the first source's recording date and 'INFO' texts.
  std::string FSoftware;
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
  // Copies one source; false when the user cancelled.
  bool CopySource(size_t Index);
  // Reports the percentage done; true when the user asks to stop.
  bool ReportCancelled(size_t Source);
  double Percent(size_t Source) const;
  // Makes FChunkData the chunk's bytes (in the read-ahead window or the chunk buffer, which
  // holds the 8-byte header first); false when the source does not hold it whole or the
  // header there is not the one of Stream's chunk of that size.
  bool ReadChunkData(TFileReadBuffer& ReadAhead, const TAVIStream& Stream,
                     const TAVIIndexEntry& Entry);
  // What a source gave against what its headers declare, and why its own index was not used
  // (empty when it was): a failure or warnings.
  void CheckContribution(size_t Index, uint32_t Frames, uint32_t Sounds,
                         const std::string& IndexProblem);

  TAVIFileReader FReader;
  TAVIFileWriter FWriter;
  uint32_t FFramesCopied = 0;
  uint32_t FPicturesWritten = 0;
  uint32_t FTotalFrames = 0;
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
