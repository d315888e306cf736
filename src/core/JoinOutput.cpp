// The output of a join as the user sees it: its resolved name and the done message.
#include "core/JoinOutput.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/ListTexts.h"
#include "media/VideoFileInfo.h"
#include "platform/Errors.h"
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

std::string OutputFileName(const std::string& Name, const std::string& FirstSource,
                           const std::string& SaveFolder) {
  std::string name = ResolveOutputFileName(Name, FirstSource, SaveFolder);
  if (name.empty()) return name;
  const std::string base = FileNameText(name);
  if (base.empty() || base == "." || base == ".." || IsDirectory(name))
    throw Exception("The output " + name +
                    " is a folder. Please type the name of the file to write in it.");
  // A base that begins with its only dot has no extension (".clip"), except ".avi" itself,
  // which is an extension without a name.
  std::string lower = base;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == ".avi")
    throw Exception("The output " + name +
                    " has no name before its extension. Please type a file name.");
  if (base.find('.', 1) == std::string::npos) name += ".avi";
  return name;
}

namespace {

std::string Stem(const std::string& FileName) {
  const std::string name = FileNameText(FileName);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool IsNumberingMark(char C) {
  return std::isdigit(static_cast<unsigned char>(C)) ||
         std::isspace(static_cast<unsigned char>(C)) || C == '-' || C == '_' || C == '.' ||
         C == '(' || C == '[' || C == '#';
}

// The stem without the numbering that tells the parts apart: trailing digits and marks, and a
// "part" word before them.
std::string WithoutNumbering(std::string Stem) {
  auto trim = [&Stem] {
    while (!Stem.empty() && IsNumberingMark(Stem.back())) Stem.pop_back();
  };
  trim();
  for (const char* word : {"part", "pt", "clip", "cd", "disc"}) {
    const size_t n = std::char_traits<char>::length(word);
    if (Stem.size() <= n) continue;
    std::string tail = Stem.substr(Stem.size() - n);
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail == word && IsNumberingMark(Stem[Stem.size() - n - 1])) {
      Stem.resize(Stem.size() - n);
      trim();
      break;
    }
  }
  return Stem;
}

}  // namespace

std::string ProposedOutputName(const std::vector<std::string>& Sources) {
  if (Sources.empty() || FileNameText(Sources.front()).empty()) return {};
  std::vector<std::string> names;
  for (const std::string& source : Sources) names.push_back(Stem(source));
  size_t n = names.front().size();
  for (const std::string& name : names) {
    size_t same = 0;
    while (same < n && same < name.size() && name[same] == names.front()[same]) ++same;
    n = same;
  }
  // Cut before a whole character: not inside a UTF-8 sequence that differs after its first
  // byte.
  auto inside = [&names](size_t At) {
    for (const std::string& name : names)
      if (At < name.size() && (static_cast<unsigned char>(name[At]) & 0xC0) == 0x80) return true;
    return false;
  };
  while (n > 0 && inside(n)) --n;
  const std::string common = names.front().substr(0, n);
  const std::string folder = FolderText(Sources.front());
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  auto isSource = [&Sources](const std::string& Name) {
    for (const std::string& source : Sources)
      if (source == Name || SameFile(source, Name)) return true;
    return false;
  };
  std::vector<std::string> stems;
  const std::string stem = WithoutNumbering(common);
  if (!stem.empty()) stems.push_back(stem);
  stems.push_back(Stem(Sources.front()) + " joined");
  for (int i = 2; i < 100; ++i)
    stems.push_back(Stem(Sources.front()) + " joined " + std::to_string(i));
  for (const std::string& candidate : stems)
    if (!isSource(prefix + candidate + ".avi")) return prefix + candidate + ".avi";
  return {};
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

std::string JoinStoppedText(const TJoinOutputFacts& Output, bool Kept, double Total) {
  if (!Kept) return "Stopped before anything was written; nothing is kept.";
  if (Output.Duration < 0) return "Stopped; what was joined is kept as " + Output.FileName + ".";
  const std::string done = FormatDuration(Output.Duration);
  return "Stopped after " + done + " of " + FormatDuration(Total) + "; the first " + done +
         " is kept as " + Output.FileName + ".";
}

std::string JoinDoneText(const TJoinOutputFacts& Output) {
  std::string text = "The files are joined into\n" + Output.FileName + "\n";
  if (Output.Duration >= 0) text += "\nDuration: " + FormatDuration(Output.Duration);
  if (Output.Size >= 0) text += "\nSize: " + FileSizeText(Output.Size);
  return text;
}

}  // namespace rw
