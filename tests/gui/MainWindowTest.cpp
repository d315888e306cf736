#include <QAction>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QToolTip>
#include <sys/stat.h>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "gui/MainWindowFixture.h"
#include "gui/FileListWidget.h"
#include "gui/FilePictures.h"
#include "gui/MessageBoxes.h"
#include "core/ProjectText.h"
#include "core/SavedFolders.h"
#include "media/RiffFormat.h"
#include "support/Fixtures.h"
#include "support/RiffBuilder.h"
#include "gui/QtStrings.h"
#include "gui/TrimDialog.h"
#include "support/TempDir.h"

namespace rw::test {
namespace {

// Clips that differ from the first in one respect each.
std::string Clip(const std::string& Kind) {
  TClipSpec spec;
  spec.Audio = "pcm";
  if (Kind == "size") spec.Width = 80;
  if (Kind == "mute") spec.Audio = "none";
  if (Kind == "codec") spec.Codec = "mjpeg";
  return MakeClip(spec);
}

// A copy of a clip under another name in Dir.
QString Copy(TTempDir& Dir, const std::string& Kind, const std::string& Name) {
  const std::string target = Dir.File(Name);
  std::filesystem::copy_file(Clip(Kind), target, std::filesystem::copy_options::overwrite_existing);
  return PathToQ(target);
}

std::vector<bool> Enabled(TfrmMain& W) {
  return {W.acnPlay->isEnabled(), W.acnMoveUp->isEnabled(), W.acnMoveDown->isEnabled(),
          W.acnDelete->isEnabled(), W.acnClear->isEnabled()};
}

TEST_F(MainWindow, CommandsAreEnabledByRowsAndSelection) {
  TfrmMain& w = Window();
  EXPECT_EQ(w.windowTitle(), "");  // the caption is set by the program at start-up
  // A first run: about 60 % of the screen, centred, wide enough for every column.
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(area.contains(w.geometry()))
      << area.width() << "x" << area.height() << " " << w.width() << "x" << w.height() << "+"
      << w.x() << "+" << w.y();
  EXPECT_GE(w.width(), area.width() * 6 / 10);
  EXPECT_EQ(w.height(), area.height() * 6 / 10);
  EXPECT_LE(std::abs(w.geometry().center().x() - area.center().x()), 1);
  w.show();
  EXPECT_LE(w.FilesView().header()->length(), w.FilesView().viewport()->width());
  EXPECT_FALSE(w.FilesView().horizontalScrollBar()->isVisible());
  EXPECT_EQ(Enabled(w), (std::vector<bool>{false, false, false, false, false}));
  EXPECT_TRUE(w.acnAddFiles->isEnabled());
  EXPECT_FALSE(w.acnJoinFile->isEnabled());
  for (QAction* a : {w.miLoadProject, w.miSaveProject, w.miExit, w.miHighlightDifferents,
                     w.miHelpTopics, w.miAbout})
    EXPECT_TRUE(a->isEnabled());
  EXPECT_EQ(Panel(0), "There are no selected files.");
  EXPECT_EQ(PanelWidth(1), 50);
  // The empty list says how to add files, in its middle; a list with rows does not.
  auto inkInTheMiddle = [&w] {
    const QImage image = w.FilesView().viewport()->grab().toImage();
    const QRgb background = image.pixel(image.width() - 2, image.height() - 2);
    for (int y = image.height() / 3; y < image.height() * 2 / 3; ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, y) != background) return true;
    return false;
  };
  EXPECT_NE(w.FilesView().EmptyText().indexOf("Add Files"), -1);
  EXPECT_NE(w.FilesView().EmptyText().indexOf("drop"), -1);
  ShowActive();
  EXPECT_TRUE(inkInTheMiddle());

  AddThroughDialog({Copy(Dir, "", "one.avi")});
  EXPECT_FALSE(inkInTheMiddle());
  EXPECT_EQ(Enabled(w), (std::vector<bool>{false, false, false, false, true}));
  EXPECT_EQ(Panel(0), "1 file(s)");
  EXPECT_EQ(Panel(1), "Total duration: 00:00");
  Click(0);
  EXPECT_EQ(Enabled(w), (std::vector<bool>{true, false, false, true, true}));
  EXPECT_EQ(Panel(0), "one.avi");

  AddThroughDialog({Copy(Dir, "", "two.avi"), Copy(Dir, "", "zz.avi")});
  Click(0);
  EXPECT_EQ(Enabled(w), (std::vector<bool>{true, false, true, true, true}));
  Click(1);
  EXPECT_EQ(Enabled(w), (std::vector<bool>{true, true, true, true, true}));
  Click(2);
  EXPECT_EQ(Enabled(w), (std::vector<bool>{true, true, false, true, true}));

  // Several rows: Ctrl+A takes them all, Ctrl+click one more; the commands take them together
  // (Play only one), and Edit, Remove removes them.
  TFileListWidget& view = w.FilesView();
  QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.List().SelectedRows(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Panel(0), "3 of 3 files selected");
  Click(0);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier,
                    view.visualItemRect(view.topLevelItem(2)).center());
  EXPECT_EQ(w.List().SelectedRows(), (std::vector<int>{0, 2}));
  EXPECT_EQ(Enabled(w), (std::vector<bool>{false, false, false, true, true}));
  auto* remove = w.findChild<QAction*>("miRemove");
  ASSERT_TRUE(remove);
  EXPECT_EQ(remove->text(), "&Remove\tDel");
  EXPECT_TRUE(remove->isEnabled());
  remove->trigger();
  EXPECT_EQ(RowNames(), (std::vector<std::string>{Dir.File("two.avi")}));
  EXPECT_EQ(view.topLevelItemCount(), 1);

