// Our reader against ffprobe on files that ffmpeg writes: the same chunks per stream (count,
// sizes, key frames) and the same stream description.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <vector>

#include "media/AVIRead.h"
#include "media/VideoFileInfo.h"
#include "support/Fixtures.h"

namespace rw {
namespace {

using test::TClipSpec;

std::vector<TClipSpec> PeerClips() {
  std::vector<TClipSpec> clips;
  TClipSpec s;
  clips.push_back(s);  // mpeg4 64x48, 25 fps, no sound
  s.Width = 160;
  s.Height = 120;
  s.Rate = "30000/1001";
  s.Frames = 12;
  s.Audio = "pcm";
  clips.push_back(s);  // stereo 44100 Hz PCM
  s = TClipSpec();
  s.Codec = "mjpeg";
  s.Frames = 8;
  s.Audio = "mp3";
  s.Channels = 1;
  s.SampleRate = 22050;
  clips.push_back(s);
  s = TClipSpec();
  s.Codec = "rawvideo";
  s.Width = 32;
  s.Height = 24;
  s.Frames = 5;
  s.Audio = "pcm";
  s.Channels = 1;
  s.SampleRate = 22050;
  clips.push_back(s);
  s = TClipSpec();
  s.Frames = 30;
  s.Audio = "mp3";
  s.Extra = "-g 4 -bf 2";
  clips.push_back(s);
  return clips;
}

struct TPacket {
  uint32_t Size;
  bool Key;
  bool operator==(const TPacket&) const = default;
};

std::map<int, std::vector<TPacket>> ProbePackets(const std::string& File) {
  std::istringstream in(
      test::RunTool("ffprobe -v error -show_entries packet=stream_index,size,flags"
                    " -of csv=p=0 " +
                    test::ShellQuote(File)));
  std::map<int, std::vector<TPacket>> packets;
  std::string line;
  while (std::getline(in, line)) {
    int stream = 0;
    unsigned size = 0;
    char flags[8] = {};
    if (std::sscanf(line.c_str(), "%d,%u,%7s", &stream, &size, flags) == 3)
      packets[stream].push_back({size, flags[0] == 'K'});
  }
  return packets;
}

std::map<std::string, std::string> ProbeStream(const std::string& File, const char* Selector) {
  std::istringstream in(test::RunTool(std::string("ffprobe -v error -select_streams ") + Selector +
                                      " -show_streams -of default=nw=1 " + test::ShellQuote(File)));
  std::map<std::string, std::string> fields;
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

double Fraction(const std::string& Text) {
  unsigned long num = 0, den = 1;
  std::sscanf(Text.c_str(), "%lu/%lu", &num, &den);
  return den ? static_cast<double>(num) / static_cast<double>(den) : 0;
}

class PeerAgreement : public ::testing::TestWithParam<TClipSpec> {};

TEST_P(PeerAgreement, ChunksMatchProbedPackets) {
  const std::string file = test::MakeClip(GetParam());
  auto probed = ProbePackets(file);
  TAVIFileReader r;
  r.Open(file, false);
  ASSERT_EQ(static_cast<size_t>(r.StreamCount()), probed.size());
  for (int s = 0; s < r.StreamCount(); ++s) {
    const TAVIStream& st = r.Streams(s);
    std::vector<TPacket> ours;
    int64_t bytes = 0;
    for (uint32_t i = 0; i < st.ChunkCount(); ++i) {
      TAVIIndexEntry e;
      ASSERT_TRUE(st.GetIndexEntry(i, e));
      EXPECT_EQ(e.StreamPos, bytes);
      bytes += e.Size;
      if (e.Size > 0) ours.push_back({e.Size, e.KeyFrame});  // ffprobe drops empty chunks
      std::string data(e.Size, '\0');
      EXPECT_TRUE(st.ReadChunk(i, data.data()));
    }
    EXPECT_EQ(ours, probed[s]) << "stream " << s;
  }
  // The time-ordered walk visits every chunk exactly once.
  size_t total = 0, walked = 0;
  for (int s = 0; s < r.StreamCount(); ++s) total += r.Streams(s).ChunkCount();
  r.ResetChunkCursors();
  int stream;
  uint32_t chunk;
  for (r.NextChunk(stream, chunk); stream >= 0; r.NextChunk(stream, chunk)) ++walked;
  EXPECT_EQ(walked, total);
}

TEST_P(PeerAgreement, FileInfoMatchesProbedStreams) {
  const TClipSpec& clip = GetParam();
  const std::string file = test::MakeClip(clip);
  auto info = CreateVideoFileInfo(file);
  auto video = ProbeStream(file, "v:0");
  EXPECT_EQ(info->TypeName, "AVI");
  EXPECT_EQ(info->VideoFourCC, std::stoul(video["codec_tag"], nullptr, 16));
  EXPECT_EQ(info->Width, std::stoi(video["width"]));
  EXPECT_EQ(info->Height, std::stoi(video["height"]));
  EXPECT_NEAR(info->FrameRate, Fraction(video["r_frame_rate"]), 1e-9);
  EXPECT_NEAR(info->FrameRate, Fraction(clip.Rate), 1e-9);
  EXPECT_EQ(info->Duration, std::nearbyint(clip.Frames / Fraction(clip.Rate)));
  EXPECT_EQ(info->HasAudio, clip.Audio != "none");
  if (!info->HasAudio) return;
  auto audio = ProbeStream(file, "a:0");
  EXPECT_EQ(info->AudioFormatTag, std::stoul(audio["codec_tag"], nullptr, 16));
  EXPECT_EQ(info->AudioChannels, std::stoi(audio["channels"]));
  EXPECT_EQ(info->AudioSampleRate, std::stoul(audio["sample_rate"]));
  EXPECT_EQ(info->AudioBitsPerSample, std::stoi(audio["bits_per_sample"]));
  EXPECT_EQ(info->AudioChannels, clip.Channels);
  EXPECT_EQ(info->AudioSampleRate, static_cast<uint32_t>(clip.SampleRate));
}

INSTANTIATE_TEST_SUITE_P(Clips, PeerAgreement, ::testing::ValuesIn(PeerClips()),
                         [](const ::testing::TestParamInfo<TClipSpec>& Info) {
                           return Info.param.Codec + "_" + Info.param.Audio + "_" +
                                  std::to_string(Info.index);
                         });

}  // namespace
}  // namespace rw
