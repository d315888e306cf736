#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

#include "media/AVIReadBack.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "formats/PictureKinds.h"
#include "streamcopy/SoundSync.h"
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

using test::TProgressLog;

test::TClipSpec Clip(int Frames, const std::string& Audio = "pcm") {
  test::TClipSpec s;
  s.Frames = Frames;
  s.Audio = Audio;
  return s;
}

class AVIJoin : public ::testing::Test {
protected:
  // Joins Files into Out, keeping the sources' checksums to compare afterwards.
  void Join(const std::vector<std::string>& Files, bool DropAudio = false) {
    for (const auto& f : Files) Sums[f] = test::Checksum(f);
    test::TRecordingProgress progress(Log);
    TAVIFileJoiner joiner;
    joiner.FProgress = &progress;
    joiner.FFiles = Files;
    joiner.FOutFileName = Out;
    joiner.FDropAudio = DropAudio;
    joiner.FSoftware = "Reelwright 9.99";
    Warnings.clear();
    joiner.Execute();
    Warnings = joiner.Warnings();
    // Every output reads back as it was written, with its whole index.
    EXPECT_NO_THROW(CheckReadBack(Out, Out, joiner.Written()));
  }
  void TearDown() override {
    for (const auto& [file, sum] : Sums) EXPECT_EQ(test::Checksum(file), sum) << file;
  }
  // The output's PCM sound is each source's sound (none of them delayed), cut or filled with
  // silence to the length of the source's pictures.
  void ExpectSoundOf(const std::vector<std::string>& Files) {
    TAVIFileReader reader;
    reader.Open(Out, true);
    const TAVIStreamHeader& v = reader.VideoStream()->Header;
    const TAVIStreamHeader& a = reader.AudioStream()->Header;
    const uint64_t perPicture = uint64_t{a.Rate} * v.Scale * a.SampleSize / a.Scale / v.Rate;
    std::string expected, got;
    for (const auto& f : Files) {
      std::string sound;
      for (const auto& c : test::StreamChunks(f, false)) sound += c.Data;
      sound.resize(test::StreamChunks(f, true).size() * perPicture, '\0');
      expected += sound;
    }
    for (const auto& c : test::StreamChunks(Out, false)) got += c.Data;
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
  }
  // The output holds exactly the sources' chunks of the stream, in order.
  void ExpectChunksOf(const std::vector<std::string>& Files, bool Video) {
    std::vector<test::TChunkCopy> expected;
    for (const auto& f : Files)
      for (auto& c : test::StreamChunks(f, Video)) expected.push_back(std::move(c));
    auto got = test::StreamChunks(Out, Video);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Data, expected[i].Data) << i;
      EXPECT_EQ(got[i].KeyFrame, expected[i].KeyFrame) << i;
    }
  }

  test::TTempDir Dir;
  std::string Out = Dir.File("out.avi");
  TProgressLog Log;
  std::map<std::string, std::string> Sums;
  std::vector<std::string> Warnings;
};

TEST_F(AVIJoin, CopiesEveryChunkOfEverySourceInOrder) {
  std::string a = test::MakeClip(Clip(10)), b = test::MakeClip(Clip(17));
  test::WriteFileBytes(Out, "an older output");
  Join({a, b, a});

  EXPECT_EQ(test::DecodeErrors(Out), "");
  auto counts = test::ProbePacketCounts(Out);
  auto ca = test::ProbePacketCounts(a), cb = test::ProbePacketCounts(b);
  EXPECT_EQ(counts["video"], 2 * ca["video"] + cb["video"]);
  ExpectChunksOf({a, b, a}, true);
  ExpectSoundOf({a, b, a});
  EXPECT_FALSE(test::ReadsAsOpenDML(Out));

  // The joiner only reports, after every chunk; the join run shows, captions and hides the view.
  EXPECT_EQ(Log.Shows, 0);
  EXPECT_EQ(Log.Hides, 0);
  EXPECT_EQ(Log.Reports, 2 * (ca["video"] + ca["audio"]) + cb["video"] + cb["audio"]);
  ASSERT_FALSE(Log.Percents.empty());
  EXPECT_EQ(Log.Percents.back(), 100);
  for (size_t i = 1; i < Log.Percents.size(); ++i) EXPECT_GE(Log.Percents[i], Log.Percents[i - 1]);
}

// Converted chunks of the test's making, in place of the engine's.
class TFakeChunks : public IConvertedChunks {
public:
  explicit TFakeChunks(std::vector<test::TChunkCopy> Chunks) : FChunks(std::move(Chunks)) {}
  bool Next(std::vector<uint8_t>& Data, bool& KeyFrame) override {
    if (FNext >= FChunks.size()) return false;
    Data.assign(FChunks[FNext].Data.begin(), FChunks[FNext].Data.end());
    KeyFrame = FChunks[FNext++].KeyFrame;
    return true;
  }

private:
  std::vector<test::TChunkCopy> FChunks;
  size_t FNext = 0;
};

