// What a viewer sees of a stream-copy join: clips whose pictures flash and whose sound beeps at
// the same instants, with sound longer or shorter than the pictures, delayed by its stream
// header or missing, joined and decoded with ffmpeg; at every join point the beep must follow the
// flash as it does in that source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

#include "media/AVIRead.h"
#include "media/AVIReadBack.h"
#include "streamcopy/StreamCopyJoiner.h"
#include "support/Fixtures.h"
#include "support/JoinCheck.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/PeerCheck.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

// Changes, in place, the first bytes of the file's first sound chunk.
void DamageFirstSoundChunk(const std::string& FileName,
                           const std::function<void(uint8_t* Data)>& Damage) {
  std::string bytes = test::ReadFileBytes(FileName);
  auto riffList = test::ListChunks(bytes, 0, bytes.size()).at(0);
  auto movi = test::FindChunk(test::ListChunks(bytes, riffList), "LIST", "movi");
  for (const auto& chunk : test::ListChunks(bytes, movi)) {
    if (chunk.Id.substr(2) != "wb" || chunk.Size < 8) continue;
    Damage(reinterpret_cast<uint8_t*>(bytes.data() + chunk.DataPos()));
    break;
  }
  test::WriteFileBytes(FileName, bytes);
}

// Rewrites the file with each sound chunk holding Frames of its chunks (after Edit changed
// them), as writers that interleave by time do, so that a cut must find the frames inside a
// chunk.
void RegroupSound(const std::string& FileName, int Frames,
                  const std::function<void(std::vector<std::string>&)>& Edit = {}) {
  TAVIFileReader reader;
  reader.Open(FileName, true);
  test::TAVIBuilder b;
  b.Main = reader.MainHeader();
  b.AddStream(reader.VideoStream()->Header, reader.VideoStream()->Format);
  b.AddStream(reader.AudioStream()->Header, reader.AudioStream()->Format);
  const auto video = test::StreamChunks(FileName, true);
  std::vector<std::string> sound;
  for (const test::TChunkCopy& c : test::StreamChunks(FileName, false)) sound.push_back(c.Data);
  if (Edit) Edit(sound);
  size_t next = 0;
  auto addSound = [&](size_t Until) {
    while (next < Until) {
      std::string group;
      for (int k = 0; k < Frames && next < sound.size(); ++k) group += sound[next++];
      b.AddChunkData(1, group);
    }
  };
  for (size_t v = 0; v < video.size(); ++v) {
    b.AddChunkData(0, video[v].Data, video[v].KeyFrame);
    addSound((v + 1) * sound.size() / video.size());
  }
  addSound(sound.size());
  b.Write(FileName);
}

// Where the sound's last packet ends, by the times ffprobe gives the packets.
double LastSoundPacketEnd(const std::string& FileName) {
  const std::string said = test::RunTool(
      "ffprobe -v error -select_streams a:0 -show_entries "
      "packet=pts_time,duration_time -of csv=p=0 " +
      test::ShellQuote(FileName));
  double end = 0, pts = 0, duration = 0;
  std::istringstream in(said);
  for (std::string line; std::getline(in, line);)
    if (std::sscanf(line.c_str(), "%lf,%lf", &pts, &duration) == 2)
      end = std::max(end, pts + duration);
  return end;
}

// The longest time the file holds of one stream alone: a run of chunks, in file order, with
// no chunk of the other stream between them.
double LongestLoneStretch(const std::string& FileName) {
  TAVIFileReader reader;
  reader.Open(FileName, false);
  std::vector<std::pair<int64_t, double>> chunks;  // position; seconds, sound negative
  for (const TAVIStream* s : {reader.VideoStream(), reader.AudioStream()}) {
    const TAVIStreamHeader& h = s->Header;
    for (uint32_t i = 0; i < s->ChunkCount(); ++i) {
      TAVIIndexEntry e;
      s->GetIndexEntry(i, e);
      const double units = h.SampleSize ? static_cast<double>(e.Size) / h.SampleSize : 1;
      chunks.emplace_back(e.FilePos,
                          units * h.Scale / h.Rate * (s == reader.VideoStream() ? 1 : -1));
    }
  }
  std::sort(chunks.begin(), chunks.end());
  double longest = 0, run = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    const bool same = i > 0 && (chunks[i].second < 0) == (chunks[i - 1].second < 0);
    run = (same ? run : 0) + std::fabs(chunks[i].second);
    longest = std::max(longest, run);
  }
  return longest;
}

