// Opens the input as an AVI file, header-only and in full, describes it as the file list does,
// walks every chunk in time order reading each one, and takes the recompressing join's length
// rule (the pictures the file holds) and its bounds of what the headers claim. Every failure
// must be an exception; anything else (a crash, a hang, an out-of-bounds access, a leak, a
// count of pictures that the file cannot hold) is a finding.
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "media/AVIRead.h"
#include "media/VideoFileInfo.h"
#include "recompress/RecompressJoiner.h"

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
  // Every picture is one chunk of at least 8 bytes of the file.
  if (const std::optional<rw::THeldPictures> held = rw::HeldPictures(name)) {
    if (held->Count > Size / 8 || !(held->Rate > 0) || held->FileSize != static_cast<int64_t>(Size))
      std::abort();
    try {
      rw::CheckHeldBounds(name, *held);
    } catch (const std::exception&) {}
  }
  return 0;
}