  // Join Files waits for its command, then follows the rows.
  int joins = 0;
  w.SetJoinHandler([&] { ++joins; });
  EXPECT_TRUE(w.acnJoinFile->isEnabled());
  w.acnJoinFile->trigger();
  EXPECT_EQ(joins, 1);
}

TEST_F(MainWindow, AddFilesSortsTheBatchAndRemembersTheFolder) {
  const QString b = Copy(Dir, "", "b.avi"), a = Copy(Dir, "", "A.avi"), c = Copy(Dir, "", "c.avi");
  // Numbers by value, as a file manager shows them: part 9 before part 10.
  const QString b10 = Copy(Dir, "", "b10.avi"), b9 = Copy(Dir, "", "b9.avi");
  AddThroughDialog({c, b10, a, b9, b});
  EXPECT_EQ(RowNames(),
            (std::vector<std::string>{Dir.File("A.avi"), Dir.File("b.avi"), Dir.File("b9.avi"),
                                      Dir.File("b10.avi"), Dir.File("c.avi")}));
  EXPECT_EQ(DialogFilters,
            (QStringList{"Video Files (*.mpeg *.mpg *.avi *.wmv *.rm *.ram)", "All Files (*)"}));
  EXPECT_EQ(Window().List().LastOpenFolder(), Dir.Path().string());
  // The next dialog opens there; a cancelled one changes nothing.
  AddThroughDialog({});
  DialogAnswer.reset();
  Window().acnAddFiles->trigger();
  EXPECT_EQ(DialogFolder.toStdString(), Dir.Path().string());
  EXPECT_EQ(Window().List().Count(), 5);
}

TEST_F(MainWindow, MovingRowsByCommandsAndByDragging) {
  AddThroughDialog({Copy(Dir, "", "a.avi"), Copy(Dir, "size", "b.avi"), Copy(Dir, "", "c.avi"),
                    Copy(Dir, "", "d.avi")});
  TfrmMain& w = Window();
  EXPECT_TRUE(w.List().Info(1).FrameSizeDiffers);

  // b becomes the first row: every row is compared with it again.
  Click(1);
  w.acnMoveUp->trigger();
  EXPECT_EQ(w.List().Caption(0), "b.avi");
  EXPECT_EQ(w.List().Selected(), 0);
  EXPECT_FALSE(w.List().Info(0).FrameSizeDiffers);
  EXPECT_TRUE(w.List().Info(1).FrameSizeDiffers);
  EXPECT_FALSE(w.acnMoveUp->isEnabled());
  EXPECT_EQ(Panel(0), "b.avi");

  // Keyboard: Ctrl+Down moves it back.
  ShowActive();
  QTest::keyClick(&w.FilesView(), Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(w.List().Caption(1), "b.avi");
  EXPECT_TRUE(w.List().Info(1).FrameSizeDiffers);

  // Drag a to the row of d, leave the list, release: a is last.
  Click(0);
  TFileListWidget& view = w.FilesView();
  const QPoint overD = view.visualItemRect(view.topLevelItem(3)).center();
  EXPECT_FALSE(w.lvwFilesDragOver(overD, false));
  EXPECT_TRUE(w.lvwFilesDragOver(overD, true));
  EXPECT_TRUE(w.lvwFilesDragOver(QPoint(5, view.viewport()->height() + 50), true));
  w.lvwFilesEndDrag();
  EXPECT_EQ(RowNames().back(), Dir.File("a.avi"));
  EXPECT_EQ(w.List().Selected(), 3);
  EXPECT_FALSE(w.acnMoveDown->isEnabled());
  // A drag without a target moves nothing.
  Click(0);
  w.lvwFilesEndDrag();
  EXPECT_EQ(w.List().Caption(0), "b.avi");
}

TEST_F(MainWindow, DraggingNearTheEdgesScrolls) {
  QStringList names;
  for (int i = 0; i < 40; ++i) names << Copy(Dir, "", "f" + std::to_string(100 + i) + ".avi");
  AddThroughDialog(names);
  TfrmMain& w = Window();
  w.resize(400, 200);
  w.show();
  QScrollBar* bar = w.FilesView().verticalScrollBar();
  ASSERT_GT(bar->maximum(), 30);
  bar->setValue(30);
  w.lvwFilesDragOver(QPoint(5, 5), true);
  EXPECT_EQ(bar->value(), 20);
  w.lvwFilesDragOver(QPoint(5, w.FilesView().viewport()->height() - 5), true);
  w.lvwFilesDragOver(QPoint(5, w.FilesView().viewport()->height() - 5), true);
  EXPECT_EQ(bar->value(), 40);
  w.lvwFilesDragOver(QPoint(5, w.FilesView().viewport()->height() / 2), true);
  EXPECT_EQ(bar->value(), 40);
}

TEST_F(MainWindow, DeleteAndClear) {
  AddThroughDialog({Copy(Dir, "size", "a.avi"), Copy(Dir, "", "b.avi"), Copy(Dir, "", "c.avi")});
  TfrmMain& w = Window();
  EXPECT_TRUE(w.List().Info(1).FrameSizeDiffers);
  ShowActive();
  Click(0);
  QTest::keyClick(&w.FilesView(), Qt::Key_Delete);
  EXPECT_EQ(w.List().Count(), 2);
  EXPECT_FALSE(w.List().Info(1).FrameSizeDiffers);  // compared with the new first row
  Click(1);
  w.acnDelete->trigger();
  EXPECT_EQ(w.List().Selected(), 0);
  EXPECT_EQ(w.FilesView().currentItem(), w.FilesView().topLevelItem(0));
  w.acnDelete->trigger();
  EXPECT_EQ(Panel(0), "There are no selected files.");
  EXPECT_FALSE(w.acnDelete->isEnabled());

  AddThroughDialog({Copy(Dir, "", "a.avi")});
  Answers = {TMessageResult::mrNo};
  w.acnClear->trigger();
  EXPECT_EQ(Shown.back().Caption, "Confirm");
  EXPECT_EQ(Shown.back().Text, "Are you sure you want to remove all files from the list?");
  EXPECT_EQ(w.List().Count(), 1);
  w.acnClear->trigger();
  EXPECT_EQ(w.List().Count(), 0);
  EXPECT_EQ(w.FilesView().topLevelItemCount(), 0);
  EXPECT_FALSE(w.acnClear->isEnabled());
}

TEST_F(MainWindow, DroppedFilesAndFolders) {
  const QString b = Copy(Dir, "", "b.avi"), a = Copy(Dir, "", "a.avi");
  std::filesystem::create_directory(Dir.File("folder.avi"));
  const QList<QUrl> drop{QUrl::fromLocalFile(b),
                         QUrl::fromLocalFile(PathToQ(Dir.File("folder.avi"))),
                         QUrl::fromLocalFile(a), QUrl("https://example.com/x.avi")};
  Window().WMDropFiles(drop);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{Dir.File("a.avi"), Dir.File("b.avi")}));
  EXPECT_TRUE(Shown.empty());
  EXPECT_TRUE(Window().List().LastOpenFolder().empty());

  Window().WMDropFiles({QUrl::fromLocalFile(PathToQ(Dir.File("folder.avi")))});
  EXPECT_EQ(Window().List().Count(), 2);
  EXPECT_TRUE(Shown.empty());

  // A dropped file that is not an AVI file is refused with the list's message.
  test::WriteFileBytes(Dir.File("notes.avi"), "just some text, not a video");
  Window().WMDropFiles({QUrl::fromLocalFile(PathToQ(Dir.File("notes.avi")))});
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Caption, "Warning");
  EXPECT_EQ(Shown[0].Text.rfind("Unable to add file " + Dir.File("notes.avi") + ": ", 0), 0u);
}

