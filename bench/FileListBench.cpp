// Adding 1000 AVI files to the file list (header-only open and description of each file),
// against running ffprobe once per file on the same files. Prints files per second of both,
// their ratio and the list's milliseconds per file with the files in the page cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/FileList.h"

namespace {

constexpr int cFileCount = 1000;

// 1000 copies of a one-second ffmpeg-made clip with sound, in a folder of their own.
class TBenchFiles {
public:
  TBenchFiles() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "rwbench.XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FDir = tmpl;
    const std::string clip = (FDir / "clip.avi").string();
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi "
        "-i sine=frequency=440:sample_rate=44100 -t 1 -c:v mpeg4 -c:a pcm_s16le '" +
        clip + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed");
    for (int i = 0; i < cFileCount; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "clip%04d.avi", i);
      const std::filesystem::path copy = FDir / name;
      std::filesystem::copy_file(clip, copy);
      Names.push_back(copy.string());
    }
  }
  ~TBenchFiles() {
    std::error_code ec;
    std::filesystem::remove_all(FDir, ec);
  }

  std::vector<std::string> Names;

private:
  std::filesystem::path FDir;
};

TBenchFiles& Files() {
  static TBenchFiles files;
  return files;
}

void BM_AddFilesToList(benchmark::State& State) {
  const std::vector<std::string>& names = Files().Names;
  for (auto _ : State) {
    rw::TNullFileListView view;
    rw::TFileList list(view);
    list.AddFiles(names);
    if (list.Count() != cFileCount) State.SkipWithError("not every file was added");
  }
  State.SetItemsProcessed(State.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_AddFilesToList)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FfprobePerFile(benchmark::State& State) {
  const std::vector<std::string>& names = Files().Names;
  size_t next = 0;
  for (auto _ : State) {
    const std::string command = "ffprobe -v error -show_format -show_streams '" +
                                names[next++ % names.size()] + "' >/dev/null";
    if (std::system(command.c_str()) != 0) State.SkipWithError("ffprobe failed");
  }
  State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_FfprobePerFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100);

// Keeps the files-per-second figure of each benchmark for the closing comparison.
class TRateReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> Rates;

  void ReportRuns(const std::vector<Run>& Reports) override {
    for (const Run& run : Reports) {
      auto rate = run.counters.find("items_per_second");
      if (rate != run.counters.end()) Rates[run.run_name.function_name] = rate->second;
    }
    ConsoleReporter::ReportRuns(Reports);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Files();  // made before timing starts
  TRateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double list = reporter.Rates["BM_AddFilesToList"];
  const double probe = reporter.Rates["BM_FfprobePerFile"];
  if (list > 0)
    std::printf("file list: %.0f files/s, %.3f ms per file (warm)\n", list, 1000.0 / list);
  if (probe > 0) std::printf("ffprobe:   %.1f files/s\n", probe);
  if (list > 0 && probe > 0) std::printf("ratio:     %.0f times ffprobe's rate\n", list / probe);
  benchmark::Shutdown();
  return 0;
}
