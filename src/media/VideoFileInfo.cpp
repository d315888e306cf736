// The media description of a source file, the container signature test and the comparisons
// against the first file of the list.
#include "media/VideoFileInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/DecoderSetup.h"
#include "formats/VideoCodecs.h"
#include "formats/WaveFormat.h"
#include "media/AVIRead.h"
#include "platform/Files.h"

namespace rw {

namespace {

constexpr size_t SignatureSize = 20;

// WAVE_FORMAT_EXTENSIBLE's sub-format GUID.
constexpr size_t WaveSubFormatSize = 16;

TVideoFileType DetectMPEG(const uint8_t* b) {
  if (b[1] != 0x00 || b[2] != 0x01) return TVideoFileType::vftUnknown;
  if (b[3] == 0xBA)
    return (b[4] & 0xC0) != 0 ? TVideoFileType::vftMPEG2System : TVideoFileType::vftMPEG1System;
  if (b[3] == 0xB3) return TVideoFileType::vftMPEG1Video;
  return TVideoFileType::vftUnknown;
}

TVideoFileType DetectSignature(const uint8_t* b) {
  static const uint8_t ASFGuid[] = {0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF};
  switch (b[0]) {
    case 0x00:
      return DetectMPEG(b);
    case 0x30:
      return std::memcmp(b + 1, ASFGuid, sizeof ASFGuid) == 0 ? TVideoFileType::vftASF
                                                              : TVideoFileType::vftUnknown;
    case 0x52:
      return std::memcmp(b + 1, "IFF", 3) == 0 && std::memcmp(b + 8, "AVI", 3) == 0
                 ? TVideoFileType::vftAVI
                 : TVideoFileType::vftUnknown;
    default:
      return TVideoFileType::vftUnknown;
  }
}

const char* TypeName(TVideoFileType Type) {
  switch (Type) {
    case TVideoFileType::vftAVI:
      return "AVI";
    case TVideoFileType::vftMPEG1Video:
    case TVideoFileType::vftMPEG1System:
      return "MPEG1";
    case TVideoFileType::vftMPEG2System:
      return "MPEG2";
    case TVideoFileType::vftASF:
      return "WMV";
    case TVideoFileType::vftRealMedia:
      return "RealMedia";
    case TVideoFileType::vftUnknown:
      break;
  }
  return "DirectShow";
}

}  // namespace

TVideoFileType DetectFileType(const std::string& FileName) {
  uint8_t b[SignatureSize];
  size_t got = 0;
  {
    TFile f = TFile::OpenRead(FileName);
    try {
      got = f.ReadAt(b, sizeof b, 0);
    } catch (const EOSError&) {
      got = 0;  // a read error names the file as unknown
    }
  }
  if (got < sizeof b) return TVideoFileType::vftUnknown;
  TVideoFileType t = DetectSignature(b);
  if (t == TVideoFileType::vftUnknown && std::memcmp(b + 1, "RMF", 3) == 0)
    t = TVideoFileType::vftRealMedia;
  return t;
}

std::string GetVideoFileTypeName(const std::string& FileName) {
  return TypeName(DetectFileType(FileName));
}

namespace {

// How many pictures the file holds. The header's count is taken as it stands unless the file
// cannot hold that many (each picture has at least a chunk header in the file, and in a file
// with only a legacy index an entry of it), or unless there is no index to tell: a file cut
// short keeps the count of the whole, and a damaged or hostile header may claim 2^32 - 1
// pictures for a 3 s clip. Then the index is read, or the data walked, as a join would.
uint64_t PictureCount(const TAVIFileReader& Reader, const std::string& FileName) {
  const TAVIStreamHeader& vh = Reader.VideoStream()->Header;
  if (vh.SampleSize != 0) return vh.Length;
  uint64_t room = static_cast<uint64_t>(Reader.GetFileSize()) / riff::ChunkHeaderSize;
  if (!Reader.IsOpenDML() && Reader.HasIndex())
    room = std::min<uint64_t>(room, Reader.LegacyIndexEntries());
  if (Reader.HasIndex() && vh.Length <= room) return vh.Length;
  try {
    TAVIFileReader full;
    full.Open(FileName, false);
    if (full.VideoStream()) return full.VideoStream()->ChunkCount();
  } catch (const EAVIReadError&) {
    // A file that cannot be read in full is counted by its header.
  }
  return vh.Length;
}

// The set-up a decoder needs for the pictures, from the format and the first picture; read
// only for the codec families whose set-up is known.
std::string VideoDecoderSetup(const std::string& FileName, const TAVIStream& Video) {
  const uint32_t compression = Video.FormatDWord(riff::BmpCompressionOffset);
  const TVideoCodec codec = VideoCodecOf(compression);
  if (codec != TVideoCodec::Mpeg4Visual && codec != TVideoCodec::H264) return "";
  const auto* extra = reinterpret_cast<const uint8_t*>(Video.Format.data());
  const size_t extraSize =
      Video.Format.size() > riff::BmpHeaderSize ? Video.Format.size() - riff::BmpHeaderSize : 0;
  extra = extraSize ? extra + riff::BmpHeaderSize : nullptr;
  std::vector<uint8_t> picture;
  try {
    TAVIFileReader full;
    full.Open(FileName, false);
    const TAVIStream* video = full.VideoStream();
    TAVIIndexEntry entry;
    // The first picture with bytes; a first picture larger than a frame's worth of the file's
    // bytes is not read.
    for (uint32_t i = 0; video && i < video->ChunkCount() && picture.empty(); ++i) {
      if (!video->GetIndexEntry(i, entry) || entry.Size == 0) continue;
      if (entry.FilePos < 0 || entry.Size > full.GetFileSize() - entry.FilePos) break;
      picture.resize(entry.Size);
      if (!video->ReadChunk(i, picture.data())) picture.clear();
      break;
    }
  } catch (const EAVIReadError&) {
    picture.clear();
  }
  return DecoderSetup(compression, extra, extraSize, picture.empty() ? nullptr : picture.data(),
                      picture.size());
}

// The bytes after the wave format (after the extensible format's own), as many as it counts.
std::string SoundCodecSetup(const std::string& Format) {
  if (Format.size() < riff::WaveExtraOffset) return "";
  const size_t end = std::min<size_t>(
      riff::WaveExtraOffset + GetLE16(Format.data() + riff::WaveExtraSizeOffset), Format.size());
  const size_t at = GetLE16(Format.data()) == riff::waveFormatExtensible
                        ? riff::WaveExtraOffset + riff::WaveExtensibleExtraSize
                        : riff::WaveExtraOffset;
  return end > at ? Format.substr(at, end - at) : "";
}

// The layer of MPEG audio (0 for other sound).
int MpegLayer(const TVideoFileInfo& Info) {
  if (Info.AudioCodecTag == riff::waveMpegLayer3) return 3;
  if (Info.AudioCodecTag != riff::waveMpeg) return 0;
  // The layer field after the wave format: 1, 2 or 4 for layers I, II and III.
  const std::string& s = Info.AudioCodecSetup;
  const uint16_t layer = s.size() >= 2 ? GetLE16(s.data()) : 2;
  return layer == 1 ? 1 : layer == 4 ? 3 : 2;
}

}  // namespace

std::unique_ptr<TVideoFileInfo> CreateVideoFileInfo(const std::string& FileName) {
  auto info = std::make_unique<TVideoFileInfo>();
  info->FileName = FileName;
  info->TypeName = GetVideoFileTypeName(FileName);

  TAVIFileReader reader;
  reader.Open(FileName, true);
  info->FileSize = reader.GetFileSize();
  info->Identity = reader.File().Identity();
  info->HasIndex = reader.HasIndex();

  const TAVIStream* video = reader.VideoStream();
  if (!video) throw EAVIReadError("The file has no video stream");
  const TAVIStreamHeader& vh = video->Header;
  if (vh.Rate == 0 || vh.Scale == 0) throw EAVIReadError("The video frame rate is not defined");
  info->VideoFourCC = vh.Handler;
  info->Width = static_cast<uint16_t>(video->Width);
  info->Height = static_cast<uint16_t>(video->Height);
  info->FrameRate = static_cast<double>(vh.Rate) / vh.Scale;
  info->VideoCompression = video->FormatDWord(riff::BmpCompressionOffset);
  info->VideoDecoderSetup = VideoDecoderSetup(FileName, *video);

  if (const TAVIStream* audio = reader.AudioStream()) {
    info->HasAudio = true;
    info->AudioFormatTag = audio->FormatWord(riff::WaveFormatTagOffset);
    info->AudioCodecTag = WaveFormatTag(audio->Format);
    info->AudioCodecSetup = SoundCodecSetup(audio->Format);
    info->AudioChannels = static_cast<uint8_t>(audio->FormatWord(riff::WaveChannelsOffset));
    info->AudioSampleRate = audio->FormatDWord(riff::WaveSamplesPerSecOffset);
    info->AudioBitsPerSample = audio->FormatWord(riff::WaveBitsPerSampleOffset);
    info->AudioBlockAlign = audio->FormatWord(riff::WaveBlockAlignOffset);
    // The reader has already given fast sample-based sound its block size as SampleSize.
    const TAVIStreamHeader& ah = audio->Header;
    info->AudioSampleSize = ah.SampleSize;
    info->AudioRate = ah.Scale ? static_cast<double>(ah.Rate) / ah.Scale : 0;
    if (info->AudioFormatTag == riff::waveFormatExtensible &&
        audio->FormatWord(riff::WaveExtraSizeOffset) >= riff::WaveExtensibleExtraSize &&
        audio->Format.size() >= riff::waveSubFormatOffset + WaveSubFormatSize)
      info->AudioSubFormat = audio->Format.substr(riff::waveSubFormatOffset, WaveSubFormatSize);
  }

  // The row's is rounded to the nearest whole second, halves to the even neighbour.
  const double pictures = static_cast<double>(PictureCount(reader, FileName));
  info->ExactDuration = PlausibleFrameRate(info->FrameRate)
                            ? static_cast<double>(vh.Scale) * pictures / vh.Rate
                            : pictures / StandInFrameRate;
  info->Duration = std::nearbyint(info->ExactDuration);
  return info;
}

bool SameVideoFormat(TVideoFileInfo& A, const TVideoFileInfo& B) {
  A.VideoFormatDiffers = A.TypeName != B.TypeName || A.VideoFourCC != B.VideoFourCC;
  A.FrameSizeDiffers = A.Width != B.Width || A.Height != B.Height;
  A.FrameRateDiffers = !SameRate(A.FrameRate, B.FrameRate);
  const TVideoCodec codec = VideoCodecOf(A.VideoCompression);
  const bool sameCodec =
      !A.VideoFormatDiffers ||
      (A.TypeName == B.TypeName && codec == VideoCodecOf(B.VideoCompression) &&
       (codec == TVideoCodec::Mpeg4Visual || codec == TVideoCodec::H264) &&
       !A.VideoDecoderSetup.empty() && A.VideoDecoderSetup == B.VideoDecoderSetup);
  return sameCodec && !A.FrameSizeDiffers && !A.FrameRateDiffers;
}

bool SameRate(double A, double B) {
  return std::fabs(A - B) <= 1e-5 * std::max(std::fabs(A), std::fabs(B));
}

std::string RateText(double Rate) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", Rate);
  std::string s = text;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  if (s == "0" && Rate > 0) {
    std::snprintf(text, sizeof text, "%g", Rate);
    s = text;
  }
  return s;
}

