#include "engine/MediaTimeline.h"

#include <algorithm>
#include <cmath>

namespace rw {

namespace {
// Longest time the timeline takes: about 29 years.
constexpr double MaxSeconds = 1e9;

bool ValidSeconds(double Seconds) { return std::isfinite(Seconds) && Seconds >= 0 && Seconds < MaxSeconds; }
}  // namespace

int64_t SecondsToUnits(double Seconds) { return std::llround(Seconds * UNITS); }

TMediaResult TTimelineSource::SetStartStop2(double Start, double Stop) {
  if (!ValidSeconds(Start) || !ValidSeconds(Stop) || Stop < Start) return ME_INVALIDARG;
  FStart = SecondsToUnits(Start);
  FStop = SecondsToUnits(Stop);
  return ME_OK;
}

TMediaResult TTimelineSource::SetMediaName(const std::string& Name) {
  if (Name.empty()) return ME_INVALIDARG;
  FMediaName = Name;
  return ME_OK;
}

TMediaResult TTimelineSource::SetMediaTimes2(double Start, double Stop) {
  if (!ValidSeconds(Start) || !ValidSeconds(Stop) || Stop < Start) return ME_INVALIDARG;
  FMediaStart = SecondsToUnits(Start);
  FMediaStop = SecondsToUnits(Stop);
  return ME_OK;
}

TMediaResult TTimelineSource::SetStretchMode(int32_t Mode) {
  if (Mode < RESIZEF_STRETCH || Mode > RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX) return ME_INVALIDARG;
  FStretchMode = Mode;
  return ME_OK;
}

TMediaResult TTimelineTrack::SrcAdd(const TTimelineSource& Source) {
  if (Source.MediaName().empty()) return ME_INVALIDARG;
  auto at = std::upper_bound(FSources.begin(), FSources.end(), Source.Start(),
                             [](int64_t T, const TTimelineSource& S) { return T < S.Start(); });
  if (at != FSources.begin() && std::prev(at)->Stop() > Source.Start()) return ME_INVALIDARG;
  if (at != FSources.end() && Source.Stop() > at->Start()) return ME_INVALIDARG;
  FSources.insert(at, Source);
  return ME_OK;
}

TMediaResult TTimelineGroup::SetOutputFPS(double FPS) {
  if (!std::isfinite(FPS) || FPS <= 0 || FPS > 1000) return ME_INVALIDARG;
  FOutputFPS = FPS;
  return ME_OK;
}

TMediaResult TTimelineGroup::SetPreviewMode(bool Preview) {
  FPreviewMode = Preview;
  return ME_OK;
}

TMediaResult TTimelineGroup::VTrackInsBefore(int32_t /*Priority*/, TTimelineTrack*& Track) {
  if (FTrack) return ME_UNEXPECTED;
  FTrack = std::make_unique<TTimelineTrack>();
  Track = FTrack.get();
  return ME_OK;
}

TMediaResult TMediaTimeline::AddGroup(const TMediaType& Type, TTimelineGroup*& Group) {
  Group = nullptr;
  if (Type.MajorType == TMediaMajorType::mtVideo) {
    if (Type.SubType != TMediaSubType::mstRGB24 || Type.Width <= 0 || Type.Height <= 0 ||
        Type.Width > 16384 || Type.Height > 16384)
      return ME_INVALIDARG;
  } else if (Type.MajorType == TMediaMajorType::mtAudio) {
    if (Type.SubType != TMediaSubType::mstPCM || Type.BitsPerSample != 16 || Type.Channels < 1 ||
        Type.Channels > 8 || Type.SamplesPerSec < 1000 || Type.SamplesPerSec > 384000)
      return ME_INVALIDARG;
  } else {
    return ME_INVALIDARG;
  }
  FGroups.push_back(std::make_unique<TTimelineGroup>(Type));
  Group = FGroups.back().get();
  return ME_OK;
}

TMediaResult TMediaTimeline::GetGroup(int32_t Index, const TTimelineGroup*& Group) const {
  Group = nullptr;
  if (Index < 0 || Index >= GroupCount()) return ME_INVALIDARG;
  Group = FGroups[static_cast<size_t>(Index)].get();
  return ME_OK;
}

TMediaResult TMediaTimeline::GetDuration(int64_t& Duration) const {
  Duration = 0;
  for (const auto& g : FGroups)
    if (g->Track()) Duration = std::max(Duration, g->Track()->Stop());
  return ME_OK;
}

TMediaResult TMediaTimeline::ClearAllGroups() {
  FGroups.clear();
  return ME_OK;
}

}  // namespace rw
