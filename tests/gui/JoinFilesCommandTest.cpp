// Join Files through the real window: the options dialog is answered as a user would, the
// joiner runs with its progress dialog, and the output is checked by ffprobe and ffmpeg.
#include <QAction>
#include <QApplication>
#include <QTest>
#include <QCheckBox>
#include <QRadioButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QElapsedTimer>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include <QLabel>
#include <filesystem>

#include "core/EngineWorker.h"
#include "core/JoinOutput.h"
#include "core/ListTexts.h"
#include "gui/JoinDoneDialog.h"
#include "gui/JoinFilesCommand.h"
#include "gui/ProgressDialog.h"
#include "gui/QuitSignals.h"
#include "support/Fixtures.h"
#include "gui/MainWindowFixture.h"
#include "support/MediaCheck.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/QtStrings.h"

namespace rw::test {
namespace {

class JoinFilesTest : public MainWindow {
protected:
  // The options dialog is the window's child: it goes first.
  void SetUp() override {
    MainWindow::SetUp();
    FSavedDone = JoinDoneRunner();
    // The done message is read and answered with Open Folder.
    JoinDoneRunner() = [this](QDialog& Dialog) {
      auto& done = static_cast<TfrmJoinDone&>(Dialog);
      DoneTexts.push_back(done.lblText->text().toStdString());
      done.btnOpenFolder->click();
      return Dialog.result();
    };
  }
  void TearDown() override {
    ::unsetenv("REELWRIGHT_WORKER_PAUSE");
    FOptions.reset();
    JoinDoneRunner() = FSavedDone;
    MainWindow::TearDown();
  }

  // A window with Files in its list and the join options wired to Join Files.
  void Prepare(const std::vector<std::string>& Files,
               const TCompressorLister& Lister = EnumCompressors) {
    Window().List().AddFiles(Files);
    FOptions = std::make_unique<TfrmJoin>(
        &Window(), [this] { return Window().List().Infos(); }, Lister);
    InstallJoinFiles(Window(), *FOptions);
    Window().UpdateActions();
  }

  // Presses Join Files; Answer fills the options dialog once it shows, then Join is pressed.
  void JoinFiles(const std::function<void(TfrmJoin&)>& Answer) {
    QTimer::singleShot(0, FOptions.get(), [this, Answer] {
      while (!FOptions->CompressorsListed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      Answer(*FOptions);
      if (FOptions->isVisible()) FOptions->btnJoin->click();
      if (FOptions->isVisible()) FOptions->reject();
    });
    ASSERT_TRUE(Window().acnJoinFile->isEnabled());
    Window().acnJoinFile->trigger();
  }

  // Presses Cancel in the progress dialog once the join has reported Percent done. The worker
  // waits a little after each report, so that what follows is seen part-way through the join.
  void CancelWhenProgressReaches(double Percent) {
    WhenProgressReaches(Percent, [](TfrmProgress& Progress) { Progress.btnCancel->click(); });
  }
  void WhenProgressReaches(double Percent, std::function<void(TfrmProgress&)> Action) {
    ::setenv("REELWRIGHT_WORKER_PAUSE", "2", 1);
    auto* poll = new QTimer(&Window());
    QObject::connect(poll, &QTimer::timeout, poll, [this, poll, Percent, Action] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<TfrmProgress*>(w);
            progress && progress->isVisible() && progress->Percent() >= Percent) {
          WindowEnabledDuringJoin = Window().isEnabled();
          poll->stop();
          Action(*progress);
          return;
        }
    });
    poll->start(0);
  }

