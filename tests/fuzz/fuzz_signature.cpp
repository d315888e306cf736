// The container signature test over any first bytes.
#include <cstdint>
#include <exception>
#include <string>

#include "fuzz/FuzzInput.h"
#include "media/VideoFileInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& name = rw::fuzz::WriteInput(Data, Size);
  try {
    if (rw::GetVideoFileTypeName(name).empty()) std::abort();
  } catch (const std::exception&) {}
  return 0;
}
