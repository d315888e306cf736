// Full open (headers and index) of a file with 1,000,000 chunks, once indexed by 'idx1' and
// once by OpenDML indexes. Reports the time per open and the index memory per chunk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "media/AVIRead.h"
#include "support/RiffBuilder.h"

namespace {

using rw::test::TIndexKind;

constexpr int Chunks = 1000000;

// Two streams of tiny chunks, half video and half audio, made once per process in the
// temporary folder and removed at exit.
class TBigFile {
public:
  explicit TBigFile(TIndexKind Kind) {
    rw::test::TAVIBuilder b = rw::test::SimpleAVI(0, true, Kind);
    for (int i = 0; i < Chunks / 2; ++i) {
      b.AddChunk(0, 2, i % 25 == 0);
      b.AddChunk(1, 2);
    }
    // OpenDML writers start a new standard index every few thousand chunks.
    b.StreamList[0].StdIndexes = 100;
    b.StreamList[1].StdIndexes = 100;
    FName =
        (std::filesystem::temp_directory_path() / ("rwbench-" + std::to_string(::getpid()) + "-" +
                                                   std::to_string(static_cast<int>(Kind)) + ".avi"))
            .string();
    b.Write(FName);
  }
  ~TBigFile() { std::remove(FName.c_str()); }
  const std::string& Name() const { return FName; }

private:
  std::string FName;
};

void FullOpen(benchmark::State& State, TIndexKind Kind) {
  static TBigFile idx1(TIndexKind::Idx1Relative);
  static TBigFile odml(TIndexKind::OpenDML);
  const std::string& file = Kind == TIndexKind::OpenDML ? odml.Name() : idx1.Name();
  rw::TAVIFileReader reader;
  reader.Open(file, false);  // warm the cache
  for (auto _ : State) reader.Open(file, false);
  uint64_t chunks = 0, memory = 0;
  for (int s = 0; s < reader.StreamCount(); ++s) {
    chunks += reader.Streams(s).ChunkCount();
    memory += reader.Streams(s).IndexMemory();
  }
  if (chunks != Chunks) State.SkipWithError("wrong chunk count");
  State.counters["chunks"] = static_cast<double>(chunks);
  State.counters["index_bytes_per_chunk"] = static_cast<double>(memory) / chunks;
  State.counters["file_MiB"] = static_cast<double>(reader.GetFileSize()) / 1048576.0;
}

BENCHMARK_CAPTURE(FullOpen, idx1, TIndexKind::Idx1Relative)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FullOpen, opendml, TIndexKind::OpenDML)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
