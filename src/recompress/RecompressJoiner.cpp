#include "recompress/RecompressJoiner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "engine/EngineLoader.h"
#include "join/JoinProgress.h"
#include "join/OutputCheck.h"
#include "media/AVIFacts.h"
#include "media/AVIRead.h"
#include "formats/WaveFormat.h"
#include "media/VideoFileInfo.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "recompress/CompressorList.h"

namespace rw {

namespace {

constexpr int32_t WaitInterval = 300;  // milliseconds between progress reports

std::string SizeText(int32_t Width, int32_t Height) {
  return std::to_string(Width) + "x" + std::to_string(Height);
}

TRenderEncoder EncoderOf(const std::shared_ptr<TCompressorFilter>& Compressor) {
  if (!Compressor) return {};
  return {Compressor->EncoderName(), Compressor->Options()};
}

}  // namespace

int32_t StretchModeOf(TResizeMethod Method) {
  switch (Method) {
    case rmStretch:
      return RESIZEF_STRETCH;
    case rmCrop:
      return RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX;
    case rmLetterbox:
      return RESIZEF_PRESERVEASPECTRATIO;
    case rmNoResize:
      return RESIZEF_CROP;
  }
  return RESIZEF_PRESERVEASPECTRATIO;
}

void CheckDSResult(const TEngineError& Error) {
  if (!Error.Failed()) return;
  char code[16];
  std::snprintf(code, sizeof code, "%X", static_cast<uint32_t>(Error.Code));
  throw Exception(std::string("DirectShow Error: ") + code +
                  (Error.Reason.empty() ? "" : ": " + Error.Reason));
}

std::optional<THeldPictures> HeldPictures(const std::string& FileName) {
  TAVIFileReader reader;
  try {
    reader.Open(FileName, false);
  } catch (const Exception&) {
    return std::nullopt;
  }
  const TAVIStream* video = reader.VideoStream();
  if (!video) return std::nullopt;
  const TAVIStreamHeader& h = video->Header;
  if (h.Rate == 0 || h.Scale == 0 || h.SampleSize != 0) return std::nullopt;
  THeldPictures held;
  held.Count = video->ChunkCount();
  held.Declared = h.Length;
  held.Rate = static_cast<double>(h.Rate) / h.Scale;
  held.Width = std::abs(static_cast<int64_t>(video->Width));
  held.Height = std::abs(static_cast<int64_t>(video->Height));
  held.FileSize = reader.GetFileSize();
  if (const TAVIStream* audio = reader.AudioStream()) {
    const bool timedByHeader = IsSampleSound(WaveFormatTag(audio->Format));
    const uint32_t rate = audio->FormatDWord(riff::WaveSamplesPerSecOffset);
    const uint16_t block = audio->FormatWord(riff::WaveBlockAlignOffset);
    if (timedByHeader && rate > 0) {
      uint32_t longest = 0;
      TAVIIndexEntry e;
      for (uint32_t i = 0; audio->GetIndexEntry(i, e); ++i) longest = std::max(longest, e.Size);
      held.SoundRate = rate;
      held.LongestSoundChunk = static_cast<double>(longest) / std::max<uint16_t>(block, 1) / rate;
    }
  }
  return held;
}

void CheckHeldBounds(const std::string& FileName, const THeldPictures& Held) {
  const double bound = static_cast<double>(DecodeAllowance) +
                       static_cast<double>(DecodedBytesPerFileByte) *
                           static_cast<double>(std::max<int64_t>(Held.FileSize, 0));
  const std::string holds = ", which its " + std::to_string(Held.FileSize) + " bytes cannot hold";
  if (static_cast<double>(Held.Width) * static_cast<double>(Held.Height) * 4 > bound)
    throw Exception("The file " + FileName + " claims pictures of " + std::to_string(Held.Width) +
                    "x" + std::to_string(Held.Height) + holds);
  if (Held.LongestSoundChunk * 44100 * 8 > bound)
    throw Exception("The file " + FileName + " claims sound of " + std::to_string(Held.SoundRate) +
                    " samples per second" + holds);
}

TMediaInfo GetMediaInfo(const std::string& FileName) {
  // Checked before the engine decodes anything of the file.
  const std::optional<THeldPictures> held = HeldPictures(FileName);
  if (held) CheckHeldBounds(FileName, *held);
  const TEngineResult<TFileDescription> file = MediaEngine().Describe(FileName);
  CheckDSResult(file.Error);
  TMediaInfo info;
  bool video = false;
  for (const TStreamDescription& s : file.Value.Streams) {
    if (s.Kind == TMediaKind::mkVideo) {
      video = true;
      info.Length = s.Length;
    }
    if (s.Kind == TMediaKind::mkAudio) info.HasAudio = true;
  }
  // The engine's length comes from the header and from the index it found; what the file holds
  // is what the render decodes.
  if (video && held) {
    info.Pictures = held->Count;
    info.DeclaredPictures = held->Declared;
    info.PictureRate = held->Rate;
    info.Length = held->Count / held->Rate;
  }
  return info;
}

TFittedFrame FitFrameSize(const TCompressorFilter* Video, int32_t Width, int32_t Height) {
  const TFrameFit fit = Video ? Video->FitFrameSize(Width, Height) : TFrameFit{};
  if (fit.Why.empty()) return {Width, Height, ""};
  return {fit.Width, fit.Height,
          "Note: " + fit.Why + ": " + SizeText(Width, Height) + " becomes " +
              SizeText(fit.Width, fit.Height) + "."};
}

TRenderPlan TDSVideoJoiner::BuildPlan(std::vector<std::string>* Warnings) const {
  TRenderPlan plan;
  for (size_t i = 0; i < FFiles.size(); ++i) {
    const std::string& name = FFiles[i];
    TFileIdentity now;
    if (i < FIdentities.size() && FileIdentity(name, now))
      CheckSourceIdentity(name, FIdentities[i], now);
    TMediaInfo info;
    try {
      info = GetMediaInfo(name);
    } catch (const std::exception& E) {
      // The error names the source it concerns.
      throw Exception(MessageNamingFile(name, E.what()));
    }
    // A source that would add nothing to the output is a source lost: the join stops, naming
    // it.
    if (!(info.Length > 0))
      throw Exception("The file " + name + " holds no pictures that can be read");
    TRenderSource source{name, info.Length, info.HasAudio};
    if (info.Pictures > 0 && !PlausibleFrameRate(info.PictureRate)) {
      // Timed by its header, a thousand pictures a second would keep a few of them, and one
      // picture in a million seconds would render for years.
      source.PictureRate = FFrameRate;
      source.Length = info.Pictures / FFrameRate;
      if (Warnings)
        Warnings->push_back(
            RetimedPicturesWarning(name, info.PictureRate, info.Pictures, FFrameRate));
    }
    const TPictureCut cut = i < FCuts.size() ? FCuts[i] : TPictureCut{};
    if (!cut.Whole()) {
      // Picture n is shown at n / the rate the source is joined at.
      const double rate = source.PictureRate > 0 ? source.PictureRate : info.PictureRate;
      if (info.Pictures == 0 || !(rate > 0))
        throw Exception("The file " + name + " cannot be cut: its pictures cannot be counted");
      const uint32_t kept = cut.KeptOf(info.Pictures);
      if (kept == 0)
        throw Exception("The cut of the file " + name + " keeps none of its " +
                        std::to_string(info.Pictures) + " pictures");
      source.From = cut.In / rate;
      source.Length = kept / rate;
    }
    if (std::llround(source.Length * FFrameRate) < 1)
      throw Exception("The file " + name + " gives no picture at " + RateText(FFrameRate) +
                      " frames per second");
    if (Warnings) {
      // The render joins what the file holds; the user hears of what it lacks.
      std::string partly = PartlyReadWarning(name, info.Pictures, info.DeclaredPictures);
      if (!partly.empty()) Warnings->push_back(std::move(partly));
    }
    plan.Sources.push_back(source);
  }
  plan.Width = FWidth;
  plan.Height = FHeight;
  plan.Rate = FFrameRate;
  plan.StretchMode = StretchModeOf(FResizeMethod);
  plan.Video = EncoderOf(FVideoCompressor);
  plan.Audio = EncoderOf(FAudioCompressor);
  plan.OutFileName = FOutFileName;
  return plan;
}

void TDSVideoJoiner::CheckCompressors() const {
  // Found before the output is touched: a frame size the video compressor cannot hold, and a
  // compressor that cannot take the join's formats or makes what does not decode.
  if (FVideoCompressor) {
    const TFrameFit fit = FVideoCompressor->FitFrameSize(FWidth, FHeight);
    if (!fit.Why.empty())
      throw Exception("Cannot join into " + SizeText(FWidth, FHeight) + " frames: " + fit.Why +
                      " (" + SizeText(fit.Width, fit.Height) + " would do)");
    FVideoCompressor->CheckFormat({TMediaKind::mkVideo, FWidth, FHeight, FFrameRate});
  }
  if (FAudioCompressor) FAudioCompressor->CheckFormat({TMediaKind::mkAudio});
}

void TDSVideoJoiner::Join() {
  FWarnings.clear();
  const TRenderPlan plan = BuildPlan(&FWarnings);
  CheckCompressors();
  // Emptying an output that is one of the sources would lose that source.
  CheckJoinOutput(FOutFileName, FFiles);
  // Each source as the render starts, to tell afterwards what changed under it.
  std::vector<TFileIdentity> started(FFiles.size());
  for (size_t i = 0; i < FFiles.size(); ++i) FileIdentity(FFiles[i], started[i]);
  // The output is created empty before the render starts; it raises the system's failure.
  TFile::Create(FOutFileName).Close();
  TEngineResult<std::unique_ptr<IEngineJob>> render = MediaEngine().StartRender(plan);
  CheckDSResult(render.Error);
  IEngineJob& job = *render.Value;
  while (!job.Wait(WaitInterval)) {
    if (!FProgress) continue;
    FProgress->SetProgress(job.Percent());
    if (FProgress->IsCancelled()) {
      job.Stop();
      CheckSourcesAfterRender(started);
      PutFacts();
      return;
    }
  }
  const TEngineError failure = job.Error();
  if (failure.Failed()) throw Exception(failure.Reason);
  CheckSourcesAfterRender(started);
  PutFacts();
}

void TDSVideoJoiner::CheckSourcesAfterRender(const std::vector<TFileIdentity>& Started) {
  for (size_t i = 0; i < FFiles.size() && i < Started.size(); ++i) {
    TFileIdentity now;
    if (!FileIdentity(FFiles[i], now)) now = {};
    const TFileIdentity& then = Started[i];
    if (now == then) continue;
    // The same file, shorter: the render read it as far as it went.
    if (now.Device == then.Device && now.Inode == then.Inode && now.Size < then.Size) {
      FWarnings.push_back("The file " + FFiles[i] + " was cut short during the join");
      continue;
    }
    // Another file under its name, or other contents: the render may hold them.
    CheckSourceIdentity(FFiles[i], then, now);
  }
}

void TDSVideoJoiner::PutFacts() const {
  TAVIFileReader first;
  try {
    first.Open(FFiles.at(0), true);
  } catch (const EAVIReadError&) {
    return;  // a source the engine reads but our reader does not: its facts are not known
  }
  // The program first: where the room the engine leaves is short, the source's texts go first.
  TAVIFacts facts;
  facts.RecordingDate = first.Facts().RecordingDate;
  if (!FSoftware.empty()) facts.SetInfo(FourCC("ISFT"), FSoftware);
  for (const auto& [id, text] : first.Facts().Info)
    if (id != FourCC("ISFT") || FSoftware.empty()) facts.SetInfo(id, text);
  while (!PutFactsInHeader(FOutFileName, facts) && !facts.Info.empty()) facts.Info.pop_back();
}

}  // namespace rw
