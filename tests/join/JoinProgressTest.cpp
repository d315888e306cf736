#include <gtest/gtest.h>

#include "join/JoinProgress.h"

namespace rw {
namespace {

// A progress dialog whose clock the test moves by hand.
class TFakeProgress : public TProgressTracker {
public:
  double Clock = 100.0;
  int Bar = -1;
  bool TimeHidden = false;
  int Polls = 0;

protected:
  void ShowBar(int Position) override { Bar = Position; }
  void HideTimeLabel() override { TimeHidden = true; }
  void ProcessMessages() override { ++Polls; }
  double Now() override { return Clock; }
};

TEST(Progress, BarMovesOnlyWithTheIntegerPart) {
  TFakeProgress p;
  p.Show();
  p.SetProgress(99.9);
  EXPECT_EQ(p.Bar, 99);
  p.Bar = -1;
  p.SetProgress(99.95);
  EXPECT_EQ(p.Bar, -1);
  p.SetProgress(100);
  EXPECT_EQ(p.Bar, 100);
}

TEST(Progress, NoEstimateDuringTheFirstThreeSeconds) {
  TFakeProgress p;
  p.Show();
  p.SetProgress(1);
  p.Clock += 3.0;
  p.SetProgress(50);
  EXPECT_EQ(p.TimeText(), "");
  p.Clock += 0.5;
  p.SetProgress(60);
  // 59 points in 3.5 s: 40 left take about 2.37 s.
  EXPECT_EQ(p.TimeText(), "2 seconds remaining");
}

TEST(Progress, EstimateTextsAtTheirBoundaries) {
  EXPECT_EQ(TProgressTracker::TimeLeftText(59), "59 seconds remaining");
  EXPECT_EQ(TProgressTracker::TimeLeftText(60), "1 minutes remaining");
  EXPECT_EQ(TProgressTracker::TimeLeftText(10799), "179 minutes remaining");
  EXPECT_EQ(TProgressTracker::TimeLeftText(10800), "3 hours remaining");
}

TEST(Progress, UnchangedPercentKeepsTextAndFallingPercentHidesIt) {
  TFakeProgress p;
  p.Show();
  p.SetProgress(10);
  p.Clock += 4;
  p.SetProgress(20);
  const std::string first = p.TimeText();
  EXPECT_FALSE(first.empty());
  p.Clock += 10;
  p.SetProgress(20);
  EXPECT_EQ(p.TimeText(), first);
  p.Clock += 4;
  p.SetProgress(5);
  EXPECT_TRUE(p.TimeHidden);
  EXPECT_FALSE(p.ShowTimeLeft());
  p.Clock += 4;
  p.SetProgress(50);
  EXPECT_EQ(p.TimeText(), first);
}

TEST(Progress, CancelIsReadAfterPendingMessagesAndClearedByShow) {
  TFakeProgress p;
  p.Show();
  EXPECT_FALSE(p.IsCancelled());
  p.Cancel();
  EXPECT_TRUE(p.IsCancelled());
  EXPECT_EQ(p.Polls, 2);
  p.Show();
  EXPECT_FALSE(p.IsCancelled());
}

}  // namespace
}  // namespace rw
