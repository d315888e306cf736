// The project-file reader over any text: it either refuses the text as corrupted or returns
// names that the writer writes back to a text the reader reads as the same names.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/ProjectText.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::vector<std::string> files;
  try {
    files = rw::ReadProjectText(std::string_view(reinterpret_cast<const char*>(Data), Size));
  } catch (const rw::Exception&) {
    return 0;
  }
  if (rw::ReadProjectText(rw::WriteProjectText(files)) != files) std::abort();
  return 0;
}
