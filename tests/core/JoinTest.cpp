// The join as both front ends run it: the one decision over the listed files and the user's
// choices, and the one run that shows a progress view for either joiner and says what happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "core/FileList.h"
#include "core/CutText.h"
#include "core/JoinDecision.h"
#include "core/JoinFacts.h"
#include "core/JoinRequest.h"
#include "media/AVIRead.h"
#include "streamcopy/SoundBlocks.h"
#include "support/Fixtures.h"
#include "support/JoinCheck.h"
#include "support/MediaCheck.h"
#include "support/MediaTools.h"
#include "support/PeerCheck.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw {
namespace {

test::TClipSpec Clip(int Width, const std::string& Rate, int Frames, const std::string& Audio) {
  test::TClipSpec s;
  s.Width = Width;
  s.Height = Width * 3 / 4;
  s.Rate = Rate;
  s.Frames = Frames;
  s.Audio = Audio;
  return s;
}

class Join : public ::testing::Test {
protected:
  // The list of Files, added as the window adds them.
  TFileList& List(const std::vector<std::string>& Files) {
    FList.RemoveAll();
    FList.AddFiles(Files);
    return FList;
  }
  // The choices of a join into Out in the way Mode, replacing what Out holds.
  TJoinChoices ReplacingOut(TJoinMode Mode = TJoinMode::Default) const {
    TJoinChoices choices;
    choices.OutFileName = Out;
    choices.Mode = Mode;
    choices.Overwrite = true;
    return choices;
  }
  // Decides Choices for Files and runs the join with a fresh recording view.
  TJoinResult Run(const std::vector<std::string>& Files, const TJoinChoices& Choices) {
    TJoinRequest request = DecideJoin(List(Files), Choices).Request;
    test::TRecordingProgress progress(Log);
    return JoinFiles(std::move(request), progress);
  }
  // Expects a join of Files to fail with a message that names Named (removed, or changed by
  // Change, once the list has read it), its view shown and hidden once and the output it
  // would replace left as it was.
  void ExpectFailureNaming(const std::vector<std::string>& Files, const TJoinChoices& Choices,
                           const std::string& Named,
                           const std::function<void()>& Change = nullptr) {
    test::WriteFileBytes(Out, "an older output");
    TJoinRequest request = DecideJoin(List(Files), Choices).Request;
    if (Change)
      Change();
    else
      std::filesystem::remove(Named);
    Log = test::TProgressLog{};
    test::TRecordingProgress progress(Log);
    try {
      JoinFiles(std::move(request), progress);
      ADD_FAILURE() << "joined a source that is gone";
    } catch (const std::exception& E) {
      EXPECT_NE(std::string(E.what()).find(Named), std::string::npos) << E.what();
    }
    EXPECT_EQ(Log.Shows, 1);
    EXPECT_EQ(Log.Hides, 1);
    EXPECT_EQ(test::ReadFileBytes(Out), "an older output");
    EXPECT_FALSE(std::filesystem::exists(Dir.File(".out.avi.part")));
  }

