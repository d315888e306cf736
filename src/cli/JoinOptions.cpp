#include "cli/JoinOptions.h"

#include <cstdio>

namespace rw::cli {

void JoinUsage(FILE* Out) {
  std::fprintf(Out,
               "Usage: reelwright-cli join -o OUT [--yes] [--copy | --recompress] [--] FILE...\n"
               "\n"
               "Joins the AVI files, in the given order, into OUT.\n"
               "\n"
               "  -o, --output OUT  the file to write\n"
               "  -y, --yes         replace OUT when it exists (a symbolic link OUT is\n"
               "                    itself replaced; the file it points to is left alone)\n"
               "  --copy            join without recompression (the sound is left out when\n"
               "                    the files' sound formats differ)\n"
               "  --recompress      join with recompression\n"
               "\n"
               "Without --copy or --recompress the files are joined without recompression\n"
               "when their video formats agree and no sound would be lost.\n"
               "The join is written to .NAME.part beside OUT (NAME: OUT's file name) and\n"
               "renamed to OUT when it ends; a failed join leaves an existing OUT as it was.\n"
               "Ctrl+C, SIGTERM or SIGHUP stops the join; OUT is finished and kept.\n"
               "\n"
               "Exit status: 0 joined, 1 failed, 2 usage error, 128 + the signal when stopped\n"
               "(130 for Ctrl+C).\n"
               "\n");
  RecompressUsage(Out);
}

std::string TJoinOptions::Parse(const TArgs& Args) {
  bool options = true;
  std::string error;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
      Files.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "-h" || arg == "--help") {
      Help = true;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= Args.size()) return "option " + arg + " needs a file name";
      OutFileName = Args[++i];
    } else if (arg == "-y" || arg == "--yes") {
      Overwrite = true;
    } else if (arg == "--copy" || arg == "--recompress") {
      TMode mode = arg == "--copy" ? TMode::Copy : TMode::Recompress;
      if (Mode != TMode::Default && Mode != mode) return "--copy and --recompress exclude each other";
      Mode = mode;
    } else if (ParseRecompressOption(Args, i, Recompression, error)) {
      if (!error.empty()) return error;
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (Help) return "";
  if (Recompression.Any()) {
    if (Mode == TMode::Copy) return "the recompression options exclude --copy";
    Mode = TMode::Recompress;
  }
  if (OutFileName.empty()) return "the output file is missing (-o OUT)";
  if (Files.empty()) return "no files to join";
  return "";
}

}  // namespace rw::cli