  std::unique_ptr<TfrmJoin> FOptions;
  bool WindowEnabledDuringJoin = true;
  std::vector<std::string> DoneTexts;
  TModalRunner FSavedDone;
};

TClipSpec Clip(const std::string& Codec, int Width, int Height, int Frames) {
  TClipSpec c;
  c.Codec = Codec;
  c.Width = Width;
  c.Height = Height;
  c.Frames = Frames;
  c.Audio = "pcm";
  return c;
}

TEST_F(JoinFilesTest, MatchingFilesAreCopiedAndTheListStaysAsItWas) {
  // A name that is not valid UTF-8 reaches the worker as its bytes.
  const std::string a = Dir.File("a.avi"), b = Dir.File("b\xE9.avi");
  std::filesystem::copy_file(MakeClip(Clip("mpeg4", 64, 48, 25)), a);
  std::filesystem::copy_file(MakeClip(Clip("mpeg4", 64, 48, 15)), b);
  Prepare({a, b, a});
  // A name without a folder lands beside the first source, and the dialog shows where.
  const std::string out = Dir.File("joined.avi");
  JoinFiles([&](TfrmJoin& Options) {
    EXPECT_TRUE(Options.cbxJoinWORecomp->isChecked());
    Options.edtOutFileName->setText("joined.avi");
  });
  EXPECT_EQ(FOptions->edtOutFileName->text().toStdString(), out);
  EXPECT_TRUE(Shown.empty()) << Shown.front().Text;
  EXPECT_EQ(DecodeErrors(out), "");
  EXPECT_EQ(ProbePacketCounts(out)["video"], 65);
  EXPECT_EQ(RowNames().size(), 3u);
  EXPECT_TRUE(Window().isEnabled());
  // The done message: the full name, the duration and the size; Open Folder opens its folder.
  ASSERT_EQ(DoneTexts.size(), 1u);
  EXPECT_EQ(DoneTexts[0], "The files are joined into\n" + out + "\n\nDuration: 00:03\nSize: " +
                              FileSizeText(static_cast<int64_t>(std::filesystem::file_size(out))));
  ASSERT_EQ(Urls.Opened.size(), 1);
  EXPECT_EQ(Urls.Opened[0], QUrl::fromLocalFile(PathToQ(Dir.Path().string())));

  // A file rewritten after the list read it is not the file the user chose: the worker, which
  // reads the files anew, fails the join naming it.
  WriteFileBytes(b, ReadFileBytes(a));
  DoneTexts.clear();
  const std::string again = Dir.File("again.avi");
  JoinFiles([&](TfrmJoin& Options) { Options.edtOutFileName->setText(PathToQ(again)); });
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Text.rfind("Join fails: The file " + b + " has changed since it was added", 0),
            0u)
      << Shown[0].Text;
  EXPECT_TRUE(DoneTexts.empty());
  EXPECT_FALSE(std::filesystem::exists(again));
}

TEST_F(JoinFilesTest, DifferentFilesAreRecompressedToTheProposedSize) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 10));
  const std::string b = MakeClip(Clip("mjpeg", 80, 64, 10));
  Prepare({a, b});
  const std::string out = Dir.File("recompressed.avi");
  JoinFiles([&](TfrmJoin& Options) {
    EXPECT_FALSE(Options.cbxJoinWORecomp->isEnabled());
    Options.edtOutFileName->setText(QString::fromStdString(out));
  });
  EXPECT_TRUE(Shown.empty()) << Shown.front().Text;
  EXPECT_EQ(DecodeErrors(out), "");
  const std::string size = RunTool(
      "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " +
      ShellQuote(out));
  EXPECT_EQ(size, "64,48\n");
  EXPECT_NEAR(ProbePacketCounts(out)["video"], 20, 1);
  EXPECT_TRUE(Window().isEnabled());
}

TEST_F(JoinFilesTest, CancelStopsTheJoinSaysWhatIsKeptAndKeepsADecodableOutput) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 250));
  Prepare({a, a, a, a});
  const std::string out = Dir.File("cancelled.avi");
  JoinFiles([&](TfrmJoin& Options) {
    Options.edtOutFileName->setText(QString::fromStdString(out));
    CancelWhenProgressReaches(5);
  });
  EXPECT_TRUE(Shown.empty());
  EXPECT_FALSE(WindowEnabledDuringJoin);
  EXPECT_EQ(DecodeErrors(out), "");
  const int frames = ProbePacketCounts(out)["video"];
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 1000);
  EXPECT_TRUE(Window().isEnabled());
  // A message and the status bar say what was kept.
  const std::string kept = FormatDuration(DescribeJoinOutput(out).Duration);
  ASSERT_EQ(DoneTexts.size(), 1u);
  EXPECT_EQ(DoneTexts[0],
            "Stopped after " + kept + " of 00:40; the first " + kept + " is kept as " + out + ".");
  EXPECT_EQ(Panel(0).toStdString(), "Stopped: " + kept + " saved as " + out);
}

