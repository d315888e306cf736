#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "gui/FileListWidget.h"
#include "core/ListTexts.h"
#include "core/NaturalOrder.h"
#include "gui/MessageBoxes.h"
#include "core/ProductInfo.h"
#include "core/Project.h"
#include "core/SavedFolders.h"
#include "gui/ProjectCommands.h"
#include "gui/SettingsStore.h"
#include "platform/Files.h"
#include "gui/AboutBox.h"
#include "gui/FileDialogs.h"
#include "gui/ProgressDialog.h"
#include "gui/QtStrings.h"
#include "gui/TrimDialog.h"

// The pictures live in the static library; their registration has to be pulled in by name.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace rw {
namespace {

constexpr int StatusPanelWidth = 50;
constexpr int MaxAutoColumnWidth = 320;
constexpr int DragScrollMargin = 20;
constexpr int DragScrollStep = 10;

constexpr const char* cStopJoinQuestion =
    "A join is running. Do you want to stop it and quit?\r\nThe part joined so far is kept.";

std::string PlacementKey() { return ProductInfo().RegKey + "\\forms\\frmMain"; }

QAction* NewAction(QWidget* Owner, const char* Name, const QString& Caption,
                   const char* Icon = nullptr) {
  auto* action = new QAction(Caption, Owner);
  action->setObjectName(Name);
  // The caption is also the hint, without its access-key marker.
  action->setToolTip(QString(Caption).remove('&'));
  if (Icon) action->setIcon(QIcon(QString(":/icons/") + Icon + ".png"));
  Owner->addAction(action);
  return action;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QMainWindow(Parent) {
  InitIconResources();
  setObjectName("frmMain");
  move(272, 138);
  resize(565, 354);
  setAcceptDrops(true);
  FList = std::make_unique<TFileList>(*this);
  CreateActions();
  CreateList();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  FormDestroy();
  // The rows go before the widgets that mirror them.
  FList.reset();
}

void TfrmMain::CreateActions() {
  acnAddFiles = NewAction(this, "acnAddFiles", "&Add Files", "addfiles");
  acnAddFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  acnJoinFile = NewAction(this, "acnJoinFile", "&Join Files", "joinfiles");
  acnJoinFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  acnPlay = NewAction(this, "acnPlay", "&Play", "play");
  acnMoveUp = NewAction(this, "acnMoveUp", "Move &Up", "moveup");
  acnMoveDown = NewAction(this, "acnMoveDown", "Move Do&wn", "movedown");
  acnDelete = NewAction(this, "acnDelete", "&Delete");
  acnDelete->setShortcut(QKeySequence(Qt::Key_Delete));
  acnClear = NewAction(this, "acnClear", "&Clear", "clear");
  acnTrim = NewAction(this, "acnTrim", "&Trim...");
  acnTrim->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  miLoadProject = NewAction(this, "miLoadProject", "&Load Project...");
  miLoadProject->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  miSaveProject = NewAction(this, "miSaveProject", "&Save Project...");
  miSaveProject->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  miExit = NewAction(this, "miExit", "E&xit");
  miExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  miHighlightDifferents = NewAction(this, "miHighlightDifferents", "&Highlight Differents");
  miHighlightDifferents->setCheckable(true);
  miShowPictures = NewAction(this, "miShowPictures", "&Pictures");
  miShowPictures->setCheckable(true);
  miShowPictures->setChecked(true);
  miHelpTopics = NewAction(this, "miHelpTopics", "Help &Topics");
  miHelpTopics->setShortcut(QKeySequence(Qt::Key_F1));
  miAbout = NewAction(this, "miAbout", "&About");

  auto guarded = [this](void (TfrmMain::*Handler)()) {
    return [this, Handler] { RunGuarded(this, [this, Handler] { (this->*Handler)(); }); };
  };
  connect(acnAddFiles, &QAction::triggered, this, guarded(&TfrmMain::acnAddFilesExecute));
  connect(acnJoinFile, &QAction::triggered, this, [this] {
    if (!FJoinHandler || FJoinRunning) return;
    FJoinRunning = true;
    RunGuarded(this, FJoinHandler);
    FJoinRunning = false;
    // The window was asked to close meanwhile: it closes now that the join has ended.
    if (FCloseAfterJoin) {
      FCloseAfterJoin = false;
      close();
    }
  });
  connect(acnPlay, &QAction::triggered, this, guarded(&TfrmMain::acnPlayExecute));
  connect(acnMoveUp, &QAction::triggered, this, guarded(&TfrmMain::acnMoveUpExecute));
  connect(acnMoveDown, &QAction::triggered, this, guarded(&TfrmMain::acnMoveDownExecute));
  connect(acnDelete, &QAction::triggered, this, guarded(&TfrmMain::acnDeleteExecute));
  connect(acnClear, &QAction::triggered, this, guarded(&TfrmMain::acnClearExecute));
  connect(acnTrim, &QAction::triggered, this, guarded(&TfrmMain::acnTrimExecute));
  connect(miLoadProject, &QAction::triggered, this,
          [this] { RunGuarded(this, [this] { LoadProject(this, *FList, *this); }); });
  connect(miSaveProject, &QAction::triggered, this,
          [this] { RunGuarded(this, [this] { SaveProject(this, *FList, *this); }); });
  connect(miExit, &QAction::triggered, this, &QWidget::close);
  connect(miHighlightDifferents, &QAction::triggered, this,
          guarded(&TfrmMain::miHighlightDifferentsClick));
  connect(miHelpTopics, &QAction::triggered, this, guarded(&TfrmMain::miHelpTopicsClick));
  connect(miShowPictures, &QAction::toggled, this, [this](bool Shown) {
    lvwFiles->SetPicturesShown(Shown);
    FitColumns();
  });
  connect(miAbout, &QAction::triggered, this, [] { ShowAbout(ProductInfo()); });
}

void TfrmMain::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction(acnAddFiles);
  file->addSeparator();
  file->addAction(acnJoinFile);
  file->addSeparator();
  file->addAction(miLoadProject);
  file->addAction(miSaveProject);
  file->addSeparator();
  file->addAction(miExit);

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->addAction(acnMoveUp);
  edit->addAction(acnMoveDown);
  edit->addSeparator();
  // Delete of the list's menu, under the name the Edit menu gives it; the key stays with
  // Delete so that it has one owner.
  QAction* remove = edit->addAction("&Remove\tDel");
  remove->setObjectName("miRemove");
  connect(remove, &QAction::triggered, acnDelete, &QAction::trigger);
  connect(acnDelete, &QAction::changed, remove,
          [this, remove] { remove->setEnabled(acnDelete->isEnabled()); });
  remove->setEnabled(acnDelete->isEnabled());
  edit->addAction(acnClear);
  edit->addSeparator();
  edit->addAction(acnTrim);

  QMenu* view = menuBar()->addMenu("&View");
  view->addAction(miHighlightDifferents);
  view->addAction(miShowPictures);

  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction(miHelpTopics);
  help->addSeparator();
  help->addAction(miAbout);

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName("PopupMenu");
  PopupMenu->addAction(acnPlay);
  PopupMenu->setDefaultAction(acnPlay);
  PopupMenu->addSeparator();
  PopupMenu->addAction(acnMoveUp);
  PopupMenu->addAction(acnMoveDown);
  PopupMenu->addSeparator();
  PopupMenu->addAction(acnDelete);
  PopupMenu->addAction(acnTrim);
  lvwFiles->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lvwFiles, &QWidget::customContextMenuRequested, this, [this](const QPoint& Pos) {
    if (!FBusy) PopupMenu->popup(lvwFiles->viewport()->mapToGlobal(Pos));
  });
}