  test::TTempDir Dir;
  std::string Out = Dir.File("out.avi");
  TNullFileListView View;
  TFileList FList{View};
  test::TProgressLog Log;
};

// The first of Times from From on, or -1.
double FirstFrom(const std::vector<double>& Times, double From) {
  for (double t : Times)
    if (t >= From - 1e-6) return t;
  return -1.0;
}

TEST_F(Join, TheDecisionProposesWhatIsNotChosenAndChecksWhatIs) {
  const std::string wide = test::MakeClip(Clip(80, "30", 6, "pcm"));
  const std::string small = test::MakeClip(Clip(64, "25", 6, "none"));
  TJoinChoices choices;
  choices.OutFileName = Out;
  // Uncompressed: no compressor is listed.
  choices.Recompression.Video.Name = choices.Recompression.Audio.Name = "none";
  TJoinDecision d = DecideJoin(List({wide, small}), choices);
  // Converting only the file that differs is proposed where the engine can continue the
  // pictures kept; otherwise recompression, and a note says why it does not convert.
  const TConversionFacts conversion = DecideConversion(FList.Infos());
  EXPECT_EQ(d.Request.JoinWORecomp, conversion.Impossible.empty());
  if (!conversion.Impossible.empty()) {
    EXPECT_EQ(d.Notes, std::vector<std::string>{ConversionImpossibleText(conversion)});
  }
  choices.Mode = TJoinMode::Recompress;
  d = DecideJoin(FList, choices);
  EXPECT_FALSE(d.Request.JoinWORecomp);
  EXPECT_EQ(d.Request.Files, (std::vector<std::string>{wide, small}));
  EXPECT_EQ(d.Request.OutFileName, Out);
  TRecompression r = d.Request.Recompression;
  EXPECT_EQ(r.Width, 64);
  EXPECT_EQ(r.Height, 48);
  EXPECT_EQ(r.FrameRate, 25);
  EXPECT_EQ(r.ResizeMethod, rmLetterbox);  // the wide file is 16 pixels wider
  EXPECT_FALSE(r.VideoCompressor);
  EXPECT_FALSE(r.AudioCompressor);
  EXPECT_TRUE(d.Notes.empty());
  // The list's cut reaches the render: the wide file's 0.2 s make 5 pictures, then the small
  // file's pictures 2 to 4.
  FList.SetCut(1, {2, 4});
  TJoinChoices cut = choices;
  cut.Overwrite = true;
  test::TRecordingProgress progress(Log);
  JoinFiles(DecideJoin(FList, cut).Request, progress);
  EXPECT_EQ(test::DecodedPictures(Out), 5 + 3);
  std::filesystem::remove(Out);

  // The window's values, with its decimal separator, and the command line's texts.
  TRecompressChoices& c = choices.Recompression;
  c.Size = TFrameSize{96, 72};
  c.Rate = "12,50";
  c.DecimalSeparator = ',';
  c.Resize = rmCrop;
  r = DecideJoin(FList, choices).Request.Recompression;
  EXPECT_EQ(r.Width, 96);
  EXPECT_EQ(r.Height, 72);
  EXPECT_EQ(r.FrameRate, 12.5);
  EXPECT_EQ(r.ResizeMethod, rmCrop);
  c = TRecompressChoices{};
  c.Video.Name = c.Audio.Name = "NONE";
  c.SizeText = "97x65";
  c.Rate = "1000";
  c.ResizeWord = "stretch";
  r = DecideJoin(FList, choices).Request.Recompression;
  EXPECT_EQ(r.Width, 97);
  EXPECT_EQ(r.FrameRate, 1000);
  EXPECT_EQ(r.ResizeMethod, rmStretch);

  // A rate out of range is refused whoever gives it, like values not understood.
  auto refused = [&](const std::function<void(TRecompressChoices&)>& Set) {
    TJoinChoices bad = choices;
    bad.Recompression = TRecompressChoices{};
    bad.Recompression.Video.Name = bad.Recompression.Audio.Name = "none";
    Set(bad.Recompression);
    try {
      DecideJoin(FList, bad);
      return std::string("decided");
    } catch (const EJoinChoice& E) {
      return std::string(E.what());
    }
  };
  EXPECT_EQ(refused([](auto& C) { C.Rate = "1000.01"; }), "invalid frame rate '1000.01'");
  EXPECT_EQ(refused([](auto& C) { C.Rate = "0"; }), "invalid frame rate '0'");
  EXPECT_EQ(refused([](auto& C) { C.Rate = "fast"; }), "invalid frame rate 'fast'");
  EXPECT_EQ(refused([](auto& C) {
              C.Rate = "1500,00";
              C.DecimalSeparator = ',';
            }),
            "invalid frame rate '1500,00'");
  EXPECT_EQ(refused([](auto& C) { C.SizeText = "96"; }), "invalid frame size '96' (WxH)");
  EXPECT_EQ(refused([](auto& C) {
              C.Size = TFrameSize{0, 48};
            }),
            "invalid frame size '0x48' (WxH)");
  // Sides up to 16384 pixels, typed or from the window.
  EXPECT_EQ(refused([](auto& C) { C.SizeText = "16384x16384"; }), "decided");
  EXPECT_EQ(refused([](auto& C) { C.Size = TFrameSize{16384, 16384}; }), "decided");
  EXPECT_EQ(refused([](auto& C) { C.SizeText = "16385x48"; }),
            "invalid frame size '16385x48' (WxH)");
  EXPECT_EQ(refused([](auto& C) { C.SizeText = "48x16385"; }),
            "invalid frame size '48x16385' (WxH)");
  EXPECT_EQ(refused([](auto& C) {
              C.Size = TFrameSize{16385, 48};
            }),
            "invalid frame size '16385x48' (WxH)");
  EXPECT_EQ(refused([](auto& C) {
              C.Size = TFrameSize{48, 16385};
            }),
            "invalid frame size '48x16385' (WxH)");
  EXPECT_EQ(refused([](auto& C) { C.ResizeWord = "zoom"; }),
            "unknown resize method 'zoom' (letterbox, crop, stretch or none)");
  EXPECT_EQ(refused([](auto& C) { C.Audio.Options = {"b=64k"}; }),
            "--aopt b=64k: no compressor takes it (uncompressed)");

  // Stream copy of different video formats is refused, naming each file that differs.
  choices.Mode = TJoinMode::Copy;
  try {
    DecideJoin(FList, choices);
    ADD_FAILURE() << "copied different formats";
  } catch (const EJoinRefused& E) {
    EXPECT_EQ(std::string(E.what()).rfind(
                  "The files cannot be copied into one, as their pictures differ:\n2. ", 0),
              0u)
        << E.what();
  }
}

TEST_F(Join, CopyIsDecidedAsTheJoinOptionsProposeAndAnExistingOutputIsAsked) {
  const std::string loud = test::MakeClip(Clip(64, "25", 6, "pcm"));
  const std::string silent = test::MakeClip(Clip(64, "25", 6, "none"));
  TJoinChoices choices;
  choices.OutFileName = Out;
  EXPECT_TRUE(DecideJoin(List({loud, loud}), choices).Request.JoinWORecomp);
  // Sound would be lost: a copy that puts silence in for the silent file is proposed;
  // recompression and a copy that leaves the sound out stay one choice away.
  choices.Recompression.Video.Name = choices.Recompression.Audio.Name = "none";
  TJoinDecision kept = DecideJoin(List({loud, silent}), choices);
  EXPECT_TRUE(kept.Request.JoinWORecomp);
  EXPECT_FALSE(kept.Request.DropAudio);
  EXPECT_EQ(kept.Request.Plans.size(), 2u);
  EXPECT_TRUE(std::all_of(kept.Request.Plans.begin(), kept.Request.Plans.end(),
                          [](const TSourcePlan& P) { return P.Copied(); }));
  choices.Mode = TJoinMode::Recompress;
  EXPECT_FALSE(DecideJoin(FList, choices).Request.JoinWORecomp);
  choices.Mode = TJoinMode::Copy;
  TJoinDecision d = DecideJoin(FList, choices);
  EXPECT_TRUE(d.Request.JoinWORecomp);
  EXPECT_TRUE(d.Request.DropAudio);
  EXPECT_EQ(d.Notes, std::vector<std::string>{cNoteWithoutSound});

  // WMA has no silence a copy can make: a file without sound, or whose sound ends early, has
  // its sound (or silence) converted into the output's WMA, and the notes name it. A copy asked
  // for leaves the sound out.
  const std::string wma = Dir.File("wma.avi"), shortWma = Dir.File("short-wma.avi"),
                    mute = Dir.File("mute.avi");
  test::MakeFlashBeepClip(wma, 2, 2, "wmav2");
  test::MakeFlashBeepClip(shortWma, 2, 1.2, "wmav2");
  test::MakeFlashBeepClip(mute, 2, 2, "pcm_s16le", "-an");
  choices.Mode = TJoinMode::Default;
  d = DecideJoin(List({wma, mute, wma}), choices);
  EXPECT_TRUE(d.Request.JoinWORecomp);
  ASSERT_EQ(d.Request.Plans.size(), 3u);
  EXPECT_TRUE(d.Request.Plans[1].ConvertSound);
  EXPECT_TRUE(d.Request.Plans[0].Copied() && d.Request.Plans[2].Copied());
  ASSERT_EQ(d.Notes.size(), 1u);
  EXPECT_EQ(d.Notes[0].rfind("2. mute.avi: No sound", 0), 0u) << d.Notes[0];
  d = DecideJoin(List({shortWma, wma}), choices);
  EXPECT_TRUE(d.Request.JoinWORecomp);
  ASSERT_EQ(d.Notes.size(), 1u);
  EXPECT_EQ(d.Notes[0].rfind("1. short-wma.avi: its sound ends 0.", 0), 0u) << d.Notes[0];
  EXPECT_NE(d.Notes[0].find(" s before its pictures"), std::string::npos) << d.Notes[0];
  EXPECT_EQ(JoinWayTexts(FList.Infos()), (std::vector<std::string>{"sound converted", "copied"}));
  EXPECT_TRUE(DecideJoin(List({wma, shortWma}), choices).Request.Plans.empty());
  // A cut file that is copied says how many of its pictures, from In to the next key frame,
  // are converted; one cut on a key frame is copied.
  const std::string mp3 = Dir.File("cut.avi");
  test::MakeFlashBeepClip(mp3, 2, 2, "libmp3lame");
  const std::vector<test::TChunkCopy> chunks = test::StreamChunks(mp3, true);
  uint32_t key = 2;
  while (key < chunks.size() && !chunks[key].KeyFrame) ++key;
  ASSERT_GT(key, 3u);
  ASSERT_LT(key, 40u);
  List({mp3, mp3, mp3});
  EXPECT_EQ(JoinWayTexts(FList.Infos(), {TPictureCut{}, TPictureCut{2, 40}, TPictureCut{key, 45}}),
            (std::vector<std::string>{
                "copied", "copied, " + std::to_string(key - 2) + " pictures converted", "copied"}));
  // The window passes each row's cut to the join as the command line reads it back.
  for (const TPictureCut& cut : {TPictureCut{30, 87}, TPictureCut{5, TPictureCut::ToEnd}}) {
    const TCutText text = ParseCutText(CutArgument(2, cut));
    EXPECT_EQ(text.Position, 2u);
    EXPECT_EQ(PictureCutOf(text, mp3, 100, 25), cut) << CutArgument(2, cut);
  }
  choices.Mode = TJoinMode::Copy;
  d = DecideJoin(List({shortWma, wma}), choices);
  EXPECT_TRUE(d.Request.JoinWORecomp);
  EXPECT_TRUE(d.Request.DropAudio);
  ASSERT_EQ(d.Notes.size(), 1u);
  EXPECT_EQ(d.Notes[0].rfind("The sound is left out. The sound of the file " + shortWma, 0), 0u);

  // An existing output is replaced only when the user agreed; the question has the dialog's
  // two lines and the terminal's one.
  test::WriteFileBytes(Out, "an older output");
  try {
    DecideJoin(FList, choices);
    ADD_FAILURE() << "replaced an output without asking";
  } catch (const EOutputExists& E) {
    EXPECT_EQ(E.FileName(), Out);
    EXPECT_EQ(std::string(E.what()),
              "The \"" + Out + "\" file already exists. \r\nDo you want to overwrite it?");
    EXPECT_EQ(OverwriteQuestion(Out), E.what());
    EXPECT_EQ(OverwriteQuestionLine(Out),
              "The \"" + Out + "\" file already exists. Do you want to overwrite it?");
  }
  choices.Overwrite = true;
  EXPECT_TRUE(DecideJoin(FList, choices).Request.JoinWORecomp);
  EXPECT_EQ(JoinFailsText("No space left on device"), "Join fails: No space left on device");
  EXPECT_EQ(UnableToAddText("/a.avi", "The file has unknown format"),
            "Unable to add file /a.avi: The file has unknown format.");
}

// Mixed sound: MP3 camera clips, one clip with 48 kHz PCM first in the list, one without sound
// and one with AAC sound shorter than its pictures and an index that points one picture at the
// wrong chunk. The proposed join keeps the MP3 format (it covers most of the time) with the
// headers of its first file, copies the MP3 clips' chunks bit for bit (and all of the AAC
// clip's pictures, read on by walking its data), converts the PCM and AAC clips' sound into the
// output's exact MP3 stream and gives the silent clip silence: every beep stays
// with its flash at every join point, and every player reads the output whole.
TEST_F(Join, OnlyTheSoundThatDiffersIsConvertedIntoTheKeptFormat) {
  const std::string pcm = Dir.File("pcm48.avi"), mp3 = Dir.File("mp3.avi"),
                    mute = Dir.File("mute.avi"), aac = Dir.File("aac.avi"),
                    aacWhole = Dir.File("aac-whole.avi");
  test::MakeFlashBeepClip(pcm, 2, 2.5, "pcm_s16le", "-ar 48000 -ac 2");
  test::MakeFlashBeepClip(mp3, 2, 2, "libmp3lame", "-b:a 64k");
  test::MakeFlashBeepClip(mute, 2, 2, "pcm_s16le", "-an");
  test::MakeFlashBeepClip(aacWhole, 2, 1.5, "aac", "-ac 2");
  // The AAC clip's index lists a picture past its middle at the sound chunk after it: its
  // pictures are read on by walking its data, and all of them are copied.
  std::string damaged = test::ReadFileBytes(aacWhole);
  const test::TRiffChunk idx1 =
      test::FindChunk(test::ListChunks(damaged, 12, damaged.size()), "idx1");
  const size_t entries = idx1.Size / 16;
  size_t k = entries / 2;
  while (k + 1 < entries && !(damaged.compare(idx1.DataPos() + 16 * k, 4, "00dc") == 0 &&
                              damaged.compare(idx1.DataPos() + 16 * (k + 1), 2, "01") == 0))
    ++k;
  ASSERT_LT(k + 1, entries);
  damaged.replace(idx1.DataPos() + 16 * k + 8, 4, damaged.substr(idx1.DataPos() + 16 * k + 24, 4));
  test::WriteFileBytes(aac, damaged);
  // What a source holds, as its undamaged file holds it.
  const auto whole = [&](const std::string& F) { return F == aac ? aacWhole : F; };
  const std::vector<std::string> files = {pcm, mp3, mute, aac, mp3, mp3};
  TJoinChoices choices;
  choices.OutFileName = Out;
  TJoinDecision d = DecideJoin(List(files), choices);
  ASSERT_TRUE(d.Request.JoinWORecomp);
  EXPECT_FALSE(d.Request.DropAudio);
  EXPECT_EQ(d.Request.HeaderFile, 1u);
  ASSERT_EQ(d.Request.Plans.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(d.Request.Plans[i].Copied(), i != 0 && i != 3) << i;
  EXPECT_TRUE(d.Request.Plans[0].ConvertSound);
  EXPECT_TRUE(d.Request.Plans[3].ConvertSound);
  ASSERT_EQ(d.Notes.size(), 3u);
  EXPECT_EQ(d.Notes[0].rfind("1. pcm48.avi: PCM sound, 48 kHz, 16-bit, Stereo", 0), 0u)
      << d.Notes[0];
  EXPECT_NE(d.Notes[0].find("; file 2 has MP3, 44.1 kHz, Mono"), std::string::npos) << d.Notes[0];
  EXPECT_EQ(d.Notes[1].rfind("3. mute.avi: No sound", 0), 0u) << d.Notes[1];
  EXPECT_EQ(d.Notes[2].rfind("4. aac.avi: AAC", 0), 0u) << d.Notes[2];
  choices.Mode = TJoinMode::Convert;
  EXPECT_EQ(DecideJoin(FList, choices).Request.Plans.size(), 6u);

  test::TRecordingProgress progress(Log);
  const TJoinResult result = JoinFiles(std::move(d.Request), progress);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_TRUE(result.Warnings.empty());
  ASSERT_FALSE(Log.Percents.empty());
  EXPECT_TRUE(std::is_sorted(Log.Percents.begin(), Log.Percents.end()));
  EXPECT_LE(Log.Percents.back(), 100);
  EXPECT_EQ(test::RunTool("ffmpeg -nostdin -v error -err_detect crccheck -i " +
                          test::ShellQuote(Out) + " -f null - 2>&1"),
            "");

  // The output's sound stream is the MP3 clip's, and every chunk of it one MP3 frame of that
  // stream's bit rate and sample rate: a converted piece at another rate would play too fast
  // or too slow and move every later beep.
  TAVIFileReader out, first;
  out.Open(Out, true);
  first.Open(mp3, true);
  ASSERT_NE(out.AudioStream(), nullptr);
  EXPECT_EQ(out.AudioStream()->Format, first.AudioStream()->Format);
  // The same clock (one MP3 frame per unit), whether or not its fraction is reduced.
  EXPECT_EQ(uint64_t{out.AudioStream()->Header.Scale} * first.AudioStream()->Header.Rate,
            uint64_t{first.AudioStream()->Header.Scale} * out.AudioStream()->Header.Rate);
  const std::vector<test::TChunkCopy> sound = test::StreamChunks(Out, false);
  for (const test::TChunkCopy& c : sound) {
    TMpegAudioHeader h;
    ASSERT_TRUE(
        ParseMpegAudioHeader(reinterpret_cast<const uint8_t*>(c.Data.data()), c.Data.size(), h));
    ASSERT_EQ(h.Bitrate, 64000u);
    ASSERT_EQ(h.SampleRate, 44100u);
    ASSERT_EQ(h.FrameSize, c.Data.size());
  }

  // Copied files are copied bit for bit: every picture, and the MP3 clips' sound.
  std::vector<std::string> pictures, own;
  for (const test::TChunkCopy& c : test::StreamChunks(Out, true)) pictures.push_back(c.Data);
  for (const std::string& f : files)
    for (const test::TChunkCopy& c : test::StreamChunks(whole(f), true)) own.push_back(c.Data);
  EXPECT_TRUE(pictures == own) << pictures.size() << " pictures, sources " << own.size();
  std::vector<std::string> joined, mp3Sound;
  for (const test::TChunkCopy& c : sound) joined.push_back(c.Data);
  for (const test::TChunkCopy& c : test::StreamChunks(mp3, false)) mp3Sound.push_back(c.Data);
  ASSERT_GT(mp3Sound.size(), 10u);
  mp3Sound.resize(mp3Sound.size() - 2);  // its last frames may lie past its last picture
  EXPECT_NE(std::search(joined.begin(), joined.end(), mp3Sound.begin(), mp3Sound.end()),
            joined.end());

  // In step at every join point: copied sound within one MP3 frame of where the source has its
  // beep, converted sound within 10 ms (an encoder's priming samples left in a converted piece
  // would make it 25 ms late).
  const test::TFlashesAndBeeps all = test::FlashesAndBeeps(Out);
  double joinPoint = 0;
  for (const std::string& f : files) {
    const double flash = FirstFrom(all.Flashes, joinPoint);
    const double beep = FirstFrom(all.Beeps, joinPoint);
    if (f == mute) {
      EXPECT_TRUE(beep < 0 || beep >= joinPoint + 2 - 1e-6) << "a beep in the silence at " << beep;
    } else {
      const test::TFlashesAndBeeps src = test::FlashesAndBeeps(whole(f));
      ASSERT_FALSE(src.Flashes.empty() || src.Beeps.empty()) << f;
      ASSERT_GE(beep, 0) << f << " at " << joinPoint;
      EXPECT_NEAR(beep - flash, src.Beeps[0] - src.Flashes[0], f == mp3 ? 1152.0 / 44100 : 0.01)
          << f << " at " << joinPoint;
    }
    joinPoint += 2;
  }
  // Every player reads it whole, the converted sound and the silence included: each picture
  // (an empty chunk repeats one and lasts as long), and the sound to the last picture within an
  // MP3 frame.
  test::TPeerExpectation expect;
  for (const std::string& f : files) expect.Pictures += test::DecodedPictures(whole(f));
  expect.Seconds = expect.SoundEnd = static_cast<double>(own.size()) / 25;
  expect.Tolerance = 2 * 1152.0 / 44100;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});
}

