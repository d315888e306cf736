#pragma once
// The verbs of reelwright-cli. Each takes the arguments after the verb and returns the exit
// status: 0 success, 1 failure, 2 usage error.
#include <string>
#include <vector>

namespace rw::cli {

using TArgs = std::vector<std::string>;

int RunInfo(const TArgs& Args);
int RunJoin(const TArgs& Args);
int RunCompressors(const TArgs& Args);
// The window's workers (not listed in the usage).
int RunPictureWorker(const TArgs& Args);
int RunCompressorWorker(const TArgs& Args);
int RunEngineWorker(const TArgs& Args);

}  // namespace rw::cli
