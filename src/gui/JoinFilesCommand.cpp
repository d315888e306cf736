#include "gui/JoinFilesCommand.h"

#include <exception>

#include "core/FileList.h"
#include "core/JoinDefaults.h"
#include "core/JoinFacts.h"
#include "core/JoinRequest.h"
#include "gui/JoinDoneDialog.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/ProgressDialog.h"
#include "recompress/RecompressJoiner.h"

namespace rw {

namespace {

// Passes everything to the join's progress dialog and notes whether the user stopped the join.
class TWatchedProgress : public IProgress {
public:
  TWatchedProgress(std::unique_ptr<IProgress> Progress, std::shared_ptr<bool> Cancelled)
      : FProgress(std::move(Progress)), FCancelled(std::move(Cancelled)) {}
  void SetCaption(const std::string& Caption) override { FProgress->SetCaption(Caption); }
  void SetText(const std::string& Text) override { FProgress->SetText(Text); }
  void Show() override { FProgress->Show(); }
  void Hide() override { FProgress->Hide(); }
  void SetProgress(double Percent) override { FProgress->SetProgress(Percent); }
  bool IsCancelled() override {
    const bool cancelled = FProgress->IsCancelled();
    if (cancelled) *FCancelled = true;
    return cancelled;
  }
  void SetShowTimeLeft(bool Value) override { FProgress->SetShowTimeLeft(Value); }

private:
  std::unique_ptr<IProgress> FProgress;
  std::shared_ptr<bool> FCancelled;
};

}  // namespace

TJoinRequest JoinRequestOf(const TFileList& List, const TfrmJoin& Options) {
  TJoinRequest request;
  request.Files = List.FileNames();
  request.OutFileName = Options.OutFileName();
  request.JoinWORecomp = Options.JoinWORecomp();
  request.DropAudio = Options.DropAudio();
  if (!request.JoinWORecomp) {
    TRecompression& r = request.Recompression;
    r.Width = Options.FrameWidth();
    r.Height = Options.FrameHeight();
    r.FrameRate = ParseFrameRate(Options.FrameRateText(), RateDecimalSeparator());
    ResizeMethodOfItem(Options.ResizeMethodIndex(), r.ResizeMethod);
    r.VideoCompressor = Options.VideoCompressor();
    r.AudioCompressor = Options.AudioCompressor();
    // A size the compressor cannot hold becomes the one the dialog's note named.
    FitFrameSize(r.VideoCompressor.get(), r.Width, r.Height);
  }
  return request;
}

bool JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options) {
  auto cancelled = std::make_shared<bool>(false);
  TProgressFactory dialogs = TfrmProgress::Factory(Owner);
  const std::vector<std::string> warnings =
      rw::JoinFiles(JoinRequestOf(List, Options), [dialogs, cancelled]() -> std::unique_ptr<IProgress> {
        return std::make_unique<TWatchedProgress>(dialogs(), cancelled);
      });
  // Sources that gave less than they declare were joined as far as they could be read.
  std::string text;
  for (const std::string& warning : warnings) text += warning + ".\n";
  if (!text.empty()) ShowMessageBox(Owner, text, TMessageKind::mkWarning, TMessageButtons::mbOK);
  return !*cancelled;
}

void JoinFilesCommand(QWidget* Owner, const TFileList& List, TfrmJoin& Options) {
  const TJoinFacts facts = GetJoinFacts(List.Infos());
  if (!Options.ShowJoinOptions(facts.CanJoinWORecomp, facts.DropAudio, facts.NoAudio)) return;
  bool done = false;
  try {
    done = JoinFiles(Owner, List, Options);
  } catch (const std::exception& E) {
    ShowMessageBox(Owner, std::string("Join fails: ") + E.what(), TMessageKind::mkWarning,
                   TMessageButtons::mbOK);
  }
  // A stopped or failed join shows no done message; a finished one tells what it made.
  if (done) ShowJoinDone(Owner, Options.OutFileName());
}

void InstallJoinFiles(TfrmMain& Main, TfrmJoin& Options) {
  Main.SetJoinHandler([&Main, &Options] { JoinFilesCommand(&Main, Main.List(), Options); });
}

}  // namespace rw