std::string RetimedPicturesWarning(const std::string& FileName, double Claimed, uint64_t Pictures,
                                   double Rate) {
  return "The file " + FileName + " claims " + RateText(Claimed) + " frames per second; its " +
         std::to_string(Pictures) + " pictures were joined at " + RateText(Rate) +
         " frames per second";
}

std::string PartlyReadWarning(const std::string& FileName, uint64_t Read, uint64_t Declared) {
  if (Declared <= Read) return {};
  const uint64_t missing = Declared - Read;
  if (missing <= 1 || missing * 100 <= Declared) return {};
  return "Only " + std::to_string(Read) + " of the " + std::to_string(Declared) +
         " frames of the file " + FileName + " could be read";
}

bool SameAudioFormat(const TVideoFileInfo& A, const TVideoFileInfo& B) {
  if (!A.HasAudio || !B.HasAudio) return A.HasAudio == B.HasAudio;
  return A.AudioChannels == B.AudioChannels && A.AudioSampleRate == B.AudioSampleRate &&
         A.AudioBitsPerSample == B.AudioBitsPerSample && A.AudioFormatTag == B.AudioFormatTag &&
         A.AudioBlockAlign == B.AudioBlockAlign && A.AudioSampleSize == B.AudioSampleSize &&
         SameRate(A.AudioRate, B.AudioRate) && A.AudioSubFormat == B.AudioSubFormat &&
         (!IsAacTag(A.AudioCodecTag) || A.AudioCodecSetup == B.AudioCodecSetup);
}

bool JoinableSound(const TVideoFileInfo& A, const TVideoFileInfo& B) {
  if (!A.HasAudio || !B.HasAudio) return A.HasAudio == B.HasAudio;
  if (A.AudioCodecTag != B.AudioCodecTag || A.AudioChannels != B.AudioChannels ||
      A.AudioSampleRate != B.AudioSampleRate)
    return false;
  const int layer = MpegLayer(A);
  if (layer != 0) return layer == MpegLayer(B);
  return SameAudioFormat(A, B);
}

}  // namespace rw
