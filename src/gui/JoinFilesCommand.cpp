#include "gui/JoinFilesCommand.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <exception>
#include <filesystem>

#include "core/CutText.h"
#include "core/EngineWorker.h"
#include "core/FileList.h"
#include "core/JoinDecision.h"
#include "core/JoinFacts.h"
#include "core/JoinOutput.h"
#include "core/ListTexts.h"
#include "core/JoinRequest.h"
#include "gui/JoinDoneDialog.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/ProgressDialog.h"
#include "gui/QtStrings.h"
#include "platform/Errors.h"
#include "recompress/CompressorList.h"

namespace rw {

QStringList JoinWorkerArguments(const TFileList& List, const TfrmJoin& Options) {
  QStringList args{"join", "--worker", "--yes", "-o",
                   TextToQ(WorkerNameArgument(Options.OutFileName()))};
  const TResizeMethod resize =
      ResizeMethodOfItem(Options.ResizeMethodIndex()).value_or(TRecompression().ResizeMethod);
  QString resizeWord;
  for (const TResizeMethodEntry& e : ResizeMethods)
    if (e.Method == resize) resizeWord = e.Word;
  if (Options.ConvertDiffering()) {
    args << "--convert"
         << "--resize" << resizeWord;
  } else if (Options.JoinWORecomp()) {
    args << "--copy";
  } else {
    std::string rate = Options.FrameRateText();
    for (char& c : rate)
      if (c == RateDecimalSeparator()) c = '.';
    args << "--recompress"
         << "--size" << QString("%1x%2").arg(Options.FrameWidth()).arg(Options.FrameHeight())
         << "--rate" << TextToQ(rate) << "--resize" << resizeWord;
    // The compressors with the options set on them in the compressor options.
    auto compressor = [&args](const char* Name, const char* Option,
                              const std::shared_ptr<TCompressorFilter>& Filter) {
      args << Name << (Filter ? TextToQ(Filter->EncoderName()) : QString("none"));
      if (Filter)
        for (const auto& [key, value] : Filter->Options())
          args << Option << TextToQ(key + "=" + value);
    };
    compressor("--vcodec", "--vopt", Options.VideoCompressor());
    compressor("--acodec", "--aopt", Options.AudioCompressor());
  }
  for (const TVideoFileInfo* info : List.Infos()) {
    const TFileIdentity& id = info->Identity;
    args << "--identity"
         << QString("%1:%2:%3:%4")
                .arg(static_cast<qulonglong>(id.Device))
                .arg(static_cast<qulonglong>(id.Inode))
                .arg(static_cast<qlonglong>(id.Size))
                .arg(static_cast<qlonglong>(id.ModifiedNs));
  }
  // Each row's cut, by its pictures.
  for (int row = 0; row < List.Count(); ++row)
    if (!List.Cut(row).Whole())
      args << "--cut" << TextToQ(CutArgument(static_cast<size_t>(row) + 1, List.Cut(row)));
  args << "--";
  for (const TVideoFileInfo* info : List.Infos())
    args << TextToQ(WorkerNameArgument(info->FileName));
  return args;
}

namespace {

// Runs one join in a worker process, its progress in Progress; the window's own event loop
// runs meanwhile, and Cancel (or a close of the window) stops the worker's join as a stop
// signal stops the command line's. A worker that dies is a failure like any other, and the
// temporary file it left is removed.
TJoinResult RunJoinWorker(const QStringList& Args, TfrmProgress& Progress) {
  QProcess worker;
  worker.setProgram(PathToQ(WorkerProgram()));
  worker.setArguments(Args);
  worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  TJoinResult result;
  bool answered = false, shown = false, reading = false, stopSent = false;
  std::string error, work = cReadingFilesWork, part;
  auto readLines = [&] {
    // A progress report lets the dialog paint, which may deliver the next lines meanwhile.
    if (reading) return;
    reading = true;
    while (worker.canReadLine()) {
      std::string word, text;
      ReadWorkerLine(worker.readLine().toStdString(), word, text);
      if (word == "progress") {
        Progress.SetProgress(std::strtod(text.c_str(), nullptr));
      } else if (word == "caption") {
        Progress.SetCaption(text);
      } else if (word == "text") {
        Progress.SetText(text);
      } else if (word == "timeleft") {
        Progress.SetShowTimeLeft(text == "1");
      } else if (word == "show") {
        // A Cancel pressed before the join began stays pressed.
        const bool cancelled = Progress.Cancelled();
        Progress.Show();
        if (cancelled) Progress.Cancel();
        shown = true;
      } else if (word == "hide") {
        Progress.Hide();
        shown = false;
      } else if (word == "work") {
        work = text;
      } else if (word == "part") {
        part = text;
      } else if (word == "warning") {
        result.Warnings.push_back(text);
      } else if (word == "error") {
        error = text;
        answered = true;
      } else if (word == "result") {
        result.Cancelled = text.size() == 2 && text[0] == '1';
        result.Kept = text.size() == 2 && text[1] == '1';
        answered = true;
      }
    }
    reading = false;
  };
  QEventLoop loop;
  QObject::connect(&worker, &QProcess::readyReadStandardOutput, &loop, readLines);
  QObject::connect(&worker, &QProcess::finished, &loop, &QEventLoop::quit);
  QTimer stopWatch;
  QObject::connect(&stopWatch, &QTimer::timeout, &loop, [&] {
    if (stopSent || !Progress.Cancelled() || worker.processId() <= 0) return;
    stopSent = true;
    ::kill(static_cast<pid_t>(worker.processId()), SIGTERM);
  });
  stopWatch.start(20);
  worker.start();
  if (!worker.waitForStarted(-1))
    throw Exception("The program " + WorkerProgram() + " that joins the files cannot be started: " +
                    worker.errorString().toStdString());
  if (worker.state() != QProcess::NotRunning) loop.exec();
  stopWatch.stop();
  worker.waitForFinished(-1);
  readLines();
  if (shown) Progress.Hide();
  if (!error.empty()) throw Exception(error);
  if (answered && worker.exitStatus() == QProcess::NormalExit) return result;
  // Stopped before its join began: nothing was written.
  if (stopSent && worker.exitStatus() == QProcess::NormalExit) return {true, false, {}};
  std::error_code ignored;
  if (!part.empty()) std::filesystem::remove(part, ignored);
  const bool crashed = worker.exitStatus() == QProcess::CrashExit;
  throw Exception(
      WorkerStoppedText(work, crashed ? worker.exitCode() : 0, crashed ? 0 : worker.exitCode()));
}

}  // namespace

TJoinResult JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options) {
  const QStringList args = JoinWorkerArguments(List, Options);
  TfrmProgress progress(Owner);
  TJoinResult result = RunJoinWorker(args, progress);
  // Sources that gave less than they declare were joined as far as they could be read.
  std::string text;
  for (const std::string& warning : result.Warnings) text += warning + ".\n";
  if (!text.empty()) ShowMessageBox(Owner, text, TMessageKind::mkWarning, TMessageButtons::mbOK);
  return result;
}

