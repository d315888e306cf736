#pragma once
// The render job: renders a plan into an AVI file through the chosen encoders on its own
// worker thread, pictures and sound a little at a time, with its percentage, a wait with a
// time-out and an early stop that still completes the file.
#include <memory>

#include "engine/MediaEngine.h"

namespace rw {

// Creates the output and opens the encoders, then starts the worker thread; raises
// EMediaEngineError when the plan cannot be rendered.
std::unique_ptr<IEngineJob> StartRenderJob(const TRenderPlan& Plan);

}  // namespace rw
