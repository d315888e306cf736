#pragma once
// The progress dialog every join shows: a message, a bar from 0 to 100, the time-remaining
// estimate and Cancel. While shown, the program's other top-level windows are disabled; they
// are enabled again when it hides (also by a close request or its destruction).
#include <QDialog>
#include <QPointer>
#include <vector>

#include "join/JoinProgress.h"

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace rw {

class TfrmProgress : public QDialog, public TProgressTracker {
  Q_OBJECT

public:
  explicit TfrmProgress(QWidget* Owner);
  ~TfrmProgress() override;

  void SetCaption(const std::string& Caption) override;
  void SetText(const std::string& Text) override;

  QFrame* Panel1;
  QLabel* lblText;
  QProgressBar* ProgressBar;
  QLabel* lblTime;
  QPushButton* btnCancel;
  QPushButton* btnMinimize;

protected:
  void ShowBar(int Position) override;
  void ShowTimeText(const std::string& Text) override;
  void HideTimeLabel() override;
  void ShowView() override;
  void HideView() override;
  void ProcessMessages() override;

  void showEvent(QShowEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  // Escape asks to stop like Cancel; the dialog stays until its joiner ends.
  void reject() override;

private:
  void FormShow();
  void FormHide();
  void btnCancelClick();

  std::vector<QPointer<QWidget>> FTaskWindows;
};

}  // namespace rw
