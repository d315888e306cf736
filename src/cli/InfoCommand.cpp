// reelwright-cli info: the file list's rows for the given files, as tab-separated text.
#include <cstdio>
#include <string>

#include "core/FileList.h"
#include "core/JoinDecision.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"

namespace rw::cli {

namespace {

void InfoUsage(FILE* Out) {
  std::fprintf(Out,
               "Usage: reelwright-cli info [--] FILE...\n"
               "\n"
               "Adds the files to a file list in the given order and prints its rows:\n"
               "a header line, one tab-separated line per row (the list's seven columns,\n"
               "then the video and audio mismatch against the first row as 0 or 1) and\n"
               "a last line with the two status texts. A file that cannot be added is\n"
               "reported on standard error and the rest are still added.\n"
               "\n"
               "Exit status: 0 every file was added, 1 some could not be, 2 usage error.\n");
}

// Reports each file that cannot be added on standard error and goes on with the rest.
class TConsoleListView : public TNullFileListView {
public:
  explicit TConsoleListView(const std::vector<std::string>& Names) : FNames(Names) {}
  int Failures = 0;

  TMessageResult ShowMessageBox(const std::string& Text, TMessageKind,
                                TMessageButtons Buttons) override {
    std::string message = Text;
    const std::string question = cContinueAddQuestion;
    if (message.size() >= question.size() &&
        message.compare(message.size() - question.size(), question.size(), question) == 0)
      message.resize(message.size() - question.size());
    std::fprintf(stderr, "%s\n", TerminalText(message, FNames).c_str());
    ++Failures;
    return Buttons == TMessageButtons::mbYesNo ? TMessageResult::mrYes : TMessageResult::mrOK;
  }

private:
  const std::vector<std::string>& FNames;
};

// One line of tab-separated fields. Control characters (a tab or line break in a file name,
// a codec code of odd bytes) are printed as '?', so every row stays one line of nine fields.
void PrintLine(const std::vector<std::string>& Fields) {
  std::string line;
  for (size_t i = 0; i < Fields.size(); ++i) {
    if (i) line += '\t';
    for (char c : Fields[i]) line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int RunInfo(const TArgs& Args) {
  std::vector<std::string> names;
  bool options = true;
  for (const std::string& arg : Args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      InfoUsage(stdout);
      return 0;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "reelwright-cli info: unknown option '%s'\n", TerminalText(arg).c_str());
      InfoUsage(stderr);
      return 2;
    } else {
      names.push_back(arg);
    }
  }
  if (names.empty()) {
    InfoUsage(stderr);
    return 2;
  }

  TConsoleListView view(names);
  TFileList list(view);
  list.AddFiles(names);

  // The list's columns up to the folder: the names given carry no cut, so the Cut column would
  // be empty on every line.
  std::vector<std::string> fields;
  for (int col = 0; col < colCut; ++col) fields.push_back(FileListColumns[col].Caption);
  fields.push_back("Video mismatch");
  fields.push_back("Audio mismatch");
  fields.push_back("Joined");
  PrintLine(fields);
  const std::vector<std::string> ways = JoinWayTexts(list.Infos());
  for (int row = 0; row < list.Count(); ++row) {
    fields.clear();
    for (int col = 0; col < colCut; ++col) fields.push_back(list.Text(row, col));
    fields.push_back(list.Info(row).VideoMismatch ? "1" : "0");
    fields.push_back(list.Info(row).AudioMismatch ? "1" : "0");
    fields.push_back(ways[static_cast<size_t>(row)]);
    PrintLine(fields);
  }
  const TStatusTexts status = list.StatusTexts();
  PrintLine({status.Panel0, status.Panel1});
  std::fflush(stdout);
  return view.Failures ? 1 : 0;
}

}  // namespace rw::cli
