#include "core/FileList.h"

#include <algorithm>
#include <chrono>
#include <utility>

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

std::vector<TPictureCut> TFileList::Cuts() const {
  std::vector<TPictureCut> cuts;
  for (const TItem& item : FItems) cuts.push_back(item.Cut);
  return cuts;
}

void TFileList::SetCut(int Row, const TPictureCut& Cut) {
  TItem& item = FItems.at(Row);
  if (item.Cut == Cut) return;
  item.Cut = Cut;
  item.Texts = RowTexts(*item.Info, Cut);
  FView.RowChanged(Row);
  if (Updating()) return;
  FView.AutoSizeColumns();
  UpdateStatusBar();
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

void TFileList::SetSelected(int Row) { SetSelectedRows({Row}); }

void TFileList::SetSelectedRows(std::vector<int> Rows) {
  std::erase_if(Rows, [this](int Row) { return Row < 0 || Row >= Count(); });
  std::sort(Rows.begin(), Rows.end());
  Rows.erase(std::unique(Rows.begin(), Rows.end()), Rows.end());
  FSelected = std::move(Rows);
  ListChanged();
}

void TFileList::SelectRow(int Row) {
  SelectRows(Row >= 0 ? std::vector<int>{Row} : std::vector<int>{});
}

void TFileList::SelectRows(std::vector<int> Rows) {
  FSelected = std::move(Rows);
  FView.RowsSelected(FSelected);
  ListChanged();
}

void TFileList::AddFile(const std::string& FileName, const TPictureCut& Cut) {
  // What a killed join left beside its output is no source for another.
  if (IsJoinTempFileName(FileName)) throw Exception("The file is an unfinished join output");
  TItem item{FDescribe(FileName), {}, Cut};
  if (!item.Info) throw Exception("The file has unknown format");
  item.Texts = RowTexts(*item.Info, Cut);
  FItems.push_back(std::move(item));
  FView.RowInserted(Count() - 1);
  ListChanged();
}

void TFileList::AddFiles(const std::vector<std::string>& Names,
                         const std::vector<TPictureCut>& Cuts) {
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
    const int before = Count();
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
        AddFile(Names[i], i < Cuts.size() ? Cuts[i] : TPictureCut{});
      } catch (const std::exception& E) {
        const std::string text = UnableToAddText(Names[i], E.what());
        // While the question is open the list shows the rows added so far, and their count.
        const std::string progress =
            std::to_string(Count() - before) + "/" + std::to_string(n) + " files added";
        FView.SetStatusPanel(0, progress, FView.TextWidth(progress) + 10);
        FView.EndUpdate();
        const bool last = i == n - 1;
        const TMessageResult answer =
            FView.ShowMessageBox(last ? text : text + cContinueAddQuestion, TMessageKind::mkWarning,
                                 last ? TMessageButtons::mbOK : TMessageButtons::mbYesNo);
        FView.BeginUpdate();
        if (!last && answer != TMessageResult::mrYes) break;
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

void TFileList::Reorder(const std::vector<int>& Order) {
  const TVideoFileInfo* first = FItems.front().Info.get();
  std::vector<bool> selected(FItems.size());
  for (int row : FSelected) selected[row] = true;
  // Where each original row stands now; every place before Place is final, so each move
  // brings a row up from below and shifts only rows not yet placed.
  std::vector<int> at(FItems.size());
  std::vector<int> of(FItems.size());  // the original row at each place
  for (size_t i = 0; i < at.size(); ++i) at[i] = of[i] = static_cast<int>(i);
  InListUpdate([&] {
    for (int place = 0; place < Count(); ++place) {
      const int from = at[Order[place]];
      if (from == place) continue;
      const auto items = FItems.begin();
      std::rotate(items + place, items + from, items + from + 1);
      std::rotate(of.begin() + place, of.begin() + from, of.begin() + from + 1);
      for (int i = place; i <= from; ++i) at[of[i]] = i;
      FView.RowMoved(from, place);
    }
    std::vector<int> rows;
    for (int place = 0; place < Count(); ++place)
      if (selected[Order[place]]) rows.push_back(place);
    SelectRows(std::move(rows));
  });
  if (FItems.front().Info.get() != first) UpdateAllDiffs();
}

void TFileList::MoveSelectedBy(int Delta) {
  if (FSelected.empty() || (Delta != -1 && Delta != 1)) return;
  if (Delta < 0 ? FSelected.front() == 0 : FSelected.back() == Count() - 1) return;
  std::vector<int> order(FItems.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  // Each selected row changes places with its neighbour, nearest the edge first, so a run of
  // selected rows moves as one.
  if (Delta < 0) {
    for (int row : FSelected) std::swap(order[row - 1], order[row]);
  } else {
    for (auto row = FSelected.rbegin(); row != FSelected.rend(); ++row)
      std::swap(order[*row], order[*row + 1]);
  }
  Reorder(order);
}

void TFileList::MoveSelectedTo(int Target) {
  if (FSelected.empty()) return;
  const int moved = static_cast<int>(FSelected.size());
  const int to = std::clamp(Target, 0, Count() - moved);
  std::vector<int> rest;
  std::vector<bool> selected(FItems.size());
  for (int row : FSelected) selected[row] = true;
  for (int row = 0; row < Count(); ++row)
    if (!selected[row]) rest.push_back(row);
  std::vector<int> order(rest.begin(), rest.begin() + to);
  order.insert(order.end(), FSelected.begin(), FSelected.end());
  order.insert(order.end(), rest.begin() + to, rest.end());
  Reorder(order);
}

void TFileList::DeleteSelected() {
  if (FSelected.empty()) return;
  InListUpdate([&] {
    const std::vector<int> rows = std::exchange(FSelected, {});
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
      FItems.erase(FItems.begin() + *row);
      FView.RowRemoved(*row);
    }
    if (rows.front() == 0) UpdateAllDiffs();
    // The row that took the first removed row's place is selected.
    const int i = std::min(rows.front(), Count() - 1);
    if (i >= 0) SelectRow(i);
  });
  FView.UpdateActions();
  UpdateStatusBar();
  FView.AutoSizeColumns();
}

void TFileList::RemoveAll() {
  InListUpdate([&] {
    FItems.clear();
    FSelected.clear();
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

int TFileList::EarlierRowOf(int Row) const {
  const std::string& name = FItems.at(Row).Info->FileName;
  for (int row = 0; row < Row; ++row)
    if (FItems[row].Info->FileName == name) return row;
  return -1;
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
  for (const TItem& item : FItems) total += KeptSeconds(*item.Info, item.Cut);
  return total;
}

TStatusTexts TFileList::StatusTexts() const {
  const std::string total = "Total duration: " + FormatDuration(GetTotalDuration());
  if (FSelected.size() == 1) return {Caption(FSelected.front()), total};
  if (FSelected.size() > 1)
    return {std::to_string(FSelected.size()) + " of " + std::to_string(Count()) + " files selected",
            total};
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