// WMA, whose silence a copy cannot make, around a file without sound and one whose sound ends
// early: the engine makes their sound (and silence) in the output's WMA from where the sound
// before stands. Every beep stays with its flash: the converted piece's within 5 ms, a copied
// file's after it within half a WMA block (where the block boundary nearest its place lies);
// every player reads the output whole.
TEST_F(Join, WhereNoSilenceCanBeCopiedTheSoundIsConvertedInPlace) {
  const std::string wma = Dir.File("wma.avi"), shortWma = Dir.File("short-wma.avi"),
                    mute = Dir.File("mute.avi");
  test::MakeFlashBeepClip(wma, 2, 2, "wmav2");
  test::MakeFlashBeepClip(shortWma, 2, 1.4, "wmav2");
  test::MakeFlashBeepClip(mute, 2, 2, "pcm_s16le", "-an");
  const std::vector<std::string> files = {wma, mute, wma, shortWma, wma};
  TJoinChoices choices;
  choices.OutFileName = Out;
  TJoinDecision d = DecideJoin(List(files), choices);
  ASSERT_TRUE(d.Request.JoinWORecomp);
  ASSERT_EQ(d.Request.Plans.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(d.Request.Plans[i].ConvertSound, files[i] != wma) << i;
  test::TRecordingProgress progress(Log);
  const TJoinResult result = JoinFiles(std::move(d.Request), progress);
  EXPECT_TRUE(result.Warnings.empty()) << result.Warnings.front();
  EXPECT_EQ(test::DecodeErrors(Out), "");
  TAVIFileReader out, first;
  out.Open(Out, true);
  first.Open(wma, true);
  ASSERT_NE(out.AudioStream(), nullptr);
  EXPECT_EQ(out.AudioStream()->Format, first.AudioStream()->Format);

  const test::TFlashesAndBeeps all = test::FlashesAndBeeps(Out);
  const double block = 2048.0 / 44100;
  double joinPoint = 0, soundEnd = 0;
  for (const std::string& f : files) {
    TAVIFileReader source;
    source.Open(f, true);
    const double length = source.VideoStream()->Header.Length / 25.0;
    // The last file's sound ends where its own does, a little before its pictures.
    if (const TAVIStream* sound = source.AudioStream())
      soundEnd = joinPoint + static_cast<double>(sound->Header.Length) * sound->Header.Scale /
                                 sound->Header.Rate;
    const double flash = FirstFrom(all.Flashes, joinPoint);
    const double beep = FirstFrom(all.Beeps, joinPoint);
    if (f == mute) {
      EXPECT_TRUE(beep < 0 || beep >= joinPoint + length - 1e-6) << "a beep in the silence";
    } else {
      const test::TFlashesAndBeeps own = test::FlashesAndBeeps(f);
      ASSERT_FALSE(own.Flashes.empty() || own.Beeps.empty()) << f;
      ASSERT_GE(beep, 0) << f << " at " << joinPoint;
      EXPECT_NEAR(beep - flash, own.Beeps[0] - own.Flashes[0], f == wma ? block / 2 + 1e-3 : 0.005)
          << f << " at " << joinPoint;
    }
    joinPoint += length;
  }
  test::TPeerExpectation expect;
  for (const std::string& f : files) expect.Pictures += test::DecodedPictures(f);
  expect.Seconds = joinPoint;
  expect.SoundEnd = soundEnd;
  expect.Tolerance = 2 * block;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});

  // HE-AAC has no silence either, and no encoder: no copy or conversion is proposed that would
  // play the sound after a file without sound too early; the note names that file and why.
  const std::string he = Dir.File("he-aac.avi");
  test::MakeFlashBeepClip(he, 2, 2, "aac");
  std::string bytes = test::ReadFileBytes(he);
  const size_t config = bytes.find("strf", bytes.find("strf") + 4) + 8 + riff::WaveExtraOffset;
  bytes[config] = static_cast<char>((bytes[config] & 0x07) | (5 << 3));  // SBR
  test::WriteFileBytes(he, bytes);
  choices.Overwrite = true;
  d = DecideJoin(List({he, mute, he}), choices);
  EXPECT_FALSE(d.Request.JoinWORecomp);
  ASSERT_FALSE(d.Notes.empty());
  EXPECT_NE(d.Notes[0].find("The file " + mute + " has no sound: a copy cannot fill that gap"),
            std::string::npos)
      << d.Notes[0];
  EXPECT_NE(d.Notes[0].find("nor can its sound be converted: The sound format cannot be written"),
            std::string::npos)
      << d.Notes[0];
  // WMA whose set-up names a bit reservoir, which ffmpeg's encoder does not use, is not made.
  const std::string reservoir = Dir.File("reservoir.avi");
  bytes = test::ReadFileBytes(wma);
  bytes[bytes.find("strf", bytes.find("strf") + 4) + 8 + riff::WaveExtraOffset + 4] |= 0x02;
  test::WriteFileBytes(reservoir, bytes);
  d = DecideJoin(List({reservoir, mute, reservoir}), choices);
  EXPECT_FALSE(d.Request.JoinWORecomp);
  ASSERT_FALSE(d.Notes.empty());
  EXPECT_NE(d.Notes[0].find("WMA coded with other tools"), std::string::npos) << d.Notes[0];
}

