// Reading a written AVI file's headers and indexes back and comparing them with the writer's
// account of it.
#include "media/AVIReadBack.h"

#include "media/AVIRead.h"

namespace rw {

namespace {

// A bijective mix of 64 bits, so that any changed field changes the fingerprint.
uint64_t Mix(uint64_t X) {
  X ^= X >> 33;
  X *= 0xFF51AFD7ED558CCDull;
  X ^= X >> 33;
  X *= 0xC4CEB9FE1A85EC53ull;
  X ^= X >> 33;
  return X;
}

std::string Count(uint64_t N, const std::string& What) {
  return std::to_string(N) + " " + What + (N == 1 ? "" : "s");
}

}  // namespace

// A polynomial over the mixes of the chunks: from one chunk to the next it costs a multiply and
// an add, so a pass over many thousands of chunks is not held up by the mix's latency (each
// chunk's mix can be under way before the previous chunk's has come out). The multiplier is
// odd, so each step is a bijection of the hash so far: one changed field of one chunk always
// changes the result, and chunks in another order almost surely do.
uint64_t IndexFingerprint(uint64_t Hash, int64_t FilePos, uint32_t Size, bool KeyFrame) {
  const uint64_t fields = (uint64_t{Size} << 1) | (KeyFrame ? 1 : 0);
  return Hash * 0x9E3779B97F4A7C15ull +
         Mix(static_cast<uint64_t>(FilePos) + fields * 0xD6E8FEB86659FD93ull);
}

namespace {

[[noreturn]] void Differs(const std::string& OutFileName, const std::string& What) {
  throw Exception("The output file " + OutFileName + " is not as it was written: " + What);
}

// Opens the written file with its indexes, which must lead to its chunks.
void OpenIndexed(TAVIFileReader& Reader, const std::string& FileName,
                 const std::string& OutFileName) {
  try {
    Reader.Open(FileName, false);
  } catch (const EAVIReadError& E) {
    Differs(OutFileName, E.what());
  }
  if (Reader.IndexIsWalked())
    Differs(OutFileName,
            "its index does not lead to its chunks" +
                (Reader.IndexProblem().empty() ? "" : " (" + Reader.IndexProblem() + ")"));
}

}  // namespace

void CheckReadBack(const std::string& FileName, const std::string& OutFileName,
                   const TAVIWritten& Written) {
  auto differs = [&](const std::string& What) { Differs(OutFileName, What); };
  TAVIFileReader reader;
  OpenIndexed(reader, FileName, OutFileName);
  if (static_cast<size_t>(reader.StreamCount()) != Written.Streams.size())
    differs("it has " + Count(reader.StreamCount(), "stream") + ", " +
            std::to_string(Written.Streams.size()) + " were written");
  for (size_t i = 0; i < Written.Streams.size(); ++i) {
    const TAVIWritten::TStream& w = Written.Streams[i];
    const TAVIStream& s = reader.Streams(static_cast<int>(i));
    const std::string stream = "stream " + std::to_string(i);
    if (s.ChunkCount() != w.Chunks)
      differs(stream + " has " + Count(s.ChunkCount(), "chunk") + " in its index, " +
              std::to_string(w.Chunks) + " were written");
    if (s.Header.Length != w.Length)
      differs(stream + " has the length " + std::to_string(s.Header.Length) + ", " +
              std::to_string(w.Length) + " was written");
    uint64_t fingerprint = 0, bytes = 0;
    for (uint32_t n = 0; n < s.ChunkCount(); ++n) {
      TAVIIndexEntry e;
      s.GetIndexEntry(n, e);
      fingerprint = IndexFingerprint(fingerprint, e.FilePos, e.Size, e.KeyFrame);
      bytes += e.Size;
    }
    if (bytes != w.Bytes)
      differs(stream + " has " + Count(bytes, "byte") + " in its index, " +
              std::to_string(w.Bytes) + " were written");
    if (fingerprint != w.Entries)
      differs("the index of " + stream + " does not point at the chunks written");
  }
  if (reader.MainHeader().TotalFrames != Written.TotalFrames)
    differs("its main header counts " + Count(reader.MainHeader().TotalFrames, "frame") + ", " +
            std::to_string(Written.TotalFrames) + " were written");
  if (reader.LegacyIndexEntries() != Written.LegacyEntries)
    differs("its legacy index has " + Count(reader.LegacyIndexEntries(), "entry") + ", " +
            std::to_string(Written.LegacyEntries) + " were written");
}

void CheckReadBackWhole(const std::string& FileName, const std::string& OutFileName) {
  TAVIFileReader reader;
  OpenIndexed(reader, FileName, OutFileName);
  const TAVIStream* video = reader.VideoStream();
  if (!video || video->ChunkCount() == 0) Differs(OutFileName, "it holds no picture");
  if (video->ChunkCount() != video->Header.Length)
    Differs(OutFileName, "its video index holds " + Count(video->ChunkCount(), "picture") +
                             ", its header counts " + std::to_string(video->Header.Length));
}

}  // namespace rw
