// The output of a join as the user sees it: its resolved name and the done message.
#include "core/JoinOutput.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/ListTexts.h"
#include "media/VideoFileInfo.h"
#include "platform/Files.h"

namespace rw {

std::string ResolveOutputFileName(const std::string& Name, const std::string& FirstSource,
                                  const std::string& SaveFolder) {
  namespace fs = std::filesystem;
  if (Name.empty()) return Name;
  fs::path path(Name);
  const char* home = std::getenv("HOME");
  if ((Name == "~" || Name.rfind("~/", 0) == 0) && home && *home) {
    path = fs::path(home) / Name.substr(Name.size() > 1 ? 2 : 1);
  } else if (!path.is_absolute()) {
    std::string base = FirstSource.empty() ? std::string() : FolderText(FirstSource);
    if (base.empty()) base = SaveFolder;
    std::error_code ec;
    if (base.empty()) base = fs::current_path(ec).string();
    path = fs::path(base) / path;
  }
  return path.lexically_normal().string();
}

TJoinOutputFacts DescribeJoinOutput(const std::string& FileName) {
  TJoinOutputFacts facts;
  facts.FileName = FileName;
  try {
    const std::unique_ptr<TVideoFileInfo> info = CreateVideoFileInfo(FileName);
    facts.Duration = info->Duration;
    facts.Size = info->FileSize;
    return facts;
  } catch (const std::exception&) {}
  // A file that cannot be described still has its size.
  try {
    facts.Size = TFile::OpenRead(FileName).Size();
  } catch (const std::exception&) {}
  return facts;
}

std::string FileSizeText(int64_t Bytes) {
  if (Bytes < 1024) return std::to_string(Bytes) + " bytes";
  static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(Bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string JoinDoneText(const TJoinOutputFacts& Output) {
  std::string text = "The files are joined into\n" + Output.FileName + "\n";
  if (Output.Duration >= 0) text += "\nDuration: " + FormatDuration(Output.Duration);
  if (Output.Size >= 0) text += "\nSize: " + FileSizeText(Output.Size);
  return text;
}

}  // namespace rw
