// The render engine over FFmpeg: renders a timeline into an AVI file through the chosen
// encoders on its own worker thread, group by group a little at a time, with the position,
// a wait with a time-out and an early stop that still completes the file.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ffmpeg/FFmpegEngine.h"
#include "engine/ffmpeg/GroupRender.h"
#include "engine/ffmpeg/RenderOutput.h"

namespace rw {

namespace {

class TFFmpegRender final : public IEngineRender {
public:
  // Stops a render that still runs.
  ~TFFmpegRender() override { Join(); }

  TMediaResult SetTimelineObject(const TMediaTimeline* Timeline) override {
    return EngineCall([&] {
      if (FRunning) return ME_UNEXPECTED;
      FTimeline = Timeline;
      FConnected = false;
      return Timeline ? ME_OK : ME_INVALIDARG;
    });
  }

  TMediaResult ConnectFrontEnd() override {
    return EngineCall([&] {
      if (!FTimeline || FRunning) return ME_UNEXPECTED;
      if (FTimeline->GroupCount() == 0) return Failed(ME_INVALIDARG, "The timeline has no group");
      FTimeline->GetDuration(FDuration);
      FConnected = true;
      return ME_OK;
    });
  }

  TMediaResult SetOutputFileName(const std::string& FileName) override {
    return EngineCall([&] {
      if (FRunning) return ME_UNEXPECTED;
      FRenders.clear();
      FOutput.reset();
      try {
        FOutput = std::make_unique<TRenderOutput>(FileName);
      } catch (const EMediaEngineError& E) {
        return Fail(E);
      }
      return ME_OK;
    });
  }

  TMediaResult GetGroupOutputPin(int32_t Group, TGroupPin& Pin) override {
    return EngineCall([&] {
      Pin.Group = -1;
      if (!FConnected) return ME_UNEXPECTED;
      const TTimelineGroup* group = nullptr;
      const TMediaResult r = FTimeline->GetGroup(Group, group);
      if (r != ME_OK) return r;
      Pin.Group = Group;
      return ME_OK;
    });
  }

  TMediaResult RenderStream(const TGroupPin& Pin, const std::string* Encoder) override {
    return EngineCall([&] {
      if (!FConnected || !FOutput || FRunning) return ME_UNEXPECTED;
      const TTimelineGroup* group = nullptr;
      const TMediaResult r = FTimeline->GetGroup(Pin.Group, group);
      if (r != ME_OK) return r;
      try {
        const TMediaType& type = group->MediaType();
        TEncoderStream& s = FOutput->Add(type, group->OutputFPS(), Encoder);
        if (type.MajorType == TMediaMajorType::mtVideo)
          FRenders.push_back(std::make_unique<TVideoGroupRender>(*group, s, FDuration));
        else
          FRenders.push_back(std::make_unique<TAudioGroupRender>(*group, s, FDuration));
      } catch (const EMediaEngineError& E) {
        return Fail(E);
      }
      return ME_OK;
    });
  }

  TMediaResult Run() override {
    return EngineCall([&] {
      if (FRunning) return ME_FALSE;
      if (!FOutput || FRenders.empty()) return ME_UNEXPECTED;
      FRunning = true;
      FWorker = std::thread([this] { Render(); });
      return ME_OK;
    });
  }

  TMediaResult WaitForCompletion(int32_t TimeoutMs, int32_t& EventCode) override {
    return EngineCall([&] {
      EventCode = 0;
      if (!FRunning) return ME_UNEXPECTED;
      std::unique_lock lock(FLock);
      if (!FFinished.wait_for(lock, std::chrono::milliseconds(std::max(TimeoutMs, 0)), [this] { return FEnded; }))
        return ME_ABORT;
      EventCode = FEventCode;
      return ME_OK;
    });
  }

  TMediaResult GetCurrentPosition(int64_t& Position) override {
    return EngineCall([&] {
      Position = FPosition;
      return ME_OK;
    });
  }

  TMediaResult Stop() override {
    return EngineCall([&] {
      Join();
      return ME_OK;
    });
  }

  TMediaResult ScrapIt() override {
    return EngineCall([&] {
      Join();
      FRenders.clear();
      FOutput.reset();
      FConnected = false;
      FTimeline = nullptr;
      return ME_OK;
    });
  }

  TMediaResult GetError(TMediaResult& Code, std::string& Text) override {
    return EngineCall([&] {
      std::lock_guard lock(FLock);
      Code = FErrorCode;
      Text = FErrorText;
      return ME_OK;
    });
  }

private:
  // Keeps the failure as the render's error (and the calling thread's); returns its code.
  TMediaResult Fail(const EMediaEngineError& E) {
    {
      std::lock_guard lock(FLock);
      FErrorCode = E.Code();
      FErrorText = E.what();
    }
    return Failed(E.Code(), E.what());
  }

  void Render();
  void EndRender(int32_t Code);
  void Join() {
    FStopRequested = true;
    if (FWorker.joinable()) FWorker.join();
  }

  const TMediaTimeline* FTimeline = nullptr;
  bool FConnected = false;
  std::unique_ptr<TRenderOutput> FOutput;
  std::vector<std::unique_ptr<TGroupRender>> FRenders;
  int64_t FDuration = 0;

  std::thread FWorker;
  std::atomic<bool> FStopRequested{false};
  std::atomic<int64_t> FPosition{0};
  std::mutex FLock;
  std::condition_variable FFinished;
  bool FRunning = false;
  bool FEnded = false;
  int32_t FEventCode = 0;
  TMediaResult FErrorCode = ME_OK;
  std::string FErrorText;
};

void TFFmpegRender::Render() {
  int32_t code = EC_COMPLETE;
  try {
    FOutput->Begin();
    while (!FStopRequested) {
      TGroupRender* next = nullptr;
      for (auto& r : FRenders)
        if (!r->Done() && (!next || r->Position() < next->Position())) next = r.get();
      if (!next) break;
      next->Step();
      int64_t at = FDuration;
      for (auto& r : FRenders) at = std::min(at, r->Position());
      FPosition = at;
    }
    if (FStopRequested) code = EC_USERABORT;
    for (auto& r : FRenders) r->Flush();
    FOutput->Finish();
  } catch (const EMediaEngineError& E) {
    Fail(E);
    code = EC_ERRORABORT;
  } catch (const std::exception& E) {
    Fail(EMediaEngineError(ME_FAIL, E.what()));
    code = EC_ERRORABORT;
  } catch (...) {
    Fail(EMediaEngineError(ME_FAIL, "Unknown failure"));
    code = EC_ERRORABORT;
  }
  if (code == EC_ERRORABORT) {
    // Complete what was written, so that the part of the file stays readable.
    try {
      FOutput->Finish();
    } catch (...) {
    }
  }
  EndRender(code);
}

void TFFmpegRender::EndRender(int32_t Code) {
  std::lock_guard lock(FLock);
  FEnded = true;
  FEventCode = Code;
  FFinished.notify_all();
}

}  // namespace

std::unique_ptr<IEngineRender> NewFFmpegRender() { return std::make_unique<TFFmpegRender>(); }

}  // namespace rw