TEST_F(MainWindow, NoOtherCommandStartsWhileABatchIsAdded) {
  test::WriteFileBytes(Dir.File("a-notes.avi"), "not a video");
  const QString good = Copy(Dir, "", "b.avi");
  TfrmMain& w = Window();
  std::vector<bool> duringBatch;
  const TMessageBoxHook answer = MessageBoxHook();
  MessageBoxHook() = [&](const TMessageRequest& Request) {
    for (QAction* a : w.actions()) duringBatch.push_back(a->isEnabled());
    w.WMDropFiles({QUrl::fromLocalFile(good)});  // a second drop meanwhile is refused
    return answer(Request);
  };
  w.WMDropFiles({QUrl::fromLocalFile(PathToQ(Dir.File("a-notes.avi"))), QUrl::fromLocalFile(good)});
  EXPECT_EQ(duringBatch, std::vector<bool>(w.actions().size(), false));
  EXPECT_EQ(RowNames(), std::vector<std::string>{Dir.File("b.avi")});
  EXPECT_TRUE(w.miLoadProject->isEnabled());
  EXPECT_TRUE(w.acnClear->isEnabled());
}

TEST_F(MainWindow, HighlightColoursExactlyTheCellsThatDiffer) {
  AddThroughDialog({Copy(Dir, "", "a.avi"), Copy(Dir, "size", "b.avi"), Copy(Dir, "mute", "c.avi"),
                    Copy(Dir, "codec", "d.avi")});
  TfrmMain& w = Window();
  TFileListDelegate& paint = w.FilesView().Delegate();
  auto red = [&](int Row) {
    std::string cells;
    for (int c = 0; c < colCount; ++c)
      cells += paint.TextColor(w.FilesView().model()->index(Row, c)) ==
                       TFileListDelegate::HighlightColor()
                   ? 'R'
                   : '.';
    return cells;
  };
  EXPECT_EQ(red(1), "........");
  EXPECT_EQ(w.CellToolTip(1, colFrameSize), "");
  w.miHighlightDifferents->trigger();
  EXPECT_TRUE(w.miHighlightDifferents->isChecked());
  EXPECT_EQ(red(0), "........");
  EXPECT_EQ(red(1), "...R....");
  EXPECT_EQ(red(2), ".....R..");
  EXPECT_EQ(red(3), "..R.....");
  // Each red cell says what differs; the others say nothing but the names.
  EXPECT_EQ(w.CellToolTip(1, colFrameSize), "80x48; the first file has 64x48");
  EXPECT_EQ(w.CellToolTip(2, colAudio), "No sound; the first file has PCM sound, 44.1 kHz, 16-bit");
  EXPECT_EQ(w.CellToolTip(3, colType), "Codec MJPG; the first file has FMP4");
  EXPECT_EQ(w.CellToolTip(1, colType), "");
  EXPECT_EQ(w.CellToolTip(1, colFileName), Dir.File("b.avi"));
  // The tooltip a pointer resting on the cell gets.
  ShowActive();
  TFileListWidget& view = w.FilesView();
  const QRect cell = view.visualRect(view.model()->index(1, colFrameSize));
  QHelpEvent help(QEvent::ToolTip, cell.center(), view.viewport()->mapToGlobal(cell.center()));
  QApplication::sendEvent(view.viewport(), &help);
  EXPECT_EQ(QToolTip::text(), "80x48; the first file has 64x48");
  QToolTip::hideText();
  w.miHighlightDifferents->trigger();
  EXPECT_EQ(red(1), "........");
  EXPECT_EQ(w.CellToolTip(1, colFrameSize), "");
}