// A plan per source: the output takes the headers of the source of the kept format (the
// second), the first source's pictures come converted (here: the kept source's own chunks,
// as many as asked for) with its matching sound copied, a silent source gets silence and the
// last one's sound comes converted; what is copied is copied bit for bit, in list order.
TEST_F(AVIJoin, EachSourceGoesInByItsPlanWithTheHeadersOfTheKeptFormat) {
  test::TClipSpec odd = Clip(8);
  odd.Codec = "mjpeg";
  odd.Extra = "-pix_fmt yuvj420p";
  test::TClipSpec other = Clip(6);
  other.SampleRate = 22050;
  const std::string c = test::MakeClip(odd), a = test::MakeClip(Clip(10)),
                    b = test::MakeClip(Clip(12, "none")), d = test::MakeClip(other);
  const std::vector<std::string> files = {c, a, b, d};
  for (const auto& f : files) Sums[f] = test::Checksum(f);
  std::vector<TConvertRequest> asked;
  const std::string pattern(4 * 2000, '\x11');
  TAVIFileJoiner joiner;
  joiner.FFiles = files;
  joiner.FOutFileName = Out;
  joiner.FHeaderSource = 1;
  joiner.FPlans = {{true, false}, {}, {}, {false, true}};
  joiner.FConvert = [&](const TConvertRequest& R) -> std::unique_ptr<IConvertedChunks> {
    asked.push_back(R);
    std::vector<test::TChunkCopy> chunks;
    if (R.Pictures) {
      chunks = test::StreamChunks(a, true);
      chunks.resize(R.PictureCount);
    } else {
      for (int i = 0; i < 30; ++i) chunks.push_back({pattern.substr(0, 2000), true});
    }
    return std::make_unique<TFakeChunks>(chunks);
  };
  joiner.Execute();
  EXPECT_EQ(joiner.Warnings(), std::vector<std::string>{});

  TAVIFileReader out, kept, first;
  out.Open(Out, true);
  kept.Open(a, false);
  first.Open(c, true);
  EXPECT_EQ(out.VideoStream()->Format, kept.VideoStream()->Format);
  EXPECT_EQ(out.VideoStream()->Header.Handler, kept.VideoStream()->Header.Handler);
  EXPECT_EQ(out.AudioStream()->Format, kept.AudioStream()->Format);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_TRUE(asked[0].Pictures);
  EXPECT_EQ(asked[0].FileName, c);
  EXPECT_EQ(asked[0].PictureCount, 8u);
  EXPECT_EQ(asked[0].Format, kept.VideoStream()->Format);
  const auto keptPictures = test::StreamChunks(a, true);
  EXPECT_EQ(std::string(asked[0].FirstKeyFrame.begin(), asked[0].FirstKeyFrame.end()),
            keptPictures[0].Data);
  EXPECT_FALSE(asked[1].Pictures);
  EXPECT_EQ(asked[1].FileName, d);
  EXPECT_EQ(asked[1].Format, kept.AudioStream()->Format);
  EXPECT_NEAR(asked[1].Seconds, 6 / 25.0, 1e-9);

  // Pictures: the converted ones, then every copied one, key frames as given.
  std::vector<test::TChunkCopy> pictures(keptPictures.begin(), keptPictures.begin() + 8);
  for (const auto& f : {a, b, d})
    for (auto& p : test::StreamChunks(f, true)) pictures.push_back(std::move(p));
  const auto got = test::StreamChunks(Out, true);
  ASSERT_EQ(got.size(), pictures.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].Data, pictures[i].Data) << i;
    EXPECT_EQ(got[i].KeyFrame, pictures[i].KeyFrame) << i;
  }
  // Sound: each source's own, silence, then the converted sound, each as long as its pictures.
  const uint64_t perPicture = 44100 * 4 / 25;
  std::string expected;
  for (const auto& f : {c, a}) {
    std::string sound;
    for (const auto& ch : test::StreamChunks(f, false)) sound += ch.Data;
    sound.resize(test::StreamChunks(f, true).size() * perPicture, '\0');
    expected += sound;
  }
  expected += std::string(12 * perPicture, '\0') + std::string(6 * perPicture, '\x11');
  std::string sound;
  for (const auto& ch : test::StreamChunks(Out, false)) sound += ch.Data;
  ASSERT_EQ(sound.size(), expected.size());
  EXPECT_TRUE(sound == expected)
      << "from byte "
      << std::mismatch(sound.begin(), sound.end(), expected.begin()).first - sound.begin();
  EXPECT_EQ(test::DecodeErrors(Out), "");
}

