// The cost of reading a stream-copy join's output back before it replaces the output: the
// join of two sources (made at run time with the RIFF byte builder), then the check of its
// headers and indexes against what the writer wrote. Reports both wall and CPU times (the
// join's with the sync of its output that ends every join, not the process start) and the
// check's share of the join's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <unistd.h>

#include "media/AVIReadBack.h"
#include "platform/Files.h"
#include "streamcopy/StreamCopyJoiner.h"
#include "support/RiffBuilder.h"

namespace {

// A source of Frames pictures of FrameBytes each, each followed by AudioBytes of PCM sound
// (44.1 kHz 16-bit stereo), at 25 pictures a second; removed at exit.
class TSource {
public:
  TSource(const std::string& Tag, int Frames, uint32_t FrameBytes, uint32_t AudioBytes) {
    rw::test::TAVIBuilder b = rw::test::SimpleAVI(0, AudioBytes != 0, rw::test::TIndexKind::Both);
    for (int i = 0; i < Frames; ++i) {
      b.AddChunk(0, FrameBytes, i % 25 == 0);
      if (AudioBytes) b.AddChunk(1, AudioBytes);
    }
    b.StreamList[0].Header.Length = static_cast<uint32_t>(Frames);
    FName = (std::filesystem::temp_directory_path() /
             ("rwbench-" + std::to_string(::getpid()) + "-" + Tag + ".avi"))
                .string();
    b.Write(FName);
  }
  ~TSource() { std::remove(FName.c_str()); }
  const std::string& Name() const { return FName; }

private:
  std::string FName;
};

void JoinAndCheck(benchmark::State& State, const TSource& Source) {
  const std::string out = Source.Name() + ".out.avi";
  double joinSeconds = 0, checkSeconds = 0, joinCpu = 0, checkCpu = 0;
  auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  };
  uint64_t chunks = 0;
  for (auto _ : State) {
    rw::TAVIFileJoiner joiner;
    joiner.FFiles = {Source.Name(), Source.Name()};
    joiner.FOutFileName = out;
    const double cpuStart = cpu();
    const auto start = std::chrono::steady_clock::now();
    joiner.Execute();
    // A join ends with its output on the disk.
    rw::TFile::OpenReadWrite(out).Sync();
    const auto joined = std::chrono::steady_clock::now();
    const double cpuJoined = cpu();
    rw::CheckReadBack(out, out, joiner.Written());
    const auto checked = std::chrono::steady_clock::now();
    joinCpu += cpuJoined - cpuStart;
    checkCpu += cpu() - cpuJoined;
    joinSeconds += std::chrono::duration<double>(joined - start).count();
    checkSeconds += std::chrono::duration<double>(checked - joined).count();
    chunks = 0;
    for (const auto& s : joiner.Written().Streams) chunks += s.Chunks;
  }
  std::remove(out.c_str());
  const double runs = static_cast<double>(State.iterations());
  State.counters["join_ms"] = joinSeconds / runs * 1000;
  State.counters["check_ms"] = checkSeconds / runs * 1000;
  State.counters["check_percent"] = checkSeconds / joinSeconds * 100;
  State.counters["join_cpu_ms"] = joinCpu / runs * 1000;
  State.counters["check_cpu_ms"] = checkCpu / runs * 1000;
  State.counters["check_cpu_percent"] = checkCpu / joinCpu * 100;
  State.counters["chunks"] = static_cast<double>(chunks);
}

// Many small chunks: 25 minutes of small pictures (76,000 chunks in the output).
void SmallChunks(benchmark::State& State) {
  static TSource source("small", 38000, 640, 0);
  JoinAndCheck(State, source);
}
// Pictures with their sound: 200 s of MPEG-4-sized pictures and 16-bit stereo PCM.
void WithSound(benchmark::State& State) {
  static TSource source("sound", 5000, 1600, 7056);
  JoinAndCheck(State, source);
}
// Big frames: 640x480 uncompressed pictures without sound (a 276 MB output).
void BigFrames(benchmark::State& State) {
  static TSource source("big", 150, 640 * 480 * 3, 0);
  JoinAndCheck(State, source);
}

BENCHMARK(SmallChunks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WithSound)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BigFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
