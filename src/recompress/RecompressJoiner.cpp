#include "recompress/RecompressJoiner.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "join/OutputCheck.h"
#include "engine/CompressorRegistry.h"
#include "engine/EngineLoader.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "engine/MediaDetector.h"
#include "engine/RenderEngine.h"

namespace rw {

namespace {
constexpr int32_t WaitInterval = 300;  // milliseconds between progress reports
}

bool ResizeMethodOfWord(const std::string& Word, TResizeMethod& Method) {
  for (const TResizeMethodEntry& e : ResizeMethods)
    if (LowerASCII(Word) == e.Word) {
      Method = e.Method;
      return true;
    }
  return false;
}

int32_t StretchModeOf(TResizeMethod Method) {
  switch (Method) {
    case rmStretch:
      return RESIZEF_STRETCH;
    case rmCrop:
      return RESIZEF_PRESERVEASPECTRATIO_NOLETTERBOX;
    case rmLetterbox:
      return RESIZEF_PRESERVEASPECTRATIO;
    case rmNoResize:
      return RESIZEF_CROP;
  }
  return RESIZEF_PRESERVEASPECTRATIO;
}

void CheckDSResult(TMediaResult Result) {
  if (Result == ME_OK) return;
  char code[16];
  std::snprintf(code, sizeof code, "%X", static_cast<uint32_t>(Result));
  std::string message = std::string("DirectShow Error: ") + code;
  // The engine's own words tell a frame size an encoder refuses from a missing encoder.
  const std::string reason = MediaEngineReason(Result);
  if (!reason.empty()) message += ": " + reason;
  throw Exception(message);
}

TMediaInfo GetMediaInfo(const std::string& FileName) {
  TMediaInfo info;
  TMediaDetector det;
  CheckDSResult(det.PutFilename(FileName));
  int32_t count = 0;
  CheckDSResult(det.GetOutputStreams(count));
  for (int32_t i = 0; i < count; ++i) {
    CheckDSResult(det.PutCurrentStream(i));
    double length = 0;
    CheckDSResult(det.GetStreamLength(length));
    TMediaMajorType type = TMediaMajorType::mtNone;
    CheckDSResult(det.GetStreamType(type));
    if (type == TMediaMajorType::mtVideo) info.Length = length;
    if (type == TMediaMajorType::mtAudio) info.HasAudio = true;
  }
  return info;
}

std::string FitFrameSize(const TCompressorFilter* Video, int32_t& Width, int32_t& Height) {
  if (!Video) return "";
  const int32_t w = Width, h = Height;
  std::string why;
  const TMediaResult r = Video->FitFrameSize(Width, Height, why);
  if (r == ME_OK) return "";
  CheckDSResult(r == ME_FALSE ? ME_OK : r);
  return "Note: " + why + ": " + std::to_string(w) + "x" + std::to_string(h) + " becomes " + std::to_string(Width) +
         "x" + std::to_string(Height) + ".";
}

double RenderPercent(int64_t Position, int64_t Duration) {
  if (Duration <= 0) return 0;
  const double percent = 100.0 * static_cast<double>(Position) / static_cast<double>(Duration);
  return std::clamp(percent, 0.0, 100.0);
}

TDSVideoJoiner::TDSVideoJoiner() = default;
TDSVideoJoiner::~TDSVideoJoiner() = default;

void TDSVideoJoiner::InitVideoType() {
  FVideoType = TMediaType{};
  FVideoType.MajorType = TMediaMajorType::mtVideo;
  FVideoType.SubType = TMediaSubType::mstRGB24;
  FVideoType.FixedSizeSamples = true;
  FVideoType.TemporalCompression = false;
  FVideoType.Width = FWidth;
  FVideoType.Height = FHeight;
  FVideoType.Planes = 1;
  FVideoType.BitCount = 24;
  FVideoType.Compression = 0;
  FVideoType.SizeImage = static_cast<uint32_t>(static_cast<int64_t>(FWidth) * FHeight * 3);
  FVideoType.SampleSize = FVideoType.SizeImage;
}

void TDSVideoJoiner::InitAudioType() {
  FAudioType = TMediaType{};
  FAudioType.MajorType = TMediaMajorType::mtAudio;
  FAudioType.SubType = TMediaSubType::mstPCM;
  FAudioType.FixedSizeSamples = true;
  FAudioType.TemporalCompression = false;
  FAudioType.SampleSize = 4;
  FAudioType.FormatTag = 1;
  FAudioType.Channels = 2;
  FAudioType.SamplesPerSec = 44100;
  FAudioType.AvgBytesPerSec = 176400;
  FAudioType.BlockAlign = 4;
  FAudioType.BitsPerSample = 16;
}

TTimelineTrack* TDSVideoJoiner::AddGroup(const TMediaType& Type, bool Video) {
  // Not examined: a group the engine refuses shows as a missing output pin later.
  TTimelineGroup* group = nullptr;
  if (FTimeline->AddGroup(Type, group) != ME_OK) return nullptr;
  if (Video) group->SetOutputFPS(FFrameRate);
  group->SetPreviewMode(false);
  TTimelineTrack* track = nullptr;
  group->VTrackInsBefore(0, track);
  return track;
}

void TDSVideoJoiner::BuildTimeline() {
  InitVideoType();
  InitAudioType();
  FTimeline = std::make_unique<TMediaTimeline>();
  FVideoTrack = AddGroup(FVideoType, true);
  FAudioTrack = AddGroup(FAudioType, false);
  FTimelinePos = 0;
  for (const std::string& name : FFiles) AddSource(name);
}

void TDSVideoJoiner::AddSource(const std::string& FileName) {
  TMediaInfo info;
  try {
    info = GetMediaInfo(FileName);
  } catch (const std::exception& E) {
    // The error names the source it concerns.
    throw Exception(MessageNamingFile(FileName, E.what()));
  }
  const double length = info.Length;
  // A source that would add nothing to the output is a source lost: the join stops, naming it.
  if (!(length > 0)) throw Exception("The file " + FileName + " holds no pictures that can be read");
  TTimelineSource src;
  src.SetStartStop2(FTimelinePos, FTimelinePos + length);
  src.SetMediaName(FileName);
  src.SetMediaTimes2(0, length);
  src.SetStretchMode(StretchModeOf(FResizeMethod));
  if (FVideoTrack) FVideoTrack->SrcAdd(src);
  if (info.HasAudio) {
    TTimelineSource audio;
    audio.SetStartStop2(FTimelinePos, FTimelinePos + length);
    audio.SetMediaName(FileName);
    audio.SetMediaTimes2(0, length);
    if (FAudioTrack) FAudioTrack->SrcAdd(audio);
  }
  FTimelinePos += length;
}

void TDSVideoJoiner::WaitForRender(TRenderEngine& Engine) {
  int64_t duration = 0;
  FTimeline->GetDuration(duration);
  int32_t event = 0;
  while (true) {
    const TMediaResult r = Engine.WaitForCompletion(WaitInterval, event);
    if (r != ME_ABORT) {
      // The render has ended; a wait that itself fails means it never ran.
      CheckDSResult(r);
      break;
    }
    if (!OnProgress) continue;
    bool cancel = false;
    int64_t position = 0;
    Engine.GetCurrentPosition(position);
    OnProgress(*this, cancel, RenderPercent(position, duration));
    if (cancel) return;
  }
  if (event == EC_ERRORABORT) throw Exception(Engine.GetErrorText());
}

void TDSVideoJoiner::CheckCompressors() {
  // Found before the output is touched: a frame size the video compressor cannot hold, and a
  // compressor that cannot take the join's formats or makes what does not decode.
  if (FVideoCompressor) {
    int32_t w = FWidth, h = FHeight;
    std::string why;
    const TMediaResult r = FVideoCompressor->FitFrameSize(w, h, why);
    if (r == ME_FALSE)
      throw Exception("Cannot join into " + std::to_string(FWidth) + "x" + std::to_string(FHeight) + " frames: " + why +
                      " (" + std::to_string(w) + "x" + std::to_string(h) + " would do)");
    CheckDSResult(r);
    CheckDSResult(FVideoCompressor->CheckFormat(FVideoType, FFrameRate));
  }
  if (FAudioCompressor) CheckDSResult(FAudioCompressor->CheckFormat(FAudioType, 0));
}

void TDSVideoJoiner::CheckOutputFile(const std::string& FileName) {
  // Emptying an output that is one of the sources would lose that source.
  CheckJoinOutput(FileName, FFiles);
  // The output is created empty before anything else; it raises the system's failure.
  TFile::Create(FileName).Close();
}

void TDSVideoJoiner::RenderToFile(const std::string& FileName) {
  CheckOutputFile(FileName);
  TRenderEngine engine;
  engine.SetTimelineObject(FTimeline.get());
  engine.ConnectFrontEnd();
  CheckDSResult(engine.SetOutputFileName(FileName));
  TGroupPin pin;
  CheckDSResult(engine.GetGroupOutputPin(0, pin));
  CheckDSResult(engine.RenderStream(pin, FVideoCompressor.get()));
  CheckDSResult(engine.GetGroupOutputPin(1, pin));
  CheckDSResult(engine.RenderStream(pin, FAudioCompressor.get()));
  engine.Run();
  WaitForRender(engine);
  engine.Stop();
  engine.ScrapIt();
}

void TDSVideoJoiner::ReleaseTimeline() {
  FVideoTrack = nullptr;
  FAudioTrack = nullptr;
  if (FTimeline) FTimeline->ClearAllGroups();
  FTimeline.reset();
}

void TDSVideoJoiner::Join() {
  BuildTimeline();
  CheckCompressors();
  RenderToFile(FOutFileName);
  ReleaseTimeline();
}

}  // namespace rw
