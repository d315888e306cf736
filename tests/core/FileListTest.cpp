#include <gtest/gtest.h>

#include <cmath>

#include <deque>
#include <functional>
#include <map>

#include "core/FileList.h"
#include "core/ListTexts.h"
#include "platform/Errors.h"

namespace rw {
namespace {

// A window that records what the model asks of it and mirrors the rows it is told about.
class TFakeView : public IFileListView {
public:
  const TFileList* List = nullptr;
  std::vector<std::string> Rows;  // captions, as a view would mirror them
  int SelectedRow = -1;
  std::vector<int> SelectedRows;
  std::deque<TMessageResult> Answers;
  std::vector<std::string> Messages;
  std::vector<TMessageButtons> MessageButtons;
  // What the window showed while each message was open.
  struct TShownState {
    bool Frozen;
    std::string Count;
    size_t Rows;
    bool operator==(const TShownState&) const = default;
  };
  std::vector<TShownState> AtMessages;
  std::vector<std::string> Log;
  std::string Panels[2];
  int PanelWidths[2] = {50, 50};
  int ActionUpdates = 0;
  int ColumnSizings = 0;
  int Pumps = 0;
  bool Busy = false;
  bool Frozen = false;
  std::vector<bool> FrozenAtPumps;
  std::function<void()> OnPump;  // a command the user runs while messages are handled

  void UpdateActions() override { ++ActionUpdates; }
  void AutoSizeColumns() override { ++ColumnSizings; }
  TMessageResult ShowMessageBox(const std::string& Text, TMessageKind,
                                TMessageButtons Buttons) override {
    Messages.push_back(Text);
    MessageButtons.push_back(Buttons);
    AtMessages.push_back({Frozen, Panels[0], Rows.size()});
    if (Answers.empty()) return TMessageResult::mrNone;
    TMessageResult answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ProcessMessages() override {
    ++Pumps;
    Log.push_back(Panels[0]);
    FrozenAtPumps.push_back(Frozen);
    if (OnPump) OnPump();
  }
  int TextWidth(const std::string& Text) override { return static_cast<int>(Text.size()) * 4; }
  void SetBusyCursor(bool Value) override { Busy = Value; }
  void SetStatusPanel(int Index, const std::string& Text, int Width) override {
    Panels[Index] = Text;
    if (Width >= 0) PanelWidths[Index] = Width;
  }
  void BeginUpdate() override { Frozen = true; }
  void EndUpdate() override { Frozen = false; }
  void RowInserted(int Row) override { Rows.insert(Rows.begin() + Row, List->Caption(Row)); }
  void RowRemoved(int Row) override { Rows.erase(Rows.begin() + Row); }
  void RowsCleared() override { Rows.clear(); }
  void RowChanged(int Row) override { Changed.push_back(Row); }
  std::vector<int> Changed;
  void RowMoved(int From, int To) override {
    std::string caption = Rows[From];
    Rows.erase(Rows.begin() + From);
    Rows.insert(Rows.begin() + To, caption);
  }
  void RowsSelected(const std::vector<int>& Rows) override {
    SelectedRows = Rows;
    SelectedRow = Rows.empty() ? -1 : Rows.front();
  }
};

TVideoFileInfo Video(uint32_t FourCC, uint16_t Width, double Rate, uint32_t AudioRate,
                     double Duration = 10) {
  TVideoFileInfo info;
  info.TypeName = "AVI";
  info.VideoFourCC = FourCC;
  info.Width = Width;
  info.Height = 480;
  info.FrameRate = Rate;
  info.Duration = std::nearbyint(Duration);
  info.ExactDuration = Duration;
  info.HasAudio = AudioRate != 0;
  info.AudioSampleRate = AudioRate;
  info.AudioChannels = info.HasAudio ? 2 : 0;
  return info;
}

constexpr uint32_t cDIVX = 0x58564944;
constexpr uint32_t cMJPG = 0x47504A4D;

// The model over the fake view, describing files from a table instead of reading them.
class FileListTest : public testing::Test {
protected:
  TFakeView View;
  std::map<std::string, TVideoFileInfo> Files;
  std::map<std::string, int> Reads;
  TFileList List{View, [this](const std::string& Name) {
                   ++Reads[Name];
                   auto found = Files.find(Name);
                   if (found == Files.end()) throw Exception("The file has unknown format");
                   auto info = std::make_unique<TVideoFileInfo>(found->second);
                   info->FileName = Name;
                   return info;
                 }};