// Mixed pictures: a larger 30 fps clip first in the list and an MJPEG clip among three matching
// MPEG-4 clips. The proposed join keeps the MPEG-4 format (it covers most of the time) with the
// headers of its first file, copies the matching clips' chunks bit for bit and converts the
// other two into the output's stream: each converted piece starts with a key frame, has the
// output's rate (two seconds are fifty pictures) and keeps every flash with its beep, and every
// player reads the output whole.
TEST_F(Join, OnlyThePicturesThatDifferAreConvertedIntoTheKeptFormat) {
  const std::string big = Dir.File("big30.avi"), mp4 = Dir.File("mp4.avi"),
                    jpeg = Dir.File("jpeg.avi");
  test::TFlashPictures bigPictures;
  bigPictures.Size = "96x72";
  bigPictures.Rate = "30";
  test::MakeFlashBeepClip(big, 2, 2, "pcm_s16le", "", bigPictures);
  test::MakeFlashBeepClip(mp4, 2, 2, "pcm_s16le");
  test::TFlashPictures jpegPictures;
  jpegPictures.Codec = "mjpeg";
  test::MakeFlashBeepClip(jpeg, 2, 2, "pcm_s16le", "", jpegPictures);
  const std::vector<std::string> files = {big, mp4, mp4, jpeg, mp4};
  TJoinChoices choices;
  choices.OutFileName = Out;
  TJoinDecision d = DecideJoin(List(files), choices);
  ASSERT_TRUE(d.Request.JoinWORecomp);
  EXPECT_FALSE(d.Request.DropAudio);
  EXPECT_EQ(d.Request.HeaderFile, 1u);
  ASSERT_EQ(d.Request.Plans.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(d.Request.Plans[i].ConvertPictures, files[i] != mp4) << i;
    EXPECT_FALSE(d.Request.Plans[i].ConvertSound) << i;
  }
  ASSERT_EQ(d.Notes.size(), 2u);
  EXPECT_EQ(d.Notes[0].rfind("1. big30.avi: ", 0), 0u) << d.Notes[0];
  EXPECT_EQ(d.Notes[1].rfind("4. jpeg.avi: ", 0), 0u) << d.Notes[1];

  test::TRecordingProgress progress(Log);
  const TJoinResult result = JoinFiles(std::move(d.Request), progress);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_TRUE(result.Warnings.empty());
  EXPECT_EQ(test::DecodeErrors(Out), "");
  const std::map<std::string, std::string> video = test::ProbeStream(Out, "v:0");
  EXPECT_EQ(video.at("codec_name"), "mpeg4");
  EXPECT_EQ(video.at("width") + "x" + video.at("height"), "64x48");
  EXPECT_EQ(video.at("r_frame_rate"), "25/1");

  // Copied pieces are their sources' chunks bit for bit; a converted piece has two seconds of
  // pictures at the output's rate and starts with a key frame, as our index and the decoder
  // both say. Every picture is one decoded frame.
  const std::vector<test::TChunkCopy> pictures = test::StreamChunks(Out, true);
  std::string keys;
  test::RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries frame=key_frame -of csv=p=0 " +
          test::ShellQuote(Out),
      &keys);
  keys.erase(std::remove(keys.begin(), keys.end(), '\n'), keys.end());
  ASSERT_EQ(keys.size(), pictures.size());
  size_t at = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::vector<test::TChunkCopy> own = test::StreamChunks(files[i], true);
    const size_t count = files[i] == mp4 ? own.size() : 50;
    ASSERT_LE(at + count, pictures.size()) << i;
    if (files[i] == mp4) {
      for (size_t n = 0; n < count; ++n)
        ASSERT_EQ(pictures[at + n].Data, own[n].Data) << "file " << i << ", picture " << n;
    } else {
      EXPECT_TRUE(pictures[at].KeyFrame) << "file " << i;
      EXPECT_EQ(keys[at], '1') << "file " << i;
    }
    at += count;
  }
  EXPECT_EQ(at, pictures.size());
  // The sound of every file matches, so all of it is copied as it was.
  std::string sound, ownSound;
  for (const test::TChunkCopy& c : test::StreamChunks(Out, false)) sound += c.Data;
  for (const std::string& f : files)
    for (const test::TChunkCopy& c : test::StreamChunks(f, false)) ownSound += c.Data;
  EXPECT_TRUE(sound == ownSound) << sound.size() << " bytes of sound, sources " << ownSound.size();

  // In step at every join point: within half a picture of where the source has its beep.
  const test::TFlashesAndBeeps all = test::FlashesAndBeeps(Out);
  double joinPoint = 0;
  for (const std::string& f : files) {
    const test::TFlashesAndBeeps src = test::FlashesAndBeeps(f);
    ASSERT_FALSE(src.Flashes.empty() || src.Beeps.empty()) << f;
    const double flash = FirstFrom(all.Flashes, joinPoint), beep = FirstFrom(all.Beeps, joinPoint);
    ASSERT_GE(flash, 0) << f << " at " << joinPoint;
    EXPECT_NEAR(flash, joinPoint + src.Flashes[0], 0.5 / 25 + 1e-3) << f;
    EXPECT_NEAR(beep - flash, src.Beeps[0] - src.Flashes[0], 0.5 / 25 + 1e-3) << f;
    joinPoint += 2;
  }
  test::TPeerExpectation expect;
  expect.Pictures = static_cast<int>(pictures.size());
  expect.Seconds = expect.SoundEnd = joinPoint;
  expect.Tolerance = 1.0 / 25;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});

  // The 96x72 file's pictures change size, so the resize method matters; the MJPEG file's
  // keep theirs.
  TFileInfoList infos = List(files).Infos();
  EXPECT_TRUE(ConversionResizes(infos, DecideConversion(infos)));
  EXPECT_TRUE(RecompressionResizes(infos, 64, 48));
  infos = List({mp4, jpeg}).Infos();
  EXPECT_FALSE(ConversionResizes(infos, DecideConversion(infos)));
  EXPECT_FALSE(RecompressionResizes(infos, 64, 48));
  EXPECT_TRUE(RecompressionResizes(infos, 64, 50));
}

