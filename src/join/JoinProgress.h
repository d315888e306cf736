#pragma once
// The progress contract every join follows. A joiner sees only IProgress: it reports a
// percentage after each unit of work with SetProgress, then asks IsCancelled (which lets
// pending window messages be handled); when that answers true it finishes its output normally
// and returns. The join run sees the whole view: it sets the caption and the text, shows the
// view once before the joiner starts and hides it once when the joiner ends.
//
// TProgressTracker holds the view's state and the time-remaining estimate without any toolkit;
// the Qt dialog (TfrmProgress), the terminal progress of the command line and the tests derive
// from it and supply the few view operations.
#include <string>

namespace rw {

class IProgress {
public:
  virtual ~IProgress() = default;
  virtual void SetProgress(double Percent) = 0;
  virtual bool IsCancelled() = 0;
};

class IProgressView : public IProgress {
public:
  virtual void SetCaption(const std::string& Caption) = 0;
  virtual void SetText(const std::string& Text) = 0;
  // Shows the view modeless: clears the cancel flag and the estimate.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetShowTimeLeft(bool Value) = 0;
};

class TProgressTracker : public IProgressView {
public:
  TProgressTracker() = default;

  void Show() override;
  void Hide() override;
  void SetProgress(double Percent) override;
  bool IsCancelled() override;
  void SetShowTimeLeft(bool Value) override;
  void SetCaption(const std::string& Caption) override { FCaption = Caption; }
  void SetText(const std::string& Text) override { FText = Text; }

  // The Cancel button and a close request.
  void Cancel() { FCancelled = true; }

  // Text for an estimate of Remaining whole seconds ("59 seconds remaining", ...).
  static std::string TimeLeftText(long long Remaining);

  bool Cancelled() const { return FCancelled; }
  int Position() const { return FPosition; }
  double Percent() const { return FPercent; }
  bool ShowTimeLeft() const { return FShowTimeLeft; }
  const std::string& Caption() const { return FCaption; }
  const std::string& Text() const { return FText; }
  const std::string& TimeText() const { return FTimeText; }

protected:
  void UpdateTimeLeft();

  // View operations.
  virtual void ShowBar(int /*Position*/) {}
  virtual void ShowTimeText(const std::string& /*Text*/) {}
  virtual void HideTimeLabel() {}
  virtual void ShowView() {}
  virtual void HideView() {}
  virtual void ProcessMessages() {}
  // Current time in seconds; any fixed origin after 0.
  virtual double Now();

private:
  std::string FCaption = "Processing...";
  std::string FText;
  std::string FTimeText;
  bool FCancelled = false;
  int FPosition = 0;
  double FPercent = 0;
  bool FShowTimeLeft = true;
  double FStartTime = 0;
  double FStartPercent = 0;
};

}  // namespace rw