  FileListTest() {
    View.List = &List;
    // Progress and messages before every file, as a slow disk would show them.
    List.ProgressInterval = 0;
    List.MessageInterval = 0;
    Files["/a/one.avi"] = Video(cDIVX, 640, 25, 44100);
    Files["/a/two.avi"] = Video(cDIVX, 640, 25, 44100);
    Files["/a/small.avi"] = Video(cDIVX, 320, 25, 44100);
    Files["/a/mjpg.avi"] = Video(cMJPG, 640, 25, 22050);
    Files["/b/one.avi"] = Video(cMJPG, 640, 25, 44100);
  }

  std::vector<bool> VideoFlags() const {
    std::vector<bool> flags;
    for (int i = 0; i < List.Count(); ++i) flags.push_back(List.Info(i).VideoMismatch);
    return flags;
  }
};

TEST_F(FileListTest, AddFilesReadsEachFileOnceKeepsOrderAndDuplicates) {
  List.AddFiles({"/a/two.avi", "/a/one.avi", "/a/two.avi"});
  ASSERT_EQ(List.Count(), 3);
  EXPECT_EQ(List.FileNames(), (std::vector<std::string>{"/a/two.avi", "/a/one.avi", "/a/two.avi"}));
  EXPECT_EQ(View.Rows, (std::vector<std::string>{"two.avi", "one.avi", "two.avi"}));
  EXPECT_EQ(Reads["/a/two.avi"], 2);
  EXPECT_EQ(Reads["/a/one.avi"], 1);
  // The second of the same file is marked by the first.
  EXPECT_EQ(List.EarlierRowOf(0), -1);
  EXPECT_EQ(List.EarlierRowOf(1), -1);
  EXPECT_EQ(List.EarlierRowOf(2), 0);
  EXPECT_EQ(List.Text(1, colType), "AVI:DIVX");
  EXPECT_EQ(List.Text(1, colFolder), "/a");
  const auto widths =
      List.AutoColumnWidths([](const std::string& T) { return static_cast<int>(T.size()); });
  EXPECT_EQ(widths[colFileName], 9 + 20);  // "File name" is wider than "two.avi"
  EXPECT_EQ(widths[colAudio], 12 + 20);    // "44KHz Stereo" is wider than "Audio"
  // Progress before each file, messages handled after it shows.
  EXPECT_EQ(View.Log,
            (std::vector<std::string>{"0/3 files added", "1/3 files added", "2/3 files added"}));
  EXPECT_EQ(View.PanelWidths[0], View.TextWidth("2/3 files added") + 10);
  EXPECT_EQ(View.Panels[1], "");
  // One batch: no per-row command updates, the cursor and repainting back at the end.
  EXPECT_EQ(View.ActionUpdates, 0);
  EXPECT_EQ(View.ColumnSizings, 1);
  EXPECT_FALSE(View.Busy);
  EXPECT_FALSE(View.Frozen);

  // A quick batch shows its count once: a text replaced at once could not be read.
  List.ProgressInterval = 0.25;
  List.MessageInterval = 0.05;
  View.Log.clear();
  List.AddFiles({"/a/one.avi", "/a/one.avi", "/a/one.avi"});
  ASSERT_FALSE(View.Log.empty());
  for (const std::string& text : View.Log) EXPECT_EQ(text, "0/3 files added");
  EXPECT_FALSE(List.Updating());
}

TEST_F(FileListTest, FailedLastFileOnlyWarnsWithOK) {
  List.AddFiles({"/a/one.avi", "/a/bad.avi"});
  EXPECT_EQ(List.Count(), 1);
  ASSERT_EQ(View.Messages.size(), 1u);
  EXPECT_EQ(View.Messages[0], "Unable to add file /a/bad.avi: The file has unknown format.");
  EXPECT_EQ(View.MessageButtons[0], TMessageButtons::mbOK);
}

TEST_F(FileListTest, ContinueQuestionDecidesWhetherTheRestIsAdded) {
  View.Answers = {TMessageResult::mrYes, TMessageResult::mrNo};
  List.AddFiles({"/a/one.avi", "/a/bad.avi", "/a/mjpg.avi", "/a/worse.avi", "/a/two.avi"});
  ASSERT_EQ(View.Messages.size(), 2u);
  EXPECT_EQ(View.Messages[0],
            "Unable to add file /a/bad.avi: The file has unknown format.\r\n"
            "Do you want to continue add other files?");
  EXPECT_EQ(View.MessageButtons[0], TMessageButtons::mbYesNo);
  // While a question is open the list is painted, with the rows added so far, and the count
  // is true.
  using TState = TFakeView::TShownState;
  EXPECT_EQ(View.AtMessages,
            (std::vector<TState>{{false, "1/5 files added", 1}, {false, "2/5 files added", 2}}));
  EXPECT_FALSE(View.Frozen);
  // No after the second failure: rows so far stay, the last name is never read.
  EXPECT_EQ(List.FileNames(), (std::vector<std::string>{"/a/one.avi", "/a/mjpg.avi"}));
  EXPECT_EQ(Reads.count("/a/two.avi"), 0u);
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true}));
  EXPECT_TRUE(List.Info(1).AudioMismatch);
  EXPECT_EQ(View.ColumnSizings, 1);

