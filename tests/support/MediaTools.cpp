#include "support/MediaTools.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace rw::test {

void MakeClipFile(const std::string& FileName, const TClip& Clip) {
  std::ostringstream cmd;
  const std::string size = std::to_string(Clip.Width) + "x" + std::to_string(Clip.Height);
  cmd << "ffmpeg -nostdin -v error -y -f lavfi -i ";
  if (Clip.Flash >= 0) {
    const std::string at = std::to_string(Clip.Flash),
                      beep = std::to_string(Clip.Flash + Clip.BeepDelay);
    const std::string last =
        Clip.FlashLast ? "+gte(t," + std::to_string(Clip.Seconds) + "-1.5/(" + Clip.Rate + "))"
                       : "";
    cmd << "\"color=c=black:size=" << size << ":rate=" << Clip.Rate
        << ",drawbox=c=white:t=fill:enable='between(t," << at << "," << at << "+0.0999)" << last
        << "'";
    if (Clip.Moving)
      cmd << "[bg];color=c=gray:size=8x8:rate=" << Clip.Rate
          << "[box];[bg][box]overlay=x='mod(n*4\\," << Clip.Width - 8 << ")':y=" << Clip.Height / 4
          << ":shortest=1";
    if (Clip.DropCount > 0)
      cmd << ",select='not(between(n\\," << Clip.DropFrom << "\\,"
          << Clip.DropFrom + Clip.DropCount - 1 << "))'";
    cmd << "\"";
    if (!Clip.AudioCodec.empty())
      cmd << " -f lavfi -i \"aevalsrc='0.5*between(t," << beep << "," << beep
          << "+0.1)*sin(2*PI*1000*t)':s=" << Clip.SampleRate << "\" -ac " << Clip.Channels
          << " -c:a " << Clip.AudioCodec;
  } else if (Clip.Color.empty())
    cmd << "testsrc2=size=" << size << ":rate=" << Clip.Rate;
  else
    cmd << "color=c=" << Clip.Color << ":size=" << size << ":rate=" << Clip.Rate
        << (Clip.LeftBar > 0 ? ",drawbox=c=black:t=fill:h=ih:w=" + std::to_string(Clip.LeftBar)
                             : "");
  if (!Clip.AudioCodec.empty() && Clip.Flash < 0) {
    cmd << " -f lavfi -i ";
    if (Clip.Silent)
      cmd << "anullsrc=r=" << Clip.SampleRate;
    else
      cmd << "sine=frequency=440:sample_rate=" << Clip.SampleRate;
    cmd << " -ac " << Clip.Channels << " -c:a " << Clip.AudioCodec;
  }
  cmd << " -t " << Clip.Seconds << " -c:v " << Clip.VideoCodec << " " << Clip.VideoOptions;
  if (Clip.DropCount > 0) cmd << " -fps_mode passthrough";
  if (Clip.VideoCodec == "rawvideo") cmd << " -pix_fmt bgr24";
  if (Clip.VideoCodec == "mjpeg") cmd << " -pix_fmt yuvj420p";
  cmd << " " << ShellQuote(FileName) << " 2>&1";
  std::string out;
  if (RunCommand(cmd.str(), &out) != 0)
    throw std::runtime_error("ffmpeg failed: " + cmd.str() + "\n" + out);
}

std::map<std::string, std::string> ProbeStream(const std::string& FileName,
                                               const std::string& Stream) {
  std::string out;
  RunCommand("ffprobe -v error -select_streams " + Stream + " -show_streams -of default=nw=1 " +
                 ShellQuote(FileName),
             &out);
  std::map<std::string, std::string> fields;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos && !fields.count(line.substr(0, eq)))
      fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

int ProbeStreamCount(const std::string& FileName) {
  std::string out;
  RunCommand("ffprobe -v error -show_entries stream=index -of csv=p=0 " + ShellQuote(FileName),
             &out);
  int n = 0;
  for (char c : out) n += c == '\n';
  return n;
}