TEST_F(MainWindow, LongNamesAndWideWindowsKeepEveryColumnInSight) {
  const std::string longName = std::string(200, 'x') + ".avi";
  AddThroughDialog({Copy(Dir, "", "a.avi"), Copy(Dir, "", longName)});
  TfrmMain& w = Window();
  w.resize(1400, 400);
  ShowActive();
  TFileListWidget& view = w.FilesView();
  // The long name takes the room the window has and is cut there (its tooltip has it whole);
  // the other columns stay in sight.
  const int nameWidth = view.fontMetrics().horizontalAdvance(PathToQ(longName));
  EXPECT_GT(view.columnWidth(colFileName), 320);
  EXPECT_LT(view.columnWidth(colFileName), nameWidth);
  int others = 0;
  for (int c = colFileName; c < colFolder; ++c) others += view.columnWidth(c);
  EXPECT_LE(others, view.viewport()->width());
  // Narrower, the window cuts it more.
  w.resize(1000, 400);
  QApplication::processEvents();
  EXPECT_LT(view.columnWidth(colFileName), 1000 - 200);
  EXPECT_EQ(view.textElideMode(), Qt::ElideMiddle);
  EXPECT_EQ(w.CellToolTip(1, colFileName), Dir.File(longName));
  // The headers reach across the whole window.
  QHeaderView* header = view.header();
  EXPECT_EQ(header->sectionViewportPosition(colFolder) + header->sectionSize(colFolder),
            view.viewport()->width());
}

TEST_F(MainWindow, AFileWithoutAnIndexIsFlaggedWhenItIsAdded) {
  test::TAVIBuilder b;
  b.AddStream(test::VideoHeader(25, 1), test::BitmapInfo(64, 48, FourCC("FMP4")));
  b.StreamList[0].Header.Length = 3;
  for (int i = 0; i < 3; ++i) b.AddChunk(0, 100, true);
  b.Index = test::TIndexKind::None;
  b.Write(Dir.File("noindex.avi"));
  AddThroughDialog({Copy(Dir, "", "a.avi"), PathToQ(Dir.File("noindex.avi"))});
  TfrmMain& w = Window();
  ASSERT_EQ(w.List().Count(), 2);
  EXPECT_TRUE(Shown.empty());
  EXPECT_FALSE(w.FilesView().topLevelItem(1)->icon(colFileName).isNull());
  EXPECT_TRUE(w.FilesView().topLevelItem(0)->icon(colFileName).isNull());
  // The short name beside the sign is not cut.
  EXPECT_GE(w.FilesView().columnWidth(colFileName),
            w.FilesView().fontMetrics().horizontalAdvance("noindex.avi") + 16 + 20);
  EXPECT_EQ(w.CellToolTip(1, colFileName),
            Dir.File("noindex.avi") +
                "\nThe file has no index (a recording that was cut short?): it is joined as far "
                "as its data can be read.");
}

// The colours inside a cell as the list paints it (within a current row's frame).
int ColoursIn(TFileListWidget& View, int Row, int Column) {
  const QRect cell = View.visualRect(View.model()->index(Row, Column)).adjusted(3, 3, -3, -3);
  const QImage shot = View.viewport()->grab(cell).toImage();
  std::set<QRgb> colours;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) colours.insert(shot.pixel(x, y));
  return static_cast<int>(colours.size());
}

