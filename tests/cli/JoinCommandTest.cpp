#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>

#include "media/RiffFormat.h"
#include "support/JoinCheck.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/PeerCheck.h"
#include "support/TempDir.h"

extern char** environ;

namespace rw {
namespace {

struct TRun {
  int Status;
  std::string Output;  // standard output and standard error
};

TRun Cli(const std::string& Args) {
  TRun r;
  r.Status = test::RunCommand(test::ShellQuote(std::getenv("RW_CLI")) + " join " + Args + " 2>&1",
                              &r.Output);
  return r;
}

test::TClipSpec Clip(int Width, const std::string& Audio) {
  test::TClipSpec s;
  s.Width = Width;
  s.Frames = 6;
  s.Audio = Audio;
  return s;
}

class JoinCommand : public ::testing::Test {
protected:
  test::TTempDir Dir;
  std::string Out = Dir.File("out.avi");
  std::string Q(const std::string& S) { return test::ShellQuote(S); }
};

TEST_F(JoinCommand, JoinsAndReplacesAnExistingOutputOnlyWithYes) {
  std::string a = test::MakeClip(Clip(64, "mp3")), b = test::MakeClip(Clip(64, "mp3"));
  TRun r = Cli("-o " + Q(Out) + " " + Q(a) + " " + Q(b));
  ASSERT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::DecodeErrors(Out), "");
  auto one = test::ProbePacketCounts(a);
  // Every picture, and the sound (longer in the sources by the MP3 encoder's padding) cut to
  // the pictures' end to the nearest frame.
  auto soundWithPictures = [&] {
    EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"),
                1152.0 / 44100 / 2 + 1e-3);
  };
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 2 * one["video"]);
  soundWithPictures();

  std::string before = test::Checksum(Out);
  r = Cli("-o " + Q(Out) + " " + Q(a));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "The \"" + Out +
                          "\" file already exists. Do you want to overwrite it?\n"
                          "Run the command with --yes to replace it.\n");
  EXPECT_EQ(test::Checksum(Out), before);
  r = Cli("--yes -o " + Q(Out) + " " + Q(a));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], one["video"]);
  soundWithPictures();

  // A source cut short (its index gone with its end) is joined as far as it holds, with a
  // warning that names it.
  std::string cut = Dir.File("cut.avi"), bytes = test::ReadFileBytes(a);
  auto movi = test::ListChunks(
      bytes, test::FindChunk(test::ListChunks(bytes, 12, bytes.size()), "LIST", "movi"));
  test::WriteFileBytes(cut, bytes.substr(0, movi[movi.size() / 2].Offset));
  r = Cli("--yes -o " + Q(Out) + " " + Q(a) + " " + Q(cut));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("Warning: Only "), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find(" frames of the file " + cut + " could be read.\n"), std::string::npos)
      << r.Output;
  EXPECT_NE(r.Output.find("Warning: The file " + cut +
                          " was read without its index: The index is not found.\n"),
            std::string::npos)
      << r.Output;
  EXPECT_GT(test::ProbePacketCounts(Out)["video"], one["video"]);
  soundWithPictures();
}

TEST_F(JoinCommand, AFileThatCannotBeAddedEndsTheCommand) {
  std::string text = Dir.File("notes.txt");
  test::WriteFileBytes(text, "not a video at all, but long enough to be looked at");
  TRun r = Cli("-o " + Q(Out) + " " + Q(test::MakeClip(Clip(64, "pcm"))) + " " + Q(text));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "Unable to add file " + text + ": The file has unknown format.\n");
  EXPECT_FALSE(std::filesystem::exists(Out));
  EXPECT_EQ(Cli("").Status, 2);
  EXPECT_EQ(Cli("--copy --recompress -o " + Q(Out) + " " + Q(text)).Status, 2);
}

