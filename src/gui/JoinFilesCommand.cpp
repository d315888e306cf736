#include "gui/JoinFilesCommand.h"

#include <exception>

#include "core/FileList.h"
#include "core/JoinDefaults.h"
#include "core/JoinFacts.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/ProgressDialog.h"
#include "recompress/RecompressJoiner.h"
#include "streamcopy/StreamCopyJoiner.h"
#include "gui/JoinOptionsDialog.h"

namespace rw {

TJoinWrapper::TJoinWrapper(QWidget* Owner, const TFileList& List, const TfrmJoin& Options)
    : FOwner(Owner), FList(List), FOptions(Options) {}

TJoinWrapper::~TJoinWrapper() = default;

void TJoinWrapper::Run() {
  if (FOptions.JoinWORecomp()) {
    JoinAVIFiles();
    return;
  }
  FProgress = std::make_unique<TfrmProgress>(FOwner);
  FProgress->SetCaption("Joining...");
  FProgress->SetText("The selected files are being joined. Please wait...");
  FProgress->Show();
  // The dialog goes when the join ends, also by an error.
  struct TDropProgress {
    std::unique_ptr<TfrmProgress>& Progress;
    ~TDropProgress() { Progress.reset(); }
  } drop{FProgress};
  JoinWithRecompression();
}

void TJoinWrapper::FillFileList(std::vector<std::string>& Files) const {
  const std::vector<std::string> names = FList.FileNames();
  Files.insert(Files.end(), names.begin(), names.end());
}

void TJoinWrapper::JoinAVIFiles() {
  TAVIFileJoiner joiner(TfrmProgress::Factory(FOwner));
  FillFileList(joiner.FFiles);
  joiner.FOutFileName = FOptions.OutFileName();
  joiner.FDropAudio = FOptions.DropAudio();
  joiner.Execute();
  // Sources that gave less than they declare were joined as far as they could be read.
  std::string text;
  for (const std::string& warning : joiner.Warnings()) text += warning + ".\n";
  if (!text.empty())
    ShowMessageBox(FOwner, text, TMessageKind::mkWarning, TMessageButtons::mbOK);
}

void TJoinWrapper::JoinWithRecompression() {
  TDSVideoJoiner joiner;
  FillFileList(joiner.FFiles);
  joiner.FOutFileName = FOptions.OutFileName();
  joiner.FWidth = FOptions.FrameWidth();
  joiner.FHeight = FOptions.FrameHeight();
  joiner.FFrameRate = ParseFrameRate(FOptions.FrameRateText(), RateDecimalSeparator());
  ResizeMethodOfItem(FOptions.ResizeMethodIndex(), joiner.FResizeMethod);
  joiner.OnProgress = [this](TDSVideoJoiner& Sender, bool& Cancel, double Percent) {
    JoinProgress(Sender, Cancel, Percent);
  };
  joiner.FVideoCompressor = FOptions.VideoCompressor();
  joiner.FAudioCompressor = FOptions.AudioCompressor();
  joiner.Join();
}

void TJoinWrapper::JoinProgress(TDSVideoJoiner&, bool& Cancel, double Percent) {
  FProgress->SetProgress(Percent);
  Cancel = FProgress->IsCancelled();
}

void JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options) {
  TJoinWrapper wrapper(Owner, List, Options);
  wrapper.Run();
}

void JoinFilesCommand(QWidget* Owner, const TFileList& List, TfrmJoin& Options) {
  const TJoinFacts facts = GetJoinFacts(List.Infos());
  if (!Options.ShowJoinOptions(facts.CanJoinWORecomp, facts.DropAudio, facts.NoAudio)) return;
  try {
    JoinFiles(Owner, List, Options);
  } catch (const std::exception& E) {
    ShowMessageBox(Owner, std::string("Join fails: ") + E.what(), TMessageKind::mkWarning,
                   TMessageButtons::mbOK);
  }
}

void InstallJoinFiles(TfrmMain& Main, TfrmJoin& Options) {
  Main.SetJoinHandler([&Main, &Options] { JoinFilesCommand(&Main, Main.List(), Options); });
}

}  // namespace rw
