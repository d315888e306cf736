#include "engine/RenderEngine.h"

#include <new>

#include "engine/CompressorRegistry.h"
#include "engine/EngineLoader.h"

namespace rw {

TRenderEngine::TRenderEngine() {
  // Making one fails only for want of memory.
  if (MediaEngine().NewRender(FImpl) != ME_OK) throw std::bad_alloc();
}

TRenderEngine::~TRenderEngine() = default;

TMediaResult TRenderEngine::SetTimelineObject(const TMediaTimeline* Timeline) { return FImpl->SetTimelineObject(Timeline); }
TMediaResult TRenderEngine::ConnectFrontEnd() { return FImpl->ConnectFrontEnd(); }
TMediaResult TRenderEngine::SetOutputFileName(const std::string& FileName) { return FImpl->SetOutputFileName(FileName); }
TMediaResult TRenderEngine::GetGroupOutputPin(int32_t Group, TGroupPin& Pin) { return FImpl->GetGroupOutputPin(Group, Pin); }

TMediaResult TRenderEngine::RenderStream(const TGroupPin& Pin, const TCompressorFilter* Compressor) {
  return FImpl->RenderStream(Pin, Compressor ? &Compressor->EncoderName() : nullptr);
}

TMediaResult TRenderEngine::Run() { return FImpl->Run(); }
TMediaResult TRenderEngine::WaitForCompletion(int32_t TimeoutMs, int32_t& EventCode) {
  return FImpl->WaitForCompletion(TimeoutMs, EventCode);
}
TMediaResult TRenderEngine::GetCurrentPosition(int64_t& Position) const { return FImpl->GetCurrentPosition(Position); }
TMediaResult TRenderEngine::Stop() { return FImpl->Stop(); }
TMediaResult TRenderEngine::ScrapIt() { return FImpl->ScrapIt(); }

std::string TRenderEngine::GetErrorText() const {
  TMediaResult code = ME_OK;
  std::string text;
  FImpl->GetError(code, text);
  return text;
}

TMediaResult TRenderEngine::GetErrorCode() const {
  TMediaResult code = ME_OK;
  std::string text;
  FImpl->GetError(code, text);
  return code;
}

}  // namespace rw