TEST_F(JoinCommand, DecidesBetweenCopyAndRecompressionAsTheJoinOptionsDo) {
  std::string pcm = test::MakeClip(Clip(64, "pcm")), silent = test::MakeClip(Clip(64, "none"));
  std::string wide = test::MakeClip(Clip(80, "pcm"));
  // A recompressed output always has sound, through the proposed MP3 compressor.
  auto recompressed = [&] { return test::ProbeStream(Out, "a:0")["codec_name"] == "mp3"; };

  // Different video formats: the file that differs is converted into the first one's format,
  // --recompress recompresses both, and --copy is refused with the note.
  TRun r = Cli("-o " + Q(Out) + " " + Q(pcm) + " " + Q(wide));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_FALSE(recompressed());
  EXPECT_EQ(test::ProbeStream(Out, "v:0")["width"], "64");
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "pcm_s16le");
  r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(wide));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(recompressed());
  r = Cli("--copy -o " + Q(Out) + " " + Q(pcm) + " " + Q(wide));
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "The files cannot be copied into one, as their pictures differ:\n2. " +
                          std::filesystem::path(wide).filename().string() +
                          ": 80x48; the first file has 64x48\nRun the command with --convert to "
                          "convert the files that differ, or with --recompress.\n");

  // Sound would be lost: by default a copy that gives the silent file silence, --copy joins
  // without sound, --recompress recompresses.
  r = Cli("--yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("2. " + std::filesystem::path(silent).filename().string() + ": No sound"),
            std::string::npos)
      << r.Output;
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "pcm_s16le");
  EXPECT_EQ(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"));
  r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(recompressed());
  r = Cli("--copy --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(r.Output, "- files will be joined without sound (audio formats differ)\n");
  EXPECT_EQ(test::ProbePacketCounts(Out), (std::map<std::string, int>{{"video", 12}}));
  EXPECT_EQ(test::DecodeErrors(Out), "");

  // No file has sound: copied by default; --recompress asks for recompression.
  EXPECT_EQ(Cli("--yes -o " + Q(Out) + " " + Q(silent) + " " + Q(silent)).Status, 0);
  EXPECT_FALSE(recompressed());
  r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(silent));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_TRUE(recompressed());
}

TEST_F(JoinCommand, ConvertsOnlyTheSoundThatDiffersOrSaysWhyItCannot) {
  std::string mp3 = test::MakeClip(Clip(64, "mp3")), pcm = test::MakeClip(Clip(64, "pcm"));
  std::string adpcm = test::MakeClip(Clip(64, "adpcm_ima_wav"));
  // MP3 covers most of the time: the PCM file's sound is converted, the pictures all copied.
  TRun r = Cli("-o " + Q(Out) + " " + Q(mp3) + " " + Q(pcm) + " " + Q(mp3));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("2. " + std::filesystem::path(pcm).filename().string() + ": PCM"),
            std::string::npos)
      << r.Output;
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "mp3");
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 18);
  EXPECT_EQ(test::DecodeErrors(Out), "");
  const std::string info = test::RunTool(test::ShellQuote(std::getenv("RW_CLI")) + " info " +
                                         Q(mp3) + " " + Q(pcm) + " " + Q(mp3));
  EXPECT_NE(info.find("\tcopied\n"), std::string::npos) << info;
  EXPECT_NE(info.find("\tsound converted\n"), std::string::npos) << info;
  // PCM kept: the MP3 file's sound becomes PCM of the output's format, exactly as long as its
  // pictures, as the copied files' sound is.
  r = Cli("--convert --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(mp3) + " " + Q(pcm));
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], "pcm_s16le");
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"), 1e-4);

  // IMA ADPCM is kept but cannot be written: --convert fails saying why, the default
  // recompresses (through the proposed MP3 compressor) and says why it does not convert.
  auto recompressed = [&] { return test::ProbeStream(Out, "a:0")["codec_name"] == "mp3"; };
  const std::string files = " " + Q(adpcm) + " " + Q(adpcm) + " " + Q(pcm);
  r = Cli("--convert --yes -o " + Q(Out) + files);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output.rfind("Only the files that differ cannot be converted: ", 0), 0u) << r.Output;
  EXPECT_NE(r.Output.find("cannot be written"), std::string::npos) << r.Output;
  r = Cli("--yes -o " + Q(Out) + files);
  EXPECT_EQ(r.Status, 0) << r.Output;
  EXPECT_NE(r.Output.find("Only the files that differ cannot be converted"), std::string::npos);
  EXPECT_TRUE(recompressed());
  // An AAC format that names no channels: the failure names the file and the value in words,
  // not in an error code's ("Operation not permitted").
  const std::string aac = test::MakeClip(Clip(64, "aac"));
  std::string bytes = test::ReadFileBytes(aac);
  bytes[bytes.find("strf", bytes.find("strf") + 4) + 8 + 19] &= 0x87;
  const std::string noChannels = Dir.File("no-channels.avi");
  test::WriteFileBytes(noChannels, bytes);
  r = Cli("--yes -o " + Q(Out) + " " + Q(mp3) + " " + Q(noChannels) + " " + Q(mp3));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Output.find("Cannot decode the sound of " + noChannels +
                          ": it is AAC whose set-up names channel configuration 0"),
            std::string::npos)
      << r.Output;
  EXPECT_EQ(r.Output.find("SBR"), std::string::npos) << r.Output;
  EXPECT_EQ(Cli("--convert --copy -o " + Q(Out) + files).Status, 2);
  EXPECT_EQ(Cli("--convert --size 32x24 -o " + Q(Out) + files).Status, 2);
  EXPECT_EQ(Cli("--convert --resize zoom --yes -o " + Q(Out) + " " + Q(mp3) + " " + Q(pcm)).Status,
            2);
}

