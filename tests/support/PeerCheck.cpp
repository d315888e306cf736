#include "support/PeerCheck.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "media/AVIRead.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

namespace rw::test {

namespace {

using TComplaints = std::vector<std::string>;

bool PeersRequired() {
  for (const char* name : {"RW_REQUIRE_PEERS", "CI"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// Whether Program can be run; when it cannot, says so as a complaint or a note.
bool Usable(const std::string& Program, const std::string& Peer, TComplaints& Complaints) {
  if (RunCommand("command -v " + Program + " >/dev/null 2>&1") == 0) return true;
  const std::string text = Peer + ": " + Program + " is not installed";
  if (PeersRequired())
    Complaints.push_back(text);
  else
    std::cerr << "Note: " << text << "; its check is skipped\n";
  return false;
}

// Runs a peer, which gets at most 10 minutes (a hang is a failure, not a stuck test run).
int RunPeer(const std::string& Command, std::string* Output) {
  return RunCommand("timeout -k 10 600 " + Command, Output);
}

std::string Trimmed(std::string Text) {
  while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) Text.pop_back();
  return Text;
}

void CheckNear(TComplaints& Complaints, const std::string& What, double Got, double Want,
               double Tolerance) {
  if (std::fabs(Got - Want) > Tolerance + 1e-4) {
    std::ostringstream s;
    s << What << " " << Got << " s, expected " << Want << " s";
    Complaints.push_back(s.str());
  }
}

void CheckCount(TComplaints& Complaints, const std::string& What, long Got, long Want) {
  if (Got != Want)
    Complaints.push_back(What + " " + std::to_string(Got) + ", expected " + std::to_string(Want));
}

// Where a peer found the sound to end (below 0: no sound).
void CheckSoundEnd(TComplaints& Complaints, const std::string& Peer, double End,
                   const TPeerExpectation& Expect) {
  if (Expect.SoundEnd >= 0)
    CheckNear(Complaints, Peer + ": sound ends at", End, Expect.SoundEnd, Expect.Tolerance);
  else if (End >= 0)
    Complaints.push_back(Peer + ": sound where none was expected");
}

// ffmpeg (ffprobe) decodes every frame of every stream: the pictures, where they and the
// sound end, and any complaint of its demuxer or decoders.
TComplaints FFmpegPeer(const std::string& File, const TPeerExpectation& Expect) {
  TComplaints c;
  if (!Usable("ffprobe", "ffmpeg", c)) return c;
  std::string out;
  const int rc = RunPeer(
      "ffprobe -v error -show_entries "
      "frame=media_type,best_effort_timestamp_time,pkt_duration_time -of compact=p=0 " +
          ShellQuote(File) + " 2>&1",
      &out);
  if (rc != 0) c.push_back("ffmpeg: exit status " + std::to_string(rc));
  long pictures = 0;
  double videoEnd = 0, soundEnd = -1, lastVideoEnd = 0, lastSoundEnd = 0;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::map<std::string, std::string> fields;
    std::istringstream parts(line);
    std::string part;
    while (std::getline(parts, part, '|')) {
      const auto eq = part.find('=');
      if (eq != std::string::npos) fields[part.substr(0, eq)] = part.substr(eq + 1);
    }
    const std::string type = fields["media_type"];
    if (line.empty()) continue;  // an empty section of a frame's side data
    if (type != "video" && type != "audio") {
      c.push_back("ffmpeg: " + line);
      continue;
    }
    // A frame the decoder gives without a time follows the one before it, as players play it.
    const bool video = type == "video";
    const std::string& at = fields["best_effort_timestamp_time"];
    const double start =
        at.empty() || at == "N/A" ? (video ? lastVideoEnd : lastSoundEnd) : std::atof(at.c_str());
    const double end = start + std::atof(fields["pkt_duration_time"].c_str());
    (video ? lastVideoEnd : lastSoundEnd) = end;
    if (video) {
      ++pictures;
      videoEnd = std::max(videoEnd, end);
    } else {
      soundEnd = std::max(soundEnd, end);
    }
  }
  CheckCount(c, "ffmpeg: decoded pictures", pictures, Expect.Pictures);
  CheckNear(c, "ffmpeg: pictures end at", videoEnd, Expect.Seconds, Expect.Tolerance);
  CheckSoundEnd(c, "ffmpeg", soundEnd, Expect);
  return c;
}

// Runs tests/support/gst-count.py on File with Options; its exit status.
int RunGstCount(const std::string& File, const std::string& Options, std::string* Output) {
  const std::string python =
      ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
  return RunPeer(python + " " + ShellQuote(RW_TEST_SUPPORT_DIR "/gst-count.py") + " " +
                     ShellQuote(File) + Options + " 2>&1",
                 Output);
}

// GStreamer's own demuxer and its decoders, through tests/support/gst-count.py.
TComplaints GStreamerPeer(const std::string& File, const TPeerExpectation& Expect) {
  TComplaints c;
  if (!Usable("gst-launch-1.0", "GStreamer", c)) return c;
  std::string out;
  const int rc = RunGstCount(File, Expect.Flashes.empty() ? "" : " --flashes", &out);
  if (rc == 2 && !PeersRequired()) {
    std::cerr << "Note: GStreamer: " << Trimmed(out) << "; its check is skipped\n";
    return c;
  }
  if (rc != 0) c.push_back("GStreamer: did not reach the end");
  long pictures = 0;
  double videoEnd = 0, soundEnd = -1;
  std::vector<double> flashes;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string kind;
    long buffers = 0;
    double end = 0;
    words >> kind;
    if (kind == "video" && (words >> buffers >> end)) {
      pictures = buffers;
      videoEnd = end;
    } else if (kind == "audio" && (words >> buffers >> end)) {
      soundEnd = end;
    } else if (kind == "flash" && (words >> end)) {
      flashes.push_back(end);
    } else {
      c.push_back("GStreamer: " + line);
    }
  }
  CheckCount(c, "GStreamer: decoded pictures", pictures, Expect.Pictures);
  CheckNear(c, "GStreamer: pictures end at", videoEnd, Expect.Seconds, Expect.Tolerance);
  CheckSoundEnd(c, "GStreamer", soundEnd, Expect);
  if (!Expect.Flashes.empty()) {
    CheckCount(c, "GStreamer: flashes", static_cast<long>(flashes.size()),
               static_cast<long>(Expect.Flashes.size()));
    for (size_t i = 0; i < flashes.size() && i < Expect.Flashes.size(); ++i)
      CheckNear(c, "GStreamer: flash " + std::to_string(i) + " at", flashes[i], Expect.Flashes[i],
                0.027);
  }
  return c;
}

// VLC's own demuxer, which says how many index entries it took for each stream and when it
// distrusts the index. VLC refuses to run as root: then it runs as nobody and reads the file
// from a descriptor opened here, so that neither the file nor its folders need other rights.
TComplaints VLCPeer(const std::string& File, const std::vector<uint32_t>& Chunks) {
  TComplaints c;
  if (!Usable("cvlc", "VLC", c)) return c;
  const std::string user = ::geteuid() == 0 ? "runuser -u nobody -- " : "";
  std::string out;
  RunPeer(user +
              "cvlc -vv --play-and-exit --no-audio --vout=dummy --intf=dummy --run-time=1 "
              "- <" +
              ShellQuote(File) + " 2>&1",
          &out);
  std::map<size_t, long> entries;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    // "stream[0] created 204 index entries"
    unsigned stream = 0;
    long count = 0;
    char word[8] = {};
    const auto at = line.find("stream[");
    if (at != std::string::npos &&
        std::sscanf(line.c_str() + at, "stream[%u] created %ld index %7s", &stream, &count, word) ==
            3 &&
        std::string(word) == "entries")
      entries[stream] = count;
    // Its demuxer's errors and warnings, but for those it gives every file of several RIFF
    // parts.
    const bool opendml = line.find("multiple riff -> OpenDML") != std::string::npos ||
                         line.find("detected OpenDML file") != std::string::npos;
    if (line.find("broken or missing index") != std::string::npos ||
        line.find("avi demux error") != std::string::npos ||
        (line.find("avi demux warning") != std::string::npos && !opendml))
      c.push_back("VLC: " + line.substr(line.find(']') + 2));
  }
  for (size_t i = 0; i < Chunks.size(); ++i)
    CheckCount(c, "VLC: index entries of stream " + std::to_string(i),
               entries.count(i) ? entries[i] : -1, Chunks[i]);
  return c;
}

// mpv (over libavformat): the length it believes the file has.
TComplaints MpvPeer(const std::string& File, const TPeerExpectation& Expect) {
  TComplaints c;
  if (!Usable("mpv", "mpv", c)) return c;
  std::string out;
  const int rc = RunPeer(
      "mpv --no-config --vo=null --ao=null --untimed --frames=1 "
      "--term-playing-msg='DUR=${=duration}' " +
          ShellQuote(File) + " 2>&1",
      &out);
  if (rc != 0) c.push_back("mpv: exit status " + std::to_string(rc));
  const auto at = out.find("DUR=");
  if (at == std::string::npos) {
    c.push_back("mpv: no duration");
    return c;
  }
  CheckNear(c, "mpv: lasts", std::atof(out.c_str() + at + 4),
            std::max(Expect.Seconds, Expect.SoundEnd), Expect.Tolerance);
  return c;
}

// mencoder copies the streams through its own demuxer, which reads the file in order and stops
// where one stream runs far ahead of the other: it must take every picture and every byte of
// sound.
TComplaints MencoderPeer(const std::string& File, uint32_t VideoChunks, int64_t SoundBytes) {
  TComplaints c;
  if (!Usable("mencoder", "mencoder", c)) return c;
  std::string out;
  RunPeer("mencoder -ovc copy -oac copy -o /dev/null " + ShellQuote(File) + " 2>&1", &out);
  // "Video stream:  60.765 kbit/s  (7595 B/s)  size: 61980 bytes  8.160 secs  204 frames"
  // "Audio stream: 705.600 kbit/s  (88200 B/s)  size: 441000 bytes  5.000 secs"
  auto number = [&](const std::string& Line, const std::string& After) -> long {
    const auto line = out.find(Line);
    const auto at = line == std::string::npos ? line : out.find(After, line);
    if (at == std::string::npos || out.find('\n', line) < at) return -1;
    return std::atol(out.c_str() + at + After.size());
  };
  const auto line = out.find("Video stream:");
  const auto frames = out.find(" frames", line);
  if (line == std::string::npos || frames == std::string::npos) {
    c.push_back("mencoder: no video stream read");
    return c;
  }
  const auto count = out.rfind(' ', frames - 1) + 1;
  CheckCount(c, "mencoder: pictures", std::atol(out.c_str() + count), VideoChunks);
  if (SoundBytes > 0)
    CheckCount(c, "mencoder: bytes of sound", number("Audio stream:", "size: "),
               static_cast<long>(SoundBytes));
  return c;
}

}  // namespace

