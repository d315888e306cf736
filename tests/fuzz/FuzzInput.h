#pragma once
// The readers under test take file names, so each input is written to one scratch file first.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace rw::fuzz {

// Removes the scratch file when the fuzzer exits normally.
struct TScratchName {
  std::string Name;
  ~TScratchName() { ::unlink(Name.c_str()); }
};

inline const std::string& ScratchFile() {
  static const TScratchName scratch{[] {
    // Memory-backed when there is such a folder: creating files on disk costs milliseconds.
    const char* dir = std::getenv("RW_FUZZ_TMP");
    if (!dir || !*dir) dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/rwfuzz." + std::to_string(::getpid());
  }()};
  return scratch.Name;
}

inline const std::string& WriteInput(const uint8_t* Data, size_t Size) {
  const std::string& name = ScratchFile();
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) std::abort();
  if (Size && std::fwrite(Data, 1, Size, f) != Size) std::abort();
  std::fclose(f);
  return name;
}

}  // namespace rw::fuzz