void TfrmMain::CreateToolBar() {
  ToolBar = addToolBar("ToolBar");
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setIconSize(QSize(24, 24));
  ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (QAction* action :
       {acnAddFiles, static_cast<QAction*>(nullptr), acnPlay, acnMoveUp, acnMoveDown,
        static_cast<QAction*>(nullptr), acnJoinFile, static_cast<QAction*>(nullptr), acnClear}) {
    if (!action) {
      ToolBar->addSeparator();
      continue;
    }
    ToolBar->addAction(action);
    auto* button = qobject_cast<QToolButton*>(ToolBar->widgetForAction(action));
    if (!button) continue;
    if (action != acnJoinFile) {
      button->setFixedSize(34, 30);
      continue;
    }
    // The command the window is for stands out: its caption beside its picture, in bold.
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QFont bold = button->font();
    bold.setBold(true);
    button->setFont(bold);
    button->setFixedHeight(30);
  }
}

void TfrmMain::CreateList() {
  lvwFiles = new TFileListWidget(this);
  setCentralWidget(lvwFiles);
  QStringList captions;
  for (const TFileListColumn& column : FileListColumns) captions << column.Caption;
  lvwFiles->setHeaderLabels(captions);
  for (int c = 0; c < colCount; ++c) {
    const TFileListColumn& column = FileListColumns[c];
    if (column.Width != cToolkitDefaultWidth) lvwFiles->setColumnWidth(c, column.Width);
    if (column.Alignment == TColumnAlignment::caRight)
      lvwFiles->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  // The cut is read beside the duration it shortens.
  lvwFiles->header()->moveSection(lvwFiles->header()->visualIndex(colCut),
                                  lvwFiles->header()->visualIndex(colDuration) + 1);
  lvwFiles->AddPictureColumn([this](int Row) {
    return Row >= 0 && Row < FList->Count() ? FList->Info(Row).FileName : std::string();
  });
  lvwFiles->Delegate().IsHighlighted = [this](int Row, int Column) {
    return CellHighlighted(Row, Column);
  };
  lvwFiles->Delegate().IsRepeat = [this](int Row) {
    return Row >= 0 && Row < FList->Count() && FList->EarlierRowOf(Row) >= 0;
  };
  lvwFiles->Delegate().ToolTip = [this](int Row, int Column) {
    return PathToQ(CellToolTip(Row, Column));
  };
  lvwFiles->OnDragOver = [this](const QPoint& Pos, bool FromSelf) {
    return lvwFilesDragOver(Pos, FromSelf);
  };
  lvwFiles->OnEndDrag = [this] { RunGuarded(this, [this] { lvwFilesEndDrag(); }); };
  lvwFiles->OnDropFiles = [this](const QList<QUrl>& Urls) { WMDropFiles(Urls); };
  // The cut cell opens the Trim dialog; any other cell plays the file.
  lvwFiles->OnDblClick = [this](int Column) { (Column == colCut ? acnTrim : acnPlay)->trigger(); };
  lvwFiles->SetEmptyText(
      "To add AVI files, choose File, Add Files (Ctrl+O), or drop them here from a file "
      "manager.");
  lvwFiles->viewport()->installEventFilter(this);
  connect(lvwFiles, &QTreeWidget::itemSelectionChanged, this,
          [this] { RunGuarded(this, [this] { lvwFilesSelectionChanged(); }); });
}

void TfrmMain::CreateStatusBar() {
  for (int i = 0; i < 2; ++i) {
    FStatusPanels[i] = new QLabel(this);
    FStatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
    FStatusPanels[i]->setFixedWidth(StatusPanelWidth);
    statusBar()->addPermanentWidget(FStatusPanels[i]);
  }
  // The panels stand at the left, as the list's status reads.
  statusBar()->addPermanentWidget(new QWidget(this), 1);
  statusBar()->setSizeGripEnabled(true);
}

void TfrmMain::FormCreate() {
  // Each setting is read on its own: a bad one is skipped and the others are kept, so the
  // next exit does not store empty folders over good ones. The problems are shown once, and
  // the window still comes up.
  std::vector<std::string> problems;
  auto read = [&problems](const std::function<void()>& Body) {
    try {
      Body();
    } catch (const std::exception& E) {
      if (std::find(problems.begin(), problems.end(), E.what()) == problems.end())
        problems.push_back(E.what());
    }
  };
  // A first run opens at about 60 % of the screen, centred, where every column shows whole;
  // the stored placement, when there is one, follows.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    const int columns = lvwFiles->header()->length() + 2 * lvwFiles->frameWidth() +
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int width = std::min(std::max(area.width() * 6 / 10, columns), area.width());
    const int height = std::max(area.height() * 6 / 10, std::min(this->height(), area.height()));
    setGeometry(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2,
                width, height);
  }
  const std::string key = ProductInfo().RegKey;
  read([&] { LoadFormPlacement(TRegRoot::CurrentUser, PlacementKey(), *this, false); });
  read([&] {
    FList->SetLastOpenFolder(ReadRegString(TRegRoot::CurrentUser, key, "LastOpenFolder"));
  });
  read([&] { LastSaveFolder = ReadRegString(TRegRoot::CurrentUser, key, "LastSaveFolder"); });
  read([&] { LastProjectFolder = ReadRegString(TRegRoot::CurrentUser, key, "LastProjectFolder"); });
  read([&] {
    miShowPictures->setChecked(ReadRegString(TRegRoot::CurrentUser, key, "ShowPictures") != "0");
  });
  if (!problems.empty()) {
    std::string text = problems.front();
    for (size_t i = 1; i < problems.size(); ++i) text += "\n" + problems[i];
    // Over the painted window, not over an empty frame.
    AfterPainted([this, text] { ShowErrorBox(this, text); });
  }
  acnPlay->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  acnMoveUp->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
  acnMoveDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
  UpdateActions();
  FList->UpdateStatusBar();
}