  // A closed dialog counts as No.
  List.AddFiles({"/a/bad.avi", "/a/two.avi"});
  EXPECT_EQ(List.Count(), 2);
}

TEST_F(FileListTest, UnexpectedErrorStillEndsTheBatch) {
  List.AddFiles({"/a/one.avi"});
  TFileList failing(View, [](const std::string&) -> std::unique_ptr<TVideoFileInfo> { throw 42; });
  EXPECT_THROW(failing.AddFiles({"/a/one.avi", "/a/two.avi"}), int);
  EXPECT_FALSE(View.Busy);
  EXPECT_FALSE(View.Frozen);
  EXPECT_FALSE(failing.Updating());
  EXPECT_EQ(View.ColumnSizings, 2);
}

TEST_F(FileListTest, CommandRunWhileTheBatchHandlesMessagesDoesNotEndTheBatch) {
  List.AddFiles({"/a/one.avi"});
  List.SetSelected(0);
  View.OnPump = [this] {
    if (View.Pumps == 2) List.DeleteSelected();
  };
  View.FrozenAtPumps.clear();
  List.AddFiles({"/a/two.avi", "/a/small.avi", "/a/mjpg.avi"});
  EXPECT_EQ(View.FrozenAtPumps, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(View.Rows, (std::vector<std::string>{"two.avi", "small.avi", "mjpg.avi"}));
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true, true}));
  EXPECT_FALSE(View.Frozen);
  EXPECT_FALSE(List.Updating());
}