struct TSyncCase {
  std::string Codec;
  bool ByteTimed = false;    // MP3 timed by bytes (sample size 1) instead of one frame per chunk
  double Tolerance = 0;      // seconds: one sample, or half a compressed frame
  bool Mencoder = false;     // sound made by mencoder (MP3, delay by -audio-delay)
  std::string Options = "";  // further ffmpeg options of the sound, or mencoder's LAME options
  int FramesPerChunk = 1;
  // Variable-rate MP3 timed by bytes at its average byte rate, as GStreamer's muxer writes it.
  bool VariableRate = false;
  bool Adts = false;  // AAC frames with ADTS headers, as ffmpeg copies them from an ADTS file
};

void PrintTo(const TSyncCase& C, std::ostream* Out) {
  *Out << C.Codec << (C.VariableRate ? " variable-rate" : "")
       << (C.ByteTimed ? " timed by bytes" : "") << (C.Mencoder ? " by mencoder" : "")
       << (C.Adts ? " in ADTS frames" : "") << (C.Options.empty() ? "" : " " + C.Options)
       << (C.FramesPerChunk > 1 ? ", " + std::to_string(C.FramesPerChunk) + " frames per chunk"
                                : "");
}

class JoinSync : public ::testing::TestWithParam<TSyncCase> {
protected:
  void SetUp() override {
    if (GetParam().Mencoder && test::RunCommand("command -v mencoder >/dev/null") != 0)
      GTEST_SKIP() << "mencoder is not installed";
  }

  // A flash-and-beep clip of 2 s of pictures; its sound is SoundSeconds long and starts Delay
  // seconds late by the stream header's Start.
  std::string Clip(const std::string& Name, double SoundSeconds, double Delay = 0) {
    const std::string file = Dir.File(Name + ".avi");
    if (GetParam().Mencoder) {
      const std::string pcm = Dir.File(Name + "-pcm.avi");
      test::MakeFlashBeepClip(pcm, 2, SoundSeconds, "pcm_s16le");
      test::RunTool("mencoder -really-quiet -ovc copy -oac mp3lame " +
                    (GetParam().Options.empty() ? "" : "-lameopts " + GetParam().Options) +
                    " -audio-delay " + std::to_string(Delay) + " " + test::ShellQuote(pcm) +
                    " -o " + test::ShellQuote(file) + " 2>&1");
      return file;
    }
    test::MakeFlashBeepClip(file, 2, SoundSeconds, GetParam().Codec, GetParam().Options);
    if (GetParam().Adts) test::RemuxAacToAdts(file);
    uint64_t soundBytes = 0;
    for (const test::TChunkCopy& c : test::StreamChunks(file, false)) soundBytes += c.Data.size();
    test::EditSoundHeader(file, [&](TAVIStreamHeader& H, std::string& Format) {
      if (GetParam().VariableRate) {
        // Its bytes over its length: no frame of it need have that rate.
        const auto average = static_cast<uint32_t>(std::lround(soundBytes / SoundSeconds));
        H.Scale = 1;
        H.Rate = average;
        H.SampleSize = 1;
        PutLE32(Format.data() + riff::WaveAvgBytesPerSecOffset, average);
        PutLE16(Format.data() + riff::WaveBlockAlignOffset, 1);
      } else if (GetParam().ByteTimed) {
        // 64 kbit/s MP3 as constant-rate writers describe it: time follows from bytes.
        H.Scale = 1;
        H.Rate = 8000;
        H.SampleSize = 1;
        PutLE32(Format.data() + riff::WaveAvgBytesPerSecOffset, 8000);
        PutLE16(Format.data() + riff::WaveBlockAlignOffset, 1);
      }
      H.Start = static_cast<uint32_t>(std::lround(Delay * H.Rate / H.Scale));
    });
    if (GetParam().FramesPerChunk > 1) RegroupSound(file, GetParam().FramesPerChunk);
    return file;
  }

