#include "engine/RenderEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/CompressorRegistry.h"
#include "engine/GroupRender.h"
#include "engine/RenderOutput.h"

namespace rw {

struct TRenderEngine::TImpl {
  const TMediaTimeline* Timeline = nullptr;
  bool Connected = false;
  std::unique_ptr<TRenderOutput> Output;
  std::vector<std::unique_ptr<TGroupRender>> Renders;
  int64_t Duration = 0;

  std::thread Worker;
  std::atomic<bool> StopRequested{false};
  std::atomic<int64_t> Position{0};
  mutable std::mutex Lock;
  std::condition_variable Finished;
  bool Running = false;
  bool Ended = false;
  int32_t EventCode = 0;
  TMediaResult ErrorCode = ME_OK;
  std::string ErrorText;

  TMediaResult Fail(const EMediaEngineError& E) {
    std::lock_guard lock(Lock);
    ErrorCode = E.Code();
    ErrorText = E.what();
    return E.Code();
  }

  void Render();
  void EndRender(int32_t Code);
  void Join() {
    StopRequested = true;
    if (Worker.joinable()) Worker.join();
  }
};

void TRenderEngine::TImpl::Render() {
  int32_t code = EC_COMPLETE;
  try {
    Output->Begin();
    while (!StopRequested) {
      TGroupRender* next = nullptr;
      for (auto& r : Renders)
        if (!r->Done() && (!next || r->Position() < next->Position())) next = r.get();
      if (!next) break;
      next->Step();
      int64_t at = Duration;
      for (auto& r : Renders) at = std::min(at, r->Position());
      Position = at;
    }
    if (StopRequested) code = EC_USERABORT;
    for (auto& r : Renders) r->Flush();
    Output->Finish();
  } catch (const EMediaEngineError& E) {
    Fail(E);
    code = EC_ERRORABORT;
  } catch (const std::exception& E) {
    Fail(EMediaEngineError(ME_FAIL, E.what()));
    code = EC_ERRORABORT;
  }
  if (code == EC_ERRORABORT) {
    // Complete what was written, so that the part of the file stays readable.
    try {
      Output->Finish();
    } catch (const std::exception&) {
    }
  }
  EndRender(code);
}

void TRenderEngine::TImpl::EndRender(int32_t Code) {
  std::lock_guard lock(Lock);
  Ended = true;
  EventCode = Code;
  Finished.notify_all();
}

TRenderEngine::TRenderEngine() : FImpl(std::make_unique<TImpl>()) {}

TRenderEngine::~TRenderEngine() { FImpl->Join(); }

TMediaResult TRenderEngine::SetTimelineObject(const TMediaTimeline* Timeline) {
  if (FImpl->Running) return ME_UNEXPECTED;
  FImpl->Timeline = Timeline;
  FImpl->Connected = false;
  return Timeline ? ME_OK : ME_INVALIDARG;
}

TMediaResult TRenderEngine::ConnectFrontEnd() {
  if (!FImpl->Timeline || FImpl->Running) return ME_UNEXPECTED;
  if (FImpl->Timeline->GroupCount() == 0) return ME_INVALIDARG;
  FImpl->Timeline->GetDuration(FImpl->Duration);
  FImpl->Connected = true;
  return ME_OK;
}

TMediaResult TRenderEngine::SetOutputFileName(const std::string& FileName) {
  if (FImpl->Running) return ME_UNEXPECTED;
  FImpl->Renders.clear();
  FImpl->Output.reset();
  try {
    FImpl->Output = std::make_unique<TRenderOutput>(FileName);
  } catch (const EMediaEngineError& E) {
    return FImpl->Fail(E);
  }
  return ME_OK;
}

TMediaResult TRenderEngine::GetGroupOutputPin(int32_t Group, TGroupPin& Pin) {
  Pin.Group = -1;
  if (!FImpl->Connected) return ME_UNEXPECTED;
  const TTimelineGroup* group = nullptr;
  TMediaResult r = FImpl->Timeline->GetGroup(Group, group);
  if (r != ME_OK) return r;
  Pin.Group = Group;
  return ME_OK;
}

TMediaResult TRenderEngine::RenderStream(const TGroupPin& Pin, const TCompressorFilter* Compressor) {
  if (!FImpl->Connected || !FImpl->Output || FImpl->Running) return ME_UNEXPECTED;
  const TTimelineGroup* group = nullptr;
  TMediaResult r = FImpl->Timeline->GetGroup(Pin.Group, group);
  if (r != ME_OK) return r;
  try {
    const TMediaType& type = group->MediaType();
    if (type.MajorType == TMediaMajorType::mtVideo) {
      TEncoderStream& s = FImpl->Output->AddVideo(type, group->OutputFPS(), Compressor);
      FImpl->Renders.push_back(std::make_unique<TVideoGroupRender>(*group, s, FImpl->Duration));
    } else {
      TEncoderStream& s = FImpl->Output->AddAudio(type, Compressor);
      FImpl->Renders.push_back(std::make_unique<TAudioGroupRender>(*group, s, FImpl->Duration));
    }
  } catch (const EMediaEngineError& E) {
    return FImpl->Fail(E);
  }
  return ME_OK;
}

TMediaResult TRenderEngine::Run() {
  if (FImpl->Running) return ME_FALSE;
  if (!FImpl->Output || FImpl->Renders.empty()) return ME_UNEXPECTED;
  FImpl->Running = true;
  FImpl->Worker = std::thread([this] { FImpl->Render(); });
  return ME_OK;
}

TMediaResult TRenderEngine::WaitForCompletion(int32_t TimeoutMs, int32_t& EventCode) {
  EventCode = 0;
  if (!FImpl->Running) return ME_UNEXPECTED;
  std::unique_lock lock(FImpl->Lock);
  if (!FImpl->Finished.wait_for(lock, std::chrono::milliseconds(std::max(TimeoutMs, 0)),
                                [this] { return FImpl->Ended; }))
    return ME_ABORT;
  EventCode = FImpl->EventCode;
  return ME_OK;
}

TMediaResult TRenderEngine::GetCurrentPosition(int64_t& Position) const {
  Position = FImpl->Position;
  return ME_OK;
}

TMediaResult TRenderEngine::Stop() {
  FImpl->Join();
  return ME_OK;
}

TMediaResult TRenderEngine::ScrapIt() {
  FImpl->Join();
  FImpl->Renders.clear();
  FImpl->Output.reset();
  FImpl->Connected = false;
  FImpl->Timeline = nullptr;
  return ME_OK;
}

std::string TRenderEngine::GetErrorText() const {
  std::lock_guard lock(FImpl->Lock);
  return FImpl->ErrorText;
}

TMediaResult TRenderEngine::GetErrorCode() const {
  std::lock_guard lock(FImpl->Lock);
  return FImpl->ErrorCode;
}

}  // namespace rw