// Each file in sight shows its first picture, made in the background through the engine, which
// nothing loads before the window is shown; a file the engine gives no picture of shows none,
// with no message; rows out of sight are not asked for. View, Pictures turns them off, for this
// run and the next, and then no picture is asked for.
TEST_F(MainWindow, PicturesOfTheFilesInSight) {
  std::mutex lock;
  std::set<std::string> asked;
  const TFilePictures::TMaker engine = TFilePictures::Maker();
  TFilePictures::Maker() = [&](const std::string& File, int32_t W, int32_t H) {
    {
      std::lock_guard<std::mutex> hold(lock);
      asked.insert(File);
    }
    return engine(File, W, H);
  };
  struct TRestore {
    TFilePictures::TMaker Saved;
    ~TRestore() { TFilePictures::Maker() = Saved; }
  } restore{engine};
  auto wasAsked = [&](const std::string& File) {
    std::lock_guard<std::mutex> hold(lock);
    return asked.count(File) != 0;
  };
  // An AVI file the list takes whose chunks decode to nothing, then 40 clips.
  test::TAVIBuilder b;
  b.AddStream(test::VideoHeader(25, 1), test::BitmapInfo(64, 48, FourCC("FMP4")));
  b.StreamList[0].Header.Length = 3;
  for (int i = 0; i < 3; ++i) b.AddChunk(0, 100, true);
  b.Write(Dir.File("00 broken.avi"));
  std::vector<std::string> names{Dir.File("00 broken.avi")};
  for (int i = 1; i <= 40; ++i)
    names.push_back(PathFromQ(Copy(Dir, "", "clip " + std::to_string(100 + i) + ".avi")));
  TfrmMain& w = Window();
  w.OpenCommandLine(names);
  ASSERT_EQ(w.List().Count(), 41);
  EXPECT_TRUE(asked.empty());
  std::ifstream maps("/proc/self/maps");
  const std::string mapped((std::istreambuf_iterator<char>(maps)), {});
  for (const char* library : {"/libavcodec.so", "/libavformat.so", "/reelwright-engine.so"})
    EXPECT_EQ(mapped.find(library), std::string::npos) << library;

  ShowActive();
  TFileListWidget& view = w.FilesView();
  TFilePictures& pictures = *view.Pictures();
  const int column = view.Delegate().PictureColumn;
  ASSERT_EQ(view.header()->visualIndex(column), 0);
  auto file = [&](int Row) { return w.List().Info(Row).FileName; };
  auto lastInSight = [&] { return view.indexAt(QPoint(1, view.viewport()->height() - 1)).row(); };
  const int last = lastInSight();
  ASSERT_GT(last, 2);
  ASSERT_LT(last, 30);
  for (int row = 0; row <= last; ++row) QTRY_VERIFY_WITH_TIMEOUT(pictures.Made(file(row)), 60000);
  EXPECT_TRUE(pictures.Picture(file(0)).isNull());
  EXPECT_EQ(pictures.Picture(file(1)).size(), QSize(40, 30));
  EXPECT_TRUE(Shown.empty());
  Click(1);  // the first row plain
  QApplication::processEvents();
  EXPECT_EQ(ColoursIn(view, 0, column), 1);
  EXPECT_GT(ColoursIn(view, 1, column), 8);
  for (int row = last + 2; row < 41; ++row) EXPECT_FALSE(pictures.Known(file(row))) << row;
  view.scrollToBottom();
  QTRY_VERIFY_WITH_TIMEOUT(pictures.Made(file(40)), 60000);
  EXPECT_FALSE(wasAsked(file(last + 5)));
  // The pictures were made in a worker process: the window's maps no codec library.
  {
    std::ifstream after("/proc/self/maps");
    const std::string now((std::istreambuf_iterator<char>(after)), {});
    for (const char* library : {"/libavcodec.so", "/libavformat.so", "/reelwright-engine.so"})
      EXPECT_EQ(now.find(library), std::string::npos) << library;
  }

  // Off: the column goes, the rows are as high as their texts, nothing is asked for.
  const int high = view.visualRect(view.model()->index(40, colFileName)).height();
  w.miShowPictures->trigger();
  EXPECT_FALSE(view.PicturesShown());
  EXPECT_LT(view.visualRect(view.model()->index(40, colFileName)).height(), high);
  view.scrollToItem(view.topLevelItem(last + 5), QAbstractItemView::PositionAtTop);
  QApplication::processEvents();
  view.viewport()->repaint();
  EXPECT_FALSE(pictures.Known(file(last + 5)));
  EXPECT_FALSE(wasAsked(file(last + 5)));
  CloseWindow();
  TfrmMain& again = Window();
  EXPECT_FALSE(again.miShowPictures->isChecked());
  EXPECT_FALSE(again.FilesView().PicturesShown());
  CloseWindow();  // before the engine's stand-in goes
}

// A file whose picture ends the worker (here on purpose, as a decoder fault would) shows none,
// without a message; the next picture is made by a new worker.
TEST_F(MainWindow, APictureWhoseWorkerDiesIsNone) {
  const std::string a = PathFromQ(Copy(Dir, "", "a.avi")), b = PathFromQ(Copy(Dir, "", "b.avi"));
  TFilePictures pictures;
  ::setenv("REELWRIGHT_WORKER_CRASH", "picture", 1);
  pictures.Picture(a);
  QTRY_VERIFY_WITH_TIMEOUT(pictures.Made(a), 60000);
  EXPECT_TRUE(pictures.Picture(a).isNull());
  ::unsetenv("REELWRIGHT_WORKER_CRASH");
  pictures.Picture(b);
  QTRY_VERIFY_WITH_TIMEOUT(pictures.Made(b), 60000);
  EXPECT_EQ(pictures.Picture(b).size(), QSize(40, 30));
  EXPECT_TRUE(Shown.empty());
}

TEST_F(MainWindow, FilesAndProjectsNamedOnTheCommandLine) {
  Copy(Dir, "", "b.avi");
  Copy(Dir, "", "a.avi");
  // Relative names are taken in the working folder; the batch is sorted like a drop.
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(Dir.Path());
  Window().OpenCommandLine({"b.avi", "./a.avi"});
  std::filesystem::current_path(saved);
  EXPECT_EQ(RowNames(), (std::vector<std::string>{Dir.File("a.avi"), Dir.File("b.avi")}));
  // A name that is not valid UTF-8 (Latin-1 bytes of an old archive) names its file exactly.
  const std::string latin = Dir.File("caf\xE9.avi");
  std::filesystem::copy_file(Dir.File("a.avi"), latin);
  Window().List().RemoveAll();
  Window().OpenCommandLine({latin});
  EXPECT_EQ(RowNames(), (std::vector<std::string>{latin}));
  EXPECT_TRUE(Shown.empty());
  Window().List().RemoveAll();
  // Names from several folders keep the order they were typed in.
  std::filesystem::create_directory(Dir.File("z"));
  Copy(Dir, "", "z/c.avi");
  Window().List().RemoveAll();
  Window().OpenCommandLine({Dir.File("z/c.avi"), Dir.File("b.avi")});
  EXPECT_EQ(RowNames(), (std::vector<std::string>{Dir.File("z/c.avi"), Dir.File("b.avi")}));

  // A project replaces the list; a file beside it is added after its files.
  WriteProjectFile(Dir.File("p.rwp"), {Dir.File("b.avi")});
  Window().OpenCommandLine(
      {QUrl::fromLocalFile(PathToQ(Dir.File("p.rwp"))).toString().toStdString(),
       Dir.File("a.avi")});
  EXPECT_EQ(RowNames(), (std::vector<std::string>{Dir.File("b.avi"), Dir.File("a.avi")}));
  EXPECT_EQ(LastProjectFolder, Dir.Path().string());
  EXPECT_TRUE(Shown.empty());

  // Closed while a long project loads (as the session's SIGTERM closes it), the window stops
  // adding at once instead of adding every file first.
  WriteProjectFile(Dir.File("long.rwp"), std::vector<std::string>(1000, Dir.File("b.avi")));
  QTimer::singleShot(0, &Window(), [this] { Window().close(); });
  Window().OpenCommandLine({Dir.File("long.rwp")});
  EXPECT_LT(Window().List().Count(), 1000);
}

