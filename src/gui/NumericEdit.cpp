#include "gui/NumericEdit.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <charconv>
#include <string>

namespace rw {

namespace {
constexpr int ScrollBarWidth = 16;
// The scroll bar sits in the middle of a three-step range so that both arrows always act.
constexpr int ScrollRest = 1;
}  // namespace

TNaturalEdit::TNaturalEdit(QWidget* Parent)
    : QLineEdit(Parent), FScrollBar(new QScrollBar(Qt::Vertical, this)) {
  setText("0");
  setFixedHeight(20);
  FScrollBar->setRange(0, 2 * ScrollRest);
  FScrollBar->setValue(ScrollRest);
  FScrollBar->setFocusPolicy(Qt::NoFocus);
  FScrollBar->setCursor(Qt::ArrowCursor);
  connect(FScrollBar, &QScrollBar::actionTriggered, this, &TNaturalEdit::ScrollAction);
  setTextMargins(0, 0, ScrollBarWidth, 0);
}

int TNaturalEdit::TextNumber() const {
  const std::string s = text().toStdString();
  const char* first = s.data();
  const char* last = s.data() + s.size();
  while (first < last && (*first == ' ' || *first == '\t')) ++first;
  if (first < last && *first == '+') ++first;
  int v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last || first == last) return 0;
  return v;
}

int TNaturalEdit::Value() const {
  int v = TextNumber();
  if (v < FMinValue) v = FMinValue;
  if (v > FMaxValue) v = FMaxValue;
  return v;
}

void TNaturalEdit::SetValue(int AValue) { setText(QString::number(AValue)); }

void TNaturalEdit::SetMinValue(int AValue) {
  FMinValue = AValue;
  if (TextNumber() < AValue) SetValue(AValue);
}

void TNaturalEdit::SetMaxValue(int AValue) {
  FMaxValue = AValue;
  if (TextNumber() > AValue) SetValue(AValue);
}

bool TNaturalEdit::StepUp() {
  int v = Value();
  if (v >= FMaxValue) return false;
  SetValue(v + 1);
  return true;
}

bool TNaturalEdit::StepDown() {
  int v = Value();
  if (v <= FMinValue) return false;
  SetValue(v - 1);
  return true;
}

void TNaturalEdit::keyPressEvent(QKeyEvent* Event) {
  const int caret = cursorPosition();
  const int key = Event->key();
  if ((key == Qt::Key_Up && StepUp()) || (key == Qt::Key_Down && StepDown())) {
    if (cursorPosition() != caret) setCursorPosition(caret);
    Event->accept();
    return;
  }
  // Select-all, undo and redo work as in every edit field.
  if (Event->matches(QKeySequence::SelectAll) || Event->matches(QKeySequence::Undo) ||
      Event->matches(QKeySequence::Redo)) {
    QLineEdit::keyPressEvent(Event);
    return;
  }
  // Only digits and backspace are typed; keys that carry no character (caret movement,
  // Delete) and the dialog keys keep their usual meaning. Every other character, the
  // clipboard shortcuts among them, is dropped.
  const QString t = Event->text();
  const bool typed = !t.isEmpty() && key != Qt::Key_Delete && key != Qt::Key_Return &&
                     key != Qt::Key_Enter && key != Qt::Key_Escape && key != Qt::Key_Tab &&
                     key != Qt::Key_Backtab;
  if (typed && key != Qt::Key_Backspace) {
    const QChar c = t.at(0);
    if (t.size() != 1 || c < QLatin1Char('0') || c > QLatin1Char('9')) {
      Event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(Event);
  if (cursorPosition() != caret && (key == Qt::Key_Up || key == Qt::Key_Down))
    setCursorPosition(caret);
}

void TNaturalEdit::ScrollAction(int Action) {
  const int caret = cursorPosition();
  if (Action == QAbstractSlider::SliderSingleStepSub)
    StepUp();
  else if (Action == QAbstractSlider::SliderSingleStepAdd)
    StepDown();
  // The bar never scrolls anything: it only steps the number.
  FScrollBar->setSliderPosition(ScrollRest);
  if (cursorPosition() != caret) setCursorPosition(caret);
}

void TNaturalEdit::resizeEvent(QResizeEvent* Event) {
  QLineEdit::resizeEvent(Event);
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  FScrollBar->setGeometry(width() - ScrollBarWidth - frame, frame, ScrollBarWidth,
                          height() - 2 * frame);
}

}  // namespace rw