int DecodedPictures(const std::string& FileName) {
  std::string out;
  RunCommand(
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=nb_read_frames -of csv=p=0 " +
          ShellQuote(FileName),
      &out);
  return std::atoi(out.c_str());
}

std::vector<double> GStreamerBeeps(const std::string& FileName) {
  TComplaints c;
  std::string out;
  const bool usable = Usable("gst-launch-1.0", "GStreamer", c);
  if (!c.empty()) throw std::runtime_error(c.front());
  if (!usable) return {};
  if (RunGstCount(FileName, " --beeps", &out) == 2) {
    if (PeersRequired()) throw std::runtime_error("GStreamer: " + Trimmed(out));
    std::cerr << "Note: GStreamer: " << Trimmed(out) << "; its beeps are not checked\n";
    return {};
  }
  std::vector<double> beeps;
  std::istringstream lines(out);
  std::string kind;
  double at = 0;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    if ((words >> kind >> at) && kind == "beep") beeps.push_back(at);
  }
  return beeps;
}

std::vector<std::string> PeerComplaints(const std::string& FileName,
                                        const TPeerExpectation& Expect) {
  // The chunks each stream's index must lead VLC and mencoder to, as our reader finds them.
  std::vector<uint32_t> chunks;
  uint32_t videoChunks = 0;
  int64_t soundBytes = 0;
  {
    TAVIFileReader reader;
    reader.Open(FileName, false);
    for (int i = 0; i < reader.StreamCount(); ++i) chunks.push_back(reader.Streams(i).ChunkCount());
    if (reader.VideoStream()) videoChunks = reader.VideoStream()->ChunkCount();
    if (const TAVIStream* sound = reader.AudioStream())
      for (uint32_t i = 0; i < sound->ChunkCount(); ++i) {
        TAVIIndexEntry e;
        if (sound->GetIndexEntry(i, e)) soundBytes += e.Size;
      }
  }
  // The peers run side by side: each waits mostly on its own start-up or the disk.
  std::vector<std::future<TComplaints>> runs;
  runs.push_back(std::async(std::launch::async, FFmpegPeer, FileName, Expect));
  runs.push_back(std::async(std::launch::async, GStreamerPeer, FileName, Expect));
  runs.push_back(std::async(std::launch::async, VLCPeer, FileName, chunks));
  runs.push_back(std::async(std::launch::async, MpvPeer, FileName, Expect));
  runs.push_back(std::async(std::launch::async, MencoderPeer, FileName, videoChunks, soundBytes));
  TComplaints all;
  for (auto& run : runs)
    for (std::string& complaint : run.get()) all.push_back(std::move(complaint));
  return all;
}

}  // namespace rw::test
