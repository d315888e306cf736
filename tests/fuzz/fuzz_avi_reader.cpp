// Opens the input as an AVI file, header-only and in full, describes it as the file list does,
// and walks every chunk in time order reading each one. Every failure must be an exception;
// anything else (a crash, a hang, an out-of-bounds access, a leak) is a finding.
#include <cstdint>
#include <exception>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "media/AVIRead.h"
#include "media/VideoFileInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& name = rw::fuzz::WriteInput(Data, Size);
  try {
    (void)rw::CreateVideoFileInfo(name);
  } catch (const std::exception&) {}
  rw::TAVIFileReader reader;
  try {
    reader.Open(name, true);
  } catch (const std::exception&) {}
  try {
    reader.Open(name, false);
    std::vector<char> buffer;
    int stream = 0;
    uint32_t chunk = 0;
    reader.ResetChunkCursors();
    for (;;) {
      reader.NextChunk(stream, chunk);
      if (stream < 0) break;
      rw::TAVIIndexEntry entry;
      if (!reader.Streams(stream).GetIndexEntry(chunk, entry)) std::abort();
      // Chunks larger than the input cannot be read whole; ReadChunk must say so.
      if (entry.Size > Size + 8) {
        continue;
      }
      buffer.resize(entry.Size);
      (void)reader.Streams(stream).ReadChunk(chunk, buffer.data());
    }
  } catch (const std::exception&) {}
  reader.Close();
  return 0;
}