// Files as other programs write them: MPEG-4 Visual under XVID, DX50 and xvid, MP3 timed by its
// frames or (128 kbit/s, as older writers describe it) by its bytes. A decoder reads their
// pictures and sound one after the other, so all are copied into the first file's code; only
// the file whose pictures use quarter-pel motion is converted. Raw AAC (its config in the
// format) and ADTS AAC (headers in the chunks) are not one sound for a decoder.
TEST_F(Join, TheSameCodecUnderAnotherCodeAndTheSameSoundOtherwiseTimedAreCopied) {
  auto make = [&](const std::string& Name, const std::string& Video, bool ByteTimed) {
    const std::string file = Dir.File(Name);
    test::TFlashPictures pictures;
    pictures.Codec = Video;
    test::MakeFlashBeepClip(file, 2, 2, "libmp3lame", "-b:a 128k", pictures);
    if (ByteTimed)
      test::EditSoundHeader(file, [](TAVIStreamHeader& H, std::string& Format) {
        H.Scale = 1;
        H.Rate = 16000;
        H.SampleSize = 1;
        H.Length = 2 * 16000;
        PutLE32(Format.data() + riff::WaveAvgBytesPerSecOffset, 16000);
        PutLE16(Format.data() + riff::WaveBlockAlignOffset, 1);
      });
    return file;
  };
  const std::vector<std::string> files = {make("xvid.avi", "mpeg4 -vtag XVID", false),
                                          make("dx50.avi", "mpeg4 -vtag DX50", true),
                                          make("lower.avi", "mpeg4 -vtag xvid", false),
                                          make("qpel.avi", "mpeg4 -vtag DX50 -flags +qpel", false)};
  TJoinChoices choices;
  choices.OutFileName = Out;
  TJoinDecision d = DecideJoin(List(files), choices);
  EXPECT_TRUE(FList.Info(1).VideoFormatDiffers);  // the list still shows the other code
  EXPECT_TRUE(FList.Info(1).AudioFormatDiffers);
  ASSERT_TRUE(d.Request.JoinWORecomp);
  EXPECT_FALSE(d.Request.DropAudio);
  ASSERT_EQ(d.Request.Plans.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(d.Request.Plans[i].ConvertPictures, i == 3) << i;
    EXPECT_FALSE(d.Request.Plans[i].ConvertSound) << i;
  }
  test::TRecordingProgress progress(Log);
  const TJoinResult result = JoinFiles(std::move(d.Request), progress);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_EQ(test::ProbeStream(Out, "v:0").at("codec_tag_string"), "XVID");
  // In step at every join point, every picture decoded and the sound to the end. (ffmpeg
  // delays these clips' pictures by one empty chunk: a source lasts 51 pictures.)
  const test::TFlashesAndBeeps all = test::FlashesAndBeeps(Out);
  double joinPoint = 0;
  int pictures = 0;
  for (const std::string& f : files) {
    const test::TFlashesAndBeeps src = test::FlashesAndBeeps(f);
    ASSERT_FALSE(src.Flashes.empty() || src.Beeps.empty()) << f;
    const double flash = FirstFrom(all.Flashes, joinPoint), beep = FirstFrom(all.Beeps, joinPoint);
    EXPECT_NEAR(flash, joinPoint + src.Flashes[0], 0.5 / 25 + 1e-3) << f;
    EXPECT_NEAR(beep - flash, src.Beeps[0] - src.Flashes[0], 0.5 / 25 + 1e-3) << f;
    TAVIFileReader reader;
    reader.Open(f, true);
    joinPoint += reader.VideoStream()->Header.Length / 25.0;
    pictures += f == files[3] ? static_cast<int>(reader.VideoStream()->Header.Length)
                              : test::DecodedPictures(f);
  }
  test::TPeerExpectation expect;
  expect.Pictures = pictures;
  expect.Seconds = expect.SoundEnd = joinPoint;
  expect.Tolerance = 1.0 / 25;
  EXPECT_EQ(test::PeerComplaints(Out, expect), std::vector<std::string>{});

  const std::string raw = Dir.File("raw.avi"), adts = Dir.File("adts.avi");
  test::MakeFlashBeepClip(raw, 2, 2, "aac");
  test::MakeFlashBeepClip(adts, 2, 2, "aac");
  test::RemuxAacToAdts(adts);
  choices.Mode = TJoinMode::Copy;
  choices.Overwrite = true;
  d = DecideJoin(List({raw, adts, raw}), choices);
  EXPECT_TRUE(FList.Info(1).AudioMismatch);
  EXPECT_TRUE(FList.Info(1).AudioFormatDiffers);
  EXPECT_TRUE(d.Request.DropAudio);
  EXPECT_EQ(d.Notes, std::vector<std::string>{cNoteWithoutSound});
}