  // Joins Files into Out, which must decode cleanly (the silent frames' checksums included)
  // unless a source's sound is Damaged; returns the joiner's warnings.
  std::vector<std::string> Join(const std::vector<std::string>& Files, const std::string& Out,
                                bool Damaged = false) {
    test::TProgressLog log;
    test::TRecordingProgress progress(log);
    TAVIFileJoiner joiner;
    joiner.FProgress = &progress;
    joiner.FFiles = Files;
    joiner.FOutFileName = Out;
    joiner.Execute();
    EXPECT_NO_THROW(CheckReadBack(Out, Out, joiner.Written()));
    if (!Damaged) {
      EXPECT_EQ(test::RunTool("ffmpeg -nostdin -v error -err_detect crccheck -i " +
                              test::ShellQuote(Out) + " -f null - 2>&1"),
                "");
    }
    return joiner.Warnings();
  }

  // At every join point of Out from source From on, the beep follows the flash as it does in
  // that source, and each source's sound plays on to its last picture: no longer silence comes
  // there than its own sound has before its end and the next source's before its start. Returns
  // the time where the sources end.
  double ExpectBeepsWithFlashes(const std::string& Out, const std::vector<std::string>& Files,
                                size_t From = 0) {
    const test::TFlashesAndBeeps joined = test::FlashesAndBeeps(Out);
    const test::TDecodedSound joinedSound = test::DecodeSound(Out);
    const double tolerance = GetParam().Tolerance + 1e-4;
    constexpr double Near = 0.1;  // seconds around a join point where silence is measured
    double joinPoint = 0, quietBefore = 0;
    auto firstFrom = [](const std::vector<double>& Times, double From) {
      for (double t : Times)
        if (t >= From - 1e-6) return t;
      return -1.0;
    };
    for (size_t i = 0; i < Files.size(); ++i) {
      TAVIFileReader reader;
      reader.Open(Files[i], true);
      const TAVIStreamHeader& v = reader.VideoStream()->Header;
      const double length = static_cast<double>(v.Length) * v.Scale / v.Rate;
      if (i >= From && !reader.AudioStream()) {
        // A source without sound: its pictures play over silence.
        const double flash = firstFrom(joined.Flashes, joinPoint);
        EXPECT_NEAR(flash - joinPoint, test::FlashTimes(Files[i]).at(0), 1e-5) << "source " << i;
        EXPECT_GE(test::LongestQuiet(joinedSound, joinPoint + Near, joinPoint + length - Near),
                  length - 2 * Near - 1e-3)
            << "source " << i << " without sound, starting at " << joinPoint << " s";
      } else if (i >= From) {
        const test::TFlashesAndBeeps own = test::FlashesAndBeeps(Files[i]);
        EXPECT_FALSE(own.Flashes.empty() || own.Beeps.empty()) << Files[i];
        const double flash = firstFrom(joined.Flashes, joinPoint);
        const double beep = firstFrom(joined.Beeps, joinPoint);
        EXPECT_GE(flash, 0) << "source " << i;
        EXPECT_GE(beep, 0) << "source " << i;
        if (own.Flashes.empty() || own.Beeps.empty() || flash < 0 || beep < 0) break;
        EXPECT_NEAR(flash - joinPoint, own.Flashes[0], 1e-5) << "source " << i;
        EXPECT_NEAR(beep - flash, own.Beeps[0] - own.Flashes[0], tolerance)
            << "source " << i << " starting at " << joinPoint << " s";
      }
      const test::TDecodedSound own = test::DecodeSound(Files[i]);
      if (i > From) {
        // The end before and the start after each within half a block: together up to one.
        const double quietAfter = test::LongestQuiet(own, 0, Near);
        EXPECT_LE(test::LongestQuiet(joinedSound, joinPoint - Near, joinPoint + Near),
                  quietBefore + quietAfter + 2 * tolerance + 1e-3)
            << "sources " << i - 1 << " and " << i << " joined at " << joinPoint << " s";
      }
      quietBefore = test::LongestQuiet(own, length - Near, length);
      joinPoint += length;
    }
    EXPECT_LE(test::LongestQuiet(joinedSound, joinPoint - Near, joinPoint),
              quietBefore + tolerance + 1e-3)
        << "the last source, ending at " << joinPoint << " s";
    return joinPoint;
  }