TEST_F(FileListTest, MovingTheFirstRowRecomputesFlags) {
  List.AddFiles({"/a/one.avi", "/a/small.avi", "/a/two.avi"});
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true, false}));
  List.MoveItem(0, 1);
  EXPECT_EQ(List.FileNames(),
            (std::vector<std::string>{"/a/small.avi", "/a/one.avi", "/a/two.avi"}));
  EXPECT_EQ(View.Rows, (std::vector<std::string>{"small.avi", "one.avi", "two.avi"}));
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true, true}));
  EXPECT_TRUE(List.Info(1).FrameSizeDiffers);
  EXPECT_FALSE(List.Info(1).VideoFormatDiffers);
  EXPECT_EQ(List.Selected(), 1);
  EXPECT_EQ(View.SelectedRow, 1);

  // Back to the top: flags against the old first row again.
  List.MoveItem(1, 0);
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true, false}));
}

TEST_F(FileListTest, NewFirstRowWithTheOldFirstRowsNameStillRecomputesFlags) {
  List.AddFiles({"/a/one.avi", "/a/two.avi", "/b/one.avi"});
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, false, true}));
  List.MoveItem(2, 0);
  EXPECT_EQ(List.Caption(0), "one.avi");
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true, true}));
}

TEST_F(FileListTest, MoveTargetsAreClampedAndSameIndexChangesNothing) {
  List.AddFiles({"/a/one.avi", "/a/two.avi", "/a/small.avi"});
  List.MoveItem(0, 99);
  EXPECT_EQ(View.Rows, (std::vector<std::string>{"two.avi", "small.avi", "one.avi"}));
  EXPECT_EQ(List.Selected(), 2);
  List.MoveItem(2, -5);
  EXPECT_EQ(View.Rows, (std::vector<std::string>{"one.avi", "two.avi", "small.avi"}));
  EXPECT_EQ(List.Selected(), 0);
  List.MoveItem(1, 1);
  List.MoveItem(7, 0);
  List.MoveItem(-1, 0);
  EXPECT_EQ(View.Rows, (std::vector<std::string>{"one.avi", "two.avi", "small.avi"}));
  EXPECT_EQ(List.Selected(), 0);
}

TEST_F(FileListTest, DeleteSelectsTheNextRowAndRecomputesAfterRowZero) {
  List.AddFiles({"/a/small.avi", "/a/one.avi", "/a/two.avi"});
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, true, true}));
  List.DeleteSelected();  // nothing selected: nothing happens
  EXPECT_EQ(List.Count(), 3);

  List.SetSelected(0);
  List.DeleteSelected();
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, false}));
  EXPECT_EQ(List.Selected(), 0);

  List.SetSelected(1);
  const int sizings = View.ColumnSizings;
  List.DeleteSelected();
  EXPECT_EQ(List.Selected(), 0);
  EXPECT_EQ(View.SelectedRow, 0);
  EXPECT_EQ(View.ColumnSizings, sizings + 1);

  List.DeleteSelected();
  EXPECT_EQ(List.Count(), 0);
  EXPECT_TRUE(View.Rows.empty());
  EXPECT_EQ(List.Selected(), -1);
  EXPECT_EQ(View.Panels[0], "There are no selected files.");
  EXPECT_EQ(View.Panels[1], "");
  EXPECT_EQ(View.PanelWidths[1], 50);
}

