// The window with a long list, on the offscreen platform: adding 10,000 files, loading a
// project of 10,000 files, and moving, deleting, selecting and highlighting rows in such a
// list, each with the list repainted. The files are hard links to one ffmpeg-made clip. Each
// runs with the list's pictures off (pictures:0) and on (pictures:1): then the rows in sight
// have their pictures made by the media engine in the background meanwhile.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/ProjectText.h"
#include "gui/FileListWidget.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"

namespace {

constexpr int cFileCount = 10000;

class TBenchFiles {
public:
  TBenchFiles() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "rwwindow.XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FDir = tmpl;
    const std::string clip = (FDir / "clip.avi").string();
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi "
        "-i sine=frequency=440:sample_rate=44100 -t 1 -c:v mpeg4 -c:a pcm_s16le '" +
        clip + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed");
    for (int i = 0; i < cFileCount; ++i) {
      char name[40];
      std::snprintf(name, sizeof name, "camera clip %05d.avi", i);
      const std::filesystem::path link = FDir / name;
      std::filesystem::create_hard_link(clip, link);
      Names << QString::fromStdString(link.string());
      Files.push_back(link.string());
    }
    Project = (FDir / "year.rwp").string();
    rw::WriteProjectFile(Project, Files);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((FDir / "config").string()));
  }
  ~TBenchFiles() {
    std::error_code ec;
    std::filesystem::remove_all(FDir, ec);
  }

  QStringList Names;
  std::vector<std::string> Files;
  std::string Project;

private:
  std::filesystem::path FDir;
};

TBenchFiles& Files() {
  static TBenchFiles files;
  return files;
}

// Handles what is pending and paints the list now.
void Settle(rw::TfrmMain& Window) {
  QCoreApplication::processEvents();
  Window.FilesView().viewport()->repaint();
}

// The pictures on or off as the benchmark's argument says.
void ShowPictures(rw::TfrmMain& Window, const benchmark::State& State) {
  Window.miShowPictures->setChecked(State.range(0) != 0);
}

void BM_AddFilesToTheWindow(benchmark::State& State) {
  for (auto _ : State) {
    rw::TfrmMain window;
    ShowPictures(window, State);
    window.show();
    Settle(window);
    window.OpenCommandLine(Files().Names);
    Settle(window);
    if (window.List().Count() != cFileCount) State.SkipWithError("not every file was added");
    State.PauseTiming();
    window.List().RemoveAll();
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * cFileCount);
}
BENCHMARK(BM_AddFilesToTheWindow)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_LoadProjectOfTheWindow(benchmark::State& State) {
  rw::TfrmMain window;
  ShowPictures(window, State);
  window.show();
  Settle(window);
  const QStringList project{QString::fromStdString(Files().Project)};
  for (auto _ : State) {
    window.OpenCommandLine(project);
    Settle(window);
    if (window.List().Count() != cFileCount) State.SkipWithError("not every file was loaded");
  }
  State.SetItemsProcessed(State.iterations() * cFileCount);
}
BENCHMARK(BM_LoadProjectOfTheWindow)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// One command on a list of 10,000 rows, then the repaint.
template <class F>
void CommandOnALongList(benchmark::State& State, F&& Command) {
  rw::TfrmMain window;
  ShowPictures(window, State);
  window.show();
  window.OpenCommandLine({QString::fromStdString(Files().Project)});
  Settle(window);
  for (auto _ : State) {
    Command(window);
    Settle(window);
  }
}

void BM_MoveTheFirstRowDown(benchmark::State& State) {
  // A new first row: every row is compared with it again.
  CommandOnALongList(State, [](rw::TfrmMain& W) {
    W.List().SetSelected(0);
    W.acnMoveDown->trigger();
  });
}
BENCHMARK(BM_MoveTheFirstRowDown)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_MoveALastRowUp(benchmark::State& State) {
  CommandOnALongList(State, [](rw::TfrmMain& W) {
    W.List().SetSelected(W.List().Count() - 1);
    W.acnMoveUp->trigger();
  });
}
BENCHMARK(BM_MoveALastRowUp)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DeleteTheFirstRow(benchmark::State& State) {
  CommandOnALongList(State, [](rw::TfrmMain& W) {
    W.List().SetSelected(0);
    W.acnDelete->trigger();
  });
}
BENCHMARK(BM_DeleteTheFirstRow)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(200);

void BM_SelectARow(benchmark::State& State) {
  int row = 0;
  CommandOnALongList(State, [&row](rw::TfrmMain& W) {
    W.FilesView().setCurrentItem(W.FilesView().topLevelItem(row));
    row = (row + 997) % W.List().Count();
  });
}
BENCHMARK(BM_SelectARow)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ToggleHighlighting(benchmark::State& State) {
  CommandOnALongList(State, [](rw::TfrmMain& W) { W.miHighlightDifferents->trigger(); });
}
BENCHMARK(BM_ToggleHighlighting)
    ->ArgName("pictures")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // Nothing should ask anything; a question would be answered Yes.
  rw::MessageBoxHook() = [](const rw::TMessageRequest& Request) {
    std::fprintf(stderr, "message: %s\n", Request.Text.c_str());
    return Request.Buttons == rw::TMessageButtons::mbOK ? rw::TMessageResult::mrOK
                                                        : rw::TMessageResult::mrYes;
  };
  benchmark::Initialize(&argc, argv);
  Files();  // made before timing starts
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
