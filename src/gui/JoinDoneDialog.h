#pragma once
// The message that a join is done: the output's full name, duration and size, with buttons
// that open the output's folder in the file manager and play the output, as the desktop does.
#include <QDialog>

#include "core/JoinOutput.h"
#include "gui/CompressorOptionsDialog.h"

class QLabel;
class QPushButton;

namespace rw {

class TfrmJoinDone : public QDialog {
  Q_OBJECT
public:
  // Text: the message; by default the done message of Output.
  TfrmJoinDone(QWidget* Owner, const TJoinOutputFacts& Output, const std::string& Text = {});

  QLabel* lblText;
  QPushButton* btnOpenFolder;
  QPushButton* btnPlay;
  QPushButton* btnClose;

private:
  void btnOpenFolderClick();
  void btnPlayClick();

  std::string FFileName;
};

// Shows the dialog modally; tests replace it to answer for the user.
TModalRunner& JoinDoneRunner();

// Tells that the join into OutFileName is done.
void ShowJoinDone(QWidget* Owner, const std::string& OutFileName);
// Tells that the user stopped the join into OutFileName, and what of it is kept (Kept: the
// output was written; Total: the sources' duration in seconds).
void ShowJoinStopped(QWidget* Owner, const std::string& OutFileName, bool Kept, double Total);

}  // namespace rw
