#include "cli/ProjectArgs.h"

#include "core/ProjectText.h"

namespace rw::cli {

std::string ExpandProjectArgs(TArgs& Args, const std::set<std::string>& ValueOptions) {
  static const std::string option = "--project";
  TArgs expanded;
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
      expanded.push_back(arg);
      continue;
    }
    for (const std::string& name : ReadProjectFile(project).Files) {
      // A name that looks like an option still names a file.
      expanded.push_back(!name.empty() && name[0] == '-' ? "./" + name : name);
    }
  }
  Args = std::move(expanded);
  return "";
}

}  // namespace rw::cli
