#include "join/JoinProgress.h"

#include <chrono>
#include <cmath>

namespace rw {

void TProgressTracker::Show() {
  FCancelled = false;
  FPosition = 0;
  FPercent = 0;
  FStartTime = 0;
  FStartPercent = 0;
  ShowView();
}

void TProgressTracker::Hide() { HideView(); }

bool TProgressTracker::IsCancelled() {
  ProcessMessages();
  return FCancelled;
}

void TProgressTracker::SetProgress(double Percent) {
  FPercent = Percent;
  // Truncation toward zero; out-of-range values are clamped so the cast stays defined.
  double clamped = std::isnan(Percent) ? 0.0 : std::fmax(-1e9, std::fmin(1e9, Percent));
  int p = static_cast<int>(clamped);
  if (p != FPosition) {
    FPosition = p;
    ShowBar(p);
  }
  if (FShowTimeLeft) UpdateTimeLeft();
}

void TProgressTracker::SetShowTimeLeft(bool Value) {
  FShowTimeLeft = Value;
  if (!Value) HideTimeLabel();
}

std::string TProgressTracker::TimeLeftText(long long Remaining) {
  if (Remaining < 60) return std::to_string(Remaining) + " seconds remaining";
  if (Remaining <= 10799) return std::to_string(Remaining / 60) + " minutes remaining";
  return std::to_string(Remaining / 3600) + " hours remaining";
}

void TProgressTracker::UpdateTimeLeft() {
  double now = Now();
  if (FStartTime == 0) FStartTime = now;
  if (FStartPercent == 0) FStartPercent = FPercent;
  double elapsed = now - FStartTime;
  if (elapsed <= 3.0) return;
  if (FStartPercent == FPercent) return;
  double estimate = (100.0 - FPercent) / ((FPercent - FStartPercent) / elapsed);
  if (!std::isfinite(estimate)) return;
  double remaining = std::nearbyint(estimate);  // halves to even under the default rounding
  if (remaining < 0) {
    SetShowTimeLeft(false);
    return;
  }
  FTimeText = TimeLeftText(static_cast<long long>(std::fmin(remaining, 1e15)));
  ShowTimeText(FTimeText);
  FStartTime = now;
  FStartPercent = FPercent;
}

double TProgressTracker::Now() {
  using namespace std::chrono;
  // Offset by one second so the first reading is never the "not started" value 0.
  static const auto origin = steady_clock::now() - seconds(1);
  return duration<double>(steady_clock::now() - origin).count();
}

}  // namespace rw