TEST_F(FileListTest, SeveralSelectedRowsMoveAndGoTogetherInTheirOrder) {
  Files["/a/3.avi"] = Files["/a/4.avi"] = Files["/a/5.avi"] = Video(cDIVX, 640, 25, 44100);
  List.AddFiles({"/a/small.avi", "/a/one.avi", "/a/two.avi", "/a/3.avi", "/a/4.avi", "/a/5.avi"});
  using TNames = std::vector<std::string>;
  auto expect = [&](const TNames& Rows, const std::vector<int>& Selected) {
    EXPECT_EQ(View.Rows, Rows);  // the view was told every move
    for (int i = 0; i < List.Count(); ++i) EXPECT_EQ(List.Caption(i), Rows[i]);
    EXPECT_EQ(List.SelectedRows(), Selected);
    EXPECT_EQ(View.SelectedRows, Selected);
  };
  List.SetSelectedRows({4, 1, 2, 9, 1});  // out-of-list rows and repeats are dropped
  EXPECT_EQ(List.SelectedRows(), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(View.Panels[0], "3 of 6 files selected");
  List.MoveSelectedBy(-1);
  expect({"one.avi", "two.avi", "small.avi", "4.avi", "3.avi", "5.avi"}, {0, 1, 3});
  // The first row has become a DIVX 640: the old first row now differs.
  EXPECT_EQ(VideoFlags(), (std::vector<bool>{false, false, true, false, false, false}));
  List.MoveSelectedBy(-1);  // already at the top: nothing moves
  expect({"one.avi", "two.avi", "small.avi", "4.avi", "3.avi", "5.avi"}, {0, 1, 3});
  List.MoveSelectedBy(1);
  List.MoveSelectedBy(1);
  expect({"small.avi", "3.avi", "one.avi", "two.avi", "5.avi", "4.avi"}, {2, 3, 5});
  // A drag puts them together where the first of them is dropped, or last.
  List.MoveSelectedTo(0);
  expect({"one.avi", "two.avi", "4.avi", "small.avi", "3.avi", "5.avi"}, {0, 1, 2});
  List.MoveSelectedTo(99);
  expect({"small.avi", "3.avi", "5.avi", "one.avi", "two.avi", "4.avi"}, {3, 4, 5});
  List.SetSelectedRows({0, 2, 5});
  List.MoveSelectedTo(1);
  expect({"3.avi", "small.avi", "5.avi", "4.avi", "one.avi", "two.avi"}, {1, 2, 3});
  // Delete removes all of them and selects the row that took the first one's place.
  List.DeleteSelected();
  expect({"3.avi", "one.avi", "two.avi"}, {1});
  EXPECT_EQ(View.Panels[0], "one.avi");
}

TEST_F(FileListTest, ClearAsksFirst) {
  List.AddFiles({"/a/one.avi", "/a/two.avi"});
  View.Answers = {TMessageResult::mrNo, TMessageResult::mrYes};
  EXPECT_FALSE(List.Clear());
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(View.Messages.back(), "Are you sure you want to remove all files from the list?");
  EXPECT_TRUE(List.Clear());
  EXPECT_EQ(List.Count(), 0);
  EXPECT_TRUE(View.Rows.empty());
  EXPECT_EQ(View.Panels[0], "There are no selected files.");
}

TEST_F(FileListTest, StatusTextsCountSelectAndTotalEveryRow) {
  Files["/a/long.avi"] = Video(cDIVX, 640, 25, 44100, 3589.5);
  List.AddFiles({"/a/one.avi", "/a/long.avi"});
  EXPECT_DOUBLE_EQ(List.GetTotalDuration(), 3599.5);
  List.UpdateStatusBar();
  EXPECT_EQ(View.Panels[0], "2 file(s)");
  EXPECT_EQ(View.Panels[1], "Total duration: 01:00:00");
  EXPECT_EQ(View.PanelWidths[0], 50);  // a short text still gets 50 pixels
  EXPECT_EQ(View.PanelWidths[1], View.TextWidth(View.Panels[1]) + 10);

  // A selection outside a batch updates the commands and the status bar at once.
  const int updates = View.ActionUpdates;
  List.SetSelected(1);
  EXPECT_EQ(View.ActionUpdates, updates + 1);
  EXPECT_EQ(View.Panels[0], "long.avi");
  EXPECT_EQ(View.Panels[1], "Total duration: 01:00:00");
  List.SetSelected(5);
  EXPECT_EQ(List.Selected(), -1);

  // Each row shows its own whole seconds; the total adds the exact lengths and rounds once:
  // 1,000 clips of 59.9 s last 16:38:20, not the 16:40:00 of their rows' 60 s.
  Files["/a/dash.avi"] = Video(cDIVX, 640, 25, 44100, 59.9);
  List.RemoveAll();
  List.AddFiles(std::vector<std::string>(1000, "/a/dash.avi"));
  EXPECT_EQ(List.Text(0, colDuration), "01:00");
  List.UpdateStatusBar();
  EXPECT_EQ(View.Panels[1], "Total duration: 16:38:20");
}

TEST_F(FileListTest, ACutShowsWhatItKeepsCountsInTheTotalAndMovesWithItsRow) {
  // 300 pictures at 30000/1001, 250 at 25, and 100 at a rate no file is made at (timed at 24).
  Files["/a/ntsc.avi"] = Video(cDIVX, 640, 30000.0 / 1001, 44100, 300 * 1001 / 30000.0);
  Files["/a/odd.avi"] = Video(cDIVX, 640, 1e9, 44100, 100 / 24.0);
  List.AddFiles({"/a/ntsc.avi", "/a/one.avi", "/a/odd.avi"});
  EXPECT_EQ(List.Text(0, colCut), "");
  EXPECT_EQ(List.Text(0, colDuration), "00:10");
  const int sizings = View.ColumnSizings;

  // Pictures 30 to 239 of the NTSC clip: 210 pictures, 7.007 s, shown from the In picture's
  // time to the end of the Out picture.
  List.SetCut(0, {30, 239});
  EXPECT_EQ(List.Text(0, colCut), "00:01.001-00:08.008");
  EXPECT_EQ(List.Text(0, colDuration), "00:07");
  EXPECT_EQ(View.Changed, std::vector<int>{0});
  EXPECT_EQ(View.ColumnSizings, sizings + 1);
  EXPECT_EQ(View.Panels[1], "Total duration: 00:21");  // 7.007 + 10 + 4.17
  // To the end of the file; the stand-in rate times the odd file's pictures.
  List.SetCut(1, {50, TPictureCut::ToEnd});
  List.SetCut(2, {0, 11});
  EXPECT_EQ(List.Text(1, colCut), "00:02.000-end");
  EXPECT_EQ(List.Text(2, colCut), "00:00.000-00:00.500");
  EXPECT_NEAR(List.GetTotalDuration(), 7.007 + 8 + 0.5, 1e-9);

  // The cut goes where its row goes.
  List.MoveItem(0, 2);
  EXPECT_EQ(List.Cuts(), (std::vector<TPictureCut>{{50, TPictureCut::ToEnd}, {0, 11}, {30, 239}}));
  EXPECT_EQ(List.Text(2, colCut), "00:01.001-00:08.008");
  // A time between whole milliseconds is rounded up, into the picture it names: picture 1 at
  // 30000/1001 starts at 33.37 ms.
  List.SetCut(2, {1, 2});
  EXPECT_EQ(List.Text(2, colCut), "00:00.034-00:00.101");
  EXPECT_EQ(List.Caption(2), "ntsc.avi");
  // A cut past the end keeps nothing; the whole file again shows no cut.
  List.SetCut(2, {400, TPictureCut::ToEnd});
  EXPECT_EQ(List.Text(2, colDuration), "00:00");
  List.SetCut(0, {});
  EXPECT_EQ(List.Text(0, colCut), "");
  EXPECT_EQ(List.Text(0, colDuration), "00:10");
  EXPECT_NEAR(List.GetTotalDuration(), 10 + 0.5, 1e-9);

  // Files added with their cuts (a project's) keep each its own, also past a file that fails.
  List.RemoveAll();
  View.Answers = {TMessageResult::mrYes};
  List.AddFiles({"/a/bad.avi", "/a/ntsc.avi", "/a/one.avi"}, {{1, 2}, {30, 239}, {}});
  EXPECT_EQ(List.Cuts(), (std::vector<TPictureCut>{{30, 239}, {}}));
  EXPECT_EQ(List.Text(0, colDuration), "00:07");
}

}  // namespace
}  // namespace rw