// A file with two video streams is read by its first, whichever way it is joined: its
// pictures (Motion JPEG that flashes) are converted or recompressed, never its second stream's
// (grey MPEG-4 of another size).
TEST_F(Join, AFileWithTwoVideoStreamsIsJoinedByItsFirstInEveryWay) {
  const std::string mp4 = Dir.File("mp4.avi"), jpeg = Dir.File("jpeg.avi"),
                    two = Dir.File("two.avi");
  test::MakeFlashBeepClip(mp4, 2, 2, "pcm_s16le");
  test::TFlashPictures jpegPictures;
  jpegPictures.Codec = "mjpeg";
  test::MakeFlashBeepClip(jpeg, 2, 2, "pcm_s16le", "", jpegPictures);
  test::RunTool("ffmpeg -nostdin -v error -y -i " + test::ShellQuote(jpeg) +
                " -f lavfi -i color=c=gray:s=96x72:r=25:d=2 -map 0:v -map 1:v -map 0:a -c:v:0 "
                "copy -c:v:1 mpeg4 -c:a copy " +
                test::ShellQuote(two) + " 2>&1");
  ASSERT_EQ(test::ProbeStreamCount(two), 3);
  const std::vector<std::string> files = {mp4, two, mp4};
  for (TJoinMode mode : {TJoinMode::Default, TJoinMode::Recompress}) {
    TJoinChoices choices = ReplacingOut(mode);
    TJoinDecision d = DecideJoin(List(files), choices);
    EXPECT_EQ(FList.Info(1).Width, 64);
    ASSERT_EQ(d.Request.JoinWORecomp, mode == TJoinMode::Default);
    if (mode == TJoinMode::Default) {
      EXPECT_TRUE(d.Request.Plans.at(1).ConvertPictures);
    }
    test::TRecordingProgress progress(Log);
    EXPECT_FALSE(JoinFiles(std::move(d.Request), progress).Cancelled);
    const std::vector<double> flashes = test::FlashTimes(Out);
    double joinPoint = 0;
    for (const std::string& f : files) {
      const double own = test::FlashTimes(f).at(0);
      EXPECT_NEAR(FirstFrom(flashes, joinPoint), joinPoint + own, 0.5 / 25 + 1e-3)
          << f << (mode == TJoinMode::Default ? " converted" : " recompressed");
      TAVIFileReader reader;
      reader.Open(f, true);
      joinPoint += reader.VideoStream()->Header.Length / 25.0;
    }
  }
}

// A file whose header claims a million pictures a second, or one picture in a million seconds
// (and whose pictures are larger): the list gives it the length of its pictures at a rate
// pictures are made at, the proposed join keeps the other file's format and converts its
// pictures, which follow one another at the output's rate (timed by the header, all fifty would
// fall within the first output picture, or last years), keeps its sound with them and says so,
// as the recompressing join does.
TEST_F(Join, ConvertedPicturesOfAnImplausibleHeaderRateFollowAtTheOutputsRate) {
  const std::string kept = Dir.File("kept.avi"), made = Dir.File("made.avi"),
                    odd = Dir.File("odd.avi");
  test::MakeFlashBeepClip(kept, 2, 2, "pcm_s16le");
  test::TFlashPictures larger;
  larger.Size = "96x72";
  test::MakeFlashBeepClip(made, 2, 2, "pcm_s16le", "", larger);
  for (const auto& [rate, scale, claim] :
       {std::tuple{1000000u, 1u, "1000000"}, std::tuple{1u, 1000000u, "0.000001"}}) {
    SCOPED_TRACE(claim);
    std::filesystem::remove(Out);
    std::string bytes = test::ReadFileBytes(made);
    const size_t strh = bytes.find("strh") + 8;  // the video stream's header comes first
    PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + strh + 20, scale);
    PutLE32(reinterpret_cast<uint8_t*>(bytes.data()) + strh + 24, rate);
    test::WriteFileBytes(odd, bytes);
    EXPECT_NEAR(CreateVideoFileInfo(odd)->ExactDuration, 50 / StandInFrameRate, 1e-9);

    TJoinChoices choices;
    choices.OutFileName = Out;
    // First in the list and as long as the other: still not what is kept.
    TJoinDecision d = DecideJoin(List({odd, kept}), choices);
    ASSERT_TRUE(d.Request.JoinWORecomp);
    ASSERT_EQ(d.Request.Plans.size(), 2u);
    EXPECT_TRUE(d.Request.Plans[0].ConvertPictures);
    EXPECT_FALSE(d.Request.Plans[1].ConvertPictures);
    test::TRecordingProgress progress(Log);
    const TJoinResult result = JoinFiles(std::move(d.Request), progress);
    EXPECT_EQ(result.Warnings, std::vector<std::string>{"The file " + odd + " claims " + claim +
                                                        " frames per second; its 50 pictures "
                                                        "were joined at 25 frames per second"});
    EXPECT_EQ(test::DecodeErrors(Out), "");
    EXPECT_EQ(test::DecodedPictures(Out), 100);
    EXPECT_NEAR(test::DecodedDuration(Out, "a:0"), 4.0, 1.0 / 25);
    // Each second's flash where its source has it, with its beep: the pictures move on.
    const test::TFlashesAndBeeps all = test::FlashesAndBeeps(Out);
    ASSERT_EQ(all.Flashes.size(), 4u);
    ASSERT_EQ(all.Beeps.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_NEAR(all.Flashes[i], 0.2 + static_cast<double>(i), 0.5 / 25 + 1e-3) << i;
      EXPECT_NEAR(all.Beeps[i], all.Flashes[i], 0.5 / 25 + 1e-3) << i;
    }
  }
}