void TfrmMain::FormDestroy() {
  // A settings failure is shown and the program still ends.
  RunGuarded(this, [this] {
    const std::string key = ProductInfo().RegKey;
    SaveFormPlacement(TRegRoot::CurrentUser, PlacementKey(), *this);
    WriteRegString(TRegRoot::CurrentUser, key, "LastOpenFolder", FList->LastOpenFolder());
    WriteRegString(TRegRoot::CurrentUser, key, "LastSaveFolder", LastSaveFolder);
    WriteRegString(TRegRoot::CurrentUser, key, "LastProjectFolder", LastProjectFolder);
    WriteRegString(TRegRoot::CurrentUser, key, "ShowPictures",
                   miShowPictures->isChecked() ? "1" : "0");
  });
}

void TfrmMain::AfterPainted(std::function<void()> Work) {
  if (FPainted)
    QTimer::singleShot(0, this, std::move(Work));
  else
    FAfterPainted.push_back(std::move(Work));
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event) {
  // The columns share the list's width.
  if (Watched == lvwFiles->viewport() && Event->type() == QEvent::Resize &&
      FNaturalWidths[colFileName] > 0)
    FitColumns();
  if (!FPainted && Watched == lvwFiles->viewport() && Event->type() == QEvent::Paint) {
    FPainted = true;
    // Once this paint has reached the screen.
    for (std::function<void()>& work : FAfterPainted) QTimer::singleShot(0, this, std::move(work));
    FAfterPainted.clear();
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TfrmMain::SetJoinHandler(std::function<void()> Handler) {
  FJoinHandler = std::move(Handler);
  UpdateActions();
}

// ---- IFileListView

void TfrmMain::UpdateActions() {
  const int count = FList->Count();
  const std::vector<int>& selected = FList->SelectedRows();
  acnJoinFile->setEnabled(count > 0 && FJoinHandler != nullptr);
  acnPlay->setEnabled(selected.size() == 1);
  acnMoveUp->setEnabled(!selected.empty() && selected.front() > 0);
  acnMoveDown->setEnabled(!selected.empty() && selected.back() < count - 1);
  acnDelete->setEnabled(!selected.empty());
  acnClear->setEnabled(count > 0);
  acnTrim->setEnabled(selected.size() == 1);
}

void TfrmMain::AutoSizeColumns() {
  const QFontMetrics metrics = lvwFiles->fontMetrics();
  // Each text is measured once and remembered, so a command on a long list (a delete) does
  // not measure every row again; the memory is forgotten when the font changes or it grows
  // past any list's size.
  if (FMeasuredFont != lvwFiles->font() || FTextWidths.size() > 200000) {
    FTextWidths.clear();
    FMeasuredFont = lvwFiles->font();
  }
  FNaturalWidths = FList->AutoColumnWidths([&](const std::string& Text) {
    auto [at, added] = FTextWidths.try_emplace(Text, 0);
    if (added) at->second = metrics.horizontalAdvance(TextToQ(Text));
    return at->second;
  });
  // A name beside the warning sign needs the sign's room too.
  for (int row = 0; row < FList->Count(); ++row)
    if (!FList->Info(row).HasIndex) {
      FNaturalWidths[colFileName] += lvwFiles->iconSize().isValid()
                                         ? lvwFiles->iconSize().width() + 8
                                         : style()->pixelMetric(QStyle::PM_SmallIconSize) + 8;
      break;
    }
  FitColumns();
}

void TfrmMain::FitColumns() {
  // Every text whole when the list is wide enough. Otherwise one long name does not push the
  // other columns away: the widest columns are cut, to no less than a fixed width, as little
  // as the list's width needs (in the middle, whole in the tooltip).
  const int room = lvwFiles->viewport()->width() - lvwFiles->PictureColumnWidth();
  auto total = [this](int Cap) {
    int sum = 0;
    for (int w : FNaturalWidths) sum += std::min(w, Cap);
    return sum;
  };
  int cap = *std::max_element(FNaturalWidths.begin(), FNaturalWidths.end());
  if (total(cap) > room) {
    int low = MaxAutoColumnWidth, high = cap;
    while (low < high) {
      const int middle = (low + high + 1) / 2;
      if (total(middle) <= room)
        low = middle;
      else
        high = middle - 1;
    }
    cap = low;
  }
  for (int c = 0; c < colCount; ++c) lvwFiles->setColumnWidth(c, std::min(FNaturalWidths[c], cap));
}

TMessageResult TfrmMain::ShowMessageBox(const std::string& Text, TMessageKind Kind,
                                        TMessageButtons Buttons) {
  return rw::ShowMessageBox(this, Text, Kind, Buttons);
}

void TfrmMain::ProcessMessages() { QCoreApplication::processEvents(); }

int TfrmMain::TextWidth(const std::string& Text) {
  return FStatusPanels[0]->fontMetrics().horizontalAdvance(TextToQ(Text));
}

void TfrmMain::SetBusyCursor(bool Busy) {
  // While a batch is added, pending window messages are handled between the files; no other
  // command may start meanwhile. The callers update the actions after the batch.
  FBusy = Busy;
  if (Busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (QAction* action : actions()) action->setEnabled(false);
  } else {
    QApplication::restoreOverrideCursor();
    for (QAction* action : {miLoadProject, miSaveProject, miExit, miHighlightDifferents,
                            miShowPictures, miHelpTopics, miAbout, acnAddFiles})
      action->setEnabled(true);
    UpdateActions();
  }
}

void TfrmMain::SetStatusPanel(int Index, const std::string& Text, int Width) {
  if (Index < 0 || Index > 1) return;
  FStatusPanels[Index]->setText(TextToQ(Text));
  if (Width >= 0) FStatusPanels[Index]->setFixedWidth(Width);
}

void TfrmMain::BeginUpdate() { lvwFiles->setUpdatesEnabled(false); }

void TfrmMain::EndUpdate() {
  FlushPendingRows();
  lvwFiles->setUpdatesEnabled(true);
}

void TfrmMain::FlushPendingRows() {
  if (FPendingRows.isEmpty()) return;
  const QSignalBlocker blocker(lvwFiles);
  lvwFiles->addTopLevelItems(FPendingRows);
  FPendingRows.clear();
}

void TfrmMain::RowInserted(int Row) {
  auto* item = new QTreeWidgetItem;
  for (int c = 0; c < colCount; ++c) {
    item->setText(c, c == colFileName || c == colFolder ? PathToQ(FList->Text(Row, c))
                                                        : TextToQ(FList->Text(Row, c)));
    if (FileListColumns[c].Alignment == TColumnAlignment::caRight)
      item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  // A file that cannot be joined as it is shows it when it is added; its tooltip says why.
  if (!JoinProblemText(FList->Info(Row)).empty())
    item->setIcon(colFileName, style()->standardIcon(QStyle::SP_MessageBoxWarning));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
  // Rows appended during a batch go to the list together at its end: one insertion instead of
  // thousands.
  if (FList->Updating() && Row == lvwFiles->topLevelItemCount() + FPendingRows.size()) {
    FPendingRows.append(item);
    return;
  }
  FlushPendingRows();
  const QSignalBlocker blocker(lvwFiles);
  lvwFiles->insertTopLevelItem(Row, item);
}

void TfrmMain::RowChanged(int Row) {
  FlushPendingRows();
  if (QTreeWidgetItem* item = lvwFiles->topLevelItem(Row)) {
    item->setText(colDuration, TextToQ(FList->Text(Row, colDuration)));
    item->setText(colCut, TextToQ(FList->Text(Row, colCut)));
  }
}

void TfrmMain::RowRemoved(int Row) {
  FlushPendingRows();
  const QSignalBlocker blocker(lvwFiles);
  delete lvwFiles->takeTopLevelItem(Row);
}

void TfrmMain::RowsCleared() {
  qDeleteAll(FPendingRows);
  FPendingRows.clear();
  const QSignalBlocker blocker(lvwFiles);
  lvwFiles->clear();
}

void TfrmMain::RowMoved(int From, int To) {
  FlushPendingRows();
  const QSignalBlocker blocker(lvwFiles);
  QTreeWidgetItem* item = lvwFiles->takeTopLevelItem(From);
  if (item) lvwFiles->insertTopLevelItem(To, item);
}

void TfrmMain::RowsSelected(const std::vector<int>& Rows) {
  FlushPendingRows();
  const QSignalBlocker blocker(lvwFiles);
  QTreeWidgetItem* item = Rows.empty() ? nullptr : lvwFiles->topLevelItem(Rows.front());
  lvwFiles->clearSelection();
  if (!item) {
    lvwFiles->setCurrentItem(nullptr);
    return;
  }
  lvwFiles->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
  for (int row : Rows)
    if (QTreeWidgetItem* selected = lvwFiles->topLevelItem(row)) selected->setSelected(true);
  lvwFiles->scrollToItem(item, QAbstractItemView::EnsureVisible);
  lvwFiles->viewport()->update();
}

// ---- list events

void TfrmMain::lvwFilesSelectionChanged() {
  std::vector<int> rows;
  for (QTreeWidgetItem* item : lvwFiles->selectedItems())
    rows.push_back(lvwFiles->indexOfTopLevelItem(item));
  FList->SetSelectedRows(std::move(rows));
}

bool TfrmMain::lvwFilesDragOver(const QPoint& Pos, bool FromSelf) {
  if (!FromSelf || FBusy) return false;
  const int row = lvwFiles->RowAt(Pos);
  if (row >= 0) lvwFiles->SetDropHighlight(row);
  const int target = lvwFiles->DropHighlight();
  if (target >= 0) FDropTarget = lvwFiles->model()->index(target, 0);
  if (Pos.y() < DragScrollMargin)
    lvwFiles->ScrollBy(-DragScrollStep);
  else if (Pos.y() > lvwFiles->viewport()->height() - DragScrollMargin)
    lvwFiles->ScrollBy(DragScrollStep);
  return true;
}

void TfrmMain::lvwFilesEndDrag() {
  lvwFiles->SetDropHighlight(-1);
  if (FDropTarget.isValid()) FList->MoveSelectedTo(FDropTarget.row());
  FDropTarget = QPersistentModelIndex();
  UpdateActions();
  FList->UpdateStatusBar();
}

bool TfrmMain::CellHighlighted(int Row, int Column) const {
  if (!miHighlightDifferents->isChecked() || Row < 0 || Row >= FList->Count()) return false;
  const TVideoFileInfo& info = FList->Info(Row);
  switch (Column) {
    case colType:
      return info.VideoFormatDiffers;
    case colFrameSize:
      return info.FrameSizeDiffers;
    case colFrameRate:
      return info.FrameRateDiffers;
    case colAudio:
      return info.AudioFormatDiffers;
    default:
      return false;
  }
}

// ---- closing

TfrmProgress* TfrmMain::RunningProgress() const {
  for (TfrmProgress* progress : findChildren<TfrmProgress*>())
    if (progress->isVisible() || !progress->Cancelled()) return progress;
  return nullptr;
}

void TfrmMain::showEvent(QShowEvent* Event) {
  FClosed = false;
  QMainWindow::showEvent(Event);
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
  if (!FJoinRunning) {
    QMainWindow::closeEvent(Event);
    FClosed = Event->isAccepted();
    return;
  }
  // A join runs inside this command: the window closes when it has ended. Stopping it finishes
  // the output as Cancel does; the question goes on the progress dialog, the one window that
  // is enabled.
  Event->ignore();
  if (FCloseAfterJoin) return;
  if (TfrmProgress* progress = RunningProgress(); progress && !progress->Cancelled()) {
    if (rw::ShowMessageBox(progress, cStopJoinQuestion, TMessageKind::mkConfirmation,
                           TMessageButtons::mbYesNo) != TMessageResult::mrYes)
      return;
    progress->Cancel();
  }
  FCloseAfterJoin = true;
}

std::string TfrmMain::CellToolTip(int Row, int Column) const {
  if (Row < 0 || Row >= FList->Count()) return {};
  const TVideoFileInfo& info = FList->Info(Row);
  switch (Column) {
    case colFileName: {
      // The whole name, however the column cuts it, and what stops the file being joined.
      std::string text = info.FileName;
      if (const std::string problem = JoinProblemText(info); !problem.empty())
        text += "\n" + problem + ".";
      if (const int first = FList->EarlierRowOf(Row); first >= 0)
        text += "\nThis file is also row " + std::to_string(first + 1) + ".";
      return text;
    }
    case colFolder:
      return FList->Text(Row, colFolder);
    default:
      return CellHighlighted(Row, Column) ? DifferenceText(info, FList->Info(0), Column) : "";
  }
}

// ---- drops

void TfrmMain::dragEnterEvent(QDragEnterEvent* Event) {
  if (Event->mimeData()->hasUrls())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TfrmMain::dropEvent(QDropEvent* Event) {
  if (!Event->mimeData()->hasUrls()) return Event->ignore();
  Event->acceptProposedAction();
  WMDropFiles(Event->mimeData()->urls());
}

void TfrmMain::WMDropFiles(const QList<QUrl>& Urls) {
  if (FBusy) return;
  RunGuarded(this, [&] { AddSortedFiles(GetDroppedFiles(Urls, true, false)); });
}

void TfrmMain::OpenCommandLine(const std::vector<std::string>& Names) {
  if (FBusy || Names.empty()) return;
  RunGuarded(this, [&] {
    std::vector<std::string> files;
    std::string project;
    for (const std::string& name : Names) {
      std::string path;
      if (name.rfind("file:", 0) == 0) {
        // The address's path, its escaped bytes as they are.
        path = PathFromUrl(QUrl(QString::fromLatin1(name)));
      } else if (!name.empty()) {
        std::error_code ec;
        path = std::filesystem::absolute(name, ec).lexically_normal().string();
      }
      if (path.empty()) continue;
      const bool isProject =
          path.size() >= 4 &&
          QString::fromLatin1(path.substr(path.size() - 4)).compare(".rwp", Qt::CaseInsensitive) ==
              0;
      if (project.empty() && isProject)
        project = path;
      else
        files.push_back(path);
    }
    if (!project.empty()) {
      LastProjectFolder = FolderText(project);
      TProjectSettings(*FList, *this).LoadFromFile(project);
    }
    // Names from one folder (a file manager's selection) are sorted as a drop is; names from
    // several folders were put in order by whoever typed them.
    const bool oneFolder =
        std::all_of(files.begin(), files.end(), [&files](const std::string& Name) {
          return FolderText(Name) == FolderText(files.front());
        });
    if (oneFolder)
      AddSortedFiles(std::move(files));
    else
      AddFilesInOrder(std::move(files));
  });
}

std::vector<std::string> GetDroppedFiles(const QList<QUrl>& Urls, bool OnlyExisting,
                                         bool OnlyMissing) {
  std::vector<std::string> names;
  for (const QUrl& url : Urls) {
    if (!url.isLocalFile()) continue;
    std::string name = PathFromQ(url.toLocalFile());
    const bool exists = FileExists(name);
    if ((!OnlyExisting || exists) && (!OnlyMissing || !exists)) names.push_back(std::move(name));
  }
  return names;
}

void SortFileNames(std::vector<std::string>& Names) {
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  // Numbers are compared by value around the collation, which sees only the text between them.
  SortNatural(Names, [&collator](std::string_view A, std::string_view B) {
    return collator.compare(QString::fromUtf8(A.data(), static_cast<qsizetype>(A.size())),
                            QString::fromUtf8(B.data(), static_cast<qsizetype>(B.size())));
  });
}

void TfrmMain::AddSortedFiles(std::vector<std::string> Names) {
  SortFileNames(Names);
  AddFilesInOrder(std::move(Names));
}

void TfrmMain::AddFilesInOrder(std::vector<std::string> Names) {
  FList->AddFiles(Names);
  UpdateActions();
  FList->UpdateStatusBar();
}

// ---- commands

void TfrmMain::acnAddFilesExecute() {
  TFileOpenDialog dialog;
  dialog.OwnerHandle = this;
  dialog.InitialDir = FList->LastOpenFolder();
  dialog.Filter = "Video Files|*.mpeg;*.mpg;*.avi;*.wmv;*.rm;*.ram|All Files|*.*";
  dialog.MultiSelect = true;
  if (!dialog.Execute()) return;
  FList->SetLastOpenFolder(FolderText(dialog.FileName));
  AddSortedFiles(dialog.Files);
}

void TfrmMain::acnPlayExecute() {
  const int row = FList->Selected();
  if (row < 0) return;
  OpenOnDesktop(this, FList->Info(row).FileName);
}

void TfrmMain::acnMoveUpExecute() {
  FList->MoveSelectedBy(-1);
  UpdateActions();
  FList->UpdateStatusBar();
}

void TfrmMain::acnMoveDownExecute() {
  FList->MoveSelectedBy(1);
  UpdateActions();
  FList->UpdateStatusBar();
}

void TfrmMain::acnDeleteExecute() { FList->DeleteSelected(); }

void TfrmMain::acnClearExecute() { FList->Clear(); }

void TfrmMain::acnTrimExecute() {
  if (FBusy || FList->SelectedRows().size() != 1) return;
  const int row = FList->Selected();
  const TVideoFileInfo& info = FList->Info(row);
  TTrimDialog dialog(this, info, ReadPictureMap(info.FileName), FList->Cut(row));
  // The cut goes to the row only while it still holds the file the dialog was opened for.
  if (dialog.exec() != QDialog::Accepted) return;
  if (row < FList->Count() && &FList->Info(row) == &info) FList->SetCut(row, dialog.Cut());
}

void TfrmMain::miHighlightDifferentsClick() { lvwFiles->viewport()->update(); }

QString ManualPath(const QString& ProgramFolder) {
#ifndef RW_DOC_FROM_BIN
#define RW_DOC_FROM_BIN "../share/doc/reelwright"
#endif
  // Beside the program in the build, under share/doc when installed.
  const QString besides = ProgramFolder + "/manual.html";
  const QString installed = QDir::cleanPath(ProgramFolder + "/" + RW_DOC_FROM_BIN + "/manual.html");
  if (!QFileInfo::exists(besides) && QFileInfo::exists(installed)) return installed;
  return besides;
}

void TfrmMain::miHelpTopicsClick() {
  const QString manual = ManualPath(QCoreApplication::applicationDirPath());
  if (!QFileInfo::exists(manual)) {
    rw::ShowMessageBox(this, "The manual " + PathFromQ(manual) + " cannot be found.",
                       TMessageKind::mkWarning, TMessageButtons::mbOK);
    return;
  }
  // Without a browser on the desktop, the manual shows in a window of the program's own.
  QPointer<TfrmMain> self(this);
  OpenOnDesktop(this, PathFromQ(manual), [self, manual] {
    if (self) ShowManualWindow(self, manual);
  });
}

void ShowManualWindow(QWidget* Owner, const QString& Manual) {
  auto* window = Owner->findChild<QDialog*>("frmManual");
  if (!window) {
    window = new QDialog(Owner, Qt::Window);
    window->setObjectName("frmManual");
    window->setWindowTitle(TextToQ(ProductInfo().Title) + " Help");
    auto* browser = new QTextBrowser(window);
    browser->setObjectName("ManualBrowser");
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(Owner->screen()->availableGeometry().size() * 0.6);
  }
  window->findChild<QTextBrowser*>("ManualBrowser")->setSource(QUrl::fromLocalFile(Manual));
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace rw
