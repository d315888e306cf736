#include <QFileDialog>
#include <gtest/gtest.h>

#include "gui/FileDialogs.h"

namespace rw {
namespace {

// Answers every dialog with Answer and remembers how the dialog was set up.
class FileDialogs : public ::testing::Test {
protected:
  void SetUp() override {
    FSaved = FileDialogRunner();
    FileDialogRunner() = [this](QFileDialog& Dialog) -> std::optional<QList<QUrl>> {
      Filters = Dialog.nameFilters();
      Mode = Dialog.fileMode();
      Accept = Dialog.acceptMode();
      Title = Dialog.windowTitle();
      Folder = Dialog.directory().absolutePath();
      Suffix = Dialog.defaultSuffix();
      ConfirmOverwrite = !Dialog.testOption(QFileDialog::DontConfirmOverwrite);
      if (!Answer) return std::nullopt;
      QList<QUrl> urls;
      for (const QString& name : *Answer)
        urls << (name.startsWith("file:") ? QUrl(name) : QUrl::fromLocalFile(name));
      return urls;
    };
  }
  void TearDown() override { FileDialogRunner() = FSaved; }

  // Full names, or addresses as the desktop's own dialog gives them.
  std::optional<QStringList> Answer;
  QStringList Filters;
  QFileDialog::FileMode Mode{};
  QFileDialog::AcceptMode Accept{};
  QString Title, Folder, Suffix;
  bool ConfirmOverwrite = false;

private:
  TFileDialogRunner FSaved;
};

TEST(FileDialogFilter, PairsBecomeNameFilters) {
  const QStringList expected{"Video Files (*.mpeg *.mpg *.avi *.wmv *.rm *.ram)", "All Files (*)"};
  EXPECT_EQ(FilterToNameFilters("Video Files|*.mpeg;*.mpg;*.avi;*.wmv;*.rm;*.ram|All Files|*.*"),
            expected);
  EXPECT_EQ(FilterToNameFilters("Video Files|*.mpeg;*.mpg;*.avi;*.wmv;*.rm;*.ram|All Files|*.*|"),
            expected);
  EXPECT_TRUE(FilterToNameFilters("").isEmpty());
}

TEST_F(FileDialogs, OpenWithMultipleSelection) {
  TFileOpenDialog dialog;
  dialog.MultiSelect = true;
  dialog.InitialDir = "/tmp";
  dialog.Filter = "Project Files|*.rwp|All Files|*.*";
  Answer = QStringList{"/tmp/b.avi", "/tmp/a.avi"};
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(Mode, QFileDialog::ExistingFiles);
  EXPECT_EQ(Accept, QFileDialog::AcceptOpen);
  EXPECT_EQ(Folder, "/tmp");
  EXPECT_EQ(Filters, (QStringList{"Project Files (*.rwp)", "All Files (*)"}));
  EXPECT_EQ(dialog.Files, (std::vector<std::string>{"/tmp/b.avi", "/tmp/a.avi"}));
  EXPECT_EQ(dialog.FileName, "/tmp/b.avi");
  EXPECT_EQ(dialog.BufferSize, 30720u);
  EXPECT_TRUE(dialog.Options & ofnAllowMultiSelect);

  // One file chosen, whose name is not valid UTF-8: it is the only element of Files, its bytes
  // as they are. Then a single-selection run.
  Answer = QStringList{"file:///tmp/caf%E9.avi"};
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.Files, std::vector<std::string>{"/tmp/caf\xE9.avi"});
  dialog.MultiSelect = false;
  Answer = QStringList{"/tmp/d.avi"};
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(Mode, QFileDialog::ExistingFile);
  EXPECT_EQ(dialog.FileName, "/tmp/d.avi");
  EXPECT_EQ(dialog.BufferSize, 1024u);
  EXPECT_FALSE(dialog.Options & ofnAllowMultiSelect);
}

TEST_F(FileDialogs, CancelLeavesTheChoiceAsItWas) {
  TFileOpenDialog open;
  open.MultiSelect = true;
  open.FileName = "/old.avi";
  open.Files = {"/old.avi"};
  Answer = std::nullopt;
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.FileName, "/old.avi");
  EXPECT_EQ(open.Files, std::vector<std::string>{"/old.avi"});

  TFileSaveDialog save;
  save.FileName = "/old.rwp";
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(save.FileName, "/old.rwp");
}

TEST_F(FileDialogs, SaveDialogsWithAndWithoutTheOverwritePrompt) {
  TFileSaveDialog project;
  project.Filter = "Project File|*.rwp";
  project.DefaultExt = "rwp";
  project.Title = "Select the project file name";
  Answer = QStringList{"/tmp/p.rwp"};
  ASSERT_TRUE(project.Execute());
  EXPECT_EQ(Accept, QFileDialog::AcceptSave);
  EXPECT_EQ(Title, "Select the project file name");
  EXPECT_EQ(Suffix, "rwp");
  EXPECT_TRUE(ConfirmOverwrite);
  EXPECT_EQ(project.FileName, "/tmp/p.rwp");

  TFileSaveDialog output;
  output.Options &= ~ofnOverwritePrompt;
  ASSERT_TRUE(output.Execute());
  EXPECT_FALSE(ConfirmOverwrite);
}

}  // namespace
}  // namespace rw