// H.264 after start codes whose first key frame begins with a zero byte more (as a byte stream
// may), or with a start code of three bytes: the decision asks about the very stream the join
// continues, first key frame included, and the engine continues it; the file that differs is
// converted, not everything recompressed.
TEST_F(Join, H264WhoseFirstKeyFrameBeginsWithZeroBytesIsContinued) {
  test::TClipSpec h264;
  h264.Codec = "libx264";
  h264.Frames = 50;
  h264.Extra = "-pix_fmt yuv420p -g 25";
  std::string made;
  try {
    made = test::MakeClip(h264);
  } catch (const std::exception&) {
    GTEST_SKIP() << "ffmpeg has no libx264";
  }
  // A zero byte more before the first start code, and a start code of three bytes (00 00 01).
  for (const bool more : {true, false}) {
    SCOPED_TRACE(more ? "00 00 00 00 01" : "00 00 01");
    std::filesystem::remove(Out);
    test::TAVIBuilder b;
    b.Main.MicroSecPerFrame = 40000;
    b.Main.Flags = riff::AVIF_HASINDEX;
    const int v = b.AddStream(test::VideoHeader(25, 1, FourCC("H264")),
                              test::BitmapInfo(64, 48, FourCC("H264")));
    bool first = true;
    for (const test::TChunkCopy& c : test::StreamChunks(made, true)) {
      std::string data = c.Data;
      if (first && c.KeyFrame) {
        ASSERT_EQ(data.compare(0, 4, std::string("\0\0\0\1", 4)), 0);
        data = more ? std::string(1, '\0') + data : data.substr(1);
      }
      b.AddChunkData(v, data, c.KeyFrame);
      first = first && !c.KeyFrame;
    }
    ASSERT_FALSE(first);
    b.StreamList[0].Header.Length = static_cast<uint32_t>(b.ChunkList.size());
    const std::string lead = Dir.File("lead.avi"),
                      other = test::MakeClip(Clip(64, "25", 10, "none"));
    b.Write(lead);
    ASSERT_EQ(test::DecodeErrors(lead), "");

    const TConversionFacts conversion = DecideConversion(List({lead, other}).Infos());
    EXPECT_EQ(conversion.HeaderFile, 0u);
    ASSERT_EQ(conversion.Plans.size(), 2u);
    EXPECT_TRUE(conversion.Plans[1].ConvertPictures);
    EXPECT_EQ(conversion.Impossible, "");
    EXPECT_TRUE(conversion.Proposed());
    TJoinChoices choices;
    choices.OutFileName = Out;
    choices.Mode = TJoinMode::Convert;
    TJoinDecision d = DecideJoin(FList, choices);
    EXPECT_TRUE(d.Request.JoinWORecomp);
    test::TRecordingProgress progress(Log);
    const TJoinResult result = JoinFiles(std::move(d.Request), progress);
    EXPECT_FALSE(result.Cancelled);
    EXPECT_EQ(test::DecodeErrors(Out), "");
    EXPECT_EQ(test::DecodedPictures(Out), 60);
  }
}

TEST_F(Join, BothJoinersReportACancelThroughTheOneResultAndShowTheirViewOnce) {
  const std::string clip = test::MakeClip(Clip(64, "25", 10, "pcm"));
  TJoinChoices copy;
  copy.OutFileName = Out;
  copy.Overwrite = true;
  TJoinResult result = Run({clip, clip, clip}, copy);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_TRUE(result.Warnings.empty());
  EXPECT_EQ(test::ProbePacketCounts(Out)["video"], 30);
  EXPECT_EQ(Log.Shows, 1);
  EXPECT_EQ(Log.Hides, 1);
  EXPECT_EQ(Log.Caption, "Joining...");
  EXPECT_EQ(Log.Text, "The selected file is being joined. Please wait...");

  Log = test::TProgressLog{};
  Log.CancelAt = 25;
  result = Run({clip, clip, clip}, copy);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(Log.Reports, 25);
  EXPECT_EQ(Log.Shows, 1);
  EXPECT_EQ(Log.Hides, 1);
  const int copied = test::ProbePacketCounts(Out)["video"];
  EXPECT_GT(copied, 0);
  EXPECT_LT(copied, 30);
  EXPECT_EQ(test::DecodeErrors(Out), "");

  // Forty pictures at one per second, rendered at 25 per second: the first report comes long
  // before the end.
  const std::string slow = test::MakeClip(Clip(64, "1", 40, "none"));
  TJoinChoices recompress = copy;
  recompress.Mode = TJoinMode::Recompress;
  recompress.Recompression.SizeText = "640x480";
  recompress.Recompression.Rate = "25";
  recompress.Recompression.Video.Name = "mpeg4";
  recompress.Recompression.Audio.Name = "none";
  Log = test::TProgressLog{};
  Log.CancelAt = 1;
  result = Run({slow}, recompress);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(Log.Reports, 1);
  EXPECT_EQ(Log.Shows, 1);
  EXPECT_EQ(Log.Hides, 1);
  EXPECT_EQ(Log.Caption, "Joining...");
  EXPECT_EQ(Log.Text, "The selected files are being joined. Please wait...");
  EXPECT_EQ(test::DecodeErrors(Out), "");
  EXPECT_LT(test::DecodedDuration(Out, "v:0"), 40.0);
}

TEST_F(Join, ACancelBeforeThePicturesLeavesTheOutputAsItWas) {
  // Sound is the first stream: the first chunk handed out is sound, the second a picture.
  test::TAVIBuilder b;
  b.Main.MicroSecPerFrame = 40000;
  const int a = b.AddStream(test::AudioHeader(44100, 1, 0), test::WaveFormat(1, 2, 44100, 16, 4));
  const int v = b.AddStream(test::VideoHeader(25, 1), test::BitmapInfo(64, 48, FourCC("FMP4")));
  b.StreamList[static_cast<size_t>(v)].Header.Length = 4;
  for (int i = 0; i < 4; ++i) {
    b.AddChunk(a, 1764);
    b.AddChunk(v, 100, true);
  }
  const std::string source = Dir.File("sound-first.avi");
  b.Write(source);
  TJoinChoices copy;
  copy.OutFileName = Out;
  copy.Overwrite = true;
  for (const bool older : {true, false}) {
    if (older)
      test::WriteFileBytes(Out, "an older output");
    else
      std::filesystem::remove(Out);
    Log = test::TProgressLog{};
    Log.CancelAt = 1;
    EXPECT_TRUE(Run({source, source}, copy).Cancelled);
    EXPECT_EQ(Log.Reports, 1);
    EXPECT_EQ(Log.Shows, 1);
    EXPECT_EQ(Log.Hides, 1);
    EXPECT_EQ(std::filesystem::exists(Out), older);
    if (older) {
      EXPECT_EQ(test::ReadFileBytes(Out), "an older output");
    }
    EXPECT_FALSE(std::filesystem::exists(Dir.File(".out.avi.part")));
  }
  // Stopped after the first picture: that picture is the output.
  test::WriteFileBytes(Out, "an older output");
  Log = test::TProgressLog{};
  Log.CancelAt = 2;
  EXPECT_TRUE(Run({source, source}, copy).Cancelled);
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 1u);
}

