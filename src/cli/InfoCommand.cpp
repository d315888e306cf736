#include <cstdio>

#include "cli/Commands.h"

namespace rw::cli {

int RunInfo(const TArgs&) {
  std::fprintf(stderr, "reelwright-cli: this verb is not available yet\n");
  return 1;
}

}  // namespace rw::cli