TEST_F(JoinFilesTest, ASessionStopDuringAJoinCancelsItKeepsWhatWasJoinedAndClosesTheWindow) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 250));
  Prepare({a, a, a, a});
  // A signal ignored when the program starts (SIGHUP under `nohup`) stays ignored.
  struct sigaction ignore {
  }, previous{}, installed{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGHUP, &ignore, &previous);
  InstallQuitSignals(Window());
  ::sigaction(SIGHUP, &previous, &installed);
  EXPECT_EQ(installed.sa_handler, SIG_IGN);
  Window().show();
  const std::string out = Dir.File("stopped.avi");
  WriteFileBytes(out, "the output the user agreed to replace");
  JoinFiles([&](TfrmJoin& Options) {
    Options.edtOutFileName->setText(QString::fromStdString(out));
    WhenProgressReaches(5, [](TfrmProgress&) { ::raise(SIGTERM); });
  });
  EXPECT_EQ(QuitSignal(), SIGTERM);
  EXPECT_FALSE(Window().isVisible());
  EXPECT_EQ(DecodeErrors(out), "");
  const int frames = ProbePacketCounts(out)["video"];
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 1000);
  EXPECT_FALSE(std::filesystem::exists(Dir.File(".stopped.avi.part")));
}

TEST_F(JoinFilesTest, ClosingTheWindowDuringAJoinAsksAndStopsItOnlyOnYes) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 250));
  Prepare({a, a, a, a});
  Window().show();
  const std::string out = Dir.File("closed.avi");
  // The first close is answered No and the join goes on; the second Yes, and it stops.
  Answers = {TMessageResult::mrNo, TMessageResult::mrYes};
  int closes = 0;
  JoinFiles([&](TfrmJoin& Options) {
    Options.edtOutFileName->setText(QString::fromStdString(out));
    ::setenv("REELWRIGHT_WORKER_PAUSE", "2", 1);
    auto* poll = new QTimer(&Window());
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll, seen = 0]() mutable {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<TfrmProgress*>(w);
        if (!progress || !progress->isVisible() || progress->Percent() < 5 || ++seen % 60 != 0)
          continue;
        // The first time by Quit's key on the progress dialog, the one enabled window.
        if (++closes == 1) {
          QApplication::setActiveWindow(progress);
          QTest::keyClick(progress, Qt::Key_Q, Qt::ControlModifier);
        } else {
          Window().close();
        }
        if (closes == 1) {
          EXPECT_TRUE(Window().isVisible());
        } else {
          poll->stop();
        }
      }
    });
    poll->start(0);
  });
  EXPECT_EQ(closes, 2);
  ASSERT_EQ(Shown.size(), 2u);
  EXPECT_EQ(Shown[0].Caption, "Confirm");
  EXPECT_EQ(Shown[0].Text.rfind("A join is running. Do you want to stop it and quit?", 0), 0u);
  EXPECT_TRUE(DoneTexts.empty());
  // The window closed once the join had stopped, its output finished as Cancel leaves it.
  EXPECT_FALSE(Window().isVisible());
  EXPECT_EQ(DecodeErrors(out), "");
  const int frames = ProbePacketCounts(out)["video"];
  EXPECT_GT(frames, 0);
  EXPECT_LT(frames, 1000);
}

TEST_F(JoinFilesTest, AFrameRateOutOfRangeIsRefusedBeforeAnythingIsWritten) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 10));
  const std::string b = MakeClip(Clip("mjpeg", 80, 64, 10));
  Prepare({a, b});
  const std::string out = Dir.File("fast.avi");
  JoinFiles([&](TfrmJoin& Options) {
    Options.edtOutFileName->setText(QString::fromStdString(out));
    // Recompressed (not the proposed conversion), at the rate of a file whose header claims
    // 1500 pictures per second.
    Options.rbnRecompress->setChecked(true);
    Options.cbxFameRate->addItem("1500.00");
    Options.cbxFameRate->setCurrentIndex(Options.cbxFameRate->count() - 1);
  });
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Caption, "Warning");
  EXPECT_EQ(Shown[0].Text, "Join fails: invalid frame rate '1500.00'");
  EXPECT_TRUE(DoneTexts.empty());
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_TRUE(Window().isEnabled());
}

