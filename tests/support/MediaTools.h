#pragma once
// Clips of a given length, colour and sound made with ffmpeg at test time, and the checks of
// recompressed output that look at its pictures, sound and timing (ffprobe, ffmpeg).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rw::test {

// A small generated clip: a plain colour or a moving test picture, with or without a tone.
struct TClip {
  int Width = 160;
  int Height = 120;
  std::string Rate = "25";
  double Seconds = 1.0;
  std::string VideoCodec = "mpeg4";
  std::string Color;  // empty: the moving test picture
  int LeftBar = 0;    // with Color: a black bar this many pixels wide down the left edge
  // Sound: none when AudioCodec is empty.
  std::string AudioCodec = "pcm_s16le";
  int SampleRate = 44100;
  int Channels = 2;
  bool Silent = false;  // silence instead of a tone
  // A flash and a beep: black pictures but for 0.1 s of white from Flash seconds on, silence
  // but for 0.1 s of a 1 kHz tone from Flash + BeepDelay on. No flash when Flash < 0.
  double Flash = -1;
  double BeepDelay = 0;
  bool FlashLast = false;  // with Flash: the last picture is white too
  // With Flash: a small grey square moves 4 pixels a picture, so that each picture differs
  // from its neighbours.
  bool Moving = false;
  std::string VideoOptions;  // further ffmpeg options of the pictures' encoder ("-bf 3")
  // With Flash: pictures left out from DropFrom on, whose slots the muxer keeps as empty chunks.
  int DropFrom = -1;
  int DropCount = 0;
};

// Writes the clip as an AVI file (or another container by the name's extension); raises
// std::runtime_error when ffmpeg fails.
void MakeClipFile(const std::string& FileName, const TClip& Clip);

// The ffprobe fields of one stream ("v:0", "a:0"): codec_name, width, r_frame_rate, ...
std::map<std::string, std::string> ProbeStream(const std::string& FileName,
                                               const std::string& Stream);
// Number of streams of the file.
int ProbeStreamCount(const std::string& FileName);
// Duration of a stream in seconds, counted by decoding it: the end of the last picture, the
// number of sound samples.
double DecodedDuration(const std::string& FileName, const std::string& Stream);
// Frame N of the first video stream as 8-bit grey, Width x Height bytes.
std::string GreyFrame(const std::string& FileName, int N);
// The times where the sound falls silent and sounds again (silencedetect).
struct TSilence {
  double Start = 0;
  double End = 0;
};
std::vector<TSilence> SilentStretches(const std::string& FileName);

// The pictures of a flash-and-beep clip.
struct TFlashPictures {
  std::string Size = "64x48";
  std::string Rate = "25";
  std::string Codec = "mpeg4";
};
// A clip (by default 64x48 25 fps MPEG-4) whose pictures flash white and whose mono 44.1 kHz
// sound beeps (1 kHz, 40 ms) together, 0.2 s after the start and then every second, over a
// quiet 300 Hz hum that lasts as long as the sound (so that silence put in its place is heard):
// PictureSeconds of pictures, SoundSeconds of sound encoded with AudioCodec and further ffmpeg
// AudioOptions.
void MakeFlashBeepClip(const std::string& FileName, double PictureSeconds, double SoundSeconds,
                       const std::string& AudioCodec, const std::string& AudioOptions = "",
                       const TFlashPictures& Pictures = {});
// Rewrites an AVI file's AAC sound as ADTS frames (a header in every chunk, no config in the
// format), as ffmpeg copies it from an ADTS file.
void RemuxAacToAdts(const std::string& FileName);
// Where a viewer sees the flashes (the decoded time of each picture that turns bright) and
// hears the beeps (the first loud sample of each burst of sound, a start delay in the stream
// header played as silence), in seconds, as ffmpeg decodes the file.
std::vector<double> FlashTimes(const std::string& FileName);
// The same, each picture timed by its slot as AVI shows it: the Nth decoded picture at the time
// of the Nth chunk that holds a picture (an empty chunk repeats the picture before it), whatever
// time ffmpeg guesses for it.
std::vector<double> FlashSlots(const std::string& FileName);
std::vector<double> BeepOnsets(const std::string& FileName);
// The first sound stream decoded as mono 16-bit samples at 44.1 kHz, and the time of its first
// sample (a start delay in the stream header).
struct TDecodedSound {
  std::vector<int16_t> Samples;
  double Start = 0;
};
TDecodedSound DecodeSound(const std::string& FileName);
// The longest stretch between From and To seconds where the sound stays quiet (below 1% of full
// scale; before its first sample and after its last it is quiet).
double LongestQuiet(const TDecodedSound& Sound, double From, double To);
struct TFlashesAndBeeps {
  std::vector<double> Flashes, Beeps;
};
TFlashesAndBeeps FlashesAndBeeps(const std::string& FileName);

}  // namespace rw::test