// Sources that other tools join: the index cut away, its first entry or one in the middle
// pointing at the other stream's chunk, the file cut in half. Each is read by walking its data
// (the middle one from the chunk whose header disagrees); the output decodes cleanly with every
// frame the sources hold, and the source cut short is named in a warning.
TEST_F(AVIJoin, SourcesWithoutAWholeIndexJoinWhole) {
  const std::string a = test::MakeClip(Clip(10, "mp3"));
  const std::string bytes = test::ReadFileBytes(a);
  const auto top = test::ListChunks(bytes, 12, bytes.size());
  const uint64_t idx1 = test::FindChunk(top, "idx1").DataPos();
  auto variant = [&](const std::string& Name, const std::string& Bytes) {
    const std::string f = Dir.File(Name);
    test::WriteFileBytes(f, Bytes);
    return f;
  };
  // Entry K of 'idx1' takes the offset of entry K + 1, a chunk of the other stream.
  auto misplaced = [&](size_t K) {
    std::string b = bytes;
    b.replace(idx1 + 16 * K + 8, 4, bytes.substr(idx1 + 16 * (K + 1) + 8, 4));
    return b;
  };
  const std::string noIndex = variant("no-index.avi", bytes.substr(0, idx1 - 8));
  const std::string badFirst = variant("bad-first.avi", misplaced(0));
  const std::string badMiddle = variant("bad-middle.avi", misplaced(9));
  // Cut between two chunks: a chunk cut in two is left out, where ffmpeg passes on its part.
  const auto chunks = test::ListChunks(bytes, test::FindChunk(top, "LIST", "movi"));
  const std::string half = variant("half.avi", bytes.substr(0, chunks[chunks.size() / 2].Offset));
  Join({a, noIndex, badFirst, badMiddle, half});

  EXPECT_EQ(test::DecodeErrors(Out), "");
  auto whole = test::ProbePacketCounts(a), halfCount = test::ProbePacketCounts(half);
  ASSERT_GT(halfCount["video"], 2);
  ASSERT_LT(halfCount["video"], 8);
  auto counts = test::ProbePacketCounts(Out);
  EXPECT_EQ(counts["video"], 4 * whole["video"] + halfCount["video"]);
  // Each source's sound ends with its pictures (cut to the nearest MP3 frame).
  EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"),
              1152.0 / 44100 / 2 + 1e-3);
  // The pictures are the sources' own, in order (ffmpeg counts no empty chunk, we copy them).
  const auto wholeChunks = test::StreamChunks(a, true);
  const size_t halfChunks = test::StreamChunks(half, true).size();
  const auto got = test::StreamChunks(Out, true);
  ASSERT_EQ(got.size(), 4 * wholeChunks.size() + halfChunks);
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(got[i].Data, wholeChunks[i % wholeChunks.size()].Data) << i;
  // Every player reads it whole: the pictures of the walked sources and their sound.
  test::TPeerExpectation expect;
  expect.Pictures = counts["video"];
  expect.Seconds = expect.SoundEnd = static_cast<double>(got.size()) / 25;
  expect.Tolerance = 1152.0 / 44100;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});
  // Those without any index say so; the index that points elsewhere is no news to the user.
  const auto unindexed = [](const std::string& Name) {
    return "The file " + Name + " was read without its index: The index is not found";
  };
  EXPECT_EQ(Warnings,
            (std::vector<std::string>{unindexed(noIndex), unindexed(half),
                                      "Only " + std::to_string(halfChunks) + " of the " +
                                          std::to_string(wholeChunks.size()) +
                                          " frames of the file " + half + " could be read"}));

  // A first picture whose chunk header claims a size past the end of the file or over the
  // chunks after it is read up to the next chunk header (with the pad byte of an odd size); an
  // index that lists the first picture 2000 times more is damage, and the data is walked.
  const test::TRiffChunk first = test::FindChunk(chunks, "00dc");
  auto badSize = [&](const std::string& Name, uint32_t Size) {
    std::string b = bytes;
    PutLE32(b.data() + first.Offset + 4, Size);
    return variant(Name, b);
  };
  size_t entry = idx1;
  while (bytes.compare(entry, 4, "00dc") != 0) entry += 16;
  std::string repeated = bytes;
  for (int i = 0; i < 2000; ++i) repeated += bytes.substr(entry, 16);
  PutLE32(repeated.data() + 4, static_cast<uint32_t>(repeated.size() - 8));
  PutLE32(repeated.data() + idx1 - 4, static_cast<uint32_t>(repeated.size() - idx1));
  const std::vector<std::string> damaged = {badSize("past-end.avi", 0xFFFFFFF0u),
                                            badSize("over-next.avi", first.Size + 2000),
                                            variant("repeated.avi", repeated)};
  Join(damaged);
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 3 * whole["video"]);
  const auto joined = test::StreamChunks(Out, true);
  ASSERT_EQ(joined.size(), 3 * wholeChunks.size());
  for (size_t i = 0; i < joined.size(); ++i) {
    const std::string& source = wholeChunks[i % wholeChunks.size()].Data;
    EXPECT_EQ(joined[i].Data.substr(0, source.size()), source) << i;
    EXPECT_LE(joined[i].Data.size(), source.size() + (source.size() & 1)) << i;
  }
  EXPECT_TRUE(joined[0].KeyFrame && joined[wholeChunks.size()].KeyFrame);
  EXPECT_EQ(Warnings, std::vector<std::string>{});
}

// A header that counts one frame more than the data holds (a writer's last frame dropped), or
// up to 1 % more, is no sign of lost data; a source short by more than both is named.
TEST_F(AVIJoin, OnlyASourceMoreThanOneFrameAndOnePercentShortIsNamed) {
  auto source = [&](const std::string& Name, int Frames, uint32_t Claimed) {
    test::TAVIBuilder b = test::SimpleAVI(Frames, false, test::TIndexKind::Idx1Relative);
    b.StreamList[0].Header.Length = Claimed;
    const std::string f = Dir.File(Name);
    b.Write(f);
    return f;
  };
  const std::string oneShort = source("one.avi", 29, 30), twoShort = source("two.avi", 28, 30),
                    percent = source("percent.avi", 198, 200),
                    overPercent = source("over.avi", 197, 200);
  Join({oneShort, twoShort, percent, overPercent});
  EXPECT_EQ(Warnings,
            (std::vector<std::string>{
                "Only 28 of the 30 frames of the file " + twoShort + " could be read",
                "Only 197 of the 200 frames of the file " + overPercent + " could be read"}));
}

TEST_F(AVIJoin, TheOutputsIndexFlagsSayWhatItHolds) {
  // A first source without an index whose header says it must be read through one.
  test::TAVIBuilder b = test::SimpleAVI(6, true, test::TIndexKind::None);
  b.Main.Flags = riff::AVIF_MUSTUSEINDEX | riff::AVIF_ISINTERLEAVED;
  const std::string walked = Dir.File("walked.avi");
  // It holds a camera's recording date and texts (some unfit to keep); the next source's texts
  // are not the output's.
  auto text = [](const std::string& Id, const std::string& Text) {
    return test::Chunk(StrToFourCC(Id), Text);
  };
  b.HdrlExtra = text("IDIT", "SUN DEC 06 10:20:30 2026\n");
  b.TopLevelExtra = test::List(
      riff::listInfo, text("INAM", "Harbour\tat dawn") + text("ISFT", "CamOS 1.2") +
                          text("Icmt", "not an id") + text("ICMT", std::string(5000, 'c')) +
                          text("ICRD", std::string("2026-12-06\0junk after the end", 29)));
  b.Write(walked);
  test::TAVIBuilder other = test::SimpleAVI(4, true, test::TIndexKind::Idx1Relative);
  other.TopLevelExtra = test::List(riff::listInfo, text("INAM", "Another title"));
  const std::string second = Dir.File("second.avi");
  other.Write(second);
  Join({walked, second});
  TAVIFileReader reader;
  reader.Open(Out, true);
  EXPECT_EQ(reader.MainHeader().Flags, riff::AVIF_HASINDEX | riff::AVIF_ISINTERLEAVED);
  EXPECT_EQ(reader.LegacyIndexEntries(),
            test::StreamChunks(Out, true).size() + test::StreamChunks(Out, false).size());
  const TAVIFacts& facts = reader.Facts();
  EXPECT_EQ(facts.RecordingDate, "SUN DEC 06 10:20:30 2026");
  using TEntries = std::vector<std::pair<uint32_t, std::string>>;
  EXPECT_EQ(facts.Info, (TEntries{{FourCC("INAM"), "Harbour at dawn"},
                                  {FourCC("ISFT"), "Reelwright 9.99"},
                                  {FourCC("ICMT"), std::string(1024, 'c')},
                                  {FourCC("ICRD"), "2026-12-06"}}));
  // The date lies in 'hdrl', where other readers look for it.
  const std::string said =
      test::RunTool("ffprobe -v error -show_entries format_tags " + test::ShellQuote(Out));
  EXPECT_NE(said.find("creation_time=2026-12-06"), std::string::npos) << said;
  EXPECT_NE(said.find("title=Harbour at dawn"), std::string::npos) << said;
}

