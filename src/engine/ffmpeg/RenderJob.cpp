#include "engine/ffmpeg/RenderJob.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ffmpeg/GroupRender.h"
#include "engine/ffmpeg/RenderOutput.h"
#include "formats/Limits.h"

namespace rw {

namespace {

void CheckPlan(const TRenderPlan& Plan) {
  auto refuse = [](const std::string& Why) { throw EMediaEngineError(ME_INVALIDARG, Why); };
  if (Plan.Width < 1 || Plan.Height < 1 || Plan.Width > MaxFrameSide || Plan.Height > MaxFrameSide)
    refuse("Cannot render frames of " + std::to_string(Plan.Width) + "x" +
           std::to_string(Plan.Height));
  if (!std::isfinite(Plan.Rate) || Plan.Rate <= 0 || Plan.Rate > MaxFrameRate)
    refuse("Cannot render at " + std::to_string(Plan.Rate) + " frames per second");
  if (Plan.StretchMode < RESIZEF_STRETCH ||
      Plan.StretchMode > RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX)
    refuse("There is no stretch mode " + std::to_string(Plan.StretchMode));
  double total = 0;
  for (const TRenderSource& s : Plan.Sources) {
    total += s.Length;
    // About 29 years at most.
    if (s.FileName.empty() || !std::isfinite(s.Length) || s.Length < 0 || total > 1e9)
      refuse("Cannot render " + std::to_string(s.Length) + " s of \"" + s.FileName + "\"");
    if (!std::isfinite(s.From) || s.From < 0 || s.From > 1e9)
      refuse("Cannot render \"" + s.FileName + "\" from " + std::to_string(s.From) + " s");
    if (!std::isfinite(s.PictureRate) || s.PictureRate < 0 || s.PictureRate > MaxFrameRate)
      refuse("Cannot render the pictures of \"" + s.FileName + "\" at " +
             std::to_string(s.PictureRate) + " frames per second");
  }
}

class TRenderJob final : public IEngineJob {
public:
  explicit TRenderJob(const TRenderPlan& Plan) : FOutput(Plan.OutFileName) {
    // The sources back to back: the pictures of each, and the sound of those that have it.
    std::vector<TPlacedSource> pictures, sound;
    double at = 0;
    for (const TRenderSource& s : Plan.Sources) {
      const TPlacedSource placed{s.FileName, std::llround(at * UNITS),
                                 std::llround((at + s.Length) * UNITS), s.PictureRate, s.From};
      pictures.push_back(placed);
      if (s.HasSound) sound.push_back(placed);
      at += s.Length;
    }
    FDuration = pictures.empty() ? 0 : pictures.back().Stop;
    TEncoderStream& video =
        FOutput.Add({TMediaKind::mkVideo, Plan.Width, Plan.Height, Plan.Rate}, Plan.Video);
    FGroups.push_back(std::make_unique<TVideoGroupRender>(
        std::move(pictures), video, FrameRateOf(Plan.Rate), Plan.StretchMode, FDuration));
    TEncoderStream& audio = FOutput.Add({TMediaKind::mkAudio}, Plan.Audio);
    FGroups.push_back(std::make_unique<TAudioGroupRender>(std::move(sound), audio, FDuration));
    FWorker = std::thread([this] { Render(); });
  }

  ~TRenderJob() override { Stop(); }

  bool Wait(int32_t TimeoutMs) override {
    std::unique_lock lock(FLock);
    return FEnded.wait_for(lock, std::chrono::milliseconds(std::max(TimeoutMs, 0)),
                           [this] { return FDone; });
  }

  double Percent() override { return RenderPercent(FPosition, FDuration); }

  void Stop() override {
    FStopRequested = true;
    if (FWorker.joinable()) FWorker.join();
  }

  TEngineError Error() override {
    std::lock_guard lock(FLock);
    return FError;
  }

private:
  void Render();

  TRenderOutput FOutput;
  std::vector<std::unique_ptr<TGroupRender>> FGroups;
  int64_t FDuration = 0;
  std::atomic<bool> FStopRequested{false};
  std::atomic<int64_t> FPosition{0};
  std::mutex FLock;
  std::condition_variable FEnded;
  bool FDone = false;
  TEngineError FError;
  std::thread FWorker;  // last: it starts once everything else is made
};

void TRenderJob::Render() {
  TEngineError error;
  try {
    FOutput.Begin();
    while (!FStopRequested) {
      // The group that is furthest behind goes on, so that both end together.
      TGroupRender* next = nullptr;
      for (auto& g : FGroups)
        if (!g->Done() && (!next || g->Position() < next->Position())) next = g.get();
      if (!next) break;
      next->Step();
      int64_t at = FDuration;
      for (auto& g : FGroups) at = std::min(at, g->Position());
      FPosition = at;
    }
    for (auto& g : FGroups) g->Flush();
    FOutput.Finish();
  } catch (const EMediaEngineError& E) {
    error = {E.Code(), E.what()};
  } catch (const std::exception& E) {
    error = {ME_FAIL, E.what()};
  } catch (...) {
    error = {ME_FAIL, "Unknown failure"};
  }
  if (error.Failed()) {
    // Complete what was written, so that the part of the file stays readable.
    try {
      FOutput.Finish();
    } catch (...) {}
  }
  std::lock_guard lock(FLock);
  FError = error;
  FDone = true;
  FEnded.notify_all();
}

}  // namespace

std::unique_ptr<IEngineJob> StartRenderJob(const TRenderPlan& Plan) {
  CheckPlan(Plan);
  return std::make_unique<TRenderJob>(Plan);
}

}  // namespace rw
