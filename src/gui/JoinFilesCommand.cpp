#include "gui/JoinFilesCommand.h"

#include <exception>

#include "core/FileList.h"
#include "core/JoinDefaults.h"
#include "core/JoinFacts.h"
#include "core/JoinRequest.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/ProgressDialog.h"
#include "recompress/RecompressJoiner.h"

namespace rw {

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

void JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options) {
  rw::JoinFiles(JoinRequestOf(List, Options), TfrmProgress::Factory(Owner));
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