// GStreamer's muxer times variable-rate MP3 by its average byte rate. Three of its clips of 4 s
// of pictures and 1 s of sound join to sound as long as the pictures, timed by its frames, and
// players agree on it.
TEST_F(AVIJoin, VariableRateMp3FromGStreamerIsTimedByItsFrames) {
  if (test::RunCommand("command -v gst-launch-1.0 >/dev/null") != 0)
    GTEST_SKIP() << "GStreamer is not installed";
  const std::string clip = Dir.File("gst.avi");
  test::RunTool(
      "gst-launch-1.0 -q videotestsrc num-buffers=100 ! "
      "video/x-raw,width=64,height=48,framerate=25/1 ! jpegenc ! mux. audiotestsrc "
      "num-buffers=43 wave=ticks ! audio/x-raw,rate=44100,channels=2 ! lamemp3enc "
      "target=quality quality=2 ! mux. avimux name=mux ! filesink location=" +
      test::ShellQuote(clip) + " 2>&1");
  TAVIFileReader reader;
  reader.Open(clip, true);
  ASSERT_EQ(reader.AudioStream()->Header.SampleSize, 1u);
  Join({clip, clip, clip});
  reader.Open(Out, true);
  const TAVIStreamHeader& a = reader.AudioStream()->Header;
  EXPECT_EQ(a.Scale, 1152u);
  EXPECT_EQ(a.Rate, 44100u);
  EXPECT_EQ(a.SampleSize, 0u);
  const double frame = 1152.0 / 44100;
  EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), 12.0, frame);
  EXPECT_NEAR(a.Length * frame, 12.0, frame);
  if (test::RunCommand("command -v mpv >/dev/null") == 0) {
    const std::string said = test::RunTool(
        "mpv --no-config --vo=null --ao=null --untimed --frames=1 "
        "--term-playing-msg='DUR=${=duration}' " +
        test::ShellQuote(Out) + " 2>&1");
    const size_t at = said.find("DUR=");
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_NEAR(std::atof(said.c_str() + at + 4), 12.0, frame) << said;
  }
}

TEST_F(AVIJoin, ASourceReadWithoutItsIndexIsNamedWithTheReason) {
  const std::string bytes = test::SimpleAVI(6, true, test::TIndexKind::OpenDML).Build();
  // The OpenDML index of the first stream with a type it cannot have, at either level.
  auto withType = [&](const std::string& Name, const std::string& Id, char Type) {
    std::string b = bytes;
    const size_t at = b.find(Id);
    EXPECT_NE(at, std::string::npos) << Id;
    b[at + riff::IndexTypeOffset] = Type;
    const std::string f = Dir.File(Name);
    test::WriteFileBytes(f, b);
    return f;
  };
  const std::string super = withType("super.avi", "indx", 2);
  const std::string standard = withType("standard.avi", "ix00", 5);
  Join({super, standard});
  EXPECT_EQ(Warnings, (std::vector<std::string>{
                          "The file " + super +
                              " was read without its index: Unsupported type of super index: 2",
                          "The file " + standard +
                              " was read without its index: Unsupported type of chunk index: 5"}));
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 12u);
}

TEST(PictureKinds, TheFirstPictureHeaderDecides) {
  auto key = [](const char* Codec, const std::string& Bytes) {
    return KeyFrameOfPicture(StrToFourCC(Codec), reinterpret_cast<const uint8_t*>(Bytes.data()),
                             static_cast<uint32_t>(Bytes.size()));
  };
  const std::string sc("\0\0\1", 3);
  // H.264: parameter sets and SEI say nothing; 4-byte start codes too.
  EXPECT_EQ(key("H264", std::string(1, '\0') + sc + "\x67xx" + sc + "\x68x" + sc + "\x65x"), true);
  EXPECT_EQ(key("avc1", sc + "\x06x" + sc + "\x41x" + sc + "\x65x"), false);
  EXPECT_EQ(key("X264", "no start code"), false);
  // MPEG-4 Visual: the coding type of the first plane, after the headers before it.
  EXPECT_EQ(key("xvid", sc + "\xB0\x01" + sc + "\xB6\x10"), true);
  EXPECT_EQ(key("DIVX", sc + "\xB6\x50" + sc + "\xB6\x10"), false);
  EXPECT_EQ(key("DX50", sc + "\xB6"), false);  // cut before its coding type
  EXPECT_EQ(key("FMP4", std::string()), false);
  // Every picture of MJPEG and of uncompressed video; an empty chunk is none.
  EXPECT_EQ(key("MJPG", "x"), true);
  EXPECT_EQ(KeyFrameOfPicture(0, reinterpret_cast<const uint8_t*>("x"), 1), true);
  EXPECT_EQ(key("MJPG", std::string()), false);
  // MS MPEG-4 v3: the picture type in the first two bits, 0 for an intra-coded picture.
  EXPECT_EQ(key("DIV3", "\x3F"), true);
  EXPECT_EQ(key("mp43", "\x50"), false);
  EXPECT_EQ(key("cvid", sc + "\xB6\x10"), std::nullopt);
}

