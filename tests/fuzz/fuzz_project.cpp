// The project-file reader over any text: it either refuses the text as corrupted or returns
// names and cuts that the writer writes back to a text the reader reads as the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/ProjectText.h"
#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  rw::TProjectContents read;
  try {
    read = rw::ReadProjectContents(std::string_view(reinterpret_cast<const char*>(Data), Size));
  } catch (const rw::Exception&) {
    return 0;
  }
  const rw::TProjectContents again =
      rw::ReadProjectContents(rw::WriteProjectText(read.Files, read.Cuts));
  if (again.Files != read.Files) std::abort();
  // A list of whole cuts is not written: it reads back as none.
  for (size_t i = 0; i < read.Files.size(); ++i) {
    const rw::TPictureCut before = i < read.Cuts.size() ? read.Cuts[i] : rw::TPictureCut{};
    const rw::TPictureCut after = i < again.Cuts.size() ? again.Cuts[i] : rw::TPictureCut{};
    if (before != after) std::abort();
  }
  return 0;
}
