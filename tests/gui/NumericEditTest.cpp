#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "gui/NumericEdit.h"

namespace rw {
namespace {

TEST(NaturalEdit, ValueReadsTheTextWithinTheRange) {
  TNaturalEdit e;
  EXPECT_EQ(e.text(), "0");
  e.SetMinValue(16);
  EXPECT_EQ(e.text(), "16");  // raising the bound above the text rewrites it
  e.SetMaxValue(4096);
  e.setText("abc");
  EXPECT_EQ(e.Value(), 16);
  e.setText("99999999999");  // too large for 32 bits
  EXPECT_EQ(e.Value(), 16);
  e.setText("5000");
  EXPECT_EQ(e.Value(), 4096);
  EXPECT_EQ(e.text(), "5000");
  e.SetValue(9000);  // written unclamped
  EXPECT_EQ(e.text(), "9000");
  EXPECT_EQ(e.Value(), 4096);
  e.setText("320");
  e.SetMaxValue(100);
  EXPECT_EQ(e.text(), "100");
  e.SetMinValue(200);
  e.SetMaxValue(150);  // MaxValue wins when the bounds cross
  EXPECT_EQ(e.Value(), 150);
}

TEST(NaturalEdit, ArrowKeysStepWithinTheRangeAndKeepTheCaret) {
  TNaturalEdit e;
  e.SetMaxValue(321);
  e.setText("320");
  e.setCursorPosition(1);
  QSignalSpy changes(&e, &QLineEdit::textChanged);
  QTest::keyClick(&e, Qt::Key_Up);
  EXPECT_EQ(e.text(), "321");
  EXPECT_EQ(e.cursorPosition(), 1);
  QTest::keyClick(&e, Qt::Key_Up);  // at the maximum: nothing changes
  EXPECT_EQ(e.text(), "321");
  EXPECT_EQ(changes.count(), 1);
  e.setText("0");
  QTest::keyClick(&e, Qt::Key_Down);  // at the minimum
  EXPECT_EQ(e.text(), "0");
}

TEST(NaturalEdit, ScrollArrowsStepTheNumberOnly) {
  TNaturalEdit e;
  e.setText("320");
  e.setCursorPosition(2);
  e.ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(e.text(), "321");
  EXPECT_EQ(e.cursorPosition(), 2);
  e.ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  e.ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(e.text(), "319");
  e.ScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(e.text(), "319");
}

TEST(NaturalEdit, OnlyDigitsAndBackspaceAreTyped) {
  TNaturalEdit e;
  e.setText("");
  QTest::keyClicks(&e, "1-a 2");
  EXPECT_EQ(e.text(), "12");
  QTest::keyClick(&e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), "1");
  e.selectAll();
  QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);  // clipboard shortcuts are dropped
  EXPECT_EQ(e.text(), "1");
  // Select-all and undo work as in any edit field.
  e.setText("120");
  QTest::keyClick(&e, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&e, "7");
  EXPECT_EQ(e.text(), "7");
  QTest::keyClick(&e, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "120");
}

}  // namespace
}  // namespace rw