TEST_F(MainWindow, MenusHaveAccessKeysAndCtrlQQuits) {
  TfrmMain& w = Window();
  for (QAction* menu : w.menuBar()->actions()) {
    QSet<QChar> keys;
    for (QAction* item : menu->menu()->actions()) {
      if (item->isSeparator()) continue;
      const int amp = item->text().indexOf('&');
      ASSERT_GE(amp, 0) << item->text().toStdString();
      const QChar key = item->text().at(amp + 1).toLower();
      EXPECT_FALSE(keys.contains(key)) << item->text().toStdString();
      keys.insert(key);
      EXPECT_FALSE(item->toolTip().contains('&'));
    }
  }
  EXPECT_EQ(w.acnJoinFile->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  // Join Files is the tool bar's prominent button, its caption beside its picture; Play is
  // one of the small ones.
  auto* toolBar = w.findChild<QToolBar*>("ToolBar");
  auto* join = qobject_cast<QToolButton*>(toolBar->widgetForAction(w.acnJoinFile));
  auto* play = qobject_cast<QToolButton*>(toolBar->widgetForAction(w.acnPlay));
  ASSERT_TRUE(join && play);
  EXPECT_EQ(join->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  EXPECT_TRUE(join->font().bold());
  EXPECT_EQ(play->size(), QSize(34, 30));
  EXPECT_GT(join->sizeHint().width(), play->width());
  ShowActive();
  QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(MainWindow, PlayAndHelpOpenThroughTheDesktop) {
  AddThroughDialog({Copy(Dir, "", "a.avi")});
  TfrmMain& w = Window();
  w.acnPlay->trigger();  // no selection: nothing
  EXPECT_TRUE(Urls.Opened.isEmpty());
  ShowActive();
  Click(0);
  QTest::keyClick(&w.FilesView(), Qt::Key_Return);
  w.miHelpTopics->trigger();
  ASSERT_EQ(Urls.Opened.size(), 2);
  EXPECT_EQ(Urls.Opened[0], QUrl::fromLocalFile(PathToQ(Dir.File("a.avi"))));
  EXPECT_TRUE(Urls.Opened[1].toLocalFile().endsWith("/manual.html"));
  EXPECT_TRUE(Shown.empty());
  // A desktop whose opener starts but finds no program (xdg-open without a browser): Play
  // says so with the opener's reason, and the manual shows in the program's own window.
  std::filesystem::create_directories(Dir.File("opener"));
  test::WriteFileBytes(Dir.File("opener/xdg-open"),
                       "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\n"
                       "exit 3\n");
  std::filesystem::permissions(Dir.File("opener/xdg-open"), std::filesystem::perms::owner_all);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", PathToQ(Dir.File("opener")).toLocal8Bit() + ":" + path);
  DesktopOpener() = FSavedOpener;
  w.acnPlay->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Shown.empty(); }));
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Text, "There is no program to open " + Dir.File("a.avi") +
                               ".\nxdg-open: no method available for opening '" +
                               Dir.File("a.avi") + "'");
  w.miHelpTopics->trigger();
  auto* manual = w.findChild<QDialog*>("frmManual");
  EXPECT_TRUE(QTest::qWaitFor([&] { return (manual = w.findChild<QDialog*>("frmManual")); }));
  qputenv("PATH", path);
  ASSERT_TRUE(manual);
  EXPECT_TRUE(manual->isVisible());
  auto* browser = manual->findChild<QTextBrowser*>();
  EXPECT_EQ(browser->source(),
            QUrl::fromLocalFile(ManualPath(QCoreApplication::applicationDirPath())));
  EXPECT_FALSE(browser->toPlainText().isEmpty());
  EXPECT_EQ(Shown.size(), 1u);
  manual->close();

  // The manual beside the program (a build), else the installed one under share/doc.
  std::filesystem::create_directories(Dir.File("usr/bin"));
  std::filesystem::create_directories(Dir.File("usr/share/doc/reelwright"));
  test::WriteFileBytes(Dir.File("usr/share/doc/reelwright/manual.html"), "<html></html>");
  EXPECT_EQ(ManualPath(PathToQ(Dir.File("usr/bin"))).toStdString(),
            Dir.File("usr/share/doc/reelwright/manual.html"));
  test::WriteFileBytes(Dir.File("usr/bin/manual.html"), "<html></html>");
  EXPECT_EQ(ManualPath(PathToQ(Dir.File("usr/bin"))).toStdString(),
            Dir.File("usr/bin/manual.html"));
}

TEST_F(MainWindow, SettingsSurviveARestart) {
  TfrmMain& w = Window();
  w.setGeometry(30, 40, 500, 300);
  w.List().SetLastOpenFolder("/clips");
  LastProjectFolder = "/projects";
  CloseWindow();

  LastProjectFolder.clear();
  TfrmMain& again = Window();
  EXPECT_EQ(again.geometry(), QRect(30, 40, 500, 300));
  EXPECT_EQ(again.List().LastOpenFolder(), "/clips");
  EXPECT_EQ(LastProjectFolder, "/projects");
  EXPECT_EQ(LastSaveFolder, "");
  EXPECT_TRUE(Shown.empty());
}