TEST_F(JoinCommand, KeptVariableRateMp3AndAacTakeConvertedSoundInItsPlace) {
  // The kept sound is mencoder's variable-rate MP3, AAC with its config in the format, or AAC
  // in ADTS frames; a PCM file's sound is converted into it. The converted sound decodes whole
  // and its beeps stay within 5 ms of their places (the encoder's priming samples left out);
  // the file after it is in step.
  const std::string pcm = Dir.File("pcm.avi"), aac = Dir.File("aac.avi"),
                    adts = Dir.File("adts.avi"), vbr = Dir.File("vbr.avi");
  test::MakeFlashBeepClip(pcm, 2, 2, "pcm_s16le");
  test::MakeFlashBeepClip(aac, 2, 2, "aac");
  test::MakeFlashBeepClip(adts, 2, 2, "aac");
  test::RemuxAacToAdts(adts);
  test::RunTool("mencoder -really-quiet " + Q(pcm) + " -ovc copy -oac mp3lame -o " + Q(vbr) +
                " 2>&1");
  const std::vector<double> own = test::BeepOnsets(pcm);
  ASSERT_EQ(own.size(), 2u);
  for (const auto& [kept, codec] : {std::pair{vbr, "mp3"}, {aac, "aac"}, {adts, "aac"}}) {
    SCOPED_TRACE(kept);
    const TRun r = Cli("--convert --yes -o " + Q(Out) + " " + Q(pcm) + " " + Q(kept) + " " +
                       Q(kept) + " " + Q(kept));
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(test::ProbeStream(Out, "a:0")["codec_name"], codec);
    EXPECT_EQ(test::DecodeErrors(Out), "");
    const std::vector<double> beeps = test::BeepOnsets(Out), next = test::BeepOnsets(kept);
    ASSERT_GE(beeps.size(), 3u);
    EXPECT_NEAR(beeps[0], own[0], 0.005);
    EXPECT_NEAR(beeps[1], own[1], 0.005);
    // The copy places the next file's sound to its frame.
    EXPECT_NEAR(beeps[2], 2 + next[0], 1152.0 / 44100);
  }
}