TEST_F(AVIJoin, PicturesOfASourceWithoutIndexAreKeyFramesWhereTheirCodecSaysSo) {
  struct TCase {
    std::string Codec, Extra;
    bool Known;  // a codec whose pictures tell; of the others only the first is a key frame
  };
  const std::vector<TCase> cases = {
      {"mpeg4", "-g 4", true},     {"libx264", "-g 5 -bf 0 -x264-params scenecut=0", true},
      {"mjpeg", "", true},         {"rawvideo", "", true},
      {"msmpeg4v3", "-g 5", true}, {"ffv1", "", false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Codec);
    test::TClipSpec spec = Clip(12, "none");
    spec.Codec = c.Codec;
    spec.Extra = c.Extra;
    const std::string a = test::MakeClip(spec);
    const std::string bytes = test::ReadFileBytes(a);
    const auto top = test::ListChunks(bytes, 12, bytes.size());
    const std::string noIndex = Dir.File("no-index-" + c.Codec + ".avi");
    test::WriteFileBytes(noIndex, bytes.substr(0, test::FindChunk(top, "idx1").Offset));
    Join({noIndex});
    const auto source = test::StreamChunks(a, true), got = test::StreamChunks(Out, true);
    ASSERT_EQ(got.size(), source.size());
    size_t keys = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].KeyFrame, c.Known ? source[i].KeyFrame : i == 0) << i;
      keys += source[i].KeyFrame;
    }
    // The clips have key frames after the first and, but for MJPEG and uncompressed video,
    // other pictures.
    EXPECT_GT(keys, 0u);
    if (c.Codec == "mpeg4" || c.Codec == "libx264" || c.Codec == "msmpeg4v3") {
      EXPECT_GT(keys, 1u);
      EXPECT_LT(keys, got.size());
    }
  }
}

// Rewrites an MPEG-4 file with B pictures (one a chunk, in decoding order) as writers of
// "packed bitstream" do when Pack: each B picture goes into the chunk before it, a one-byte
// placeholder into its own, and the last placeholder is left out, so that the file ends with a
// packed chunk. Key frames carry a DivX mark, "p" when packed and "n" when not. The sound is
// spread evenly over the pictures.
void RewriteAsPacked(const std::string& From, const std::string& To, bool Pack) {
  TAVIFileReader reader;
  reader.Open(From, true);
  test::TAVIBuilder b;
  b.Main = reader.MainHeader();
  b.AddStream(reader.VideoStream()->Header, reader.VideoStream()->Format);
  b.AddStream(reader.AudioStream()->Header, reader.AudioStream()->Format);
  const std::string vop("\0\0\1\xB6", 4);
  auto codingType = [&](const std::string& Data) {
    const size_t at = Data.find(vop);
    return at == std::string::npos || at + 4 >= Data.size() ? -1 : (Data[at + 4] & 0xFF) >> 6;
  };
  std::vector<test::TChunkCopy> pictures = test::StreamChunks(From, true);
  for (test::TChunkCopy& c : pictures)
    if (c.KeyFrame)
      c.Data.insert(c.Data.find(vop),
                    std::string("\0\0\1\xB2", 4) + "DivX503b1393" + (Pack ? "p" : "n"));
  std::vector<test::TChunkCopy> chunks;
  for (size_t i = 0; i < pictures.size(); ++i) {
    chunks.push_back(pictures[i]);
    if (Pack && i + 1 < pictures.size() && codingType(pictures[i + 1].Data) == 2) {
      chunks.back().Data += pictures[++i].Data;
      if (i + 1 < pictures.size()) chunks.push_back({"\x7F", false});
    }
  }
  const auto sound = test::StreamChunks(From, false);
  size_t next = 0;
  for (size_t v = 0; v < chunks.size(); ++v) {
    b.AddChunkData(0, chunks[v].Data, chunks[v].KeyFrame);
    for (; next < (v + 1) * sound.size() / chunks.size(); ++next)
      b.AddChunkData(1, sound[next].Data);
  }
  b.StreamList[0].Header.Length = static_cast<uint32_t>(chunks.size());
  b.Write(To);
}

// The checksums of the pictures ffmpeg decodes, in order.
std::vector<std::string> PictureSums(const std::string& FileName) {
  std::istringstream lines(test::RunTool("ffmpeg -nostdin -v error -i " +
                                         test::ShellQuote(FileName) + " -map 0:v -f framemd5 -"));
  std::vector<std::string> sums;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && line[0] != '#') sums.push_back(line.substr(line.rfind(',') + 1));
  return sums;
}

TEST_F(AVIJoin, PackedPicturesAreUnpackedSoThatNoneIsLostAtAJoinPoint) {
  // 25 pictures with B pictures, the last one a B picture coded after the last key frame.
  const std::string coded = Dir.File("coded.avi"), packed = Dir.File("packed.avi"),
                    plain = Dir.File("plain.avi");
  test::RunTool(
      "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=25:duration=1 -f lavfi "
      "-i sine=duration=1 -c:v mpeg4 -bf 1 -g 12 -c:a pcm_s16le " +
      test::ShellQuote(coded));
  RewriteAsPacked(coded, packed, true);
  RewriteAsPacked(coded, plain, false);
  const std::vector<std::string> each = PictureSums(plain);
  ASSERT_EQ(each.size(), 25u);
  ASSERT_EQ(test::StreamChunks(packed, true).size(), 24u);

  Join({packed, packed, packed});
  // Every picture of every source, in order, one a chunk.
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), each.begin(), each.end());
  EXPECT_EQ(PictureSums(Out), expected);
  const auto got = test::StreamChunks(Out, true);
  EXPECT_EQ(got.size(), 75u);
  EXPECT_EQ(std::count_if(got.begin(), got.end(),
                          [](const auto& C) { return C.Data.find("1393p") != std::string::npos; }),
            0);
  // The sound of each source plays on to its last picture; every player reads it all.
  test::TPeerExpectation expect;
  expect.Pictures = 75;
  expect.Seconds = expect.SoundEnd = 3;
  // ffmpeg times B pictures a picture late (its reorder delay); the sound is checked to the byte.
  expect.Tolerance = 1.0 / 25;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});
  ExpectSoundOf({plain, plain, plain});
}

