#include "streamcopy/StreamCopyJoiner.h"

#include <algorithm>

#include "join/OutputCheck.h"
#include "media/FileReadBuffer.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "streamcopy/PictureKinds.h"

namespace rw {

namespace {

constexpr int VideoOut = 0;
constexpr int AudioOut = 1;
// The chunk buffer holds the chunk's header before its data.
constexpr size_t ChunkDataAt = riff::ChunkHeaderSize;

// Closes the reader when a pass over one source ends, also on errors.
class TReaderPass {
public:
  TReaderPass(TAVIFileReader& Reader, const std::string& FileName, bool HeaderOnly)
      : FReader(Reader) {
    // The reader's and the system's errors name the source they concern.
    try {
      FReader.Open(FileName, HeaderOnly);
    } catch (const EAVIReadError& E) {
      FReader.Close();
      throw EAVIReadError(MessageNamingFile(FileName, E.what()));
    } catch (const EOSError& E) {
      FReader.Close();
      throw EOSError(E.ErrorCode, MessageNamingFile(FileName, E.what()));
    } catch (...) {
      FReader.Close();
      throw;
    }
    if (!FReader.VideoStream()) {
      FReader.Close();
      throw Exception("The file " + FileName + " has no video stream");
    }
  }
  ~TReaderPass() { FReader.Close(); }
  TReaderPass(const TReaderPass&) = delete;
  TReaderPass& operator=(const TReaderPass&) = delete;

private:
  TAVIFileReader& FReader;
};

}  // namespace

void TAVIFileJoiner::Execute() {
  if (FFiles.empty()) throw Exception("There are no files to join");
  FFramesCopied = 0;
  FPicturesWritten = 0;
  FWarnings.clear();
  ScanSources();
  {
    TReaderPass first(FReader, FFiles[0], true);
    FWriter.SetIndexMode(IndexModeFor(FTotalSize, FReader.AudioStream() && !FDropAudio));
    try {
      PrepareOutput();
    } catch (...) {
      FWriter.AbandonFile();
      throw;
    }
  }
  try {
    for (size_t i = 0; i < FFiles.size(); ++i) {
      if (FProgress && FProgress->IsCancelled()) break;
      if (!CopySource(i)) break;
    }
  } catch (...) {
    // The output is finished with what was copied; the copy's error is the one reported.
    try {
      FWriter.CloseFile();
    } catch (...) {
      FWriter.AbandonFile();
    }
    throw;
  }
  FWriter.CloseFile();
}

uint64_t TAVIFileJoiner::SilenceBudget(int64_t SourcesSize) {
  return SilenceAllowance +
         SilencePerSourceByte * static_cast<uint64_t>(std::max<int64_t>(SourcesSize, 0));
}

int64_t TAVIFileJoiner::OutputSizeBound(int64_t SourcesSize, bool WithSound) {
  if (!WithSound) return SourcesSize;
  return static_cast<int64_t>(static_cast<uint64_t>(std::max<int64_t>(SourcesSize, 0)) +
                              SilenceBudget(SourcesSize));
}

uint8_t TAVIFileJoiner::IndexModeFor(int64_t SourcesSize, bool WithSound) {
  return OutputSizeBound(SourcesSize, WithSound) < OpenDMLThreshold ? TAVIFileWriter::imLegacy
                                                                    : TAVIFileWriter::imBoth;
}

void TAVIFileJoiner::ScanSources() {
  FTotalFrames = 0;
  FTotalSize = 0;
  // The output is checked before the sources are read.
  CheckJoinOutput(FOutFileName, FFiles);
  FScanned.clear();
  bool constantRate = true;
  long double firstRate = -1;
  for (size_t i = 0; i < FFiles.size(); ++i) {
    TReaderPass pass(FReader, FFiles[i], true);
    FScanned.push_back(FReader.File().Identity());
    if (i < FIdentities.size()) CheckSourceIdentity(FFiles[i], FIdentities[i], FScanned[i]);
    FTotalFrames += FReader.VideoStream()->Header.Length;
    FTotalSize += FReader.GetFileSize();
    const TAVIStream* audio = FReader.AudioStream();
    long double rate = 0;
    if (!audio) continue;
    if (!TSoundSync::ByteTimedConstantRate(audio->Header, audio->Format, rate) ||
        (firstRate >= 0 && rate != firstRate))
      constantRate = false;
    if (firstRate < 0) firstRate = rate;
  }
  FSoundByFrames = !constantRate;
}

void TAVIFileJoiner::PrepareOutput() {
  // The output name is the join's own temporary file, beside the file it will replace: it is
  // written in place, and an existing file of that name is never deleted here.
  TAVIFacts facts = FReader.Facts();
  if (!FSoftware.empty()) facts.SetInfo(FourCC("ISFT"), FSoftware);
  FWriter.SetFacts(facts);
  FWriter.BeginFile(FOutFileName, FReader.MainHeader().Flags);
  const TAVIStream& video = *FReader.VideoStream();
  FWriter.AddStream(VideoOut, video.Header, video.Format.data(),
                    static_cast<uint32_t>(video.Format.size()), video.VideoProps);
  const TAVIStream* audio = FReader.AudioStream();
  FHasAudioOut = audio && !FDropAudio;
  FSoundSync.reset();
  if (FHasAudioOut) {
    TAVIStreamHeader sound = audio->Header;
    std::string format = audio->Format;
    if (FSoundByFrames) TSoundSync::TimeByFrames(sound, format);
    sound = TSoundSync::OutputSoundHeader(video.Header, sound, video.Header.Length, format);
    FWriter.AddStream(AudioOut, sound, format.data(), static_cast<uint32_t>(format.size()));
    FSoundSync = std::make_unique<TSoundSync>(video.Header, sound, format);
    FSoundSync->SetSilenceBudget(SilenceBudget(FTotalSize));
  }
}

double TAVIFileJoiner::Percent(size_t Source) const {
  // Without any declared video length, each source counts as an equal share.
  if (FTotalFrames == 0) return static_cast<double>(Source * 100 / FFiles.size());
  uint64_t percent = static_cast<uint64_t>(FFramesCopied) * 100 / FTotalFrames;
  return static_cast<double>(std::min<uint64_t>(percent, 100));
}

bool TAVIFileJoiner::ReadChunkData(TFileReadBuffer& ReadAhead, const TAVIStream& Stream,
                                   const TAVIIndexEntry& Entry) {
  // A chunk that claims to reach past the end is not even given a buffer.
  const int64_t start = Entry.FilePos - static_cast<int64_t>(ChunkDataAt);
  if (start < 0 || Entry.FilePos > ReadAhead.FileSize() - Entry.Size) return false;
  const uint32_t count = Entry.Size + static_cast<uint32_t>(ChunkDataAt);
  if (count < Entry.Size) return false;
  if (FChunkBuffer.size() < count) FChunkBuffer.resize(count);
  const uint8_t* chunk = FChunkBuffer.data();
  bool whole;
  try {
    // A chunk that lies in the window is taken from there, without a copy.
    if (const uint8_t* inWindow = ReadAhead.Peek(start, count)) {
      chunk = inWindow;
      whole = true;
    } else {
      whole = ReadAhead.ReadAt(FChunkBuffer.data(), count, start) == count;
    }
  } catch (const Exception&) {
    // The window could not be loaded whole: the source was cut short after it was opened.
    // The chunk counts when it is still there; a failing read raises the system's failure.
    chunk = FChunkBuffer.data();
    whole = FReader.File().ReadAt(FChunkBuffer.data(), count, start) == count;
  }
  FChunkData = chunk + ChunkDataAt;
  // The index must point just behind this stream's chunk of this size, not into other data.
  return whole && Stream.IsChunkHeader(chunk, Entry);
}

bool TAVIFileJoiner::ReportCancelled(size_t Source) {
  if (!FProgress) return false;
  FProgress->SetProgress(Percent(Source));
  return FProgress->IsCancelled();
}

bool TAVIFileJoiner::CopySource(size_t Index) {
  TReaderPass pass(FReader, FFiles[Index], false);
  CheckSourceIdentity(FFiles[Index], FScanned.at(Index), FReader.File().Identity());
  // Why the source's own index could not be used, for the warning or the failure that names it.
  const std::string indexProblem = FReader.IndexIsWalked() ? FReader.IndexProblem() : "";
  const TAVIStream* video = FReader.VideoStream();
  const uint32_t compression = video->FormatDWord(riff::BmpCompressionOffset);
  // Sound goes to the output only when it has a sound stream (from the first source).
  const TAVIStream* audio = FHasAudioOut ? FReader.AudioStream() : nullptr;
  TFileReadBuffer readAhead(FReader.File(), ReadAheadSize);
  uint32_t frames = 0, sounds = 0;
  const TSoundSync::TWrite writeSound = [this](const uint8_t* Data, uint32_t Size, bool KeyFrame) {
    FWriter.WriteChunk(AudioOut, Data, KeyFrame, Size);
  };
  if (FSoundSync)
    FSoundSync->BeginSource(video->Header, audio ? &audio->Header : nullptr, video->ChunkCount());

  bool cancelled = false;
  FReader.ResetChunkCursors();
  for (;;) {
    int streamIndex = -1;
    uint32_t chunk = 0;
    FReader.NextChunk(streamIndex, chunk);
    if (streamIndex < 0) break;
    const TAVIStream* stream = &FReader.Streams(streamIndex);
    if (stream == video || stream == audio) {
      TAVIIndexEntry entry;
      if (!stream->GetIndexEntry(chunk, entry)) break;
      if (!ReadChunkData(readAhead, *stream, entry)) {
        // The index points elsewhere or past the data: the source is read on by walking its
        // data, from where each stream stands. Where that walk is what failed, the source
        // ends here (it was damaged or cut short).
        if (FReader.RestartWalkFromData(streamIndex, chunk)) {
          if (FSoundSync) FSoundSync->SetSourcePictures(FReader.VideoStream()->ChunkCount());
          continue;
        }
        break;
      }
      if (stream == video) {
        // Where the data was walked, the codec's own picture header tells key frames.
        bool key = entry.KeyFrame;
        if (FReader.IndexIsWalked())
          key = KeyFrameOfPicture(compression, FChunkData, entry.Size).value_or(key);
        FWriter.WriteChunk(VideoOut, FChunkData, key, entry.Size);
        if (FSoundSync) FSoundSync->PictureWritten();
        ++frames;
        ++FPicturesWritten;
      } else {
        FSoundSync->CopySound(FChunkData, entry.Size, entry.KeyFrame, writeSound);
        ++sounds;
      }
    }
    if (stream == video) ++FFramesCopied;
    if (ReportCancelled(Index)) {
      cancelled = true;
      break;
    }
  }
  // Also a source cut short or a cancelled join ends with sound up to its last picture.
  if (FSoundSync) FSoundSync->EndSource(writeSound);
  if (cancelled) return false;
  CheckContribution(Index, frames, sounds, indexProblem);
  return true;
}

void TAVIFileJoiner::CheckContribution(size_t Index, uint32_t Frames, uint32_t Sounds,
                                       const std::string& IndexProblem) {
  const std::string& name = FFiles[Index];
  if (Frames == 0)
    throw Exception(IndexProblem.empty() ? "No video frame could be read from the file " + name
                                         : MessageNamingFile(name, IndexProblem));
  if (!IndexProblem.empty())
    FWarnings.push_back("The file " + name + " was read without its index: " + IndexProblem);
  // Frames are one chunk each; a source more than one frame and 1 % short has lost data.
  const TAVIStreamHeader& video = FReader.VideoStream()->Header;
  if (video.SampleSize == 0 && video.Length > Frames) {
    const uint64_t missing = video.Length - Frames;
    if (missing > 1 && missing * 100 > video.Length)
      FWarnings.push_back("Only " + std::to_string(Frames) + " of the " +
                          std::to_string(video.Length) + " frames of the file " + name +
                          " could be read");
  }
  const TAVIStream* audio = FHasAudioOut ? FReader.AudioStream() : nullptr;
  if (audio && audio->Header.Length > 0 && Sounds == 0)
    FWarnings.push_back("No sound could be read from the file " + name);
  else if (audio && FSoundSync->SourceSoundLeftOut())
    FWarnings.push_back("The sound of the file " + name +
                        " lies outside its pictures and is "
                        "left out");
}

}  // namespace rw
