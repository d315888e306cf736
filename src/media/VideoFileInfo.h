#pragma once
// The media description of one source file (a row of the file list), the container signature
// test, and the comparisons against the first file of the list.
#include <cstdint>
#include <memory>
#include <string>

#include "formats/Limits.h"
#include "platform/Files.h"

namespace rw {

struct TVideoFileInfo {
  std::string FileName;
  std::string TypeName;
  int64_t FileSize = 0;
  // The file as it was described: a join checks that each source is still that file.
  TFileIdentity Identity;
  double FrameRate = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  bool HasAudio = false;
  uint8_t AudioChannels = 0;
  uint32_t AudioSampleRate = 0;
  uint16_t AudioBitsPerSample = 0;
  uint16_t AudioFormatTag = 0;
  // The tag of the sound's codec (the sub-format's for an extensible format), and the bytes
  // of the codec's own set-up after the wave format (AAC: its AudioSpecificConfig, none for
  // ADTS frames).
  uint16_t AudioCodecTag = 0;
  std::string AudioCodecSetup;
  // What else a decoder needs to read joined sound as one stream: the block size, the timing
  // (SampleSize 0: one block per chunk of 1 / AudioRate seconds; else bytes / SampleSize
  // units of 1 / AudioRate seconds) and, for WAVE_FORMAT_EXTENSIBLE, the 16-byte sub-format.
  uint16_t AudioBlockAlign = 0;
  uint32_t AudioSampleSize = 0;
  double AudioRate = 0;
  std::string AudioSubFormat;
  // Seconds of the pictures at the header's rate, or at StandInFrameRate when that rate is not
  // plausible (a header of one picture in a million seconds would last years).
  double Duration = 0;       // whole seconds, as the file's row shows it
  double ExactDuration = 0;  // seconds, unrounded, for totals over many files
  uint32_t VideoFourCC = 0;
  // The bitmap header's compression field, and what a decoder of its pictures must be set up
  // with (empty when not known).
  uint32_t VideoCompression = 0;
  std::string VideoDecoderSetup;
  // The file has a chunk index; without one its chunks cannot be copied (stream copy).
  bool HasIndex = true;
  // Against the first file: whether the pictures (sound) cannot be joined by copying, and
  // which parts are stored differently (the codes, the frame size, the rate, the sound format
  // as the file states it).
  bool VideoMismatch = false;
  bool VideoFormatDiffers = false;
  bool FrameSizeDiffers = false;
  bool FrameRateDiffers = false;
  bool AudioMismatch = false;
  bool AudioFormatDiffers = false;
};

enum class TVideoFileType {
  vftUnknown,
  vftAVI,
  vftMPEG1Video,
  vftMPEG1System,
  vftMPEG2System,
  vftASF,
  vftRealMedia,
};

// Names the container from the first 20 bytes of the file. Raises the system failure when the
// file cannot be opened.
TVideoFileType DetectFileType(const std::string& FileName);
// The type name of the container DetectFileType names ("AVI", "MPEG1", ...). Raises as
// DetectFileType does.
std::string GetVideoFileTypeName(const std::string& FileName);

// Reads the file's headers with the AVI reader and describes it. Raises the reader's errors.
std::unique_ptr<TVideoFileInfo> CreateVideoFileInfo(const std::string& FileName);

// True when A's pictures can follow B's in one stream: the same frame size and rate and either
// the same code or the same codec family with the same decoder set-up (XVID and DX50 are both
// MPEG-4 Visual). Records in A which parts differ as stored: the code, the frame size, the
// rate. Frame rates match when they differ by at most 10 ppm (30000/1001 and 2997/100 are the
// same rate).
bool SameVideoFormat(TVideoFileInfo& A, const TVideoFileInfo& B);
// Two rates that differ by at most 10 ppm are one rate written two ways.
bool SameRate(double A, double B);

// Rates of pictures a source may have: from one picture every ten seconds (a slide show) up to,
// not including, the most a join makes. A header rate outside them is no rate
// the pictures were made at: a join gives such a source's pictures its own rate instead.
inline constexpr double MinPlausibleFrameRate = 0.1;
inline bool PlausibleFrameRate(double Rate) {
  return Rate >= MinPlausibleFrameRate && Rate < MaxFrameRate;
}
// The rate a join proposes when no file names a plausible one; a file whose header rate is
// not plausible lasts its pictures at this rate in the list and in the choice of what is kept.
inline constexpr double StandInFrameRate = 24;
// A rate as people write it: "1000000", "29.97", "0.000001".
std::string RateText(double Rate);
// The warning of a join that gave the Pictures of a file whose header claims the rate Claimed
// the join's Rate instead: "The file NAME claims C frames per second; its N pictures were
// joined at R frames per second".
std::string RetimedPicturesWarning(const std::string& FileName, double Claimed, uint64_t Pictures,
                                   double Rate);
// The warning of a join that read only Read of the Declared frames of a file: "Only 65 of the
// 120 frames of the file NAME could be read". Empty when no frame or a single one is missing,
// or no more than 1 % of them: a file more than one frame and 1 % short has lost data.
std::string PartlyReadWarning(const std::string& FileName, uint64_t Read, uint64_t Declared);
// True when A's sound is stored as B's: same format tag, channels, sample rate, bits, block
// align, timing, sub-format and codec set-up.
bool SameAudioFormat(const TVideoFileInfo& A, const TVideoFileInfo& B);
// True when a decoder of B's sound decodes A's after it, so that a copy joins them into one
// stream: the same codec, sample rate and channels and, for sound made of samples, the same
// sample format; MPEG audio of one layer whatever its timing (the copy times it by frames),
// AAC with the same set-up (raw frames with one AudioSpecificConfig, or ADTS frames).
bool JoinableSound(const TVideoFileInfo& A, const TVideoFileInfo& B);

}  // namespace rw
