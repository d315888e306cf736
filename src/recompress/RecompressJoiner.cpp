#include "recompress/RecompressJoiner.h"

#include <cstdio>

#include "engine/EngineLoader.h"
#include "join/JoinProgress.h"
#include "join/OutputCheck.h"
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

TMediaInfo GetMediaInfo(const std::string& FileName) {
  const TEngineResult<TFileDescription> file = MediaEngine().Describe(FileName);
  CheckDSResult(file.Error);
  TMediaInfo info;
  for (const TStreamDescription& s : file.Value.Streams) {
    if (s.Kind == TMediaKind::mkVideo) info.Length = s.Length;
    if (s.Kind == TMediaKind::mkAudio) info.HasAudio = true;
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

TRenderPlan TDSVideoJoiner::BuildPlan() const {
  TRenderPlan plan;
  for (const std::string& name : FFiles) {
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
    plan.Sources.push_back({name, info.Length, info.HasAudio});
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
  const TRenderPlan plan = BuildPlan();
  CheckCompressors();
  // Emptying an output that is one of the sources would lose that source.
  CheckJoinOutput(FOutFileName, FFiles);
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
      return;
    }
  }
  const TEngineError failure = job.Error();
  if (failure.Failed()) throw Exception(failure.Reason);
}

}  // namespace rw