TEST_F(MainWindow, BrokenSettingsAreReportedAndTheWindowStillWorks) {
  {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "reelwright");
    s.setValue("forms/frmMain/Top", "high");
    s.setValue("forms/frmMain/WindowState", "abc");
    // Bounds no screen holds: the window stays on the screen and at a sane size.
    s.setValue("forms/frmMain/Left", 2000000000);
    s.setValue("forms/frmMain/Width", 2147483647);
    s.setValue("forms/frmMain/Height", 2147483647);
    s.setValue("LastSaveFolder", "/exports");
    s.setValue("LastProjectFolder", QStringList{"not", "a folder"});
  }
  TfrmMain& w = Window();
  // Every bad value is skipped and named, in one box, once the window has painted; the good
  // ones are kept.
  EXPECT_TRUE(Shown.empty());
  w.show();
  EXPECT_TRUE(QTest::qWaitFor([this] { return !Shown.empty(); }));
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Caption, "Reelwright");
  EXPECT_EQ(Shown[0].Icon, TMessageIcon::miError);
  // No full stop after a closing apostrophe.
  EXPECT_EQ(Shown[0].Text,
            "Invalid data type for 'Top'\nInvalid data type for 'WindowState'\n"
            "Invalid data type for 'LastProjectFolder'");
  EXPECT_EQ(LastSaveFolder, "/exports");
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(w.width(), screen.width());
  EXPECT_LE(w.height(), screen.height());
  EXPECT_LT(w.x(), screen.right());
  EXPECT_EQ(Panel(0), "There are no selected files.");
  EXPECT_TRUE(w.acnAddFiles->isEnabled());
  // The folder read well survives the next exit.
  CloseWindow();
  QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Kestrova", "reelwright");
  EXPECT_EQ(s.value("LastSaveFolder").toString(), "/exports");
  EXPECT_LE(s.value("forms/frmMain/Width").toInt(), screen.width());

  // Settings that cannot be written are reported and the window still goes.
  Shown.clear();
  Window();
  test::WriteFileBytes(Dir.File("blocked"), "x");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, TextToQ(Dir.File("blocked")));
  CloseWindow();
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Text.rfind("Failed to set data for '", 0), 0u);
}

TEST_F(MainWindow, ASettingsFileThatIsNotARegularFileIsNotRead) {
  // A named pipe would block the start for ever: it is neither read nor written.
  std::filesystem::create_directories(Dir.File("config/Kestrova"));
  const std::string pipe = Dir.File("config/Kestrova/reelwright.conf");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  TfrmMain& w = Window();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(w.height(), area.height() * 6 / 10);  // the first run's size
  w.show();
  EXPECT_TRUE(QTest::qWaitFor([this] { return !Shown.empty(); }));
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Text, "The settings file " + pipe + " is not a regular file.");
  CloseWindow();
  ASSERT_EQ(Shown.size(), 2u);
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

TEST_F(MainWindow, ProjectsSaveAndLoadTheList) {
  const QString a = Copy(Dir, "", "Bob's clip.avi"), b = Copy(Dir, "size", "b.avi");
  TfrmMain& w = Window();
  w.WMDropFiles({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(a)});
  ASSERT_EQ(w.List().Count(), 3);
  const std::vector<std::string> listed = RowNames();
  // Each row's cut is saved with it.
  w.List().SetCut(2, {1, 3});
  const std::vector<TPictureCut> cuts = w.List().Cuts();

  // The dialog adds the extension; here the answer carries it.
  DialogAnswer = QStringList{PathToQ(Dir.File("list.rwp"))};
  w.miSaveProject->trigger();
  const std::string prefix = "    '" + Dir.File("Bob") + "'#39's clip.avi'";
  const std::string saved = ReadFileBytes(Dir.File("list.rwp"));
  EXPECT_EQ(saved, WriteProjectText(w.List().FileNames(), cuts));
  EXPECT_NE(saved.find("Cuts.Strings"), std::string::npos);
  EXPECT_NE(saved.find(prefix), std::string::npos);
  EXPECT_EQ(LastProjectFolder, Dir.Path().string());

  // Loading replaces the list in the stored order, the file name with the apostrophe included.
  w.List().RemoveAll();
  DialogAnswer = QStringList{PathToQ(Dir.File("list.rwp"))};
  w.miLoadProject->trigger();
  EXPECT_EQ(RowNames(), listed);
  EXPECT_EQ(w.List().Cuts(), cuts);
  EXPECT_EQ(listed[1], Dir.File("Bob's clip.avi"));
  EXPECT_TRUE(w.List().Info(1).FrameSizeDiffers);
  EXPECT_TRUE(w.acnClear->isEnabled());
  EXPECT_TRUE(Shown.empty());

  // A damaged file leaves the list alone; a moved source is asked about.
  test::WriteFileBytes(Dir.File("bad.rwp"), "object TProjectSettings\r\n  Files.Strings = (");
  DialogAnswer = QStringList{PathToQ(Dir.File("bad.rwp"))};
  w.miLoadProject->trigger();
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0].Text, "The project file is corrupted.");
  EXPECT_EQ(w.List().Count(), 3);

  WriteProjectFile(Dir.File("moved.rwp"), {Dir.File("gone.avi"), Dir.File("b.avi")},
                   {{1, 2}, {0, 5}});
  DialogAnswer = QStringList{PathToQ(Dir.File("moved.rwp"))};
  w.miLoadProject->trigger();
  ASSERT_EQ(Shown.size(), 2u);
  EXPECT_EQ(Shown[1].Buttons, TMessageButtons::mbYesNo);
  EXPECT_NE(Shown[1].Text.find("Do you want to continue add other files?"), std::string::npos);
  EXPECT_EQ(RowNames(), std::vector<std::string>{Dir.File("b.avi")});
  EXPECT_EQ(w.List().Cuts(), std::vector<TPictureCut>({{0, 5}}));

  // The empty list saves as the two object lines and loads back empty.
  w.List().RemoveAll();
  DialogAnswer = QStringList{PathToQ(Dir.File("empty.rwp"))};
  w.miSaveProject->trigger();
  EXPECT_EQ(ReadFileBytes(Dir.File("empty.rwp")), "object TProjectSettings\r\nend\r\n");
}