TEST_F(AVIJoin, SoundIsLeftOutWhenDroppedOrWhenTheFirstSourceHasNone) {
  std::string silent = test::MakeClip(Clip(8, "none")), loud = test::MakeClip(Clip(9));
  Join({loud, silent}, true);
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_EQ(test::ProbePacketCounts(Out), (std::map<std::string, int>{{"video", 17}}));
  // Dropped sound chunks are still reported.
  EXPECT_EQ(Log.Reports, 17 + test::ProbePacketCounts(loud)["audio"]);

  Join({silent, loud});
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_EQ(test::ProbePacketCounts(Out), (std::map<std::string, int>{{"video", 17}}));
  ExpectChunksOf({silent, loud}, true);

  // No silence of WMA can be made: the gap a file without sound leaves is named.
  const std::string wma = Dir.File("wma.avi"), mute = Dir.File("mute.avi");
  test::MakeFlashBeepClip(wma, 1, 1, "wmav2");
  test::MakeFlashBeepClip(mute, 1, 1, "pcm_s16le", "-an");
  Join({wma, mute, wma});
  EXPECT_EQ(Warnings, std::vector<std::string>{"The sound after the file " + mute +
                                               " plays early: no silence can be made in the "
                                               "output's sound format to fill what its sound "
                                               "lacks"});
}

// Pictures among the first N chunks that a join of Files hands out, each source's in time order.
int PicturesAmongFirst(const std::vector<std::string>& Files, int N) {
  int pictures = 0;
  for (const auto& f : Files) {
    TAVIFileReader reader;
    reader.Open(f, false);
    reader.ResetChunkCursors();
    for (; N > 0; --N) {
      int stream = -1;
      uint32_t chunk = 0;
      reader.NextChunk(stream, chunk);
      if (stream < 0) break;
      if (&reader.Streams(stream) == reader.VideoStream()) ++pictures;
    }
  }
  return pictures;
}

TEST_F(AVIJoin, CancelLeavesAFinishedFileWithThePicturesCopiedSoFarAndTheirSound) {
  std::string a = test::MakeClip(Clip(10)), b = test::MakeClip(Clip(12));
  auto perSource = [](const std::string& f) {
    auto c = test::ProbePacketCounts(f);
    return c["video"] + c["audio"];
  };
  const int na = perSource(a), nb = perSource(b);
  // The first chunk, inside the second source, and during the third source.
  for (int n : {1, na + 3, na + nb + 5}) {
    Log = TProgressLog{};
    Log.CancelAt = n;
    Join({a, b, a});
    EXPECT_EQ(Log.Reports, n);
    EXPECT_EQ(test::DecodeErrors(Out), "") << n;
    const int pictures = PicturesAmongFirst({a, b, a}, n);
    EXPECT_EQ(test::ProbePacketCounts(Out)["video"], pictures) << n;
    TAVIFileReader reader;
    reader.Open(Out, true);
    // Sound to the last picture's end; what was written before the cancel may reach a little
    // past it, never by a whole picture.
    const uint32_t sound = reader.AudioStream()->Header.Length;
    EXPECT_GE(sound, pictures * 1764u) << n;
    EXPECT_LT(sound, (pictures + 1) * 1764u) << n;
  }
}

TEST_F(AVIJoin, OutputKeepsTheFirstSourcesAspectAndGivesTopDownPicturesPositiveHeights) {
  // 16:9 pictures whose codec carries no aspect: only the video properties header tells it.
  test::TClipSpec wide = Clip(5, "none");
  wide.Codec = "rawvideo";
  wide.Extra = "-aspect 16:9";
  const std::string a = test::MakeClip(wide);
  Join({a, a});
  EXPECT_EQ(test::ProbeStream(Out, "v:0")["display_aspect_ratio"], "16:9");
  EXPECT_EQ(test::DecodeErrors(Out), "");

  // Uncompressed RGB stored top row first: the bitmap height is negative.
  const std::string topDown = Dir.File("top-down.avi");
  test::TAVIBuilder b;
  b.Main.Flags = riff::AVIF_HASINDEX;
  b.AddStream(test::VideoHeader(25, 1, 0), test::BitmapInfo(16, -8, 0, 24));
  for (int i = 0; i < 3; ++i) b.AddChunk(0, 16 * 8 * 3);
  b.Write(topDown);
  Join({topDown, topDown});
  TAVIFileReader reader;
  reader.Open(Out, false);
  EXPECT_EQ(reader.MainHeader().Height, 8u);
  EXPECT_EQ(reader.VideoStream()->Header.Frame.bottom, 8);
  EXPECT_EQ(static_cast<int32_t>(reader.VideoStream()->FormatDWord(riff::BmpHeightOffset)), -8);
  EXPECT_EQ(reader.VideoStream()->ChunkCount(), 6u);
  EXPECT_EQ(test::DecodeErrors(Out), "");
}

TEST_F(AVIJoin, RefusesAnOutputThatIsOneOfTheSources) {
  std::string a = Dir.File("a.avi"), b = Dir.File("b.avi");
  std::filesystem::copy_file(test::MakeClip(Clip(5)), a);
  std::filesystem::copy_file(test::MakeClip(Clip(6)), b);
  Out = Dir.File("other-name.avi");
  std::filesystem::create_hard_link(b, Out);
  try {
    Join({a, b});
    FAIL() << "joined into a source";
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()), "The output file " + Out + " is one of the files to join");
  }
  EXPECT_TRUE(FileExists(b));
  EXPECT_EQ(Log.Hides, 0);
}

