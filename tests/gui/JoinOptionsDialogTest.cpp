#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QTableWidget>
#include <QToolButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "core/JoinFacts.h"
#include "gui/MessageBoxes.h"
#include "platform/Errors.h"
#include "support/TempDir.h"
#include "core/FileList.h"
#include "core/SavedFolders.h"
#include "gui/CompressorOptionsDialog.h"
#include "gui/NumericEdit.h"
#include "gui/FileDialogs.h"
#include "gui/JoinOptionsDialog.h"
#include "gui/QtStrings.h"

namespace rw {
namespace {

TVideoFileInfo Info(uint16_t Width, uint16_t Height, double Rate) {
  TVideoFileInfo i;
  i.TypeName = "AVI";
  i.Width = Width;
  i.Height = Height;
  i.FrameRate = Rate;
  return i;
}

// Compressor lists of the test's choosing, in place of the installed encoders.
TCompressorLister FakeCompressors(std::vector<std::string> Video, std::vector<std::string> Audio) {
  return [=](bool IsAudio) {
    TCompressorList list;
    for (const std::string& n : IsAudio ? Audio : Video) list.push_back({"pcm_s16le", n});
    return list;
  };
}

std::vector<std::string> Items(const QComboBox& Box) {
  std::vector<std::string> items;
  for (int i = 0; i < Box.count(); ++i) items.push_back(Box.itemText(i).toStdString());
  return items;
}

class JoinOptionsDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    FSavedHook = MessageBoxHook();
    MessageBoxHook() = [this](const TMessageRequest& R) {
      Messages.push_back(R.Text);
      return Answer;
    };
  }
  // The program's own boxes again for the tests that follow.
  void TearDown() override { MessageBoxHook() = FSavedHook; }
  TMessageBoxHook FSavedHook;