TEST_F(JoinCommand, ConvertedAndRecompressedPicturesKeepTheirSlots) {
  // Sources as libx264 and ffmpeg write them: B-frames, and pictures left out whose slots stay
  // as empty chunks. Each flashes at 1.2 s, beeps there, and flashes on its last picture; files
  // of one black picture and of two (the second white) close the list. Converted or recompressed,
  // every piece has its source's pictures in its source's slots: the Nth decoded picture is
  // shown in the slot of the Nth chunk that holds one, never a reorder delay later.
  auto make = [&](const std::string& Name, const std::string& Codec, const std::string& Options,
                  int Drop, double Seconds = 2, bool Sound = true) {
    test::TClip c;
    c.Seconds = Seconds;
    c.Flash = Seconds > 1.2 ? 1.2 : 5;
    c.FlashLast = Seconds > 0.04;
    c.VideoCodec = Codec;
    c.VideoOptions = Options;
    c.DropFrom = 10;
    c.DropCount = Drop;
    if (!Sound) c.AudioCodec.clear();
    const std::string file = Dir.File(Name);
    test::MakeClipFile(file, c);
    return file;
  };
  const std::string mpeg4 = make("mpeg4.avi", "mpeg4", "", 0),
                    h264 = make("h264.avi", "libx264", "-bf 0", 0),
                    h264b = make("h264b.avi", "libx264", "-bf 3", 0),
                    h264gap = make("h264gap.avi", "libx264", "-bf 3", 3),
                    mpeg4b = make("mpeg4b.avi", "mpeg4", "-bf 2", 0),
                    mpeg4gap = make("mpeg4gap.avi", "mpeg4", "-bf 2", 3),
                    one = make("one.avi", "libx264", "", 0, 0.04, false),
                    two = make("two.avi", "mjpeg", "", 0, 0.08, false);
  auto check = [&](const std::vector<std::string>& Files, const std::string& How) {
    SCOPED_TRACE(How);
    std::string list;
    for (const std::string& f : Files) list += " " + Q(f);
    const TRun r = Cli(How + " --yes -o " + Q(Out) + list);
    ASSERT_EQ(r.Status, 0) << r.Output;
    const test::TFlashesAndBeeps joined{test::FlashSlots(Out), test::BeepOnsets(Out)};
    // Each source's markers where it shows them, after the slots of the sources before it.
    std::vector<double> flashes, beeps;
    double start = 0;
    for (const std::string& f : Files) {
      for (double t : test::FlashSlots(f)) flashes.push_back(start + t);
      if (test::ProbeStreamCount(f) > 1) beeps.push_back(start + 1.2);
      start += std::stoi(test::ProbeStream(f, "v:0")["nb_frames"]) / 25.0;
    }
    ASSERT_EQ(joined.Flashes.size(), flashes.size()) << ::testing::PrintToString(joined.Flashes);
    for (size_t i = 0; i < flashes.size(); ++i)
      EXPECT_NEAR(joined.Flashes[i], flashes[i], 0.027) << i;
    ASSERT_EQ(joined.Beeps.size(), beeps.size());
    for (size_t i = 0; i < beeps.size(); ++i) EXPECT_NEAR(joined.Beeps[i], beeps[i], 0.027) << i;
    test::TPeerExpectation expect;
    expect.Pictures = static_cast<int>(std::lround(start * 25));
    expect.Seconds = expect.SoundEnd = start;
    expect.Tolerance = 0.04;
    expect.Flashes = flashes;
    EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});
  };
  // The B-frame sources are the ones converted: the kept format covers most of the time.
  check({mpeg4, h264b, mpeg4, h264gap, mpeg4, one, two}, "--convert");
  check({h264, mpeg4b, h264, mpeg4gap, h264}, "--convert");
  check({h264b, mpeg4gap, h264gap, one, two}, "--recompress --vcodec mpeg4 --acodec pcm_s16le");
}

