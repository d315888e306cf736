// Silence in a sound stream's own format, as ffmpeg decodes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "media/AVIRead.h"
#include "streamcopy/SoundBlocks.h"
#include "support/Fixtures.h"
#include "support/JoinCheck.h"
#include "support/MediaTools.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

using namespace std::string_literals;

// Silent AAC frames made for ffmpeg's AAC, raw (after its config) and in ADTS frames, decode
// to zero samples of every channel, a frame's 1024 each, without a word from the decoder.
TEST(SoundBlocks, SilentAacFramesDecodeToZerosInEveryChannel) {
  struct TCase {
    int Channels, Rate;
    bool Adts;
  };
  test::TTempDir dir;
  for (const TCase c : {TCase{1, 44100, false}, TCase{2, 48000, false}, TCase{6, 44100, false},
                        TCase{1, 48000, true}, TCase{2, 44100, true}, TCase{6, 48000, true}}) {
    const std::string name =
        std::to_string(c.Channels) + "-" + std::to_string(c.Rate) + (c.Adts ? "-adts" : "");
    SCOPED_TRACE(name);
    const std::string source = dir.File(name + ".avi"), out = dir.File(name + "-silent.avi");
    test::MakeFlashBeepClip(source, 0.2, 0.2, "aac",
                            "-ac " + std::to_string(c.Channels) + " -ar " + std::to_string(c.Rate));
    if (c.Adts) test::RemuxAacToAdts(source);
    TAVIFileReader reader;
    reader.Open(source, true);
    const TAVIStream& video = *reader.VideoStream();
    const TAVIStream& sound = *reader.AudioStream();
    TSilenceMaker silence(sound.Format, sound.Header);
    ASSERT_EQ(silence.Kind(), TSilenceMaker::TKind::Frames);
    const std::string first = test::StreamChunks(source, false).at(0).Data;
    silence.Learn(reinterpret_cast<const uint8_t*>(first.data()),
                  static_cast<uint32_t>(first.size()));
    ASSERT_TRUE(silence.Ready());

    // The source's pictures with 20 silent frames in place of its sound.
    constexpr int Frames = 20;
    test::TAVIBuilder b;
    b.Main = reader.MainHeader();
    b.AddStream(video.Header, video.Format);
    TAVIStreamHeader header = sound.Header;
    header.Length = Frames;
    b.AddStream(header, sound.Format);
    for (const auto& p : test::StreamChunks(source, true)) b.AddChunkData(0, p.Data, p.KeyFrame);
    std::vector<uint8_t> frame;
    std::string frames;
    for (int i = 0; i < Frames; ++i) {
      silence.NextFrame(frame);
      b.AddChunkData(1, std::string(frame.begin(), frame.end()));
      frames.append(frame.begin(), frame.end());
    }
    b.Write(out);

    const std::string warnings = dir.File(name + "-warnings.txt");
    std::string samples;
    test::RunCommand("ffmpeg -nostdin -v warning -i " + test::ShellQuote(out) +
                         " -map 0:a -f s16le - 2>" + test::ShellQuote(warnings),
                     &samples);
    EXPECT_EQ(test::ReadFileBytes(warnings), "");
    EXPECT_EQ(samples.size(), size_t{Frames} * 1024 * c.Channels * 2);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](char s) { return s == 0; }));

    // ffmpeg fills channels whose elements are missing; faad decodes those the frame holds
    // (mono as stereo, as it might hold parametric stereo), without the first frame.
    if (!c.Adts) continue;
    if (test::RunCommand("gst-inspect-1.0 faad >/dev/null 2>&1") != 0) {
      std::fprintf(stderr, "note: GStreamer's faad is not installed\n");
      continue;
    }
    const std::string adts = dir.File(name + ".aac"), decoded = dir.File(name + ".raw");
    test::WriteFileBytes(adts, frames);
    EXPECT_EQ(test::RunCommand("gst-launch-1.0 -q filesrc location=" + test::ShellQuote(adts) +
                               " ! aacparse ! faad ! audioconvert ! audio/x-raw,format=S16LE ! "
                               "filesink location=" +
                               test::ShellQuote(decoded) + " 2>&1"),
              0);
    const std::string faad = test::ReadFileBytes(decoded);
    EXPECT_EQ(faad.size(), size_t{Frames - 1} * 1024 * std::max(c.Channels, 2) * 2);
    EXPECT_TRUE(std::all_of(faad.begin(), faad.end(), [](char s) { return s == 0; }));
  }
}