std::string JoinFilesCommand(QWidget* Owner, const TFileList& List, TfrmJoin& Options) {
  const TJoinFacts facts = GetJoinFacts(List.Infos());
  if (!Options.ShowJoinOptions(facts.CanJoinWORecomp, facts.DropAudio, facts.NoAudio)) return {};
  TJoinResult result;
  try {
    result = JoinFiles(Owner, List, Options);
  } catch (const std::exception& E) {
    ShowMessageBox(Owner, JoinFailsText(E.what()), TMessageKind::mkWarning, TMessageButtons::mbOK);
    return {};
  }
  // A finished join tells what it made; a stopped one says what was kept, in a message and in
  // the status bar.
  if (!result.Cancelled) {
    ShowJoinDone(Owner, Options.OutFileName());
    return {};
  }
  // Not while the window closes: no one is there to read it.
  if (auto* main = qobject_cast<TfrmMain*>(Owner); !main || !main->ClosesAfterJoin())
    ShowJoinStopped(Owner, Options.OutFileName(), result.Kept, List.GetTotalDuration());
  if (!result.Kept) return "Stopped: nothing was saved";
  const TJoinOutputFacts output = DescribeJoinOutput(Options.OutFileName());
  return "Stopped: " + (output.Duration >= 0 ? FormatDuration(output.Duration) + " " : "") +
         "saved as " + Options.OutFileName();
}

void InstallJoinFiles(TfrmMain& Main, TfrmJoin& Options) {
  Main.SetJoinHandler([&Main, &Options] {
    const std::string stopped = JoinFilesCommand(&Main, Main.List(), Options);
    if (!stopped.empty()) Main.SetStatusPanel(0, stopped, Main.TextWidth(stopped) + 10);
  });
}

}  // namespace rw