double DecodedDuration(const std::string& FileName, const std::string& Stream) {
  // Sound: the samples it decodes to (its packets' times may be those of bytes, not samples).
  if (Stream[0] == 'a') {
    std::string raw;
    RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(FileName) + " -map 0:" + Stream +
                   " -ac 1 -ar 44100 -f s16le -",
               &raw);
    return static_cast<double>(raw.size() / 2) / 44100;
  }
  // Pictures: the last decoded frame's end, as ffprobe reports it frame by frame.
  std::string out;
  RunCommand("ffprobe -v error -select_streams " + Stream +
                 " -show_entries frame=best_effort_timestamp_time,pkt_duration_time -of csv=p=0 " +
                 ShellQuote(FileName),
             &out);
  double end = 0;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    double t = 0, d = 0;
    if (std::sscanf(line.c_str(), "%lf,%lf", &t, &d) >= 1) end = std::max(end, t + d);
  }
  return end;
}

std::string GreyFrame(const std::string& FileName, int N) {
  std::string out;
  RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(FileName) + " -vf 'select=eq(n\\," +
                 std::to_string(N) + ")' -frames:v 1 -f rawvideo -pix_fmt gray -",
             &out);
  return out;
}

std::vector<TSilence> SilentStretches(const std::string& FileName) {
  std::string out;
  RunCommand("ffmpeg -nostdin -v info -nostats -i " + ShellQuote(FileName) +
                 " -vn -af silencedetect=noise=-50dB:d=0.1 -f null - 2>&1",
             &out);
  std::vector<TSilence> list;
  auto valueAfter = [&](size_t At, const char* Key) {
    return std::atof(out.c_str() + At + std::strlen(Key));
  };
  for (size_t at = out.find("silence_start: "); at != std::string::npos;
       at = out.find("silence_start: ", at + 1))
    list.push_back({valueAfter(at, "silence_start: "), -1});
  size_t i = 0;
  for (size_t at = out.find("silence_end: "); at != std::string::npos && i < list.size();
       at = out.find("silence_end: ", at + 1))
    list[i++].End = valueAfter(at, "silence_end: ");
  return list;
}

void MakeFlashBeepClip(const std::string& FileName, double PictureSeconds, double SoundSeconds,
                       const std::string& AudioCodec, const std::string& AudioOptions,
                       const TFlashPictures& Pictures) {
  const std::string when = "lt(mod(t+0.8,1),0.04)";
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -v error -y -f lavfi -i \"color=c=black:s=" << Pictures.Size
      << ":r=" << Pictures.Rate << ":d=" << PictureSeconds << ",drawbox=c=white:t=fill:enable='"
      << when << "'\" -f lavfi -i \"aevalsrc='if(" << when
      << ",0.8*sin(2*PI*1000*t),0)+0.1*sin(2*PI*300*t)':s=44100:d=" << SoundSeconds << "\" -c:v "
      << Pictures.Codec << (Pictures.Codec == "mjpeg" ? " -pix_fmt yuvj420p" : "") << " -c:a "
      << AudioCodec << " " << AudioOptions << " " << ShellQuote(FileName) << " 2>&1";
  std::string out;
  if (RunCommand(cmd.str(), &out) != 0)
    throw std::runtime_error("ffmpeg failed: " + cmd.str() + "\n" + out);
}

void RemuxAacToAdts(const std::string& FileName) {
  const std::string raw = FileName + ".raw.avi", adts = FileName + ".aac";
  const std::string ffmpeg = "ffmpeg -nostdin -v error -y -i ";
  RunTool("mv " + ShellQuote(FileName) + " " + ShellQuote(raw) + " && " + ffmpeg + ShellQuote(raw) +
          " -c copy -f adts " + ShellQuote(adts) + " && " + ffmpeg + ShellQuote(raw) + " -i " +
          ShellQuote(adts) + " -map 0:v -map 1:a -c copy " + ShellQuote(FileName) + " 2>&1 && rm " +
          ShellQuote(raw) + " " + ShellQuote(adts));
  if (RunCommand("test -s " + ShellQuote(FileName)) != 0)
    throw std::runtime_error("ffmpeg could not rewrite " + FileName + " with ADTS frames");
}

