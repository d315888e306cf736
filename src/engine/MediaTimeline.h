#pragma once
// The editing timeline of the media engine: groups of a fixed output format (one video group,
// one audio group), one track per group, and sources placed on the track with start and stop
// times. Times are in 100-nanosecond units inside, seconds at the setters that say so.
// The timeline is plain data; the render engine reads it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/MediaResult.h"

namespace rw {

constexpr int64_t UNITS = 10000000;  // 100-nanosecond units per second

enum class TMediaMajorType { mtNone, mtVideo, mtAudio };
enum class TMediaSubType { mstNone, mstRGB24, mstPCM };

// How a video source of another frame size is fitted into the group's frame.
constexpr int32_t RESIZEF_STRETCH = 0;                          // scale to the frame
constexpr int32_t RESIZEF_CROP = 1;                             // no scaling, centred
constexpr int32_t RESIZEF_PRESERVEASPECTRATIO = 2;              // fit, black bars
constexpr int32_t RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX = 3;  // cover, cut the excess

// Output format of a group: uncompressed video frames or PCM sound.
struct TMediaType {
  TMediaMajorType MajorType = TMediaMajorType::mtNone;
  TMediaSubType SubType = TMediaSubType::mstNone;
  bool FixedSizeSamples = false;
  bool TemporalCompression = false;
  uint32_t SampleSize = 0;
  // Video (the bitmap header).
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t Planes = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t SizeImage = 0;
  // Sound (the wave format).
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
};

// One source node: a stretch of a media file placed on the timeline.
class TTimelineSource {
public:
  // Timeline position in seconds.
  TMediaResult SetStartStop2(double Start, double Stop);
  TMediaResult SetMediaName(const std::string& Name);
  // The part of the media used, in seconds of the media's own time.
  TMediaResult SetMediaTimes2(double Start, double Stop);
  TMediaResult SetStretchMode(int32_t Mode);

  int64_t Start() const { return FStart; }
  int64_t Stop() const { return FStop; }
  int64_t MediaStart() const { return FMediaStart; }
  int64_t MediaStop() const { return FMediaStop; }
  const std::string& MediaName() const { return FMediaName; }
  int32_t StretchMode() const { return FStretchMode; }

private:
  int64_t FStart = 0;
  int64_t FStop = 0;
  int64_t FMediaStart = 0;
  int64_t FMediaStop = 0;
  std::string FMediaName;
  int32_t FStretchMode = RESIZEF_STRETCH;
};

class TTimelineTrack {
public:
  // Adds a source; sources of one track may not overlap. The track keeps them in time order.
  TMediaResult SrcAdd(const TTimelineSource& Source);
  const std::vector<TTimelineSource>& Sources() const { return FSources; }
  int64_t Stop() const { return FSources.empty() ? 0 : FSources.back().Stop(); }

private:
  std::vector<TTimelineSource> FSources;
};

class TTimelineGroup {
public:
  explicit TTimelineGroup(const TMediaType& Type) : FMediaType(Type) {}
  const TMediaType& MediaType() const { return FMediaType; }
  TMediaResult SetOutputFPS(double FPS);
  double OutputFPS() const { return FOutputFPS; }
  TMediaResult SetPreviewMode(bool Preview);
  // Inserts the group's track (a group holds one); gives access to it.
  TMediaResult VTrackInsBefore(int32_t Priority, TTimelineTrack*& Track);
  const TTimelineTrack* Track() const { return FTrack.get(); }

private:
  TMediaType FMediaType;
  double FOutputFPS = 15.0;
  bool FPreviewMode = true;
  std::unique_ptr<TTimelineTrack> FTrack;
};

class TMediaTimeline {
public:
  // Adds a group of the given output format: a video group needs RGB24 frames of a positive
  // size, an audio group 16-bit PCM. The new group has number GroupCount() - 1.
  TMediaResult AddGroup(const TMediaType& Type, TTimelineGroup*& Group);
  int32_t GroupCount() const { return static_cast<int32_t>(FGroups.size()); }
  TMediaResult GetGroup(int32_t Index, const TTimelineGroup*& Group) const;
  // The latest stop time over every source, in 100-nanosecond units.
  TMediaResult GetDuration(int64_t& Duration) const;
  TMediaResult ClearAllGroups();

private:
  std::vector<std::unique_ptr<TTimelineGroup>> FGroups;
};

int64_t SecondsToUnits(double Seconds);

}  // namespace rw