TEST_F(AVIJoin, SourcesWithoutVideoOrWithoutVideoLength) {
  std::string a = test::MakeClip(Clip(5));
  std::string soundOnly = Dir.File("sound.avi");
  test::TAVIBuilder s;
  s.AddStream(test::AudioHeader(44100, 1, 4), test::WaveFormat(1, 2, 44100, 16, 4));
  s.AddChunk(0, 1764);
  s.Write(soundOnly);
  try {
    Join({a, soundOnly});
    FAIL() << "joined a file without video";
  } catch (const Exception& E) {
    EXPECT_EQ(std::string(E.what()), "The file " + soundOnly + " has no video stream");
  }
  EXPECT_FALSE(FileExists(Out));  // refused before the output was touched

  // Every source declares a video length of 0: the percentage goes by sources.
  std::string zero1 = Dir.File("z1.avi"), zero2 = Dir.File("z2.avi");
  for (const auto& f : {zero1, zero2}) {
    test::TAVIBuilder z = test::SimpleAVI(4, false, test::TIndexKind::Idx1Relative);
    z.StreamList[0].Header.Length = 0;
    z.Write(f);
  }
  Join({zero1, zero2});
  EXPECT_EQ(Log.Percents, (std::vector<double>{0, 0, 0, 0, 50, 50, 50, 50}));
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 8u);
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 8);

  // A source whose sound declares a length but gives none is joined with a warning; one that
  // gives no picture at all fails the join, named, with the output finished.
  std::string mute = Dir.File("mute.avi"), blank = Dir.File("blank.avi");
  test::TAVIBuilder m = test::SimpleAVI(4, false, test::TIndexKind::Idx1Relative);
  m.AddStream(test::AudioHeader(44100, 1, 4), test::WaveFormat(1, 2, 44100, 16, 4));
  m.StreamList[1].Header.Length = 44100;
  m.Write(mute);
  Join({a, mute});
  EXPECT_EQ(Warnings, std::vector<std::string>{"No sound could be read from the file " + mute});
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 9u);
  test::TAVIBuilder v = test::SimpleAVI(0, true, test::TIndexKind::None);
  v.StreamList[0].Header.Length = 25;
  v.AddChunk(1, 1764);
  v.Write(blank);
  try {
    Join({a, blank, a});
    FAIL() << "joined a source without pictures";
  } catch (const Exception& E) {
    // Nothing in its data either: why its index was not used is the failure.
    EXPECT_EQ(std::string(E.what()), "Unable to read " + blank + ": The index is not found");
  }
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 5u);
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 5);
}

bool HoldsOpen(const std::string& FileName) {
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    if (std::filesystem::read_symlink(fd.path(), ec) == FileName) return true;
  }
  return false;
}

TEST_F(AVIJoin, FailuresReleaseTheOutputAndADamagedSourceOnlyEndsItself) {
  // A first source whose video format is too short for the writer.
  std::string bad = Dir.File("bad.avi");
  test::TAVIBuilder b = test::SimpleAVI(3, false, test::TIndexKind::Idx1Relative);
  b.StreamList[0].Format.resize(20);
  b.Write(bad);
  EXPECT_THROW(Join({bad}), Exception);
  EXPECT_FALSE(HoldsOpen(Out));

  // A source whose index lists one more chunk than the file holds.
  std::string damaged = Dir.File("damaged.avi");
  test::TAVIBuilder d = test::SimpleAVI(4, false, test::TIndexKind::Idx1Absolute);
  std::string entry = "00dc";
  AppendLE32(entry, riff::AVIIF_KEYFRAME);
  AppendLE32(entry, 0x7FFFFFF0);
  AppendLE32(entry, 0x7FFFFFF0);
  d.ExtraIdx1 = entry;
  d.Write(damaged);
  std::string good = Dir.File("good.avi");
  test::SimpleAVI(3, false, test::TIndexKind::Idx1Relative).Write(good);
  Join({damaged, good});
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 7u);
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 7);
  EXPECT_FALSE(HoldsOpen(Out));
}

// The silence that keeps sound with its pictures stays within its budget with each chunk's
// header and index entries counted: the output's size bound, and so its index mode, rests on it.
TEST(SoundSync, SilenceStaysWithinItsBudgetHeadersAndIndexEntriesIncluded) {
  const TAVIStreamHeader video = test::VideoHeader(25, 1);
  TAVIStreamHeader sound = test::AudioHeader(8000, 1, 1);  // 8-bit mono PCM: 320 bytes a picture
  TSoundSync sync(video, sound, test::WaveFormat(1, 1, 8000, 8, 1));
  constexpr uint64_t Overhead = 8 + 16 + 8;  // chunk header, 'idx1' and OpenDML index entries
  // Room for ten chunks of silence and an eleventh's samples, not for its header and entries.
  sync.SetSilenceBudget(10 * (320 + Overhead) + 330);
  sound.Start = 8000;  // a second after the first picture
  sync.BeginSource(video, &sound, 50);
  const std::vector<uint8_t> data(320, 0x80);
  uint64_t silence = 0;
  sync.CopySound(data.data(), 320, true, [&](const uint8_t* Data, uint32_t Size, bool) {
    if (Data != data.data()) silence += Size;
  });
  EXPECT_EQ(silence, 10u * 320);
}

TEST_F(AVIJoin, IndexModeFollowsWhatTheOutputCanHold) {
  // Without sound the output holds at most the sources' chunks; with sound, also the silence
  // that keeps it with the pictures.
  const int64_t threshold = TAVIFileJoiner::OpenDMLThreshold;
  const int64_t allowance = TAVIFileJoiner::SilenceAllowance;
  const int64_t perByte = TAVIFileJoiner::SilencePerSourceByte;
  EXPECT_EQ(TAVIFileJoiner::OutputSizeBound(1000, false), 1000);
  EXPECT_EQ(TAVIFileJoiner::OutputSizeBound(1000, true), 1000 + allowance + perByte * 1000);
  const int64_t lastLegacy = (threshold - allowance - 1) / (perByte + 1);
  EXPECT_EQ(TAVIFileJoiner::IndexModeFor(lastLegacy, true), TAVIFileWriter::imLegacy);
  EXPECT_EQ(TAVIFileJoiner::IndexModeFor(lastLegacy + 1, true), TAVIFileWriter::imBoth);
  EXPECT_EQ(TAVIFileJoiner::IndexModeFor(threshold - 1, false), TAVIFileWriter::imLegacy);
  EXPECT_EQ(TAVIFileJoiner::IndexModeFor(threshold, false), TAVIFileWriter::imBoth);

  // A source with sound just past the last size that keeps the legacy index alone.
  std::string a = test::MakeClip(Clip(5));
  std::string big = Dir.File("big.avi");
  std::filesystem::copy_file(a, big);
  test::PadToSize(big, lastLegacy + 1);
  Join({big});
  EXPECT_TRUE(test::ReadsAsOpenDML(Out));
  EXPECT_EQ(test::DecodeErrors(Out), "");
  Join({big}, true);
  EXPECT_FALSE(test::ReadsAsOpenDML(Out));
}