  test::TTempDir Dir;
};

TEST_P(JoinSync, EveryJoinPointKeepsEachSourcesBeepWithItsFlash) {
  const std::string delayed = Clip("delayed", 2, 0.3), longer = Clip("longer", 3),
                    shorter = Clip("shorter", 1.4), plain = Clip("plain", 2),
                    mute = Dir.File("mute.avi");
  // Long enough that its silence, written in one piece, makes mencoder stop reading there.
  test::MakeFlashBeepClip(mute, 4, 4, "pcm_s16le", "-an");
  const std::vector<std::string> files = {delayed, longer, mute, shorter, delayed, plain, longer};
  const std::string out = Dir.File("out.avi");
  EXPECT_TRUE(Join(files, out).empty());
  const double joinPoint = ExpectBeepsWithFlashes(out, files);
  const double tolerance = GetParam().Tolerance + 1e-4;

  // The headers say what was written: sound, from its start delay, as long as the pictures.
  TAVIFileReader reader;
  reader.Open(out, false);
  const TAVIStreamHeader& v = reader.VideoStream()->Header;
  const TAVIStreamHeader& a = reader.AudioStream()->Header;
  EXPECT_EQ(v.Length, reader.VideoStream()->ChunkCount());
  EXPECT_NEAR(static_cast<double>(v.Length) * v.Scale / v.Rate, joinPoint, 1e-6);
  const double soundUnits =
      a.SampleSize ? static_cast<double>(a.Length) : reader.AudioStream()->ChunkCount();
  EXPECT_NEAR((a.Start + soundUnits) * a.Scale / a.Rate, joinPoint, tolerance);
  uint32_t largest = 0;
  for (uint32_t i = 0; i < reader.AudioStream()->ChunkCount(); ++i) {
    TAVIIndexEntry e;
    reader.AudioStream()->GetIndexEntry(i, e);
    largest = std::max(largest, e.Size);
  }
  EXPECT_EQ(a.SuggestedBufferSize, largest + 1024);

  // The first source's delay is silence at the start, not a Start that some players ignore.
  EXPECT_EQ(a.Start, 0u);
  // Silence lies interleaved with its pictures as sound does (a source's start delay comes in
  // one piece before its first sound chunk, here 0.3 s).
  EXPECT_LT(LongestLoneStretch(out), 0.5);
  // Every player and tool reads it whole: each source's pictures, and the sound to the last
  // picture, within a compressed frame where one is cut.
  test::TPeerExpectation expect;
  for (const std::string& f : files) expect.Pictures += test::DecodedPictures(f);
  expect.Seconds = expect.SoundEnd = joinPoint;
  expect.Tolerance = 2 * tolerance;
  std::vector<std::string> complaints = test::PeerComplaints(out, expect);
  // GStreamer times decoded ADPCM at about half its length, an ffmpeg-made source's as well
  // (1.02 s of it ends at 0.53 s); it decodes every block.
  if (GetParam().Codec.rfind("adpcm", 0) == 0)
    std::erase_if(complaints,
                  [](const std::string& C) { return C.rfind("GStreamer: sound ends at", 0) == 0; });
  EXPECT_EQ(complaints, std::vector<std::string>{});
  // Players time sound by its packets: the last one ends where the decoded sound does, and
  // where the pictures do; mpv believes that length too.
  const double soundStart = static_cast<double>(a.Start) * a.Scale / a.Rate;
  EXPECT_NEAR(soundStart + test::DecodedDuration(out, "a:0"), joinPoint, 2 * tolerance);
  EXPECT_NEAR(LastSoundPacketEnd(out), joinPoint, 2 * tolerance);
}

