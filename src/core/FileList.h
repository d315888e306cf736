#pragma once
// The main window's ordered file list, without any toolkit: the rows with their media
// descriptions and column texts, the selection (one row or several), the list commands (add,
// move, delete, clear), the mismatch flags against the first row and the status texts.
//
// The window (or the command line) implements IFileListView; the model calls it for
// everything a user sees and mirrors every change of rows and selection to it.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/PictureCut.h"
#include "media/VideoFileInfo.h"

namespace rw {

enum class TMessageKind { mkWarning, mkConfirmation, mkInformation };
enum class TMessageButtons { mbOK, mbYesNo, mbYesCancel };
// mrNone: the dialog was closed without a button.
enum class TMessageResult { mrNone, mrOK, mrYes, mrNo, mrCancel };

// What the list model needs of the window. All calls come on the GUI thread.
class IFileListView {
public:
  virtual ~IFileListView() = default;

  // Enables each command by the list's rows and selection.
  virtual void UpdateActions() = 0;
  // Sets every column to its widest text + 20 (see TFileList::AutoColumnWidths).
  virtual void AutoSizeColumns() = 0;
  // A modal message box centred on the window ("Warning", "Confirm", or information);
  // returns the button pressed.
  virtual TMessageResult ShowMessageBox(const std::string& Text, TMessageKind Kind,
                                        TMessageButtons Buttons) = 0;
  // Handles pending window messages so the window repaints during a long batch.
  virtual void ProcessMessages() = 0;
  // After ProcessMessages: whether the batch should end now, the window having been closed
  // meanwhile (by the user, or by the session's SIGTERM).
  virtual bool BatchStopped() { return false; }
  // Width in pixels of a status-bar text.
  virtual int TextWidth(const std::string& Text) = 0;
  // Shows (true) or takes back (false) the busy cursor.
  virtual void SetBusyCursor(bool Busy) = 0;
  // Sets status panel Index (0 or 1) to Text and its width in pixels (Width < 0: the width
  // stays).
  virtual void SetStatusPanel(int Index, const std::string& Text, int Width) = 0;