// Ctrl+T opens the Trim dialog of the selected row. Its picture is the file's picture N,
// decoded by the pictures' worker from the key frame before it; the keys step and set the cut,
// OK gives it to the row, and a double click on the Cut cell opens the dialog at the cut.
TEST_F(MainWindow, TrimDialogShowsThePictureAtItsPlaceAndSetsTheRowsCut) {
  TClipSpec spec;  // 40 pictures at 25 fps, a key frame every 10, each picture its own ramp
  spec.Frames = 40;
  spec.Extra = "-g 10 -bf 0 -vf \"geq=lum='mod(X*4+N*16,256)':cb=128:cr=128\"";
  const std::string clip = Dir.File("trim.avi");
  std::filesystem::copy_file(MakeClip(spec), clip);
  AddThroughDialog({PathToQ(clip)});
  TfrmMain& w = Window();
  ShowActive();
  EXPECT_FALSE(w.acnTrim->isEnabled());
  Click(0);
  ASSERT_TRUE(w.acnTrim->isEnabled());

  // The file's picture N as a decoder makes it, as RGB rows.
  auto decoded = [&](int N) {
    std::string out;
    RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(clip) + " -vf 'select=eq(n\\," +
                   std::to_string(N) + ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
               &out);
    return out;
  };
  auto difference = [](const QImage& Image, const std::string& Rgb) {
    if (Image.format() != QImage::Format_RGB888 || Image.size() != QSize(64, 48) ||
        Rgb.size() != 64 * 48 * 3)
      return 255.0;
    double sum = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64 * 3; ++x)
        sum += std::abs(Image.constScanLine(y)[x] - static_cast<uint8_t>(Rgb[y * 64 * 3 + x]));
    return sum / Rgb.size();
  };

  std::string explanation;
  double atSeventeen = -1, beside = -1;
  bool opened = false;
  QTimer::singleShot(0, &w, [&] {
    auto* d = qobject_cast<TTrimDialog*>(QApplication::activeModalWidget());
    if (!d) return;
    opened = true;
    // Its keys work once it is the active window.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == d->windowHandle(); }, 5000));
    auto key = [&](Qt::Key Key, int Times = 1) {
      for (int i = 0; i < Times; ++i) QTest::keyClick(d, Key);
    };
    auto shown = [&](uint32_t N) {
      return QTest::qWaitFor([&] { return d->ShownPicture() == N; }, 20000);
    };
    key(Qt::Key_PageDown, 2);  // the key frames 10 and 20
    key(Qt::Key_Left, 3);
    EXPECT_EQ(d->Position(), 17u);
    if (shown(17)) {
      atSeventeen = difference(d->ShownImage(), decoded(17));
      beside = std::min(difference(d->ShownImage(), decoded(16)),
                        difference(d->ShownImage(), decoded(18)));
    }
    key(Qt::Key_I);
    key(Qt::Key_PageDown, 2);
    key(Qt::Key_Right, 2);
    key(Qt::Key_O);
    explanation = d->CutExplanation().toStdString();
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
  ASSERT_TRUE(opened);
  EXPECT_LT(atSeventeen, 1.0) << atSeventeen;
  EXPECT_GT(beside, 4 * std::max(atSeventeen, 1.0)) << beside;
  EXPECT_NE(explanation.find("Pictures 17 to 19 are converted; from the key frame 20 on they are "
                             "copied."),
            std::string::npos)
      << explanation;
  EXPECT_EQ(w.List().Cut(0), (TPictureCut{17, 32}));
  TFileListWidget& view = w.FilesView();
  EXPECT_EQ(view.topLevelItem(0)->text(colCut), "00:00.680-00:01.320");
  EXPECT_EQ(view.topLevelItem(0)->text(colDuration), "00:01");  // 16 pictures, 0.64 s
  // The cut stands beside the duration.
  EXPECT_EQ(view.header()->visualIndex(colCut), view.header()->visualIndex(colDuration) + 1);

  // A double click on the Cut cell opens the dialog at In; Reset and Cancel change nothing,
  // Reset and OK keep the whole file.
  for (const bool keep : {false, true}) {
    uint32_t at = 0;
    QTimer::singleShot(0, &w, [&] {
      auto* d = qobject_cast<TTrimDialog*>(QApplication::activeModalWidget());
      if (!d) return;
      at = d->Position();
      QTest::keyClick(d, Qt::Key_End);
      d->findChild<QPushButton*>("btnReset")->click();
      d->findChild<QDialogButtonBox*>()
          ->button(keep ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
          ->click();
    });
    const QRect cell = view.visualRect(view.model()->index(0, colCut));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(at, 17u);
    EXPECT_EQ(w.List().Cut(0), (keep ? TPictureCut{} : TPictureCut{17, 32}));
  }
  EXPECT_EQ(view.topLevelItem(0)->text(colCut), "");
}

}  // namespace
}  // namespace rw::test
