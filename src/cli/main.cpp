// reelwright-cli: the command-line front end over the same core as the window.
#include <cstdio>
#include <cstring>
#include <exception>

#include "cli/Commands.h"
#include "cli/JoinOptions.h"
#include "cli/ProjectArgs.h"
#include "cli/TerminalProgress.h"
#include "core/ProductInfo.h"
#include "platform/Errors.h"

namespace {

void Usage(FILE* Out) {
  std::fprintf(Out,
               "Usage: reelwright-cli VERB [OPTIONS] ...\n"
               "\n"
               "Verbs:\n"
               "  info FILE...            describe AVI files as the file list shows them\n"
               "  join -o OUT FILE...     join AVI files into OUT\n"
               "  compressors             list the video and audio compressors\n"
               "\n"
               "info and join also take --project FILE.rwp: the files of a saved project,\n"
               "in its order, in place of the option.\n"
               "\n"
               "Run 'reelwright-cli VERB --help' for the options of a verb.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  const char* verb = argv[1];
  if (!std::strcmp(verb, "--help") || !std::strcmp(verb, "-h")) {
    Usage(stdout);
    return 0;
  }
  if (!std::strcmp(verb, "--version")) {
    std::printf("%s %s\n", rw::ProductInfo().Title.c_str(), rw::ProductInfo().Version.c_str());
    return 0;
  }
  rw::cli::TArgs args(argv + 2, argv + argc);
  try {
    const bool join = !std::strcmp(verb, "join");
    if (join || !std::strcmp(verb, "info")) {
      const std::string error = rw::cli::ExpandProjectArgs(
          args, join ? rw::cli::JoinValueOptions() : std::set<std::string>{});
      if (!error.empty()) {
        std::fprintf(stderr, "reelwright-cli %s: %s\n", verb, error.c_str());
        return 2;
      }
    }
    if (!std::strcmp(verb, "info")) return rw::cli::RunInfo(args);
    if (!std::strcmp(verb, "join")) return rw::cli::RunJoin(args);
    if (!std::strcmp(verb, "compressors")) return rw::cli::RunCompressors(args);
    if (!std::strcmp(verb, "picture-worker")) return rw::cli::RunPictureWorker(args);
    if (!std::strcmp(verb, "compressor-worker")) return rw::cli::RunCompressorWorker(args);
    if (!std::strcmp(verb, "engine-worker")) return rw::cli::RunEngineWorker(args);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s\n", rw::cli::TerminalText(rw::WithFullStop(E.what())).c_str());
    return 1;
  }
  std::fprintf(stderr, "reelwright-cli: unknown verb '%s'\n", verb);
  Usage(stderr);
  return 2;
}