TEST_F(JoinCommand, CutFilesKeepTheirInAndOutPicturesCopyingFromTheKeyFrameOn) {
  // Clips of 4 s at 25 fps with a key frame every 25 pictures, a square that moves with every
  // picture, a flash and a beep at 2 s (picture 50). File 2 is cut by picture numbers and
  // file 3 by times, both at pictures that are no key frames: the pictures up to the next key
  // frame are converted, the rest copied, and each file shows its In picture first and its Out
  // picture last, in its own slots, with its sound in step.
  // (Sound primed by its encoder starts with the pictures: no empty chunk is put first.)
  struct TCase {
    std::string Name, Codec, Options;
    int CopiedTo;  // the last chunk of file 2 copied for sure (B pictures end the copy earlier)
  };
  const std::string clean = " -g 25 -avoid_negative_ts disabled";
  for (const TCase& c : {TCase{"mpeg4", "mpeg4", clean, 87},
                         TCase{"h264", "libx264", clean + " -bf 3 -x264-params scenecut=0", 84}}) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
      test::TClip clip;
      clip.Seconds = 4;
      clip.Flash = 2;
      clip.Moving = true;
      clip.VideoCodec = c.Codec;
      clip.VideoOptions = c.Options;
      clip.AudioCodec = "libmp3lame";
      files.push_back(Dir.File(c.Name + std::to_string(i) + ".avi"));
      test::MakeClipFile(files.back(), clip);
    }
    const std::vector<test::TChunkCopy> source = test::StreamChunks(files[1], true);
    ASSERT_EQ(source.size(), 100u);
    ASSERT_TRUE(source[50].KeyFrame && !source[30].KeyFrame && !source[87].KeyFrame);
    // 1.1 s keeps picture 27 (shown from 1.08 s), 3.5 s ends before picture 87.
    const TRun r = Cli("--yes -o " + Q(Out) + " --cut 2=#30-#87 --cut 3=1.1-00:03.5 " +
                       Q(files[0]) + " " + Q(files[1]) + " " + Q(files[2]));
    ASSERT_EQ(r.Status, 0) << r.Output;
    struct TKept {
      int In, Out, At;  // the source's pictures kept, and where the first lands in the output
    };
    const TKept kept[] = {{0, 99, 0}, {30, 87, 100}, {27, 86, 158}};
    const int total = 218;
    const std::vector<test::TChunkCopy> joined = test::StreamChunks(Out, true);
    ASSERT_EQ(joined.size(), static_cast<size_t>(total));

    // Each file's first and last picture are its In and Out pictures, as decoded: the copied
    // last one to the byte, the converted first one nearer to In than to its neighbours.
    std::vector<double> flashes, beeps;
    for (size_t f = 0; f < 3; ++f) {
      SCOPED_TRACE(f);
      const TKept& k = kept[f];
      auto distance = [](const std::string& A, const std::string& B) {
        long sum = 0;
        for (size_t i = 0; i < A.size() && i < B.size(); ++i) sum += std::abs(A[i] - B[i]);
        return A.size() == B.size() ? sum : LONG_MAX;
      };
      const std::string first = test::GreyFrame(Out, k.At);
      for (int n : {k.In - 1, k.In + 1}) {
        if (n < 0) continue;
        EXPECT_LT(distance(first, test::GreyFrame(files[f], k.In)),
                  distance(first, test::GreyFrame(files[f], n)))
            << n;
      }
      const std::string last = test::GreyFrame(Out, k.At + k.Out - k.In);
      const std::string out = test::GreyFrame(files[f], k.Out);
      EXPECT_LT(distance(last, out), distance(last, test::GreyFrame(files[f], k.Out - 1)));
      EXPECT_LT(distance(last, out), distance(last, test::GreyFrame(files[f], k.Out + 1)));
      if (c.Name == "mpeg4") {
        EXPECT_EQ(last, out);
      }
      // The flash and the beep where the file has them, counted from its In picture.
      flashes.push_back((k.At + 50 - k.In) / 25.0);
      for (double t : test::BeepOnsets(files[f])) beeps.push_back(k.At / 25.0 + t - k.In / 25.0);
    }
    // File 2: its head starts with a key frame (in the index and for the decoder); from the
    // next key frame on its chunks are the source's own.
    EXPECT_TRUE(joined[100].KeyFrame);
    std::string type;
    test::RunCommand(
        "ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of "
        "csv=p=0 " +
            Q(Out) + " | grep '^[IPB]' | sed -n 101p | cut -c1",
        &type);
    EXPECT_EQ(type, "I\n");
    for (int n = 50; n <= c.CopiedTo; ++n) {
      EXPECT_EQ(joined[100 + n - 30].Data, source[n].Data) << n;
      EXPECT_EQ(joined[100 + n - 30].KeyFrame, source[n].KeyFrame) << n;
    }
    const test::TFlashesAndBeeps seen{test::FlashSlots(Out), test::BeepOnsets(Out)};
    ASSERT_EQ(seen.Flashes.size(), flashes.size()) << ::testing::PrintToString(seen.Flashes);
    for (size_t i = 0; i < flashes.size(); ++i) EXPECT_NEAR(seen.Flashes[i], flashes[i], 0.027);
    ASSERT_EQ(seen.Beeps.size(), beeps.size()) << ::testing::PrintToString(seen.Beeps);
    for (size_t i = 0; i < beeps.size(); ++i) EXPECT_NEAR(seen.Beeps[i], beeps[i], 0.027);
    test::TPeerExpectation expect;
    expect.Pictures = total;
    expect.Seconds = expect.SoundEnd = total / 25.0;
    // ffmpeg times B pictures in AVI its reorder delay (two pictures) late, the sources' too.
    expect.Tolerance = c.Name == "h264" ? 0.04 + 2 / 25.0 : 0.04;
    expect.Flashes = flashes;
    EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});
    if (c.Name != "mpeg4") continue;

    // A cut that names no file, keeps nothing or reaches past its file's end is a usage error
    // that says what is wrong, and nothing is written.
    const std::string bad = Dir.File("bad.avi"), name = files[1];
    for (const auto& [cut, says] : std::vector<std::pair<std::string, std::string>>{
             {"4=#0-#5", "The cut of file 4 names no file: 3 file(s) are joined"},
             {"0=1-2", "does not name a file by its position from 1"},
             {"2=1.5", "is not understood"},
             {"2=#50-#40", "The cut of the file " + name + " ends before it starts"},
             {"2=#100-", "The cut of the file " + name + " starts past its end (it has 100 " +
                             "pictures, #0 to #99)"},
             {"2=1-4.05", "The cut of the file " + name + " ends past its end"},
             {"2=1:75-", "'1:75' is neither a time"},
             {"2=#x-", "'#x' is not a picture number"}}) {
      const TRun r = Cli("--yes -o " + Q(bad) + " --cut " + cut + " " + Q(files[0]) + " " +
                         Q(files[1]) + " " + Q(files[2]));
      EXPECT_EQ(r.Status, 2) << cut << r.Output;
      EXPECT_NE(r.Output.find(says), std::string::npos) << cut << r.Output;
      EXPECT_FALSE(std::filesystem::exists(bad)) << cut;
    }
  }
}

