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
  TfrmJoinDone(QWidget* Owner, const TJoinOutputFacts& Output);

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

}  // namespace rw
