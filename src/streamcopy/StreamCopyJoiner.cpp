#include "streamcopy/StreamCopyJoiner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "join/OutputCheck.h"
#include "media/FileReadBuffer.h"
#include "media/VideoFileInfo.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "formats/PictureKinds.h"
#include "formats/VideoCodecs.h"
#include "streamcopy/PackedPictures.h"

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

// The first chunk of Stream that holds data (with Key, the first key frame), read through the
// index; empty when there is none or it cannot be read whole.
std::vector<uint8_t> FirstChunk(const TAVIFileReader& Reader, const TAVIStream& Stream, bool Key) {
  for (uint32_t i = 0; i < Stream.ChunkCount(); ++i) {
    TAVIIndexEntry entry;
    if (!Stream.GetIndexEntry(i, entry) || (Key && !entry.KeyFrame) || entry.Size == 0) continue;
    // A size that claims more than the file holds is not even given a buffer.
    if (entry.FilePos < 0 || entry.Size > Reader.GetFileSize() - entry.FilePos) return {};
    std::vector<uint8_t> data(entry.Size);
    return Stream.ReadChunk(i, data.data()) ? data : std::vector<uint8_t>{};
  }
  return {};
}

// The first frame of a sound stream that agrees with its format, from the start of the first
// of its first chunks that holds one (damaged or junk bytes before it left out); the first
// chunk when none does.
std::vector<uint8_t> FirstSoundFrame(const TAVIFileReader& Reader, const TAVIStream& Sound) {
  constexpr uint32_t ChunksTried = 16;
  const TSilenceMaker frames(Sound.Format, Sound.Header);
  for (uint32_t i = 0; i < Sound.ChunkCount() && i < ChunksTried; ++i) {
    TAVIIndexEntry entry;
    if (!Sound.GetIndexEntry(i, entry) || entry.Size == 0) continue;
    if (entry.FilePos < 0 || entry.Size > Reader.GetFileSize() - entry.FilePos) break;
    std::vector<uint8_t> data(entry.Size);
    if (!Sound.ReadChunk(i, data.data())) break;
    const uint32_t junk = frames.JunkBefore(data.data(), entry.Size);
    if (junk >= entry.Size || frames.DamagedFrame(data.data(), entry.Size)) continue;
    data.erase(data.begin(), data.begin() + junk);
    return data;
  }
  return FirstChunk(Reader, Sound, false);
}

// Whether the last chunk of a video stream holds two packed pictures.
bool EndsPacked(const TAVIFileReader& Reader, const TAVIStream& Video) {
  TAVIIndexEntry entry;
  const uint32_t count = Video.ChunkCount();
  if (count == 0 || !Video.GetIndexEntry(count - 1, entry) || entry.FilePos < 0 ||
      entry.Size > Reader.GetFileSize() - entry.FilePos)
    return false;
  std::vector<uint8_t> data(entry.Size);
  return Video.ReadChunk(count - 1, data.data()) &&
         TPictureUnpacker::IsPacked(data.data(), entry.Size);
}

// Pictures per second of a video stream's header; 0 when it names none.
double RateOf(const TAVIStreamHeader& Video) {
  return Video.Scale && Video.Rate ? static_cast<double>(Video.Rate) / Video.Scale : 0;
}

// Whether a source's converted pictures follow one another at the output's rate OutRate
// instead of keeping their times: its header rate Claimed is no rate of pictures, and timed by
// it a thousand pictures a second would keep a few of them.
bool Retimed(const TSourcePlan& Plan, double Claimed, double OutRate) {
  return Plan.ConvertPictures && !PlausibleFrameRate(Claimed) && OutRate > 0;
}

}  // namespace