// One lying field in the sound of the file that is converted (an index entry of 2 GiB, a
// stream clock of one unit in 384000 s, a sample rate of 2 Hz) once made the resampler fill
// hours of silence, gigabytes at once. The converted sound is bounded by its file: the join
// ends as a join of sane files does, or fails naming the value.
TEST_F(JoinCommand, ALyingSoundFieldInAConvertedFileCostsNoMoreMemoryThanTheFile) {
  const std::string mp3 = test::MakeClip(Clip(64, "mp3"));
  const std::string pcm = test::ReadFileBytes(test::MakeClip(Clip(64, "pcm")));
  auto at = [](std::string& Bytes, size_t Pos, uint32_t Value) {
    PutLE32(reinterpret_cast<uint8_t*>(Bytes.data()) + Pos, Value);
  };
  const size_t strh = pcm.find("strh", pcm.find("strh") + 4) + 8;  // the sound's
  const size_t strf = pcm.find("strf", pcm.find("strf") + 4) + 8;
  size_t entry = pcm.find("01wb", pcm.find("idx1"));
  entry = pcm.find("01wb", entry + 16);
  ASSERT_NE(entry, std::string::npos);
  const std::string hostile = Dir.File("hostile.avi");
  for (const auto& [name, pos, value] :
       {std::tuple{"index entry", entry + 12, 0x7ffffff0u}, std::tuple{"scale", strh + 20, 384000u},
        std::tuple{"sample rate", strf + 4, 2u},
        std::tuple{"sample rate", strf + 4, 2147483647u}}) {
    std::string bytes = pcm;
    at(bytes, pos, value);
    test::WriteFileBytes(hostile, bytes);
    std::filesystem::remove(Out);
    const TRun r = Cli("-o " + Q(Out) + " " + Q(mp3) + " " + Q(hostile) + " " + Q(mp3));
    if (r.Status == 0) {
      EXPECT_EQ(test::DecodeErrors(Out), "") << name;
      EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"), 0.1)
          << name;
    } else {
      EXPECT_EQ(r.Status, 1) << name << r.Output;
      EXPECT_NE(r.Output.find(hostile), std::string::npos) << name << r.Output;
      EXPECT_NE(r.Output.find("has a sample rate of " + std::to_string(value) + " Hz"),
                std::string::npos)
          << name << r.Output;
    }
  }
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
  EXPECT_LT(usage.ru_maxrss, 300 * 1024) << "kB at most";
  // Recompressed (which costs more memory whatever the files), the file and the rate are
  // named too.
  const TRun r = Cli("--recompress --yes -o " + Q(Out) + " " + Q(mp3) + " " + Q(hostile));
  EXPECT_EQ(r.Status, 1) << r.Output;
  EXPECT_NE(r.Output.find(hostile + " has a sample rate of 2147483647 Hz"), std::string::npos)
      << r.Output;
}

