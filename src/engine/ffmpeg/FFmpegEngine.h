#pragma once
// Inside the engine module: how one call from the program runs (never throwing, keeping the
// reason of a failure for the thread), and the makers of the engine's objects.
#include <memory>
#include <new>
#include <string>

#include "engine/EngineModule.h"
#include "engine/ffmpeg/AVHandles.h"

namespace rw {

// Forgets this thread's last failure; every call from the program starts with it.
void ForgetLastError() noexcept;
// Records Code, with Text as its reason, as this thread's last failure; returns Code.
TMediaResult Failed(TMediaResult Code, const std::string& Text) noexcept;
// Ends a call that returned Result: a failure without a recorded reason gets the code's
// general meaning. Returns Result.
TMediaResult EndCall(TMediaResult Result) noexcept;

// Runs one call from the program: no exception leaves it; a failure leaves its reason.
template <class TCall>
TMediaResult EngineCall(TCall&& Call) noexcept {
  ForgetLastError();
  try {
    return EndCall(Call());
  } catch (const EMediaEngineError& E) {
    return EndCall(Failed(E.Code(), E.what()));
  } catch (const std::bad_alloc&) {
    return EndCall(ME_OUTOFMEMORY);
  } catch (const std::exception& E) {
    return EndCall(Failed(ME_FAIL, E.what()));
  } catch (...) {
    return EndCall(ME_FAIL);
  }
}

std::unique_ptr<IEngineDetector> NewFFmpegDetector();
std::unique_ptr<IEngineRender> NewFFmpegRender();

}  // namespace rw