TEST_F(JoinFilesTest, AnOutputThatCannotBeCreatedIsReportedAndTheWindowComesBack) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 10));
  const std::string b = MakeClip(Clip("mjpeg", 80, 64, 10));
  WriteFileBytes(Dir.File("plain"), "not a folder");
  for (const std::vector<std::string>& files :
       {std::vector<std::string>{a, a}, std::vector<std::string>{a, b}}) {
    Shown.clear();
    FOptions.reset();
    CloseWindow();
    Prepare(files);
    JoinFiles([&](TfrmJoin& Options) {
      Options.edtOutFileName->setText(QString::fromStdString(Dir.File("plain") + "/out.avi"));
    });
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].Caption, "Warning");
    EXPECT_EQ(Shown[0].Text.rfind("Join fails: ", 0), 0u) << Shown[0].Text;
    EXPECT_TRUE(Window().isEnabled());
    EXPECT_EQ(ReadFileBytes(Dir.File("plain")), "not a folder");
  }
}

// Every join runs in a worker process. One that dies (here on purpose, at its first progress
// report, as a codec library that aborts) fails the join with a plain reason: the output the
// user agreed to replace is kept, no temporary file is left, the list and the window stay. The
// same join then finishes while the window's event loop answers within 100 ms, and the
// window's process never maps a codec library.
TEST_F(JoinFilesTest, AJoinRunsInAWorkerWhoseDeathFailsTheJoinAndLeavesTheWindow) {
  const std::string a = MakeClip(Clip("mpeg4", 64, 48, 50));
  const std::string b = MakeClip(Clip("mjpeg", 80, 64, 50));
  // As in the program, what the join options ask of the engine is answered by a worker too.
  UseEngineWorker(WorkerProgram());
  Prepare({a, b});
  std::string encoder;
  const std::string out = Dir.File("kept.avi");
  WriteFileBytes(out, "the output the user agreed to replace");
  ::setenv("REELWRIGHT_WORKER_CRASH", "join", 1);
  for (const bool convert : {true, false}) {
    Shown.clear();
    JoinFiles([&](TfrmJoin& Options) {
      EXPECT_TRUE(Options.cbxConvert->isChecked());
      (convert ? Options.cbxConvert : Options.rbnRecompress)->setChecked(true);
      Options.edtOutFileName->setText(PathToQ(out));
      ASSERT_TRUE(Options.VideoCompressor());
      encoder = Options.VideoCompressor()->EncoderName();
    });
    // The question whether to replace the output, then the failure.
    ASSERT_EQ(Shown.size(), 2u) << Shown[0].Text;
    EXPECT_EQ(Shown[0].Caption, "Confirm");
    EXPECT_EQ(Shown[1].Text,
              std::string("Join fails: the media engine stopped unexpectedly while ") +
                  (convert ? "converting the files that differ" : "encoding with " + encoder) +
                  " (signal 6)");
    EXPECT_EQ(ReadFileBytes(out), "the output the user agreed to replace");
    EXPECT_FALSE(std::filesystem::exists(Dir.File(".kept.avi.part")));
    EXPECT_EQ(RowNames().size(), 2u);
    EXPECT_TRUE(Window().isEnabled());
  }
  ::unsetenv("REELWRIGHT_WORKER_CRASH");

  // The longest wait of a 10 ms timer while the progress dialog shows.
  QElapsedTimer clock;
  qint64 last = -1, longest = 0;
  int ticks = 0;
  QTimer beat;
  QObject::connect(&beat, &QTimer::timeout, [&] {
    bool joining = false;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* progress = qobject_cast<TfrmProgress*>(w); progress && progress->isVisible())
        joining = true;
    const qint64 now = clock.elapsed();
    if (joining && last >= 0) {
      longest = std::max(longest, now - last);
      ++ticks;
    }
    last = joining ? now : -1;
  });
  clock.start();
  beat.start(10);
  Shown.clear();
  JoinFiles([&](TfrmJoin& Options) {
    Options.rbnRecompress->setChecked(true);
    Options.edtOutFileName->setText(PathToQ(out));
  });
  beat.stop();
  ASSERT_EQ(Shown.size(), 1u) << Shown.back().Text;
  EXPECT_EQ(Shown[0].Caption, "Confirm");
  EXPECT_EQ(DecodeErrors(out), "");
  EXPECT_NEAR(ProbePacketCounts(out)["video"], 100, 1);
  EXPECT_GT(ticks, 3);
  EXPECT_LT(longest, 100);
  std::ifstream maps("/proc/self/maps");
  const std::string mapped((std::istreambuf_iterator<char>(maps)), {});
  for (const char* library : {"/libavcodec.so", "/libavformat.so", "/reelwright-engine.so"})
    EXPECT_EQ(mapped.find(library), std::string::npos) << library;
}

}  // namespace
}  // namespace rw::test