// Stream header fields no file is made with, in the file whose headers the output takes and in
// a later one: a start hours into the file (players read it as no delay; copied, ffmpeg gave up
// on it, "crazy start time", and a later file's sound played minutes out of step) and a sample
// size for pictures (copied, ffmpeg timed 0.8 s of pictures by their bytes: 463 s).
TEST_F(JoinCommand, StreamHeaderFieldsNoFileIsMadeWithAreNotCopiedToTheOutput) {
  const std::string mp3 = test::MakeClip(Clip(64, "mp3"));
  const std::string clean = test::ReadFileBytes(mp3);
  const size_t video = clean.find("strh") + 8, sound = clean.find("strh", video) + 8;
  constexpr size_t SampleSize = 44, Start = 28;
  auto lying = [&](const std::string& Name, std::initializer_list<std::pair<size_t, uint32_t>> At) {
    std::string bytes = clean;
    for (const auto& [pos, value] : At)
      PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + pos, value);
    test::WriteFileBytes(Dir.File(Name), bytes);
    return Q(Dir.File(Name));
  };
  const std::string files =
      lying("late-pictures.avi", {{video + Start, 3385617319u}, {video + SampleSize, 3}}) + " " +
      lying("late-sound.avi", {{sound + Start, 3385617319u}}) + " " + Q(mp3);
  const TRun r = Cli("--copy -o " + Q(Out) + " " + files);
  ASSERT_EQ(r.Status, 0) << r.Output;
  EXPECT_EQ(test::DecodeErrors(Out), "");
  const std::string out = test::ReadFileBytes(Out);
  EXPECT_EQ(test::U32At(out, out.find("strh") + 8 + Start), 0u);
  EXPECT_EQ(test::U32At(out, out.find("strh") + 8 + SampleSize), 0u);
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 3 * test::ProbePacketCounts(mp3)["video"]);
  EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), test::DecodedDuration(Out, "v:0"),
              1152.0 / 44100 / 2 + 1e-3);
}

TEST_F(JoinCommand, CtrlCSigtermAndSighupStopTheJoinAndKeepAFinishedOutput) {
  std::string a = Dir.File("a.avi"), b = Dir.File("b.avi");
  test::MakeSparseRawAVI(a, 400);
  test::MakeSparseRawAVI(b, 400);
  const std::string temp = Dir.File(".out.avi.part");
  std::string cli = std::getenv("RW_CLI");
  std::vector<std::string> args = {cli, "join", "--yes", "-o", Out, a, b};
  std::vector<char*> argv;
  for (auto& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  // The signals sent one after the other once the join has written At bytes: the first one
  // stops it and gives the exit status; the others come while it finishes and are ignored.
  // (Signals pending together are delivered lowest number first: the first is the lowest.)
  struct TCase {
    std::vector<int> Signals;
    uintmax_t At;
  };
  for (const TCase& c : {TCase{{SIGINT}, 50u << 20}, TCase{{SIGTERM, SIGTERM}, 5u << 20},
                         TCase{{SIGHUP, SIGINT, SIGTERM}, 100u << 20}}) {
    SCOPED_TRACE(c.Signals[0]);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    auto written = [&] {
      std::error_code ec;
      auto size = std::filesystem::file_size(temp, ec);
      return ec ? 0 : size;
    };
    while (written() < c.At && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int signal : c.Signals) {
      ::kill(pid, signal);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.Signals[0]);
    int frames = test::ProbePacketCounts(Out)["video"];
    EXPECT_GE(frames, static_cast<int>(c.At >> 20) - 1);
    EXPECT_LT(frames, 800);
    EXPECT_EQ(test::DecodeErrors(Out), "");
    EXPECT_FALSE(std::filesystem::exists(temp));
  }
}

}  // namespace
}  // namespace rw
