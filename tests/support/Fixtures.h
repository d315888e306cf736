#pragma once
// Small media files made with the ffmpeg tool at test time, cached per test process: the same
// request returns the file made the first time. Kept tiny (a few frames at small sizes) so
// that the whole suite stays fast under the sanitizers.
#include <ostream>
#include <string>

namespace rw::test {

struct TClipSpec {
  std::string Codec = "mpeg4";  // mpeg4, mjpeg, rawvideo, ... (ffmpeg encoder names)
  int Width = 64;
  int Height = 48;
  std::string Rate = "25";  // "25", "30000/1001", ...
  int Frames = 10;
  std::string Audio = "none";  // none, pcm (16-bit), mp3, or an ffmpeg encoder name (ac3)
  int Channels = 2;
  int SampleRate = 44100;
  std::string Extra;  // further ffmpeg output options
};

// Short text of a clip ("mpeg4 64x48 25 fps 10 frames, audio pcm"), also how test names show a
// clip parameter.
std::string Describe(const TClipSpec& Spec);
inline void PrintTo(const TClipSpec& Spec, std::ostream* Out) { *Out << Describe(Spec); }

// An AVI clip; raises std::runtime_error when ffmpeg fails.
std::string MakeClip(const TClipSpec& Spec);

// A short clip in another container ("mpeg", "vob", "asf", "rm", "wav", "mp4"), for the
// signature test and the refusal of non-AVI files.
std::string MakeOtherContainer(const std::string& Format);

// The folder of this process's cached fixtures.
std::string FixtureFolder();

// The text ffmpeg or ffprobe prints for a command; raises when it fails.
std::string RunTool(const std::string& Command);
// A checksum of the file's bytes, to show that a source was left as it was.
std::string Checksum(const std::string& FileName);
// A path quoted for the shell.
std::string ShellQuote(const std::string& Text);

}  // namespace rw::test

namespace rw::test {

// While it lives, numbers are written with a decimal comma (LC_NUMERIC of a locale made at
// test time with localedef, as German or French settings have); the previous LC_NUMERIC comes
// back after. Raises when the locale cannot be made.
class TCommaDecimalLocale {
public:
  TCommaDecimalLocale();
  ~TCommaDecimalLocale();
  TCommaDecimalLocale(const TCommaDecimalLocale&) = delete;
  TCommaDecimalLocale& operator=(const TCommaDecimalLocale&) = delete;

private:
  std::string FPrevious;
};

}  // namespace rw::test