TEST_F(AVIJoin, IndexModeFollowsTheSourcesTotalSize) {
  std::string a = test::MakeClip(Clip(5, "none"));
  std::string big = Dir.File("big.avi");
  const int64_t threshold = TAVIFileJoiner::OpenDMLThreshold;
  for (int64_t total : {threshold - 1, threshold}) {
    std::filesystem::remove(big);
    std::filesystem::copy_file(a, big);
    test::PadToSize(big, total - static_cast<int64_t>(std::filesystem::file_size(a)));
    Join({a, big});
    auto top = test::ListTopLevel(Out);
    EXPECT_EQ(test::ReadsAsOpenDML(Out), total == threshold) << total;
    EXPECT_EQ(top.back().Id, "RIFF");
    EXPECT_EQ(test::DecodeErrors(Out), "");
    ExpectChunksOf({a, big}, true);
  }
}

// Large pictures go from file to file: inside the kernel where the sources and the output share
// a file system, through the program where they do not (sources in /dev/shm). Either way the
// output holds the sources' chunks byte for byte: pictures of odd sizes, pictures wholly in the
// read-ahead window that the sound chunks loaded, and pictures that start in it and end past it.
TEST_F(AVIJoin, LargePicturesAreCopiedByteForByteWhereverTheSourcesLie) {
  constexpr uint32_t Window = TAVIFileJoiner::ReadAheadSize;
  test::TAVIBuilder b;
  b.AddStream(test::VideoHeader(25, 1, FourCC("MJPG")), test::BitmapInfo(320, 240, FourCC("MJPG")));
  b.AddStream(test::AudioHeader(44100, 1, 4), test::WaveFormat(1, 2, 44100, 16, 4));
  const std::vector<uint32_t> sizes = {70001,          1000,  300000,
                                       Window + 1,     65536, 600000,
                                       2 * Window + 3, 65535, TAVIFileJoiner::CopyByRangeSize};
  uint32_t seed = 1;
  const auto bytes = [&seed](uint32_t Size) {
    std::string data(Size, '\0');
    for (char& c : data) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return data;
  };
  for (size_t i = 0; i < sizes.size(); ++i) {
    b.AddChunkData(0, bytes(sizes[i]), i % 3 == 0);
    b.AddChunkData(1, bytes(7056));  // a picture's length of sound
  }
  b.StreamList[0].Header.Length = static_cast<uint32_t>(sizes.size());
  b.StreamList[1].Header.Length = static_cast<uint32_t>(sizes.size() * 7056 / 4);
  const std::string a = Dir.File("a.avi"), c = Dir.File("c.avi");
  b.Write(a);
  b.Index = test::TIndexKind::OpenDML;
  b.Write(c);
  Join({a, c, a});
  ExpectChunksOf({a, c, a}, true);
  ExpectSoundOf({a, c, a});
  const std::string sameFileSystem = test::ReadFileBytes(Out);

  const std::filesystem::path shm = "/dev/shm";
  if (!std::filesystem::is_directory(shm)) GTEST_SKIP() << "no /dev/shm";
  const std::string tag = "rw-copy-" + std::to_string(::getpid());
  struct TRemove {
    std::vector<std::string> Files;
    ~TRemove() {
      for (const auto& f : Files) std::filesystem::remove(f);
    }
  } elsewhere{{(shm / (tag + "-a.avi")).string(), (shm / (tag + "-c.avi")).string()}};
  std::filesystem::copy_file(a, elsewhere.Files[0]);
  std::filesystem::copy_file(c, elsewhere.Files[1]);
  Join({elsewhere.Files[0], elsewhere.Files[1], elsewhere.Files[0]});
  EXPECT_TRUE(test::ReadFileBytes(Out) == sameFileSystem);
  ExpectChunksOf({a, c, a}, true);
  for (const auto& f : elsewhere.Files) EXPECT_EQ(test::Checksum(f), Sums[f]) << f;
  for (const auto& f : elsewhere.Files) Sums.erase(f);
}

TEST_F(AVIJoin, OutputPast1GiBGetsASecondRiffPartWithOpenDMLIndexes) {
  std::string a = Dir.File("raw1.avi"), b = Dir.File("raw2.avi");
  test::MakeSparseRawAVI(a, 560);
  test::MakeSparseRawAVI(b, 560);
  Join({a, b});
  EXPECT_GT(std::filesystem::file_size(Out), uint64_t{1} << 30);
  auto top = test::ListTopLevel(Out);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[1].Id, "RIFF");
  EXPECT_EQ(top[1].ListType, "AVIX");
  EXPECT_TRUE(test::ReadsAsOpenDML(Out));
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 1120);
  TAVIFileReader reader;
  reader.Open(Out, false);
  EXPECT_EQ(reader.VideoStream()->ChunkCount(), 1120u);
  EXPECT_LT(reader.MainHeader().TotalFrames, 1120u);  // the first part's frames only
  // Every player finds the pictures of both parts through the OpenDML indexes.
  test::TPeerExpectation expect;
  expect.Pictures = 1120;
  expect.Seconds = 1120 / 25.0;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});
  std::filesystem::remove(Out);
}

}  // namespace
}  // namespace rw
