#include "core/FileList.h"

#include <algorithm>
#include <chrono>

#include "core/ListTexts.h"
#include "join/OutputTransaction.h"
#include "platform/Errors.h"

namespace rw {

namespace {

constexpr const char* cClearQuestion = "Are you sure you want to remove all files from the list?";

}  // namespace

std::string UnableToAddText(const std::string& FileName, const std::string& Reason) {
  return "Unable to add file " + FileName + ": " + Reason + ".";
}

TFileList::TFileList(IFileListView& View, TDescribeFile Describe)
    : FView(View), FDescribe(std::move(Describe)) {}

template <class F>
void TFileList::InListUpdate(F&& Body) {
  BeginListUpdate();
  try {
    Body();
  } catch (...) {
    EndListUpdate();
    throw;
  }
  EndListUpdate();
}

std::vector<const TVideoFileInfo*> TFileList::Infos() const {
  std::vector<const TVideoFileInfo*> infos;
  infos.reserve(FItems.size());
  for (const TItem& item : FItems) infos.push_back(item.Info.get());
  return infos;
}

std::vector<std::string> TFileList::FileNames() const {
  std::vector<std::string> names;
  names.reserve(FItems.size());
  for (const TItem& item : FItems) names.push_back(item.Info->FileName);
  return names;
}

// Batches nest: a command that runs while AddFiles lets window messages be handled must not
// end the batch around it.
void TFileList::BeginListUpdate() {
  if (FUpdateDepth++ == 0) FView.BeginUpdate();
}

void TFileList::EndListUpdate() {
  if (FUpdateDepth == 0) return;
  if (--FUpdateDepth == 0) FView.EndUpdate();
}

void TFileList::ListChanged() {
  if (Updating()) return;
  FView.UpdateActions();
  UpdateStatusBar();
}

void TFileList::SetSelected(int Row) {
  FSelected = Row >= 0 && Row < Count() ? Row : -1;
  ListChanged();
}

void TFileList::SelectRow(int Row) {
  FSelected = Row;
  FView.RowSelected(Row);
  ListChanged();
}

void TFileList::AddFile(const std::string& FileName) {
  // What a killed join left beside its output is no source for another.
  if (IsJoinTempFileName(FileName)) throw Exception("The file is an unfinished join output");
  TItem item{FDescribe(FileName), {}};
  if (!item.Info) throw Exception("The file has unknown format");
  item.Texts = RowTexts(*item.Info);
  FItems.push_back(std::move(item));
  FView.RowInserted(Count() - 1);
  ListChanged();
}

void TFileList::AddFiles(const std::vector<std::string>& Names) {
  auto finish = [this] {
    UpdateAllDiffs();
    FView.SetBusyCursor(false);
    EndListUpdate();
    FView.AutoSizeColumns();
  };
  FView.SetBusyCursor(true);
  BeginListUpdate();
  try {
    using TClock = std::chrono::steady_clock;
    const auto textEvery = std::chrono::duration<double>(ProgressInterval);
    const auto pumpEvery = std::chrono::duration<double>(MessageInterval);
    TClock::time_point lastText, lastPump;
    const size_t n = Names.size();
    for (size_t i = 0; i < n; ++i) {
      // A long batch shows its count as often as it can be read and handles window messages
      // as often as the window needs; neither happens for every file.
      const TClock::time_point now = TClock::now();
      const bool showText = i == 0 || now - lastText >= textEvery;
      if (showText) {
        const std::string progress = std::to_string(i) + "/" + std::to_string(n) + " files added";
        FView.SetStatusPanel(0, progress, FView.TextWidth(progress) + 10);
        FView.SetStatusPanel(1, "", -1);
        lastText = now;
      }
      if (showText || now - lastPump >= pumpEvery) {
        FView.ProcessMessages();
        lastPump = now;
        if (FView.BatchStopped()) break;
      }
      try {
        AddFile(Names[i]);
      } catch (const std::exception& E) {
        const std::string text = UnableToAddText(Names[i], E.what());
        if (i == n - 1) {
          FView.ShowMessageBox(text, TMessageKind::mkWarning, TMessageButtons::mbOK);
        } else if (FView.ShowMessageBox(text + cContinueAddQuestion, TMessageKind::mkWarning,
                                        TMessageButtons::mbYesNo) != TMessageResult::mrYes) {
          break;
        }
      }
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TFileList::MoveItem(int Row, int Target) {
  if (Row < 0 || Row >= Count()) return;
  // The flags are recomputed when another entry becomes the first one, also when it has the
  // same file name as the old first entry.
  const TVideoFileInfo* first = FItems.front().Info.get();
  Target = std::max(Target, 0);
  if (Target == Row) return;
  // The row ends at Target, or last when Target is past the end.
  const int to = std::min(Target, Count() - 1);
  InListUpdate([&] {
    const auto at = FItems.begin();
    if (to > Row)
      std::rotate(at + Row, at + Row + 1, at + to + 1);
    else if (to < Row)
      std::rotate(at + to, at + Row, at + Row + 1);
    if (to != Row) FView.RowMoved(Row, to);
    SelectRow(to);
  });
  if (FItems.front().Info.get() != first) UpdateAllDiffs();
}

void TFileList::DeleteSelected() {
  if (FSelected < 0) return;
  InListUpdate([&] {
    int i = FSelected;
    FItems.erase(FItems.begin() + i);
    FSelected = -1;
    FView.RowRemoved(i);
    if (i == 0) UpdateAllDiffs();
    i = std::min(i, Count() - 1);
    if (i >= 0) SelectRow(i);
  });
  FView.UpdateActions();
  UpdateStatusBar();
  FView.AutoSizeColumns();
}

void TFileList::RemoveAll() {
  InListUpdate([&] {
    FItems.clear();
    FSelected = -1;
    FView.RowsCleared();
  });
}

bool TFileList::Clear() {
  if (FView.ShowMessageBox(cClearQuestion, TMessageKind::mkConfirmation,
                           TMessageButtons::mbYesNo) != TMessageResult::mrYes)
    return false;
  RemoveAll();
  FView.UpdateActions();
  UpdateStatusBar();
  return true;
}

void TFileList::UpdateItemDiffs(int Row) {
  TVideoFileInfo& info = *FItems.at(Row).Info;
  const TVideoFileInfo& first = *FItems.front().Info;
  info.VideoMismatch = !SameVideoFormat(info, first);
  info.AudioMismatch = !JoinableSound(info, first);
  info.AudioFormatDiffers = !SameAudioFormat(info, first);
}

void TFileList::UpdateAllDiffs() {
  for (int row = 0; row < Count(); ++row) UpdateItemDiffs(row);
}

double TFileList::GetTotalDuration() const {
  double total = 0;
  // The files' exact lengths, rounded once when shown: a thousand 59.9 s clips last 59,900 s,
  // not 60,000.
  for (const TItem& item : FItems) total += item.Info->ExactDuration;
  return total;
}

TStatusTexts TFileList::StatusTexts() const {
  const std::string total = "Total duration: " + FormatDuration(GetTotalDuration());
  if (FSelected >= 0) return {Caption(FSelected), total};
  if (!FItems.empty()) return {std::to_string(Count()) + " file(s)", total};
  return {"There are no selected files.", ""};
}

void TFileList::UpdateStatusBar() {
  const TStatusTexts texts = StatusTexts();
  const std::string* panels[] = {&texts.Panel0, &texts.Panel1};
  for (int i = 0; i < 2; ++i)
    FView.SetStatusPanel(i, *panels[i], std::max(FView.TextWidth(*panels[i]) + 10, 50));
}

std::array<int, colCount> TFileList::AutoColumnWidths(
    const std::function<int(const std::string&)>& Measure) const {
  std::array<int, colCount> widths{};
  for (int col = 0; col < colCount; ++col) {
    int widest = Measure(FileListColumns[col].Caption);
    for (const TItem& item : FItems) widest = std::max(widest, Measure(item.Texts[col]));
    widths[col] = widest + 20;
  }
  return widths;
}

}  // namespace rw
