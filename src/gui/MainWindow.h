#pragma once
// The main window: the file list with its tool bar, menus, context menu and status bar. The
// list model (TFileList) does the list's work; the window shows it and wires the commands.
#include <QFont>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <array>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/FileList.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTreeWidgetItem;

namespace rw {

class TFileListWidget;
class TfrmProgress;

class TfrmMain : public QMainWindow, public IFileListView {
  Q_OBJECT
public:
  explicit TfrmMain(QWidget* Parent = nullptr);
  ~TfrmMain() override;

  TFileList& List() { return *FList; }
  TFileListWidget& FilesView() { return *lvwFiles; }

  // Runs Work once the window has painted for the first time (soon after, when it has):
  // what may load libraries or show a message waits until the window is seen.
  void AfterPainted(std::function<void()> Work);

  // The Join Files command; the action stays disabled until one is set.
  void SetJoinHandler(std::function<void()> Handler);

  // IFileListView
  void UpdateActions() override;
  void AutoSizeColumns() override;
  TMessageResult ShowMessageBox(const std::string& Text, TMessageKind Kind,
                                TMessageButtons Buttons) override;
  void ProcessMessages() override;
  bool BatchStopped() override { return FClosed; }
  // The window was closed during the running join, and closes when it ends.
  bool ClosesAfterJoin() const { return FCloseAfterJoin; }
  int TextWidth(const std::string& Text) override;
  void SetBusyCursor(bool Busy) override;
  void SetStatusPanel(int Index, const std::string& Text, int Width) override;
  void BeginUpdate() override;
  void EndUpdate() override;
  void RowInserted(int Row) override;
  void RowRemoved(int Row) override;
  void RowsCleared() override;
  void RowChanged(int Row) override;
  void RowMoved(int From, int To) override;
  void RowsSelected(const std::vector<int>& Rows) override;

  // Local files dropped onto the window: existing files only, sorted, then added.
  void WMDropFiles(const QList<QUrl>& Urls);
  // The names given on the command line (what a file manager's "Open with" passes): the first
  // project (".rwp") replaces the list, then the other files are added: sorted as a drop adds
  // them when they all lie in one folder, else in the order given. Relative names are taken in the
  // working folder; "file:" addresses are accepted. Names are the bytes the system gave, so
  // that a name that is not valid UTF-8 still names its file.
  void OpenCommandLine(const std::vector<std::string>& Names);
  // A row's drag over the list at Pos (list viewport coordinates); answers whether the drop
  // is accepted.
  bool lvwFilesDragOver(const QPoint& Pos, bool FromSelf);
  // The end of a row's drag: the selected row moves to the last drop target.
  void lvwFilesEndDrag();

  // Whether a cell is painted in the highlight colour.
  bool CellHighlighted(int Row, int Column) const;
  // The tooltip of a cell: the full name (and why the file cannot be joined as it is) on the
  // file name, the folder on the folder, and on a highlighted cell what differs from the first
  // file. Empty: none.
  std::string CellToolTip(int Row, int Column) const;

  QAction* acnAddFiles;
  QAction* acnJoinFile;
  QAction* acnPlay;
  QAction* acnMoveUp;
  QAction* acnMoveDown;
  QAction* acnDelete;
  QAction* acnClear;
  QAction* acnTrim;
  QAction* miLoadProject;
  QAction* miSaveProject;
  QAction* miExit;
  QAction* miHighlightDifferents;
  QAction* miShowPictures;
  QAction* miHelpTopics;
  QAction* miAbout;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  // While a join runs, asks whether to stop it; the window then closes when the join ends.
  // Otherwise it closes, and a batch of files being added ends there.
  void closeEvent(QCloseEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

private:
  // Sets the column widths from FNaturalWidths for the list's width.
  void FitColumns();
  // Puts the rows appended during a batch into the list view.
  void FlushPendingRows();
  // The progress dialog of the join in progress, or none.
  TfrmProgress* RunningProgress() const;

  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateList();
  void CreateStatusBar();
  void FormCreate();
  void FormDestroy();

  void acnAddFilesExecute();
  void acnPlayExecute();
  void acnMoveUpExecute();
  void acnMoveDownExecute();
  void acnDeleteExecute();
  void acnClearExecute();
  // Edit, Trim: the Trim dialog for the selected row, whose cut it sets.
  void acnTrimExecute();
  void miHighlightDifferentsClick();
  void miHelpTopicsClick();
  void lvwFilesSelectionChanged();

  // Adds a batch of names in natural order (SortFileNames).
  void AddSortedFiles(std::vector<std::string> Names);
  // Adds a batch of names in the order given.
  void AddFilesInOrder(std::vector<std::string> Names);

  std::unique_ptr<TFileList> FList;
  TFileListWidget* lvwFiles;
  QToolBar* ToolBar;
  QMenu* PopupMenu;
  QLabel* FStatusPanels[2];
  QPersistentModelIndex FDropTarget;
  QList<QTreeWidgetItem*> FPendingRows;
  // The widths of the texts measured for the columns, in FMeasuredFont.
  std::unordered_map<std::string, int> FTextWidths;
  QFont FMeasuredFont;
  // What each column needs to show its texts whole.
  std::array<int, colCount> FNaturalWidths{};
  std::function<void()> FJoinHandler;
  // Waiting for the first paint; FPainted once it has come.
  std::vector<std::function<void()>> FAfterPainted;
  bool FPainted = false;
  // Set while a batch of files is added.
  bool FBusy = false;
  bool FClosed = false;  // closed: a batch being added ends
  // Set while the Join Files command runs, and when the window was asked to close meanwhile.
  bool FJoinRunning = false;
  bool FCloseAfterJoin = false;
};

// The local files of a drop, in the drop's order; OnlyExisting keeps only existing files (so
// folders are skipped), OnlyMissing only names of no existing file.
std::vector<std::string> GetDroppedFiles(const QList<QUrl>& Urls, bool OnlyExisting,
                                         bool OnlyMissing);

// The user manual for a program in ProgramFolder: manual.html beside it (the build), else the
// installed one under share/doc/reelwright.
QString ManualPath(const QString& ProgramFolder);
// Shows the manual in a window of the program's own (one per Owner), for a desktop without a
// browser.
void ShowManualWindow(QWidget* Owner, const QString& Manual);

// Sorts full file names ascending in natural order: runs of digits by their value (part 2
// before part 10), the text between them case-insensitively under the user's locale.
void SortFileNames(std::vector<std::string>& Names);

}  // namespace rw