namespace {

// Where the pictures turn bright, each picture timed by the line of Times in its place.
std::vector<double> BrightenTimes(const std::string& FileName, const std::string& Times) {
  std::string pictures;
  RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(FileName) +
                 " -map 0:v:0 -fps_mode passthrough -vf scale=4:4 -f rawvideo -pix_fmt gray -",
             &pictures);
  std::vector<double> flashes;
  std::istringstream in(Times);
  std::string line;
  bool bright = false;
  for (size_t n = 0; std::getline(in, line) && (n + 1) * 16 <= pictures.size(); ++n) {
    int sum = 0;
    for (size_t i = 0; i < 16; ++i) sum += static_cast<unsigned char>(pictures[n * 16 + i]);
    const bool now = sum / 16 > 128;
    if (now && !bright) flashes.push_back(std::atof(line.c_str()));
    bright = now;
  }
  return flashes;
}

}  // namespace

std::vector<double> FlashTimes(const std::string& FileName) {
  // The pictures' times and, in the same order, each picture shrunk to 4 x 4 grey pixels.
  std::string times;
  RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries frame=best_effort_timestamp_time -of "
      "flat " +
          ShellQuote(FileName) + " | grep '\\.best_effort_timestamp_time=' | cut -d'\"' -f2",
      &times);
  return BrightenTimes(FileName, times);
}

std::vector<double> FlashSlots(const std::string& FileName) {
  // The demuxer gives each chunk its slot's time and leaves the empty ones out.
  std::string times;
  RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=dts_time -of csv=p=0 " +
                 ShellQuote(FileName),
             &times);
  return BrightenTimes(FileName, times);
}

TDecodedSound DecodeSound(const std::string& FileName) {
  std::string raw;
  RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(FileName) +
                 " -map 0:a:0 -ac 1 -ar 44100 -f s16le -",
             &raw);
  // A start delay in the stream header comes before the first sample, as players play it: the
  // first packet's time.
  std::string start;
  RunCommand(
      "ffprobe -v error -select_streams a:0 -show_entries packet=pts_time -read_intervals %+#1 -of "
      "csv=p=0 " +
          ShellQuote(FileName),
      &start);
  TDecodedSound sound;
  sound.Start = std::atof(start.c_str());
  sound.Samples.resize(raw.size() / 2);
  for (size_t i = 0; i < sound.Samples.size(); ++i)
    sound.Samples[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                            (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
  return sound;
}

double LongestQuiet(const TDecodedSound& Sound, double From, double To) {
  const auto first = std::lround((From - Sound.Start) * 44100),
             end = std::lround((To - Sound.Start) * 44100);
  const auto n = static_cast<long>(Sound.Samples.size());
  long longest = 0, run = 0;
  for (long i = first; i < end; ++i) {
    const bool loud = i >= 0 && i < n && std::abs(Sound.Samples[i]) > 32768 / 100;
    run = loud ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  return static_cast<double>(longest) / 44100;
}

std::vector<double> BeepOnsets(const std::string& FileName) {
  const TDecodedSound sound = DecodeSound(FileName);
  const double delay = sound.Start;
  const size_t n = sound.Samples.size();
  auto sample = [&](size_t I) { return std::abs(static_cast<int>(sound.Samples[I])); };
  int peak = 0;
  for (size_t i = 0; i < n; ++i) peak = std::max(peak, sample(i));
  std::vector<double> onsets;
  int64_t last = -100000;
  for (size_t i = 0; i < n; ++i) {
    if (sample(i) * 10 <= peak * 3) continue;
    // A burst ends where the sound stays quiet for a tenth of a second.
    if (static_cast<int64_t>(i) - last > 4410)
      onsets.push_back(delay + static_cast<double>(i) / 44100);
    last = static_cast<int64_t>(i);
  }
  return onsets;
}

TFlashesAndBeeps FlashesAndBeeps(const std::string& FileName) {
  return {FlashTimes(FileName), BeepOnsets(FileName)};
}

}  // namespace rw::test
