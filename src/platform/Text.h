#pragma once
// Small text helpers shared by every layer: ASCII case folding and trimming of white space.
#include <string>

namespace rw {

// Text with 'A'..'Z' turned into 'a'..'z'; every other byte (UTF-8 included) stays as it is.
inline std::string LowerASCII(std::string Text) {
  for (char& c : Text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return Text;
}

// Text without the spaces, tabs and line breaks at its start and end.
inline std::string Trimmed(const std::string& Text) {
  const size_t first = Text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return Text.substr(first, Text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace rw