  // Shows the dialog for Files with the facts, runs Act inside it, then cancels it unless Act
  // closed it; returns what ShowJoinOptions returned.
  bool Show(TfrmJoin& Form, TJoinFacts Facts, const std::function<void()>& Act) {
    QTimer::singleShot(0, &Form, [&] {
      // The compressors come from the background while the dialog shows.
      while (!Form.CompressorsListed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      QCoreApplication::processEvents();
      Act();
      if (Form.isVisible()) Form.reject();
    });
    return Form.ShowJoinOptions(Facts.CanJoinWORecomp, Facts.DropAudio, Facts.NoAudio);
  }

  std::vector<TVideoFileInfo> Files;
  TFileInfoList List() const {
    TFileInfoList l;
    for (const TVideoFileInfo& f : Files) l.push_back(&f);
    return l;
  }
  std::unique_ptr<TfrmJoin> MakeForm(TCompressorLister Lister = FakeCompressors({}, {}),
                                     std::function<std::string()> Key = nullptr) {
    return std::make_unique<TfrmJoin>(
        nullptr, [this] { return List(); }, Lister, Key);
  }

  std::vector<std::string> Messages;
  TMessageResult Answer = TMessageResult::mrOK;
};

TEST_F(JoinOptionsDialogTest, DefaultsComeFromTheSmallestFrameAndLowestRate) {
  Files = {Info(352, 288, 29.97), Info(720, 576, 25)};
  auto form = MakeForm();
  Show(*form, {false, false, true}, [&] {
    EXPECT_EQ(form->FrameWidth(), 352);
    EXPECT_EQ(form->FrameHeight(), 288);
    EXPECT_EQ(form->cbxResizeMethod->currentText().toStdString(), "Letterbox");
    EXPECT_EQ(Items(*form->cbxFameRate), (std::vector<std::string>{"24.00", "25.00", "29.97"}));
    EXPECT_EQ(form->FrameRateText(), "25.00");
    EXPECT_FALSE(form->lblSizeWarning->isVisible());
    // Typing a width that is not a multiple of 8 shows the warning; 328 hides it again.
    form->edtFrameWidth->setText("330");
    EXPECT_TRUE(form->lblSizeWarning->isVisible());
    form->edtFrameWidth->setText("328");
    EXPECT_FALSE(form->lblSizeWarning->isVisible());
  });

  Files = {Info(356, 240, 100)};
  Show(*form, {true, false, true}, [&] {
    EXPECT_EQ(form->FrameWidth(), 352);
    EXPECT_EQ(form->FrameHeight(), 240);
    EXPECT_EQ(form->cbxResizeMethod->currentText().toStdString(), "No resize");
    // Sorted as text: "100.00" before "24.00".
    EXPECT_EQ(Items(*form->cbxFameRate)[0], "100.00");
    EXPECT_EQ(form->FrameRateText(), "100.00");
  });
}

TEST_F(JoinOptionsDialogTest, NoteAndCheckBoxFollowTheFacts) {
  Files = {Info(320, 240, 25)};
  auto form = MakeForm();
  // Matching files: checked, enabled, no note, recompression settings disabled.
  Show(*form, {true, false, false}, [&] {
    EXPECT_TRUE(form->cbxJoinWORecomp->isChecked());
    EXPECT_TRUE(form->cbxJoinWORecomp->isEnabled());
    EXPECT_EQ(form->lblNotes->text(), "");
    EXPECT_FALSE(form->edtFrameWidth->isEnabled());
  });
  // Different video: the note shows, the box is unchecked and disabled, settings enabled.
  Show(*form, {false, false, false}, [&] {
    EXPECT_EQ(form->lblNotes->text(),
              "<-- impossible because the selected files have different formats");
    EXPECT_TRUE(form->lblNotes->isVisible());
    EXPECT_FALSE(form->cbxJoinWORecomp->isChecked());
    EXPECT_FALSE(form->cbxJoinWORecomp->isEnabled());
    EXPECT_TRUE(form->cbxFameRate->isEnabled());
  });
  // Some files silent: the note is set but hidden until the box is checked.
  Show(*form, {true, true, false}, [&] {
    EXPECT_EQ(form->lblNotes->text(),
              "- files will be joined without sound (audio formats differ)");
    EXPECT_FALSE(form->lblNotes->isVisible());
    EXPECT_FALSE(form->cbxJoinWORecomp->isChecked());
    QTest::mouseClick(form->cbxJoinWORecomp, Qt::LeftButton);
    EXPECT_TRUE(form->lblNotes->isVisible());
    EXPECT_FALSE(form->cbxVideoCompression->isEnabled());
  });
  // No file has sound: checked, no note, although sound would be dropped.
  Show(*form, {true, true, true}, [&] {
    EXPECT_TRUE(form->cbxJoinWORecomp->isChecked());
    EXPECT_EQ(form->lblNotes->text(), "");
  });
}

TEST_F(JoinOptionsDialogTest, ConvertingWhatDiffersIsProposedWhereACopyWouldLoseSound) {
  Files = {Info(320, 240, 25), Info(320, 240, 25)};
  Files[0].FileName = "/clips/a.avi";
  Files[0].HasAudio = true;
  Files[0].AudioFormatTag = 1;
  Files[1].FileName = "/clips/b.avi";
  auto form = MakeForm();
  Show(*form, {true, true, false}, [&] {
    EXPECT_TRUE(form->cbxConvert->isVisible());
    EXPECT_TRUE(form->cbxConvert->isChecked());
    EXPECT_TRUE(form->ConvertDiffering());
    EXPECT_FALSE(form->cbxJoinWORecomp->isChecked());
    EXPECT_FALSE(form->edtFrameWidth->isEnabled());
    EXPECT_EQ(form->lblConvertNote->text().toStdString(),
              "Only these files are converted (a file without sound gets silence):\n"
              "2. b.avi: No sound; the first file has PCM sound");
    // Converting sound changes no frame size: the resize method has nothing to do.
    EXPECT_FALSE(form->cbxResizeMethod->isEnabled());
    // The three ways are one choice in sight; each note shows while its way is chosen.
    EXPECT_TRUE(form->rbnRecompress->isVisible());
    QTest::mouseClick(form->cbxJoinWORecomp, Qt::LeftButton);
    EXPECT_FALSE(form->ConvertDiffering());
    EXPECT_FALSE(form->lblConvertNote->isVisible());
    EXPECT_TRUE(form->lblNotes->isVisible());
    QTest::mouseClick(form->rbnRecompress, Qt::LeftButton);
    EXPECT_FALSE(form->ConvertDiffering());
    EXPECT_FALSE(form->JoinWORecomp());
    EXPECT_FALSE(form->lblNotes->isVisible());
    EXPECT_TRUE(form->edtFrameWidth->isEnabled());
    // Recompressing to the files' own size resizes nothing; another size does.
    form->edtFrameWidth->SetValue(320);
    form->edtFrameHeight->SetValue(240);
    EXPECT_FALSE(form->cbxResizeMethod->isEnabled());
    form->edtFrameWidth->SetValue(640);
    EXPECT_TRUE(form->cbxResizeMethod->isEnabled());
  });
  // Files that match need no conversion: the choice shows, but cannot be taken.
  Files[1] = Files[0];
  Show(*form, {true, false, false}, [&] {
    EXPECT_TRUE(form->cbxConvert->isVisible());
    EXPECT_FALSE(form->cbxConvert->isEnabled());
    EXPECT_FALSE(form->ConvertDiffering());
    EXPECT_TRUE(form->cbxJoinWORecomp->isChecked());
  });
}

TEST_F(JoinOptionsDialogTest, CheckBoxGivesTheNameAnAviExtension) {
  Files = {Info(320, 240, 25)};
  auto form = MakeForm();
  Show(*form, {true, false, false}, [&] {
    QTest::mouseClick(form->cbxJoinWORecomp, Qt::LeftButton);
    EXPECT_EQ(form->edtOutFileName->text(), "");  // nothing written into an empty name
    form->edtOutFileName->setText("/out/a.mov");
    QTest::mouseClick(form->cbxJoinWORecomp, Qt::LeftButton);
    EXPECT_EQ(form->edtOutFileName->text(), "/out/a.avi");
    form->edtOutFileName->setText("/out.d/clip");
    QTest::mouseClick(form->cbxJoinWORecomp, Qt::LeftButton);
    EXPECT_EQ(form->edtOutFileName->text(), "/out.d/clip.avi");
  });
}

TEST_F(JoinOptionsDialogTest, JoinAsksForANameAndBeforeOverwriting) {
  Files = {Info(320, 240, 25)};
  auto form = MakeForm();
  test::TTempDir dir;
  const std::string existing = dir.File("out.avi");
  test::WriteFileBytes(existing, "keep");
  // A name without a folder is taken beside the first file, which the question then names.
  Files[0].FileName = dir.File("first.avi");
  test::WriteFileBytes(Files[0].FileName, "source");
  bool accepted = Show(*form, {true, false, false}, [&] {
    // The proposed name: beside the first file, never its own name.
    EXPECT_EQ(form->edtOutFileName->text().toStdString(), dir.File("first joined.avi"));
    form->edtOutFileName->setText("   ");
    QTest::mouseClick(form->btnJoin, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    form->edtOutFileName->setText("out.avi");
    form->edtFrameWidth->setText("200");
    Answer = TMessageResult::mrCancel;
    QTest::mouseClick(form->btnJoin, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());  // Cancel keeps the dialog and its settings
    EXPECT_EQ(form->edtFrameWidth->text(), "200");
    EXPECT_EQ(form->edtOutFileName->text().toStdString(), existing);
    // A name without an extension gets ".avi"; the first file's name is refused before any
    // question, and the dialog keeps what the user chose.
    Answer = TMessageResult::mrYes;
    form->edtOutFileName->setText("first");
    QTest::mouseClick(form->btnJoin, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->edtOutFileName->text().toStdString(), dir.File("first.avi"));
    EXPECT_EQ(form->edtFrameWidth->text(), "200");
    // A folder is refused by name: no hidden ".avi" is written in it.
    form->edtOutFileName->setText(QString::fromStdString(dir.Path().string() + "/"));
    QTest::mouseClick(form->btnJoin, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
  });
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(std::filesystem::exists(dir.File(".avi")));
  ASSERT_EQ(Messages.size(), 4u);
  EXPECT_EQ(Messages[3], "The output " + dir.Path().string() +
                             "/ is a folder. Please type the name of the file to write in it.");
  EXPECT_EQ(Messages[0], "Please specify the output file");
  EXPECT_EQ(Messages[1],
            "The \"" + existing + "\" file already exists. \r\nDo you want to overwrite it?");
  EXPECT_EQ(Messages[2],
            "The output file " + dir.File("first.avi") + " is one of the files to join.");
  EXPECT_EQ(test::ReadFileBytes(dir.File("first.avi")), "source");
  EXPECT_EQ(test::ReadFileBytes(existing), "keep");

  Answer = TMessageResult::mrYes;
  accepted = Show(*form, {true, false, false}, [&] {
    form->edtOutFileName->setText(QString::fromStdString(existing));
    QTest::mouseClick(form->btnJoin, Qt::LeftButton);
  });
  EXPECT_TRUE(accepted);
  EXPECT_EQ(form->OutFileName(), existing);
}

TEST_F(JoinOptionsDialogTest, TheDialogFitsItsContentAndNamesTheRowsThatDiffer) {
  Files = {Info(320, 240, 25), Info(352, 240, 25)};
  Files[0].FileName = "/clips/a.avi";
  Files[1].FileName = "/clips/wide.avi";
  Files[1].VideoMismatch = Files[1].FrameSizeDiffers = true;
  const std::string longName = "A video compressor with a very long name that a fixed dialog clips";
  auto form = MakeForm(FakeCompressors({longName}, {}));
  Show(*form, {false, false, true}, [&] {
    EXPECT_EQ(form->lblNoteFiles->text(), "2. wide.avi: 352x240; the first file has 320x240");
    EXPECT_TRUE(form->lblNoteFiles->isVisible());
    form->edtFrameWidth->setText("330");
    QApplication::processEvents();
    // Nothing is cut: the long name, the wrapped warning, the rows, and the designed size at least.
    EXPECT_GE(form->cbxVideoCompression->width(), form->cbxVideoCompression->sizeHint().width());
    EXPECT_TRUE(form->lblSizeWarning->isVisible());
    EXPECT_GE(form->lblSizeWarning->height(),
              form->lblSizeWarning->heightForWidth(form->lblSizeWarning->width()));
    EXPECT_GE(form->width(), 477);
    EXPECT_GE(form->height(), 358);
  });
  // Matching files: no rows to name.
  Files[1] = Info(320, 240, 25);
  Show(*form, {true, false, true}, [&] { EXPECT_FALSE(form->lblNoteFiles->isVisible()); });
}

TEST_F(JoinOptionsDialogTest, PreferredCompressorsArePreselectedByName) {
  Files = {Info(320, 240, 25)};
  auto form = MakeForm(FakeCompressors({"Cinepak", "XviD MPEG-4", "DivX 6 codec", "MJPEG"},
                                       {"MPEG Layer-3", "PCM"}));
  Show(*form, {false, false, false}, [&] {
    EXPECT_EQ(form->cbxVideoCompression->currentText(), "DivX 6 codec");
    EXPECT_EQ(form->cbxAudioCompression->currentText(), "MPEG Layer-3");
    EXPECT_EQ(form->cbxAudioCompression->itemText(0), "No-compressing");
  });

  auto xvidOnly = MakeForm(FakeCompressors({"xvid"}, {}));
  Show(*xvidOnly, {false, false, false},
       [&] { EXPECT_EQ(xvidOnly->cbxVideoCompression->currentText(), "xvid"); });

  // With no preferred compressor nothing is selected, and Reset defaults says so only then.
  auto none = MakeForm(FakeCompressors({"Cinepak", "MJPEG"}, {}));
  Show(*none, {false, false, false}, [&] {
    EXPECT_EQ(none->cbxVideoCompression->currentIndex(), -1);
    QTest::mouseClick(none->Button1, Qt::LeftButton);
    none->cbxVideoCompression->setCurrentIndex(1);
    QTest::mouseClick(none->Button1, Qt::LeftButton);
    EXPECT_EQ(none->cbxVideoCompression->currentIndex(), 1);  // a choice the rules leave alone
  });
  ASSERT_EQ(Messages.size(), 1u);
  EXPECT_EQ(Messages[0], "Unable to find an optimum video compressor. We advice to install DivX.");
  EXPECT_EQ(none->AudioCompressor(), nullptr);  // "No-compressing" or nothing: no compressor
}

TEST_F(JoinOptionsDialogTest, OutputChooserFillsTheNameAndRemembersItsFolder) {
  Files = {Info(320, 240, 25)};
  auto form = MakeForm();
  test::TTempDir videos;
  LastSaveFolder = videos.Path().string();
  const TFileDialogRunner saved = FileDialogRunner();
  QString folderOffered;
  FileDialogRunner() = [&](QFileDialog& Dialog) -> std::optional<QList<QUrl>> {
    folderOffered = Dialog.directory().absolutePath();
    return QList<QUrl>{QUrl::fromLocalFile("/exports/new/holiday.avi")};
  };
  Show(*form, {true, false, false}, [&] {
    form->sbnSelectOutFile->click();
    EXPECT_EQ(form->edtOutFileName->text(), "/exports/new/holiday.avi");
    FileDialogRunner() = [](QFileDialog&) -> std::optional<QList<QUrl>> { return std::nullopt; };
    form->sbnSelectOutFile->click();  // cancelled: nothing changes
    EXPECT_EQ(form->edtOutFileName->text(), "/exports/new/holiday.avi");
  });
  FileDialogRunner() = saved;
  EXPECT_EQ(folderOffered.toStdString(), videos.Path().string());
  EXPECT_EQ(LastSaveFolder, "/exports/new");
  LastSaveFolder.clear();
}

TEST_F(JoinOptionsDialogTest, CompressorOptionsReachTheCompressorOfTheJoin) {
  Files = {Info(320, 240, 25)};
  TCompressorLister mpeg4 = [](bool Audio) {
    return Audio ? TCompressorList{} : TCompressorList{{"mpeg4", "MPEG-4 part 2"}};
  };
  auto form = MakeForm(mpeg4);
  const TModalRunner saved = CompressorOptionsRunner();
  std::vector<std::string> mainOptions;
  bool advancedShown = true;
  CompressorOptionsRunner() = [&](QDialog& Dialog) {
    // What decides quality and size first, quality before bit rate; the rest under Advanced,
    // closed until asked for.
    auto* table = Dialog.findChild<QTableWidget*>("tblMainOptions");
    for (int row = 0; row < table->rowCount(); ++row)
      mainOptions.push_back(table->item(row, 0)->text().toStdString());
    auto* advanced = Dialog.findChild<QTableWidget*>("tblAdvancedOptions");
    advancedShown = !advanced->isHidden();
    Dialog.findChild<QToolButton*>("btnAdvanced")->click();
    EXPECT_FALSE(advanced->isHidden());
    EXPECT_GT(advanced->rowCount(), 0);
    for (int row = 0; row < table->rowCount(); ++row)
      if (table->item(row, 0)->text() == "b") table->item(row, 1)->setText("123456");
    Dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    return Dialog.result();
  };
  Show(*form, {false, false, false}, [&] {
    form->cbxVideoCompression->setCurrentIndex(0);
    form->btnVideoCompOptions->click();
    // A size MPEG-4's 4:2:0 pictures cannot hold: the note tells what the join makes.
    form->edtFrameWidth->setText("321");
    EXPECT_TRUE(form->lblSizeWarning->isVisible());
    EXPECT_EQ(form->lblSizeWarning->text().toStdString(),
              "Note: the mpeg4 compressor takes only frame sizes that are even: 321x240 becomes "
              "320x240.");
    form->edtFrameWidth->setText("320");
    EXPECT_FALSE(form->lblSizeWarning->isVisible());
  });
  CompressorOptionsRunner() = saved;
  EXPECT_TRUE(Messages.empty());
  EXPECT_FALSE(advancedShown);
  EXPECT_EQ(mainOptions.front(), "qscale");
  EXPECT_EQ(mainOptions.back(), "b");
  EXPECT_EQ(form->VideoCompressor()->GetOption("b"), "123456");
}

TEST_F(JoinOptionsDialogTest, AFailedListingStillLeavesUsableLists) {
  std::vector<std::string> shown;
  MessageBoxHook() = [&](const TMessageRequest& R) {
    shown.push_back(R.Text);
    return TMessageResult::mrOK;
  };
  int listings = 0;
  TCompressorLister failing = [&](bool) -> TCompressorList {
    ++listings;
    throw Exception("DirectShow Error: 80004005");
  };
  Files = {Info(320, 240, 25)};
  auto form = MakeForm(failing);
  // Made at the program's start, the dialog lists nothing (and loads no media engine) until it
  // is first shown; then once, and the same failure of both lists is shown once.
  EXPECT_EQ(listings, 0);
  for (int show = 0; show < 2; ++show)
    Show(*form, {false, false, false}, [&] {
      EXPECT_EQ(shown, std::vector<std::string>{"DirectShow Error: 80004005."});
      EXPECT_EQ(form->cbxVideoCompression->count(), 0);
      EXPECT_EQ(form->cbxAudioCompression->count(), 1);
      EXPECT_EQ(form->cbxAudioCompression->itemText(0), "No-compressing");
    });
  EXPECT_EQ(listings, 2);
  EXPECT_EQ(form->VideoCompressor(), nullptr);  // nothing selected
}

}  // namespace
}  // namespace rw

namespace rw {
namespace {

TEST_F(JoinOptionsDialogTest, ListingsAreRememberedUnderTheEngineKey) {
  test::TTempDir dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, PathToQ(dir.File("config")));
  std::atomic<int> listings = 0;
  std::string key = "FFmpeg 5.1|engine.so|100|1";
  TCompressorLister lister = [&](bool Audio) {
    ++listings;
    return FakeCompressors({"MPEG-4 (FFmpeg)", "Xvid"}, {"MP3 (LAME)"})(Audio);
  };
  Files = {Info(320, 240, 25)};
  auto run = [&] {
    auto form = MakeForm(lister, [&key] { return key; });
    form->StartListing();
    Show(*form, {true, false, false}, [&] {
      EXPECT_EQ(Items(*form->cbxVideoCompression),
                (std::vector<std::string>{"MPEG-4 (FFmpeg)", "Xvid"}));
      EXPECT_EQ(Items(*form->cbxAudioCompression),
                (std::vector<std::string>{"No-compressing", "MP3 (LAME)"}));
      EXPECT_EQ(form->cbxVideoCompression->currentText().toStdString(), "Xvid");
      EXPECT_NE(form->cursor().shape(), Qt::BusyCursor);
    });
  };
  // The first run tries; the next one (a new dialog, as in a new process) takes what was
  // remembered; a new engine module or new libraries try again.
  run();
  EXPECT_EQ(listings, 2);
  run();
  EXPECT_EQ(listings, 2);
  key = "FFmpeg 5.1|engine.so|100|2";
  run();
  EXPECT_EQ(listings, 4);
  run();
  EXPECT_EQ(listings, 4);

  // A recompressing join asked for before the compressors come waits for them, with a busy
  // cursor, and then goes on with the proposed ones.
  std::atomic<bool> release = false;
  key = "FFmpeg 5.2";
  TCompressorLister slow = [&](bool Audio) {
    while (!release) std::this_thread::yield();
    return lister(Audio);
  };
  auto form = std::make_unique<TfrmJoin>(
      nullptr, [this] { return List(); }, slow, [&key] { return key; });
  bool busy = false;
  QTimer::singleShot(0, form.get(), [&] {
    form->rbnRecompress->setChecked(true);
    form->edtOutFileName->setText(PathToQ(dir.File("out.avi")));
    form->btnJoin->click();
    busy = form->cursor().shape() == Qt::BusyCursor;
    EXPECT_TRUE(form->isVisible());
    release = true;
  });
  EXPECT_TRUE(form->ShowJoinOptions(true, false, false));
  EXPECT_TRUE(busy);
  EXPECT_EQ(form->cbxVideoCompression->currentText().toStdString(), "Xvid");
}

}  // namespace
}  // namespace rw