TEST_P(JoinSync, SoundThatStartsAfterTheFirstSourcesLastPictureCostsOnlyThatSourcesSound) {
  if (GetParam().Mencoder) GTEST_SKIP() << "mencoder writes no delay past the pictures";
  // The first source's sound starts half a second after its 2 s of pictures: none of it plays
  // with them, and the output's sound must not start there, which would put the next sources'
  // sound after it (all of it, in a join shorter than the delay).
  const std::string late = Clip("late", 2, 2.5), plain = Clip("plain", 2),
                    shorter = Clip("shorter", 1.4);
  const std::vector<std::string> files = {late, plain, shorter, plain};
  const std::string out = Dir.File("out.avi");
  EXPECT_EQ(Join(files, out), std::vector<std::string>{"The sound of the file " + late +
                                                       " lies outside its pictures and is left "
                                                       "out"});
  const double end = ExpectBeepsWithFlashes(out, files, 1);
  const double lateEnd = ExpectBeepsWithFlashes(out, {late}, 1);
  const test::TFlashesAndBeeps joined = test::FlashesAndBeeps(out);
  ASSERT_FALSE(joined.Beeps.empty());
  EXPECT_GE(joined.Beeps[0], lateEnd - 1e-6);

  // The output's sound starts no later than the first source's last picture and lasts to the
  // last picture of all.
  TAVIFileReader reader;
  reader.Open(out, false);
  const TAVIStreamHeader& a = reader.AudioStream()->Header;
  EXPECT_LE(static_cast<double>(a.Start) * a.Scale / a.Rate, lateEnd + 1e-6);
  const double units =
      a.SampleSize ? static_cast<double>(a.Length) : reader.AudioStream()->ChunkCount();
  EXPECT_NEAR((a.Start + units) * a.Scale / a.Rate, end, GetParam().Tolerance + 1e-4);
}

TEST_P(JoinSync, ADamagedFirstFrameHeaderCostsAtMostThatFilesSound) {
  const TSyncCase& c = GetParam();
  const bool mp3 = c.Codec == "libmp3lame" && c.FramesPerChunk == 1;
  if (!mp3 && !c.Adts) GTEST_SKIP() << "MPEG audio and ADTS frames are learnt from the stream";
  std::vector<std::function<void(uint8_t*)>> damages;
  if (mp3) {
    damages.push_back([](uint8_t* P) { P[2] &= 0x0F; });  // free-format bit rate
    damages.push_back([](uint8_t* P) { P[0] = 0xEF; });   // no sync word
  } else {
    damages.push_back([](uint8_t* P) { P[3] &= 0x3F; });  // no channels
  }
  const std::string plain = Clip("plain", 2), shorter = Clip("shorter", 1.4),
                    mute = Dir.File("mute.avi");
  test::MakeFlashBeepClip(mute, 2, 2, "pcm_s16le", "-an");
  for (size_t d = 0; d < damages.size(); ++d) {
    const std::string damaged = Clip("damaged" + std::to_string(d), 2);
    DamageFirstSoundChunk(damaged, damages[d]);
    const std::vector<std::string> files = {damaged, plain, mute, shorter};
    const std::string out = Dir.File("out" + std::to_string(d) + ".avi");
    for (const std::string& warning : Join(files, out, true))
      EXPECT_NE(warning.find(damaged), std::string::npos) << warning;
    // The other files' sound plays with their pictures, the file without sound over silence,
    // and the sound ends with the pictures.
    const double end = ExpectBeepsWithFlashes(out, files, 1);
    EXPECT_NEAR(test::DecodedDuration(out, "a:0"), end, 2 * c.Tolerance + 1e-3) << "damage " << d;
  }
}

