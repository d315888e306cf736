#include "cli/ProjectArgs.h"

#include "core/CutText.h"
#include "core/ProjectText.h"

namespace rw::cli {

std::string ExpandProjectArgs(TArgs& Args, const std::set<std::string>& ValueOptions) {
  static const std::string option = "--project";
  static const std::string cutOption = "--cut";
  TArgs expanded;
  size_t files = 0;  // the file names before the argument at hand
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (arg == "--") {
      expanded.insert(expanded.end(), Args.begin() + static_cast<std::ptrdiff_t>(i), Args.end());
      break;
    }
    if (ValueOptions.count(arg) && i + 1 < Args.size()) {
      expanded.push_back(arg);
      expanded.push_back(Args[++i]);
      continue;
    }
    std::string project;
    if (arg == option) {
      if (i + 1 >= Args.size()) return "option --project needs a project file name";
      project = Args[++i];
    } else if (arg.rfind(option + "=", 0) == 0) {
      project = arg.substr(option.size() + 1);
      if (project.empty()) return "option --project needs a project file name";
    } else {
      if (arg.empty() || arg[0] != '-') ++files;
      expanded.push_back(arg);
      continue;
    }
    const TProjectContents contents = ReadProjectFile(project);
    for (const std::string& name : contents.Files) {
      // A name that looks like an option still names a file.
      expanded.push_back(!name.empty() && name[0] == '-' ? "./" + name : name);
    }
    // The cuts go with their files where the verb takes them (a listing shows whole files).
    if (ValueOptions.count(cutOption)) {
      for (size_t j = 0; j < contents.Cuts.size() && j < contents.Files.size(); ++j) {
        const TPictureCut& cut = contents.Cuts[j];
        if (cut.Whole()) continue;
        expanded.push_back(cutOption);
        expanded.push_back(CutArgument(files + j + 1, cut));
      }
    }
    files += contents.Files.size();
  }
  Args = std::move(expanded);
  return "";
}

}  // namespace rw::cli
