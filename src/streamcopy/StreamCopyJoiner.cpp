#include "streamcopy/StreamCopyJoiner.h"

#include <algorithm>

#include "join/OutputCheck.h"
#include "media/FileReadBuffer.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {

namespace {

constexpr int VideoOut = 0;
constexpr int AudioOut = 1;

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

// Hides the progress dialog when the join ends, also on errors.
class TShownProgress {
public:
  explicit TShownProgress(IProgress& Progress) : FProgress(Progress) { FProgress.Show(); }
  ~TShownProgress() { FProgress.Hide(); }
  TShownProgress(const TShownProgress&) = delete;
  TShownProgress& operator=(const TShownProgress&) = delete;

private:
  IProgress& FProgress;
};

}  // namespace

TAVIFileJoiner::TAVIFileJoiner(TProgressFactory ProgressFactory)
    : FProgressFactory(std::move(ProgressFactory)) {}

void TAVIFileJoiner::Execute() {
  std::unique_ptr<IProgress> progress = FProgressFactory();
  progress->SetCaption("Joining...");
  progress->SetText("The selected file is being joined. Please wait...");
  TShownProgress shown(*progress);
  Join(*progress);
}

void TAVIFileJoiner::Join(IProgress& Progress) {
  if (FFiles.empty()) throw Exception("There are no files to join");
  FFramesCopied = 0;
  ScanSources();
  FWriter.SetIndexMode(FTotalSize < OpenDMLThreshold ? TAVIFileWriter::imLegacy
                                                     : TAVIFileWriter::imBoth);
  {
    TReaderPass first(FReader, FFiles[0], true);
    try {
      PrepareOutput();
    } catch (...) {
      FWriter.AbandonFile();
      throw;
    }
  }
  try {
    for (size_t i = 0; i < FFiles.size(); ++i) {
      if (Progress.IsCancelled()) break;
      if (!CopySource(i, Progress)) break;
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

void TAVIFileJoiner::ScanSources() {
  FTotalFrames = 0;
  FTotalSize = 0;
  // The output is deleted before the sources are read.
  CheckJoinOutput(FOutFileName, FFiles);
  for (const std::string& name : FFiles) {
    TReaderPass pass(FReader, name, true);
    FTotalFrames += FReader.VideoStream()->Header.Length;
    FTotalSize += FReader.GetFileSize();
  }
}

void TAVIFileJoiner::PrepareOutput() {
  if (FileExists(FOutFileName)) {
    DeleteFile(FOutFileName);
    if (FileExists(FOutFileName))
      throw Exception("Unable to overwrite the file " + FOutFileName +
                      ".\r\nPossible the file is blocked by other application.");
  }
  FWriter.BeginFile(FOutFileName, FReader.MainHeader().Flags);
  const TAVIStream& video = *FReader.VideoStream();
  FWriter.AddStream(VideoOut, video.Header, video.Format.data(),
                    static_cast<uint32_t>(video.Format.size()));
  const TAVIStream* audio = FReader.AudioStream();
  FHasAudioOut = audio && !FDropAudio;
  if (FHasAudioOut)
    FWriter.AddStream(AudioOut, audio->Header, audio->Format.data(),
                      static_cast<uint32_t>(audio->Format.size()));
}

double TAVIFileJoiner::Percent(size_t Source) const {
  // Without any declared video length, each source counts as an equal share.
  if (FTotalFrames == 0) return static_cast<double>(Source * 100 / FFiles.size());
  uint64_t percent = static_cast<uint64_t>(FFramesCopied) * 100 / FTotalFrames;
  return static_cast<double>(std::min<uint64_t>(percent, 100));
}

bool TAVIFileJoiner::ReadChunkData(TFileReadBuffer& ReadAhead, const TAVIIndexEntry& Entry) {
  // A chunk that claims to reach past the end is not even given a buffer.
  if (Entry.FilePos < 0 || Entry.FilePos + Entry.Size > ReadAhead.FileSize()) return false;
  if (FChunkBuffer.size() < Entry.Size) FChunkBuffer.resize(Entry.Size);
  if (Entry.Size == 0) return true;
  try {
    return ReadAhead.ReadAt(FChunkBuffer.data(), Entry.Size, Entry.FilePos) == Entry.Size;
  } catch (const Exception&) {
    // The window could not be loaded whole: the source was cut short after it was opened.
    // The chunk counts when it is still there; a failing read raises the system's failure.
    return FReader.File().ReadAt(FChunkBuffer.data(), Entry.Size, Entry.FilePos) == Entry.Size;
  }
}

bool TAVIFileJoiner::CopySource(size_t Index, IProgress& Progress) {
  TReaderPass pass(FReader, FFiles[Index], false);
  const TAVIStream* video = FReader.VideoStream();
  // Sound goes to the output only when it has a sound stream (from the first source).
  const TAVIStream* audio = FHasAudioOut ? FReader.AudioStream() : nullptr;
  TFileReadBuffer readAhead(FReader.File(), ReadAheadSize);

  FReader.ResetChunkCursors();
  for (;;) {
    int streamIndex = -1;
    uint32_t chunk = 0;
    FReader.NextChunk(streamIndex, chunk);
    if (streamIndex < 0) break;
    const TAVIStream* stream = &FReader.Streams(streamIndex);
    if (stream == video || stream == audio) {
      TAVIIndexEntry entry;
      // A chunk that cannot be read completely (a damaged source) ends this source.
      if (!stream->GetIndexEntry(chunk, entry) || !ReadChunkData(readAhead, entry)) break;
      FWriter.WriteChunk(stream == video ? VideoOut : AudioOut, FChunkBuffer.data(),
                         entry.KeyFrame, entry.Size);
    }
    if (stream == video) ++FFramesCopied;
    Progress.SetProgress(Percent(Index));
    if (Progress.IsCancelled()) return false;
  }
  return true;
}

}  // namespace rw
