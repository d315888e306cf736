#pragma once
// TNaturalEdit: a single-line edit for a whole number within a range, with a small vertical
// scroll bar at its side that steps the number. The text is the only state; Value is computed
// from it on every read.
#include <QLineEdit>

class QScrollBar;

namespace rw {

class TNaturalEdit : public QLineEdit {
  Q_OBJECT
public:
  explicit TNaturalEdit(QWidget* Parent = nullptr);

  // The text as a decimal number (0 when it is not one), raised to MinValue, then lowered to
  // MaxValue.
  int Value() const;
  // Shows the number as it is, without clamping.
  void SetValue(int AValue);

  int MinValue() const { return FMinValue; }
  int MaxValue() const { return FMaxValue; }
  void SetMinValue(int AValue);
  void SetMaxValue(int AValue);

  bool StepUp();
  bool StepDown();

  QScrollBar* ScrollBar() const { return FScrollBar; }

protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  // The number in the text without the range applied.
  int TextNumber() const;
  void ScrollAction(int Action);

  int FMinValue = 0;
  int FMaxValue = 2147483647;
  QScrollBar* FScrollBar;
};

}  // namespace rw