TEST_F(Join, AFailingJoinHidesItsViewOnceAndLeavesTheOutputAsItWas) {
  const std::string clip = test::MakeClip(Clip(64, "25", 10, "none"));
  const std::string gone = Dir.File("gone.avi");
  std::filesystem::copy_file(clip, gone);
  TJoinChoices choices = ReplacingOut();
  ExpectFailureNaming({clip, gone}, choices, gone);

  std::filesystem::copy_file(clip, gone);
  choices.Mode = TJoinMode::Recompress;
  choices.Recompression.Video.Name = choices.Recompression.Audio.Name = "none";
  ExpectFailureNaming({clip, gone}, choices, gone);

  // A source rewritten after the list read it (other pictures, other codec): it is not the
  // file the list describes.
  test::TClipSpec raw = Clip(64, "25", 10, "none");
  raw.Codec = "rawvideo";
  const std::string other = test::ReadFileBytes(test::MakeClip(raw));
  for (const TJoinMode mode : {TJoinMode::Copy, TJoinMode::Recompress}) {
    std::filesystem::copy_file(clip, gone, std::filesystem::copy_options::overwrite_existing);
    choices.Mode = mode;
    ExpectFailureNaming({clip, gone}, choices,
                        "The file " + gone + " has changed since it was added to the list",
                        [&] { test::WriteFileBytes(gone, other); });
  }
}

// A writer fault that leaves the output's index or headers other than what was written fails
// the join before the output is replaced, and says what differs.
TEST_F(Join, AnOutputThatDoesNotReadBackAsWrittenFailsAndTheOldOneStays) {
  const std::string clip = test::MakeClip(Clip(64, "25", 10, "pcm"));
  TJoinChoices choices = ReplacingOut();
  // Edit changes the temporary output's bytes, given the first RIFF part's chunks.
  auto expectFailure = [&](const std::function<void(std::string&, const test::TRiffChunk&)>& Edit,
                           const std::string& Difference) {
    test::WriteFileBytes(Out, "an older output");
    SetOutputCheckHook([&](const std::string& Temp) {
      std::string bytes = test::ReadFileBytes(Temp);
      Edit(bytes, test::ListChunks(bytes, 0, bytes.size()).at(0));
      test::WriteFileBytes(Temp, bytes);
    });
    try {
      Run({clip, clip}, choices);
      ADD_FAILURE() << "replaced the output with a faulty one: " << Difference;
    } catch (const std::exception& E) {
      EXPECT_EQ(std::string(E.what()),
                "The output file " + Out + " is not as it was written: " + Difference);
    }
    SetOutputCheckHook({});
    EXPECT_EQ(test::ReadFileBytes(Out), "an older output");
    EXPECT_FALSE(std::filesystem::exists(Dir.File(".out.avi.part")));
  };
  auto idx1Entry = [](std::string& Bytes, const test::TRiffChunk& Riff, int N) {
    return test::FindChunk(test::ListChunks(Bytes, Riff), "idx1").DataPos() + 16 * N;
  };
  // One index entry that points 2 bytes off, or claims 2 bytes more, than its chunk.
  expectFailure(
      [&](std::string& B, const test::TRiffChunk& R) {
        const uint64_t at = idx1Entry(B, R, 5) + 8;
        PutLE32(B.data() + at, test::U32At(B, at) + 2);
      },
      "the index of stream 1 does not point at the chunks written");
  expectFailure(
      [&](std::string& B, const test::TRiffChunk& R) {
        const uint64_t at = idx1Entry(B, R, 6) + 12;
        PutLE32(B.data() + at, test::U32At(B, at) + 2);
      },
      "stream 0 has 5800 bytes in its index, 5798 were written");
  // A sound chunk's entry without its key-frame flag; two sound chunks' entries swapped.
  expectFailure(
      [&](std::string& B, const test::TRiffChunk& R) {
        const uint64_t at = idx1Entry(B, R, 5) + 4;
        PutLE32(B.data() + at, test::U32At(B, at) & ~riff::AVIIF_KEYFRAME);
      },
      "the index of stream 1 does not point at the chunks written");
  expectFailure(
      [&](std::string& B, const test::TRiffChunk& R) {
        std::swap_ranges(B.begin() + static_cast<std::ptrdiff_t>(idx1Entry(B, R, 5)),
                         B.begin() + static_cast<std::ptrdiff_t>(idx1Entry(B, R, 6)),
                         B.begin() + static_cast<std::ptrdiff_t>(idx1Entry(B, R, 7)));
      },
      "the index of stream 1 does not point at the chunks written");
  // A picture of an odd size whose entry gains a key-frame flag.
  expectFailure(
      [&](std::string& B, const test::TRiffChunk& R) {
        for (int n = 0;; ++n) {
          const uint64_t at = idx1Entry(B, R, n);
          ASSERT_LT(at + 16, B.size()) << "no odd-sized picture after the first";
          if (n == 0 || B.compare(at, 4, "00dc") != 0 || (test::U32At(B, at + 12) & 1) == 0 ||
              (test::U32At(B, at + 4) & riff::AVIIF_KEYFRAME) != 0)
            continue;
          PutLE32(B.data() + at + 4, test::U32At(B, at + 4) | riff::AVIIF_KEYFRAME);
          return;
        }
      },
      "the index of stream 0 does not point at the chunks written");
  // A stream's header claims one unit more or less than was written (Stream: 0 video, 1 sound).
  auto longerStream = [](int Stream, int By = 1) {
    return [Stream, By](std::string& B, const test::TRiffChunk& R) {
      const auto hdrl = test::FindChunk(test::ListChunks(B, R), "LIST", "hdrl");
      const auto strl = test::ListChunks(B, hdrl).at(1 + Stream);
      const uint64_t at = test::FindChunk(test::ListChunks(B, strl), "strh").DataPos() + 32;
      PutLE32(B.data() + at, test::U32At(B, at) + static_cast<uint32_t>(By));
    };
  };
  expectFailure(longerStream(1), "stream 1 has the length 35281, 35280 was written");
  // Untouched, the same join replaces the output.
  Run({clip, clip}, choices);
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 20u);
  // The recompressing join's output, written by the engine, is read back too: its video header
  // must count the pictures its index holds.
  choices.Mode = TJoinMode::Recompress;
  expectFailure(longerStream(0), "its video index holds 20 pictures, its header counts 21");
  expectFailure(longerStream(0, -1), "its video index holds 20 pictures, its header counts 19");
  Run({clip, clip}, choices);
  EXPECT_EQ(test::StreamChunks(Out, true).size(), 20u);
}

TEST_F(Join, AnOutputThatCannotBeReplacedIsNamedAsTheUserChoseIt) {
  const std::string clip = test::MakeClip(Clip(64, "25", 10, "none"));
  TJoinChoices choices = ReplacingOut();
  test::WriteFileBytes(Out, "the output to replace");
  TJoinRequest request = DecideJoin(List({clip}), choices).Request;
  // The output the user agreed to replace becomes a folder while the join runs: the rename at
  // its end fails.
  Log.OnReport = [&](int Report) {
    if (Report != 1) return;
    std::filesystem::remove(Out);
    std::filesystem::create_directories(Out + "/inside");
  };
  test::TRecordingProgress progress(Log);
  try {
    JoinFiles(std::move(request), progress);
    ADD_FAILURE() << "replaced a folder";
  } catch (const std::exception& E) {
    EXPECT_STREQ(E.what(), ("Unable to overwrite the file " + Out +
                            ".\r\nPossible the file is blocked by other application.\r\n"
                            "System Error.  Code: 21.\nIs a directory")
                               .c_str());
  }
  EXPECT_TRUE(std::filesystem::is_directory(Out + "/inside"));
  EXPECT_FALSE(std::filesystem::exists(Dir.File(".out.avi.part")));
}

}  // namespace
}  // namespace rw