TEST_P(JoinSync, JunkBeforeTheFirstFrameAndAFrameCutShortAreLeftOut) {
  if (GetParam().Codec != "ac3") GTEST_SKIP() << "an AC-3 stream as cameras write it";
  // Junk before the first frame and the last frame cut in half, each in a chunk of its own
  // time: the next file's sound must follow the frames that play, not the chunks.
  const std::string damaged = Clip("damaged", 2), plain = Clip("plain", 2);
  RegroupSound(damaged, 1, [](std::vector<std::string>& Sound) {
    Sound.front().insert(0, std::string(300, '\x5A'));
    Sound.back().resize(Sound.back().size() / 2);
  });
  const std::vector<std::string> files = {damaged, plain, plain};
  const std::string out = Dir.File("out.avi");
  EXPECT_TRUE(Join(files, out).empty());
  ExpectBeepsWithFlashes(out, files);
  EXPECT_NEAR(test::DecodedDuration(out, "a:0"), 6.0, 2 * GetParam().Tolerance + 1e-3);
  // GStreamer, with its own demuxer and decoder, hears each file's beeps where that file has
  // them, two seconds a file.
  const std::vector<double> joined = test::GStreamerBeeps(out);
  if (joined.empty()) return;  // GStreamer is not installed
  std::vector<double> expected;
  for (size_t i = 0; i < files.size(); ++i)
    for (double t : test::GStreamerBeeps(files[i])) expected.push_back(2.0 * i + t);
  ASSERT_EQ(joined.size(), expected.size()) << ::testing::PrintToString(joined);
  for (size_t i = 0; i < joined.size(); ++i)
    EXPECT_NEAR(joined[i], expected[i], GetParam().Tolerance + 1e-4) << "beep " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Sound, JoinSync,
    ::testing::Values(TSyncCase{"pcm_s16le", false, 1.0 / 44100},
                      TSyncCase{"libmp3lame", false, 1152.0 / 44100 / 2},
                      TSyncCase{"libmp3lame", true, 1152.0 / 44100 / 2},
                      TSyncCase{"libmp3lame", true, 1152.0 / 44100 / 2, false, "", 4},
                      TSyncCase{"mp3", true, 1152.0 / 44100 / 2, true, "cbr:br=64"},
                      // mencoder's default: variable-rate MP3 timed by frames, one a chunk
                      TSyncCase{"mp3", false, 1152.0 / 44100 / 2, true},
                      TSyncCase{"libmp3lame", true, 1152.0 / 44100 / 2, false, "-q:a 2", 1, true},
                      // ADPCM blocks of 1024 bytes: 2036 (MS) and 2041 (IMA) samples each
                      TSyncCase{"adpcm_ms", false, 2036.0 / 44100 / 2},
                      TSyncCase{"adpcm_ima_wav", false, 2041.0 / 44100 / 2},
                      // 5.1: silent frames code a centre, surrounds and LFE
                      TSyncCase{"ac3", false, 1536.0 / 44100 / 2, false, "-ac 6"},
                      // AAC-LC: raw frames after an AudioSpecificConfig, one a chunk
                      TSyncCase{"aac", false, 1024.0 / 44100 / 2},
                      TSyncCase{"aac", false, 1024.0 / 48000 / 2, false, "-ac 2 -ar 48000"},
                      // 5.1 in ADTS frames: GStreamer finds no config after an extensible format
                      TSyncCase{"aac", false, 1024.0 / 44100 / 2, false, "-ac 6", 1, false, true}));

}  // namespace
}  // namespace rw