// Silent MS and IMA ADPCM blocks, in mono and stereo, timed by bytes as ffmpeg writes them or
// one block a chunk, decode in ffmpeg to zeros, a whole block's samples each.
TEST(SoundBlocks, SilentAdpcmBlocksDecodeToZeros) {
  test::TTempDir dir;
  for (const std::string codec : {"adpcm_ms", "adpcm_ima_wav"})
    for (const int channels : {1, 2})
      for (const bool byChunks : {false, true}) {
        const std::string name = codec + std::to_string(channels) + (byChunks ? "-chunks" : "");
        SCOPED_TRACE(name);
        const std::string source = dir.File(name + ".avi"), out = dir.File(name + "-silent.avi");
        test::MakeFlashBeepClip(source, 0.2, 0.2, codec, "-ac " + std::to_string(channels));
        TAVIFileReader reader;
        reader.Open(source, true);
        const TAVIStream& sound = *reader.AudioStream();
        TAVIStreamHeader header = sound.Header;
        if (byChunks) header.SampleSize = 0;
        TSilenceMaker silence(sound.Format, header);
        const uint32_t align = GetLE16(sound.Format.data() + riff::WaveBlockAlignOffset);
        std::vector<uint8_t> block;
        if (byChunks) {
          ASSERT_EQ(silence.Kind(), TSilenceMaker::TKind::Frames);
          silence.NextFrame(block);
        } else {
          ASSERT_EQ(silence.Kind(), TSilenceMaker::TKind::Samples);
          ASSERT_EQ(silence.BlockAlign(), align);
          silence.Samples(block, 3 * align);
        }
        ASSERT_EQ(block.size(), byChunks ? align : 3 * align);

        // The source's pictures with 12 silent blocks in place of its sound.
        test::TAVIBuilder b;
        b.Main = reader.MainHeader();
        b.AddStream(reader.VideoStream()->Header, reader.VideoStream()->Format);
        b.AddStream(header, sound.Format);
        for (const auto& p : test::StreamChunks(source, true))
          b.AddChunkData(0, p.Data, p.KeyFrame);
        for (size_t bytes = 0; bytes < 12 * align; bytes += block.size())
          b.AddChunkData(1, std::string(block.begin(), block.end()));
        b.Write(out);
        std::string samples;
        test::RunCommand(
            "ffmpeg -nostdin -v error -i " + test::ShellQuote(out) + " -map 0:a -f s16le - 2>&1",
            &samples);
        // Samples of a block: after the headers (7 or 4 bytes a channel), two a byte; the MS
        // header holds two samples, the IMA header one.
        const bool ms = codec == "adpcm_ms";
        const size_t perBlock = (align - (ms ? 7 : 4) * channels) * 2 / channels + (ms ? 2 : 1);
        EXPECT_EQ(samples.size(), 12 * perBlock * channels * 2);
        EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](char s) { return s == 0; }));
      }
}

// Only plain AAC-LC timed one frame a chunk gets silence: not HE-AAC (explicit SBR, by its
// object type or its extension), 960-sample frames, a program config, a config of another rate
// than the format's, frames timed otherwise, nor chunks without a config or ADTS headers.
TEST(SoundBlocks, SilenceIsMadeOnlyForPlainAacLcTimedOneFrameAChunk) {
  auto kind = [](const std::string& Config, uint32_t Scale = 1024, uint32_t Rate = 44100,
                 uint32_t SampleSize = 0) {
    std::string format(18, '\0');
    PutLE16(format.data() + riff::WaveFormatTagOffset, riff::waveAac);
    PutLE32(format.data() + riff::WaveSamplesPerSecOffset, 44100);
    PutLE16(format.data() + 16, static_cast<uint16_t>(Config.size()));  // the bytes after it
    TAVIStreamHeader header;
    header.Scale = Scale;
    header.Rate = Rate;
    header.SampleSize = SampleSize;
    TSilenceMaker maker(format + Config, header);
    maker.Learn(reinterpret_cast<const uint8_t*>("\x21\x10\x04\x60"), 4);  // a raw frame
    return maker.Ready() ? maker.Kind() : TSilenceMaker::TKind::None;
  };
  for (const std::string& config : {"\x12\x10"s, "\x12\x10\x56\xE5\x00"s})
    for (const uint32_t scale : {1024u, 256u})
      EXPECT_EQ(kind(config, scale, 44100 * scale / 1024), TSilenceMaker::TKind::Frames);
  for (const std::string& config :
       {"\x2B\x92\x08\x00"s, "\x12\x10\x56\xE5\x98"s, "\x12\x14"s, "\x12\x00"s, "\x11\x90"s, ""s})
    EXPECT_EQ(kind(config), TSilenceMaker::TKind::None) << config.size();
  EXPECT_EQ(kind("\x12\x10"s, 2048), TSilenceMaker::TKind::None);
  EXPECT_EQ(kind("\x12\x10"s, 1, 44100, 1), TSilenceMaker::TKind::None);
}

}  // namespace
}  // namespace rw
