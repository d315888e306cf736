#include "gui/JoinFilesCommand.h"

#include <exception>

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

namespace rw {

TJoinRequest JoinRequestOf(const TFileList& List, const TfrmJoin& Options) {
  TJoinChoices choices;
  choices.OutFileName = Options.OutFileName();
  // The dialog asked before it closed.
  choices.Overwrite = true;
  choices.Mode = Options.ConvertDiffering() ? TJoinMode::Convert
                 : Options.JoinWORecomp()   ? TJoinMode::Copy
                                            : TJoinMode::Recompress;
  TRecompressChoices& r = choices.Recompression;
  r.Size = TFrameSize{Options.FrameWidth(), Options.FrameHeight()};
  r.Rate = Options.FrameRateText();
  r.DecimalSeparator = RateDecimalSeparator();
  // No selection leaves the joiner's own method.
  r.Resize =
      ResizeMethodOfItem(Options.ResizeMethodIndex()).value_or(TRecompression().ResizeMethod);
  r.Video.Selected = r.Audio.Selected = true;
  // The compressors are bound only for a recompressing join.
  if (!Options.JoinWORecomp() && !Options.ConvertDiffering()) {
    r.Video.Filter = Options.VideoCompressor();
    r.Audio.Filter = Options.AudioCompressor();
  }
  return DecideJoin(List, choices).Request;
}

TJoinResult JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options) {
  TJoinRequest request = JoinRequestOf(List, Options);
  TfrmProgress progress(Owner);
  TJoinResult result = rw::JoinFiles(std::move(request), progress);
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
