#pragma once
// "--project FILE.rwp" for the verbs that take a file list: the option is replaced, in place,
// by the project's file names in the project's order and, for a verb that takes "--cut", each cut
// file's cut as "--cut N=#IN-#OUT" (N its place among the files, from 1).
#include <set>
#include <string>

#include "cli/Commands.h"

namespace rw::cli {

// Expands every "--project FILE" and "--project=FILE" before a "--" in Args. ValueOptions are
// the verb's options that take the next argument as their value (that value is left alone).
// Returns a usage error text ("" when none); raises the project file's errors
// ("Cannot open file ...", "The project file is corrupted").
std::string ExpandProjectArgs(TArgs& Args, const std::set<std::string>& ValueOptions = {});

}  // namespace rw::cli