  // Stops (BeginUpdate) and resumes (EndUpdate) the list view's repainting for a batch.
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate() = 0;
  // A row was inserted at Row; its texts are TFileList::Text(Row, 0..6).
  virtual void RowInserted(int Row) = 0;
  // The row at Row was removed.
  virtual void RowRemoved(int Row) = 0;
  // Every row was removed.
  virtual void RowsCleared() = 0;
  // The texts of the row at Row changed (its cut was set).
  virtual void RowChanged(int /*Row*/) {}
  // The row at From now stands at To; the rows between shifted by one.
  virtual void RowMoved(int From, int To) = 0;
  // The model selected Rows (ascending; empty: none); the view selects them, focuses the first
  // and scrolls it fully into view. Not called for selections the view reported through
  // TFileList::SetSelectedRows.
  virtual void RowsSelected(const std::vector<int>& Rows) = 0;
};

// A view that shows nothing and answers every question with Yes (or OK).
class TNullFileListView : public IFileListView {
public:
  void UpdateActions() override {}
  void AutoSizeColumns() override {}
  TMessageResult ShowMessageBox(const std::string&, TMessageKind,
                                TMessageButtons Buttons) override {
    return Buttons == TMessageButtons::mbOK ? TMessageResult::mrOK : TMessageResult::mrYes;
  }
  void ProcessMessages() override {}
  int TextWidth(const std::string& Text) override { return static_cast<int>(Text.size()) * 6; }
  void SetBusyCursor(bool) override {}
  void SetStatusPanel(int, const std::string&, int) override {}
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void RowInserted(int) override {}
  void RowRemoved(int) override {}
  void RowsCleared() override {}
  void RowMoved(int, int) override {}
  void RowsSelected(const std::vector<int>&) override {}
};

// The columns of the list. The Cut column comes last so that the others keep their numbers (the
// info command's fields, the window's columns); the window shows it beside the duration.
enum TFileListColumnIndex {
  colFileName,
  colDuration,
  colType,
  colFrameSize,
  colFrameRate,
  colAudio,
  colFolder,
  colCut,
  colCount
};
enum class TColumnAlignment { caLeft, caRight };
// Width of a column that keeps the toolkit's default width.
inline constexpr int cToolkitDefaultWidth = -1;

struct TFileListColumn {
  const char* Caption;
  int Width;  // initial width in pixels, or cToolkitDefaultWidth
  TColumnAlignment Alignment;
};

inline constexpr std::array<TFileListColumn, colCount> FileListColumns{{
    {"File name", 150, TColumnAlignment::caLeft},
    {"Duration", 60, TColumnAlignment::caRight},
    {"Type", cToolkitDefaultWidth, TColumnAlignment::caLeft},
    {"Frame size", 70, TColumnAlignment::caLeft},
    {"Frame rate", 70, TColumnAlignment::caLeft},
    {"Audio", cToolkitDefaultWidth, TColumnAlignment::caLeft},
    {"Folder", 100, TColumnAlignment::caLeft},
    {"Cut", cToolkitDefaultWidth, TColumnAlignment::caLeft},
}};

// The texts of a row: its caption (the file name) and the other columns' texts.
using TRowTexts = std::array<std::string, colCount>;

// Describes one file for a new row; raises when the file cannot be described.
using TDescribeFile = std::function<std::unique_ptr<TVideoFileInfo>(const std::string&)>;

// What a file that cannot be added says: "Unable to add file NAME: REASON."
std::string UnableToAddText(const std::string& FileName, const std::string& Reason);
// Appended to the message of a file that cannot be added when more files follow.
inline constexpr const char* cContinueAddQuestion = "\r\nDo you want to continue add other files?";

// The texts of the two status panels.
struct TStatusTexts {
  std::string Panel0;
  std::string Panel1;
};

class TFileList {
public:
  explicit TFileList(IFileListView& View, TDescribeFile Describe = CreateVideoFileInfo);
  TFileList(const TFileList&) = delete;
  TFileList& operator=(const TFileList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  const TVideoFileInfo& Info(int Row) const { return *FItems.at(Row).Info; }
  const std::string& Text(int Row, int Column) const { return FItems.at(Row).Texts.at(Column); }
  const std::string& Caption(int Row) const { return Text(Row, colFileName); }
  // The full file names in list order.
  std::vector<std::string> FileNames() const;
  // The rows' descriptions in list order.
  std::vector<const TVideoFileInfo*> Infos() const;
  // The part of Row's file a join keeps (whole unless the user cut it), and each row's in list
  // order. A cut moves with its row.
  const TPictureCut& Cut(int Row) const { return FItems.at(Row).Cut; }
  std::vector<TPictureCut> Cuts() const;
  // Sets Row's cut: its Cut and Duration texts, the column widths and the total follow.
  void SetCut(int Row, const TPictureCut& Cut);

  // Index of the first selected row, or -1.
  int Selected() const { return FSelected.empty() ? -1 : FSelected.front(); }
  // The selected rows, ascending.
  const std::vector<int>& SelectedRows() const { return FSelected; }
  // The user selected Row (-1: none) or Rows in the view; rows out of the list are dropped.
  void SetSelected(int Row);
  void SetSelectedRows(std::vector<int> Rows);

  // Describes one file and appends its row, keeping Cut of it; raises the description's error
  // unchanged (and then adds no row).
  void AddFile(const std::string& FileName, const TPictureCut& Cut = {});
  // Appends the files in the given order, with progress in status panel 0 (at the first file,
  // then every ProgressInterval) and, for a file that fails, a message that asks whether to go on
  // with the rest. Ends with the mismatch flags and column widths updated; the caller then calls
  // UpdateActions and UpdateStatusBar. Cuts, when given, holds each name's cut (a project's).
  void AddFiles(const std::vector<std::string>& Names, const std::vector<TPictureCut>& Cuts = {});
  // Moves Row to position Target (last when Target is past the end) and selects it; the
  // caller then calls UpdateActions and UpdateStatusBar.
  void MoveItem(int Row, int Target);
  // Moves the selected rows, in their order, one place up (Delta -1) or down (+1) and keeps
  // them selected; nothing moves when the first (last) of them is already at the top (end).
  // The caller then calls UpdateActions and UpdateStatusBar.
  void MoveSelectedBy(int Delta);
  // Moves the selected rows, in their order, together so that the first of them stands at
  // Target (as MoveItem does with one row: they end last when Target is past the end).
  void MoveSelectedTo(int Target);
  // Removes the selected rows (acnDelete); nothing happens without a selection.
  void DeleteSelected();
  // Asks for confirmation, then removes every row (acnClear). Returns whether it did.
  bool Clear();
  // Removes every row without asking (a project replacing the list).
  void RemoveAll();

  // The first row before Row that holds the same file, or -1: the later one is added twice.
  int EarlierRowOf(int Row) const;

  // Recomputes the mismatch flags of Row against row 0.
  void UpdateItemDiffs(int Row);
  void UpdateAllDiffs();

  // The seconds every row keeps (its whole Duration unless it is cut), summed.
  double GetTotalDuration() const;
  // The two status texts for the current rows and selection.
  TStatusTexts StatusTexts() const;
  // Shows the status texts, each panel its text's width + 10 but at least 50 pixels wide.
  void UpdateStatusBar();

  // Stops change handling (actions, status bar) and the view's repainting for a batch.
  // Batches nest; the view is told at the outermost begin and end only.
  void BeginListUpdate();
  void EndListUpdate();
  bool Updating() const { return FUpdateDepth > 0; }

  // Widths for AutoSizeColumns: per column, the widest of its caption and its texts as
  // Measure sees them, + 20.
  std::array<int, colCount> AutoColumnWidths(
      const std::function<int(const std::string&)>& Measure) const;

  // Seconds between two "n/m files added" texts of AddFiles (often enough to see it move,
  // seldom enough to read it) and between two rounds of window messages, which keep the
  // window painted. 0: before every file.
  double ProgressInterval = 0.25;
  double MessageInterval = 0.05;

  // The folder the Add Files dialog offers.
  const std::string& LastOpenFolder() const { return FLastOpenFolder; }
  void SetLastOpenFolder(const std::string& Folder) { FLastOpenFolder = Folder; }

private:
  struct TItem {
    std::unique_ptr<TVideoFileInfo> Info;
    TRowTexts Texts;
    TPictureCut Cut;
  };

  // A row was added, removed or (de)selected: outside a batch the window updates its
  // commands and the status bar.
  void ListChanged();
  void SelectRow(int Row);
  void SelectRows(std::vector<int> Rows);
  // Puts the rows in the order Order gives (a permutation of the row numbers), telling the
  // view each move, and selects the rows that were selected, where they now stand.
  void Reorder(const std::vector<int>& Order);
  // Runs Body between BeginListUpdate and EndListUpdate, ending the batch also on errors.
  template <class F>
  void InListUpdate(F&& Body);

  IFileListView& FView;
  TDescribeFile FDescribe;
  std::vector<TItem> FItems;
  std::vector<int> FSelected;  // ascending
  int FUpdateDepth = 0;        // FUpdating is FUpdateDepth > 0
  std::string FLastOpenFolder;
};

}  // namespace rw