void TAVIFileJoiner::Execute() {
  if (FFiles.empty()) throw Exception("There are no files to join");
  FFramesCopied = 0;
  FPicturesWritten = 0;
  FWarnings.clear();
  // A cut source has its first pictures converted unless it starts on a key frame.
  FConverting =
      std::any_of(FPlans.begin(), FPlans.end(), [](const TSourcePlan& P) { return !P.Copied(); }) ||
      std::any_of(FCuts.begin(), FCuts.end(), [](const TPictureCut& C) { return !C.Whole(); });
  ScanSources();
  FHeads.clear();
  FHeadsFrom = 0;
  {
    if (FHeaderSource >= FFiles.size()) throw Exception("There are no files to join");
    // Converted streams continue the output's first chunks, which only the index finds.
    TReaderPass first(FReader, FFiles[FHeaderSource], !FConverting);
    FWriter.SetIndexMode(
        IndexModeFor(FTotalSize + ConvertedSizeBound(), FReader.AudioStream() && !FDropAudio));
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
      if (!JoinSource(i)) break;
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

std::string TAVIFileJoiner::SoundGapProblem(const std::vector<std::string>& Files,
                                            size_t HeaderFile) {
  const std::vector<TSoundGap> gaps = SoundGaps(Files, HeaderFile);
  if (gaps.empty()) return "";
  const TSoundGap& gap = gaps.front();
  const std::string& file = Files[gap.File];
  return (gap.NoSound ? "The file " + file + " has no sound"
                      : "The sound of the file " + file + " " + gap.Lies) +
         ": a copy cannot fill that gap with silence in the sound format of " + Files[HeaderFile] +
         ", so the sound of the files after it would play early";
}

std::vector<TAVIFileJoiner::TSoundGap> TAVIFileJoiner::SoundGaps(
    const std::vector<std::string>& Files, size_t HeaderFile) {
  std::vector<TSoundGap> gaps;
  if (HeaderFile >= Files.size()) return gaps;
  TAVIFileReader reader;
  TAVIStreamHeader kept;
  std::string format;
  {
    TReaderPass pass(reader, Files[HeaderFile], true);
    const TAVIStream* audio = reader.AudioStream();
    if (!audio) return gaps;
    kept = audio->Header;
    format = audio->Format;
  }
  if (TSilenceMaker(format, kept).Kind() != TSilenceMaker::TKind::None) return gaps;
  // Sound the output lacks where a file begins (what the files before it lacked, less what
  // their cuts at their last pictures took back): its sound plays that much early.
  double lacking = 0;
  auto seconds = [](double S) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", S);
    return std::string(text);
  };
  for (size_t i = 0; i < Files.size(); ++i) {
    TReaderPass pass(reader, Files[i], true);
    const TAVIStreamHeader& video = reader.VideoStream()->Header;
    const TAVIStream* audio = reader.AudioStream();
    const bool last = i + 1 == Files.size();
    if (!audio) {
      // Converted, it gets silence from where the sound before it ends.
      if (!last) gaps.push_back({i, true, ""});
      lacking = 0;
      continue;
    }
    const TAVIStreamHeader& sound = audio->Header;
    if (video.Scale == 0 || video.Rate == 0 || sound.Scale == 0 || sound.Rate == 0) continue;
    // A block: a chunk timed by chunks, else the format's block align in samples.
    const uint16_t align = audio->Format.size() >= riff::WaveBlockAlignOffset + 2
                               ? GetLE16(audio->Format.data() + riff::WaveBlockAlignOffset)
                               : 0;
    const double tick = static_cast<double>(sound.Scale) / sound.Rate;
    const double block =
        sound.SampleSize ? tick * std::max<uint32_t>(1, align / sound.SampleSize) : tick;
    const double start =
        sound.Start * tick - static_cast<double>(video.Start) * video.Scale / video.Rate;
    const double end = (sound.Start + static_cast<double>(sound.Length)) * tick;
    const double pictures =
        (video.Start + static_cast<double>(video.Length)) * video.Scale / video.Rate;
    const std::string before =
        lacking > 0 ? ", after sound " + seconds(lacking) + " short before it" : "";
    // The first file's delay stays the output's (a Start); after the last file's sound nothing
    // comes.
    const double late = i > 0 ? std::max(start, 0.0) : 0;
    if (lacking + late > block) {
      gaps.push_back({i, false, "starts " + seconds(start) + " after its pictures" + before});
      lacking = 0;
    } else if (!last && lacking + late + pictures - end > block) {
      gaps.push_back(
          {i, false, "ends " + seconds(pictures - end) + " before its pictures" + before});
      lacking = 0;
    } else {
      lacking = std::max(0.0, lacking + late + pictures - end);
    }
  }
  return gaps;
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
  FWeights.clear();
  FWeightsBefore.clear();
  FSeconds.clear();
  FTotalWeight = 0;
  TSoundTiming timing;
  std::vector<std::pair<double, uint32_t>> claimed;  // each source's header rate and length
  double outRate = 0;
  for (size_t i = 0; i < FFiles.size(); ++i) {
    TReaderPass pass(FReader, FFiles[i], true);
    FScanned.push_back(FReader.File().Identity());
    if (i < FIdentities.size()) CheckSourceIdentity(FFiles[i], FIdentities[i], FScanned[i]);
    const TAVIStreamHeader& video = FReader.VideoStream()->Header;
    // Only what is kept counts.
    const TPictureCut cut = CutOf(i);
    const uint32_t frames = cut.Whole() ? video.Length : cut.KeptOf(video.Length);
    FSeconds.push_back(
        video.Scale && video.Rate ? static_cast<double>(frames) * video.Scale / video.Rate : 0);
    claimed.emplace_back(RateOf(video), frames);
    if (i == FHeaderSource) outRate = RateOf(video);
    FTotalFrames += frames;
    FTotalSize += FReader.GetFileSize();
    // Decoding and encoding take many times what copying does: pictures the most.
    const TSourcePlan plan = PlanOf(i);
    const double weight = std::max<double>(frames, 1) *
                          (1 + (plan.ConvertSound ? 4 : 0) + (plan.ConvertPictures ? 40 : 0));
    FWeightsBefore.push_back(FTotalWeight);
    FWeights.push_back(weight);
    FTotalWeight += weight;
    // Sound converted into the output's format keeps its timing; copied sound sets it.
    const TAVIStream* audio = FReader.AudioStream();
    if (audio && !plan.ConvertSound) timing.Add(*audio);
  }
  for (size_t i = 0; i < FFiles.size(); ++i)
    if (Retimed(PlanOf(i), claimed[i].first, outRate)) FSeconds[i] = claimed[i].second / outRate;
  FSoundByFrames = timing.ByFrames();
}

void TSoundTiming::Add(const TAVIStream& Audio) {
  long double rate = 0;
  if (!TSoundSync::ByteTimedConstantRate(Audio.Header, Audio.Format, rate) ||
      (FFirstRate >= 0 && rate != FFirstRate))
    FConstantRate = false;
  if (FFirstRate < 0) FFirstRate = rate;
}

TOutputStreams TAVIFileJoiner::OutputStreams(const TAVIFileReader& Reader, bool SoundByFrames,
                                             bool DropAudio) {
  TOutputStreams out;
  const TAVIStream& video = *Reader.VideoStream();
  out.VideoHeader = video.Header;
  // The output holds one picture a chunk: a sample size taken from a source (a damaged field,
  // or a frame's bytes) would have players time its pictures by bytes.
  out.VideoHeader.SampleSize = 0;
  out.VideoFormat = video.Format;
  out.FirstKeyFrame = FirstChunk(Reader, video, true);
  const TAVIStream* audio = Reader.AudioStream();
  out.HasSound = audio && !DropAudio;
  if (!out.HasSound) return out;
  TAVIStreamHeader sound = audio->Header;
  std::string format = audio->Format;
  if (SoundByFrames) TSoundSync::TimeByFrames(sound, format);
  out.SoundHeader = TSoundSync::OutputSoundHeader(video.Header, sound, video.Header.Length, format);
  out.SoundFormat = format;
  out.FirstSound = FirstSoundFrame(Reader, *audio);
  return out;
}

int64_t TAVIFileJoiner::ConvertedSizeBound() const {
  // Converted streams take the output's byte rates, not the sources' own: sound at its
  // format's rate, pictures at twice the rate of the file whose headers the output takes.
  const TAVIStream* audio = FReader.AudioStream();
  const TAVIStreamHeader& video = FReader.VideoStream()->Header;
  const double headerSeconds =
      video.Scale && video.Rate ? static_cast<double>(video.Length) * video.Scale / video.Rate : 0;
  const double soundRate = audio ? audio->FormatDWord(riff::WaveAvgBytesPerSecOffset) : 0;
  const double pictureRate =
      headerSeconds > 0 ? static_cast<double>(FReader.GetFileSize()) / headerSeconds : 0;
  double bound = 0;
  for (size_t i = 0; i < FFiles.size() && i < FSeconds.size(); ++i) {
    const TSourcePlan plan = PlanOf(i);
    if (plan.ConvertSound) bound += FSeconds[i] * soundRate * 1.1 + 65536;
    if (plan.ConvertPictures) bound += FSeconds[i] * pictureRate * 2 + 65536;
    // A cut's converted pictures: at most the pictures it keeps.
    if (!plan.ConvertPictures && !CutOf(i).Whole()) bound += FSeconds[i] * pictureRate * 2 + 65536;
  }
  return static_cast<int64_t>(std::min(bound, 1e18));
}

void TAVIFileJoiner::PrepareOutput() {
  // The output name is the join's own temporary file, beside the file it will replace: it is
  // written in place, and an existing file of that name is never deleted here.
  TAVIFacts facts = FReader.Facts();
  if (!FSoftware.empty()) facts.SetInfo(FourCC("ISFT"), FSoftware);
  FWriter.SetFacts(facts);
  FWriter.BeginFile(FOutFileName, FReader.MainHeader().Flags);
  FOut = OutputStreams(FReader, FSoundByFrames, FDropAudio);
  FWriter.AddStream(VideoOut, FOut.VideoHeader, FOut.VideoFormat.data(),
                    static_cast<uint32_t>(FOut.VideoFormat.size()),
                    FReader.VideoStream()->VideoProps);
  FHasAudioOut = FOut.HasSound;
  FSoundSync.reset();
  if (FHasAudioOut) {
    FWriter.AddStream(AudioOut, FOut.SoundHeader, FOut.SoundFormat.data(),
                      static_cast<uint32_t>(FOut.SoundFormat.size()));
    FSoundSync = std::make_unique<TSoundSync>(FOut.VideoHeader, FOut.SoundHeader, FOut.SoundFormat);
    FSoundSync->SetSilenceBudget(SilenceBudget(FTotalSize));
  }
}

double TAVIFileJoiner::Percent(size_t Source, uint64_t Done, uint64_t Count) const {
  if (Source >= FWeights.size() || FTotalWeight <= 0) return 0;
  const double part = Count == 0 ? 0 : static_cast<double>(std::min(Done, Count)) / Count;
  return std::min(100.0, 100 * (FWeightsBefore[Source] + FWeights[Source] * part) / FTotalWeight);
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

bool TAVIFileJoiner::CopyPictureByRange(TFileReadBuffer& ReadAhead, const TAVIStream& Video,
                                        const TAVIIndexEntry& Entry) {
  const int64_t start = Entry.FilePos - static_cast<int64_t>(ChunkDataAt);
  if (start < 0 || Entry.FilePos > ReadAhead.FileSize() - Entry.Size) return false;
  // The header is taken from the window where it lies there (the chunk starts in it), else
  // read alone: the window is not loaded with data that is copied from file to file.
  uint8_t header[ChunkDataAt];
  const uint8_t* held = ReadAhead.Held(start, ChunkDataAt);
  if (!held && FReader.File().ReadAt(header, ChunkDataAt, start) != ChunkDataAt) return false;
  if (!Video.IsChunkHeader(held ? held : header, Entry)) return false;
  return FWriter.CopyChunk(VideoOut, FReader.File(), Entry.FilePos, Entry.KeyFrame, Entry.Size);
}

bool TAVIFileJoiner::ReportCancelled(size_t Source) {
  if (!FProgress) return false;
  // With sources converted, each weighs by its work; a copy alone counts pictures.
  FProgress->SetProgress(FConverting ? Percent(Source, FSourceDone, FSourceCount)
                                     : Percent(Source));
  return FProgress->IsCancelled();
}

std::unique_ptr<IConvertedChunks> TAVIFileJoiner::StartConverting(const TConvertRequest& Request) {
  std::unique_ptr<IConvertedChunks> chunks = FConvert ? FConvert(Request) : nullptr;
  if (!chunks)
    throw Exception("The file " + Request.FileName + " cannot be converted: no converter");
  return chunks;
}

int TAVIFileJoiner::StreamIndexOf(const TAVIStream& Stream) const {
  for (int i = 0; i < FReader.StreamCount(); ++i)
    if (&FReader.Streams(i) == &Stream) return i;
  return -1;
}

uint32_t TAVIFileJoiner::PicturesConvertedByCut(const std::string& FileName,
                                                const TPictureCut& Cut) {
  if (Cut.Whole()) return 0;
  try {
    TAVIFileReader reader;
    TReaderPass pass(reader, FileName, false);
    const uint32_t kept = Cut.KeptOf(reader.VideoStream()->ChunkCount());
    if (kept == 0) return 0;
    uint32_t from = 0, last = 0;
    CopiedPictures(reader, Cut.In, Cut.In + kept - 1, from, last);
    return from > last ? kept : kept - (last - from + 1);
  } catch (const Exception&) {
    return 0;
  }
}

void TAVIFileJoiner::CopiedPictures(const TAVIFileReader& Reader, uint32_t First, uint32_t Last,
                                    uint32_t& CopyFrom, uint32_t& CopyLast) {
  const TAVIStream& video = *Reader.VideoStream();
  const uint32_t compression = video.FormatDWord(riff::BmpCompressionOffset);
  const TVideoCodec codec = VideoCodecOf(compression);
  const bool reorders = codec == TVideoCodec::Mpeg4Visual || codec == TVideoCodec::H264;
  const uint32_t count = video.ChunkCount();
  std::vector<uint8_t> data;
  auto read = [&](uint32_t Chunk) -> const std::vector<uint8_t>& {
    TAVIIndexEntry entry;
    data.clear();
    if (Chunk < count && video.GetIndexEntry(Chunk, entry) && entry.FilePos >= 0 &&
        entry.Size <= Reader.GetFileSize() - entry.FilePos) {
      data.resize(entry.Size);
      if (!video.ReadChunk(Chunk, data.data())) data.clear();
    }
    return data;
  };
  // Whether a chunk holds a picture shown before an earlier chunk's (a B picture), and whether
  // it holds two pictures, one held back for the chunk after it.
  auto reordered = [&](uint32_t Chunk) {
    if (!reorders || Chunk >= count) return false;
    const std::vector<uint8_t>& d = read(Chunk);
    return ReorderedPicture(compression, d.data(), static_cast<uint32_t>(d.size()));
  };
  auto packed = [&](uint32_t Chunk) {
    if (codec != TVideoCodec::Mpeg4Visual || Chunk >= count) return false;
    const std::vector<uint8_t>& d = read(Chunk);
    return TPictureUnpacker::IsPacked(d.data(), static_cast<uint32_t>(d.size()));
  };
  CopyFrom = 1;
  CopyLast = 0;
  for (uint32_t i = First; i <= Last; ++i) {
    TAVIIndexEntry entry;
    if (!video.GetIndexEntry(i, entry) || !entry.KeyFrame || entry.Size == 0) continue;
    // A B picture after the key frame is shown before it and needs the picture before it.
    if (packed(i) || reordered(i + 1)) continue;
    CopyFrom = i;
    break;
  }
  if (CopyFrom > Last) return;
  // The copy ends on a chunk after which no picture shown earlier comes, and that holds no
  // picture held back for the next chunk.
  for (uint32_t end = Last; end >= CopyFrom; --end) {
    if (end + 1 >= count || (!reordered(end + 1) && !packed(end))) {
      CopyLast = end;
      return;
    }
    if (end == CopyFrom) break;
  }
  CopyFrom = 1;
  CopyLast = 0;
}

TAVIFileJoiner::TCutHead TAVIFileJoiner::CutHead(const TAVIFileReader& Reader, size_t Index,
                                                 uint32_t First, uint32_t Last) {
  TCutHead head;
  head.Index = Index;
  CopiedPictures(Reader, First, Last, head.CopyFrom, head.CopyLast);
  const uint32_t converted =
      head.CopyFrom > head.CopyLast ? Last - First + 1 : head.CopyFrom - First;
  if (converted == 0) return head;
  TConvertRequest request;
  request.FileName = FFiles[Index];
  request.Pictures = true;
  request.Header = FOut.VideoHeader;
  request.Format = FOut.VideoFormat;
  request.FirstKeyFrame = FOut.FirstKeyFrame;
  request.FirstPicture = First;
  request.PictureCount = converted;
  head.Pictures = StartConverting(request);
  return head;
}

void TAVIFileJoiner::PrepareCutHeads(size_t Index) {
  FHeadsFrom = std::max(FHeadsFrom, Index + 1);
  for (; FHeadsFrom < FFiles.size() && FHeadsFrom <= Index + HeadsAhead; ++FHeadsFrom) {
    const TPictureCut cut = CutOf(FHeadsFrom);
    if (cut.Whole() || PlanOf(FHeadsFrom).ConvertPictures) continue;
    try {
      TAVIFileReader reader;
      TReaderPass pass(reader, FFiles[FHeadsFrom], false);
      const uint32_t kept = cut.KeptOf(reader.VideoStream()->ChunkCount());
      if (kept > 0) FHeads.push_back(CutHead(reader, FHeadsFrom, cut.In, cut.In + kept - 1));
    } catch (const Exception&) {}
  }
}

bool TAVIFileJoiner::JoinSource(size_t Index) {
  const TSourcePlan plan = PlanOf(Index);
  const TPictureCut cut = CutOf(Index);
  TReaderPass pass(FReader, FFiles[Index], false);
  CheckSourceIdentity(FFiles[Index], FScanned.at(Index), FReader.File().Identity());
  // Why the source's own index could not be used, for the warning or the failure that names it.
  const std::string indexProblem = FReader.IndexIsWalked() ? FReader.IndexProblem() : "";
  const TAVIStream* video = FReader.VideoStream();
  // Sound goes to the output only when it has a sound stream (from the first source).
  const TAVIStream* audio = FHasAudioOut ? FReader.AudioStream() : nullptr;
  const uint32_t compression = video->FormatDWord(riff::BmpCompressionOffset);
  const TAVIStreamHeader& vh = video->Header;

  // The pictures kept, by chunk: First to Last.
  const uint32_t held = video->ChunkCount();
  const bool cutting = !cut.Whole();
  const uint32_t kept = cut.KeptOf(held);
  if (cutting && kept == 0) throw Exception(CutPastEndText(FFiles[Index], held));
  const uint32_t first = cutting ? cut.In : 0;
  const uint32_t last = cutting ? first + kept - 1 : held;
  const long double pictureSeconds =
      vh.Scale && vh.Rate ? static_cast<long double>(vh.Scale) / vh.Rate : 0;
  const double skipped = static_cast<double>(first * pictureSeconds);

  // Where the pictures come from: converted (head), then the chunks copyFrom to copyEnd - 1,
  // then converted (tail). A source copied whole has no end but that of its chunks.
  std::unique_ptr<IConvertedChunks> head, tail, sound;
  uint32_t copyFrom = 0, copyEnd = UINT32_MAX;
  uint32_t pictureCount = held;
  TConvertRequest request;
  request.FileName = FFiles[Index];
  const TAVIStreamHeader& out = FOut.VideoHeader;
  // The source's length is that of the pictures it keeps, at its header's rate or, where that
  // is no rate of pictures, at the output's.
  request.Seconds = static_cast<double>(cutting ? kept : held) * pictureSeconds;
  request.StartSeconds = skipped;
  if (Retimed(plan, RateOf(vh), RateOf(out))) {
    request.PictureRate = RateOf(out);
    request.Seconds = (cutting ? kept : held) / request.PictureRate;
    request.StartSeconds = first / request.PictureRate;
    FWarnings.push_back(
        RetimedPicturesWarning(FFiles[Index], RateOf(vh), held, request.PictureRate));
  }
  auto convertPictures = [&](uint32_t From, uint32_t Count) {
    TConvertRequest r = request;
    r.Pictures = true;
    r.Header = out;
    r.Format = FOut.VideoFormat;
    r.FirstKeyFrame = FOut.FirstKeyFrame;
    r.FirstPicture = From;
    r.PictureCount = Count;
    return StartConverting(r);
  };
  if (plan.ConvertPictures) {
    const long double made =
        out.Scale ? std::round(static_cast<long double>(request.Seconds) * out.Rate / out.Scale)
                  : 0;
    pictureCount = static_cast<uint32_t>(std::clamp<long double>(made, 1, UINT32_MAX));
    head = convertPictures(first, pictureCount);
    copyEnd = 0;
  } else if (cutting) {
    pictureCount = kept;
    while (!FHeads.empty() && FHeads.front().Index < Index) FHeads.pop_front();
    TCutHead cutHead;
    if (!FHeads.empty() && FHeads.front().Index == Index) {
      cutHead = std::move(FHeads.front());
      FHeads.pop_front();
    } else {
      cutHead = CutHead(FReader, Index, first, last);
    }
    copyFrom = cutHead.CopyFrom;
    head = std::move(cutHead.Pictures);
    if (copyFrom > cutHead.CopyLast) {
      copyEnd = 0;
    } else {
      copyEnd = cutHead.CopyLast + 1;
      if (cutHead.CopyLast < last)
        tail = convertPictures(cutHead.CopyLast + 1, last - cutHead.CopyLast);
    }
  }
  // The next sources' heads are converted while this one is copied.
  PrepareCutHeads(Index);
  // A source without sound converted gives silence of the output's format.
  if (FHasAudioOut && plan.ConvertSound) {
    request.Pictures = false;
    request.SoundLead = FSoundSync ? static_cast<double>(FSoundSync->SoundLag()) : 0;
    request.Header = FOut.SoundHeader;
    request.Format = FOut.SoundFormat;
    request.FirstKeyFrame = FOut.FirstSound;
    request.PictureCount = pictureCount;
    sound = StartConverting(request);
  }
  const bool copySound = audio && !sound;
  // Converted sound starts with the source's first picture kept: no delay against it.
  const TAVIStreamHeader& syncVideo = plan.ConvertPictures ? FOut.VideoHeader : vh;
  const TAVIStreamHeader* syncSound = copySound ? &audio->Header : sound ? &syncVideo : nullptr;
  // Copied packed pictures are unpacked; a last chunk that holds two pictures gives the source
  // one picture more than it has chunks, and its sound is kept to the end of that one too.
  const bool unpack =
      !plan.ConvertPictures && VideoCodecOf(compression) == TVideoCodec::Mpeg4Visual;
  TPictureUnpacker unpacker(unpack);
  bool keySeen = false;  // a key frame of this source's pictures is written
  const uint32_t syncPictures =
      pictureCount + (unpack && !cutting && EndsPacked(FReader, *video) ? 1 : 0);
  if (FSoundSync)
    FSoundSync->BeginSource(syncVideo, syncSound, syncPictures, copySound ? skipped : 0);
  if (FSoundSync && sound) FSoundSync->SetSourceSoundStart(-FSoundSync->SoundLag());
  const TSoundSync::TWrite writeSound = [this](const uint8_t* Data, uint32_t Size, bool KeyFrame) {
    FWriter.WriteChunk(AudioOut, Data, KeyFrame, Size);
  };

  // A source copied whole keeps its own order of chunks: the reader's walk in time order, which
  // reads on by walking the data where the index proves wrong, each chunk reported. Otherwise
  // each picture is followed by the sound due up to it, so that the two stay interleaved, and
  // reported; after the last picture comes the rest of the sound.
  const bool ownOrder = plan.Copied() && !cutting;
  enum class TNext { Picture, DueSound, RestOfSound } next = TNext::Picture;
  bool soundLeft = copySound || sound;
  uint32_t nextPicture = copyFrom, nextSound = 0;  // what is copied of each stream, by its index
  uint32_t soundGiven = 0;                         // sound chunks up to the last one copied
  TFileReadBuffer readAhead(FReader.File(), ReadAheadSize);
  std::vector<uint8_t> converted;
  uint32_t frames = 0, sounds = 0;
  FSourceDone = 0;
  FSourceCount = ownOrder ? vh.Length : pictureCount;
  bool reportDue = false, cancelled = false;
  // After each picture written: the sound due up to it, and the counts.
  const auto pictureWritten = [&] {
    if (FSoundSync) {
      FSoundSync->PictureWritten();
      // The sound of a source copied whole is over once its last chunk came by.
      const bool soundOver = ownOrder ? !audio || soundGiven >= audio->ChunkCount() : !soundLeft;
      FSoundSync->WriteDueSilence(soundOver, writeSound);
    }
    ++frames;
    ++FPicturesWritten;
    ++FFramesCopied;
    ++FSourceDone;
  };
  const TPictureUnpacker::TEmit writePicture = [&](const uint8_t* Data, uint32_t Size, bool Key) {
    FWriter.WriteChunk(VideoOut, Data, Key, Size);
    pictureWritten();
  };
  if (ownOrder) FReader.ResetChunkCursors();
  for (;;) {
    if (reportDue) {
      reportDue = false;
      if (ReportCancelled(Index)) {
        cancelled = true;
        break;
      }
    }
    // Which stream's chunk comes next (and its number where it is copied), and the converter
    // that gives it where it is converted.
    int streamIndex = -1;
    uint32_t chunk = 0;
    const TAVIStream* stream = nullptr;
    IConvertedChunks* from = nullptr;
    if (ownOrder) {
      FReader.NextChunk(streamIndex, chunk);
      if (streamIndex < 0) break;
      stream = &FReader.Streams(streamIndex);
    } else if (next == TNext::Picture) {
      stream = video;
      if (head) {
        from = head.get();
      } else if (nextPicture < copyEnd) {
        chunk = nextPicture++;
      } else if (tail) {
        from = tail.get();
      } else {
        next = TNext::RestOfSound;
        continue;
      }
    } else if (soundLeft && (next == TNext::RestOfSound || FSoundSync->UnitsDue() > 0)) {
      stream = audio;
      chunk = nextSound++;
      from = sound.get();
    } else if (next == TNext::DueSound) {
      if (FSoundSync && !soundLeft) FSoundSync->WriteDueSilence(true, writeSound);
      next = TNext::Picture;
      reportDue = true;
      continue;
    } else {
      break;
    }
    if (stream != video && stream != audio) {
      reportDue = true;  // a chunk of a stream the output does not take
      continue;
    }

    // The chunk: converted, or read from the source.
    const uint8_t* data = converted.data();
    uint32_t size = 0;
    bool key = true, got = false, copiedByRange = false;
    if (from) {
      got = from->Next(converted, key);
      data = converted.data();
      size = static_cast<uint32_t>(converted.size());
      // The converted head ends: the copy goes on.
      if (!got && from == head.get()) {
        head.reset();
        continue;
      }
      // An empty converted sound chunk holds nothing to place.
      if (got && size == 0 && stream == audio) continue;
    } else {
      TAVIIndexEntry entry;
      got = stream->GetIndexEntry(chunk, entry);
      // A large picture the window does not hold is written here, from file to file; one whose
      // bytes are inspected (packed or walked pictures) is read.
      copiedByRange = got && stream == video && !unpack && !FReader.IndexIsWalked() &&
                      entry.Size >= CopyByRangeSize &&
                      !readAhead.Held(entry.FilePos - static_cast<int64_t>(ChunkDataAt),
                                      entry.Size + static_cast<uint32_t>(ChunkDataAt));
      if (copiedByRange)
        got = CopyPictureByRange(readAhead, *stream, entry);
      else
        got = got && ReadChunkData(readAhead, *stream, entry);
      data = FChunkData;
      size = entry.Size;
      key = entry.KeyFrame;
      // Where the data was walked, the codec's own picture header tells key frames; for a
      // codec whose pictures do not say, the source's first picture is one (every stream
      // begins with a key frame), so that a player can seek to each source.
      if (got && stream == video && FReader.IndexIsWalked())
        key = KeyFrameOfPicture(compression, data, size).value_or(key || (!keySeen && size > 0));
    }
    if (!got) {
      // A copied chunk its index lists that cannot be read: the index points elsewhere or past
      // the data, and the source is read on by walking its data, from where each stream
      // stands (this chunk again). Where that walk is what failed, the stream ends here (the
      // source was damaged or cut short).
      const bool listed = !from && chunk < stream->ChunkCount();
      if (!ownOrder && listed) streamIndex = StreamIndexOf(*stream);
      if (listed && FReader.RestartWalkFromData(streamIndex, chunk)) {
        if (FSoundSync && !plan.ConvertPictures)
          FSoundSync->SetSourcePictures(cutting ? cut.KeptOf(video->ChunkCount())
                                                : video->ChunkCount());
        (stream == video ? nextPicture : nextSound) = chunk;
        continue;
      }
      if (ownOrder) break;
      // The stream ends here: converted, or cut short.
      if (stream == video)
        next = TNext::RestOfSound;
      else
        soundLeft = false;
      continue;
    }

    if (stream == video) {
      keySeen = keySeen || (key && size > 0);
      if (copiedByRange)
        pictureWritten();
      else
        unpacker.Put(data, size, key, writePicture);
      if (!ownOrder) next = TNext::DueSound;
    } else {
      soundGiven = std::max(soundGiven, chunk + 1);
      FSoundSync->CopySound(data, size, key, writeSound);
      ++sounds;
    }
    if (ownOrder) reportDue = true;
  }
  // Also a source cut short or a cancelled join ends with sound up to its last picture.
  if (!cancelled) unpacker.Finish(writePicture);
  if (FSoundSync) FSoundSync->EndSource(writeSound);
  if (cancelled) return false;
  // Converted pictures are as many as the output's rate makes of the source's length.
  const uint32_t declared = cutting ? kept : vh.Length;
  CheckContribution(Index, plan.ConvertPictures && frames > 0 ? std::max(frames, declared) : frames,
                    declared, sounds, indexProblem);
  return true;
}

void TAVIFileJoiner::CheckContribution(size_t Index, uint32_t Frames, uint32_t Declared,
                                       uint32_t Sounds, const std::string& IndexProblem) {
  const std::string& name = FFiles[Index];
  if (Frames == 0)
    throw Exception(IndexProblem.empty() ? "No video frame could be read from the file " + name
                                         : MessageNamingFile(name, IndexProblem));
  if (!IndexProblem.empty())
    FWarnings.push_back("The file " + name + " was read without its index: " + IndexProblem);
  // Frames are one chunk each.
  const TAVIStreamHeader& video = FReader.VideoStream()->Header;
  if (video.SampleSize == 0) {
    std::string partly = PartlyReadWarning(name, Frames, Declared);
    if (!partly.empty()) FWarnings.push_back(std::move(partly));
  }
  if (FSoundSync && FSoundSync->SourceGapLeft() && Index + 1 < FFiles.size())
    FWarnings.push_back("The sound after the file " + name +
                        " plays early: no silence can be made in the output's sound format to "
                        "fill what its sound lacks");
  const TAVIStream* audio = FHasAudioOut ? FReader.AudioStream() : nullptr;
  if (audio && audio->Header.Length > 0 && Sounds == 0)
    FWarnings.push_back("No sound could be read from the file " + name);
  else if (audio && FSoundSync->SourceSoundLeftOut())
    FWarnings.push_back("The sound of the file " + name +
                        " lies outside its pictures and is "
                        "left out");
}

}  // namespace rw
