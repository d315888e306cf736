#pragma once
// The Join Files command and the dispatcher that turns a confirmed join into one run of one
// joiner: the stream-copy joiner when "Join without recompression" is checked, else the
// recompressing joiner with its own progress dialog.
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace rw {

class TDSVideoJoiner;
class TFileList;
class TfrmJoin;
class TfrmMain;
class TfrmProgress;

class TJoinWrapper {
public:
  TJoinWrapper(QWidget* Owner, const TFileList& List, const TfrmJoin& Options);
  ~TJoinWrapper();
  TJoinWrapper(const TJoinWrapper&) = delete;
  TJoinWrapper& operator=(const TJoinWrapper&) = delete;

  // Runs the chosen joiner; its errors pass through unchanged, a cancel returns normally.
  void Run();

private:
  void JoinAVIFiles();
  void JoinWithRecompression();
  void FillFileList(std::vector<std::string>& Files) const;
  void JoinProgress(TDSVideoJoiner& Sender, bool& Cancel, double Percent);

  QWidget* FOwner;
  const TFileList& FList;
  const TfrmJoin& FOptions;
  std::unique_ptr<TfrmProgress> FProgress;
};

// Runs one join with the dialog's settings.
void JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options);

// The Join Files command: the three facts from the rows, the join options, the join; a failure
// is shown as "Join fails: " + message. The list is never changed by a join.
void JoinFilesCommand(QWidget* Owner, const TFileList& List, TfrmJoin& Options);

// Makes the window's Join Files action run the command with Options, which must outlive the
// window's use of it.
void InstallJoinFiles(TfrmMain& Main, TfrmJoin& Options);

}  // namespace rw
