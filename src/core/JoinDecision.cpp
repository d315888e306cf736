#include "core/JoinDecision.h"

#include <cstdlib>

#include "core/FileList.h"
#include "core/JoinFacts.h"
#include "core/ListTexts.h"
#include "engine/EngineLoader.h"
#include "formats/Limits.h"
#include "media/AVIRead.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "recompress/CompressorList.h"
#include "recompress/RecompressJoiner.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace rw {

namespace {

// The two sentences of the overwrite question; the renderings differ in what stands between.
std::string OverwriteFact(const std::string& FileName) {
  return "The \"" + FileName + "\" file already exists. ";
}
constexpr const char* cOverwriteAsk = "Do you want to overwrite it?";

TFrameSize ParseFrameSize(const std::string& Text) {
  char* end = nullptr;
  const long w = std::strtol(Text.c_str(), &end, 10);
  const long h = *end == 'x' || *end == 'X' ? std::strtol(end + 1, &end, 10) : 0;
  if (*end || w < 1 || h < 1 || w > MaxFrameSide || h > MaxFrameSide)
    throw EJoinChoice("invalid frame size '" + Text + "' (WxH)");
  return {static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

// The compressor the choice names (none for uncompressed), or the proposed one. Only the
// command line names compressors; its texts say where the names are listed.
std::shared_ptr<TCompressorFilter> ChosenCompressor(bool Audio, const TCompressorChoice& Choice) {
  if (Choice.Selected) return Choice.Filter;
  const std::string& given = Choice.Name;
  // Uncompressed needs no compressor listed (each is tried once to list them).
  if (LowerASCII(given) == "none") return nullptr;
  // A compressor named by its encoder's name is tried alone: trying every one to list them
  // takes seconds.
  std::string refused;
  if (!given.empty())
    if (std::shared_ptr<TCompressorFilter> named = ListedCompressor(Audio, given, &refused))
      return named;
  const TCompressorList list = ListJoinCompressors(Audio);
  int index = -1;
  if (given.empty()) {
    const std::vector<std::string> names = DisplayNames(list);
    index =
        Audio ? SelectDefaultAudioCompressor(names, -1) : SelectDefaultVideoCompressor(names, -1);
  } else {
    index = FindCompressor(list, given);
    // An encoder the engine has but does not offer (one a user's script names, say) is refused
    // with the engine's reason, never replaced by another.
    if (index < 0 && !refused.empty() && !MediaEngine().KeptCompressorOptions(given).Error.Failed())
      throw EJoinChoice(std::string(Audio ? "--acodec " : "--vcodec ") + given + ": " + refused);
    if (index < 0)
      throw EJoinChoice(std::string("unknown ") + (Audio ? "audio" : "video") + " compressor '" +
                        given + "' (see reelwright-cli compressors)");
  }
  return GetCompressorFilter(list, index);
}

// Sets the KEY=VALUE options on the compressor, as its options dialog would; one it does not
// have or refuses is not understood, and the text says why. Options are given only on the
// command line, so the texts name its options.
void SetCompressorOptions(bool Audio, TCompressorFilter* Compressor,
                          const std::vector<std::string>& Options) {
  const std::string option = Audio ? "--aopt" : "--vopt";
  for (const std::string& o : Options) {
    if (!Compressor)
      throw EJoinChoice(option + " " + o + ": no compressor takes it (uncompressed)");
    const size_t eq = o.find('=');
    try {
      Compressor->SetOption(o.substr(0, eq), o.substr(eq + 1));
    } catch (const Exception& E) {
      throw EJoinChoice(option + " " + o + ": " + E.what());
    }
  }
}

// Why the engine cannot write the stream, or empty.
std::string EngineRefuses(const TStreamTarget& Target) {
  try {
    const TEngineError e = MediaEngine().CheckConvert(Target);
    return e.Failed() ? e.Reason : "";
  } catch (const Exception& E) {
    return E.what();
  }
}

}  // namespace

// Why a copy with the sound of file HeaderFile would put some file's sound out of step, or
// empty; a file that cannot be read now is the join's own failure to report.
static std::string CopySoundGap(const TFileInfoList& Infos, size_t HeaderFile) {
  std::vector<std::string> names;
  for (const TVideoFileInfo* info : Infos) names.push_back(info->FileName);
  try {
    return TAVIFileJoiner::SoundGapProblem(names, HeaderFile);
  } catch (const Exception&) {
    return "";
  }
}

// Where no silence of the kept sound format can be made (WMA, HE-AAC and others), each file
// that a copy would leave with a gap in the sound (no sound, sound that starts late or ends
// early) has its sound converted: the engine makes its sound, or silence, in that format from
// where the output's sound stands. Returns the gaps planned so; a file that cannot be read now
// is the join's own failure to report.
static std::vector<TAVIFileJoiner::TSoundGap> PlanSoundGaps(const TFileInfoList& Infos,
                                                            TConversionFacts& Facts) {
  std::vector<std::string> names;
  for (const TVideoFileInfo* info : Infos) names.push_back(info->FileName);
  std::vector<TAVIFileJoiner::TSoundGap> gaps;
  try {
    gaps = TAVIFileJoiner::SoundGaps(names, Facts.HeaderFile);
  } catch (const Exception&) {
    return {};
  }
  for (const TAVIFileJoiner::TSoundGap& gap : gaps) {
    TSourcePlan& plan = Facts.Plans.at(gap.File);
    if (plan.ConvertSound) continue;
    plan.ConvertSound = Facts.ConvertsSound = Facts.KeepsSound = true;
    // A file without sound is among the rows already.
    if (gap.NoSound) continue;
    const std::string row = std::to_string(gap.File + 1) + ". " +
                            FileNameText(Infos[gap.File]->FileName) + ": its sound " + gap.Lies;
    auto at = Facts.Rows.begin();
    while (at != Facts.Rows.end() && at->rfind("... ", 0) != 0 &&
           std::atol(at->c_str()) < static_cast<long>(gap.File + 1))
      ++at;
    Facts.Rows.insert(at, row);
  }
  return gaps;
}

TConversionFacts DecideConversion(const TFileInfoList& Infos) {
  TConversionFacts facts = GetConversionFacts(Infos);
  if (Infos.empty()) return facts;
  const bool gaps = !PlanSoundGaps(Infos, facts).empty();
  // Nothing converted: only the silence a file without sound gets needs the kept format.
  if (!(facts.ConvertsPictures || facts.ConvertsSound)) {
    if (facts.KeepsSound) facts.Impossible = CopySoundGap(Infos, facts.HeaderFile);
    return facts;
  }
  // The engine is asked about the very streams the join makes it continue: the header file's,
  // with their first chunks, the sound timed as the copied files' sound makes the join time it.
  TAVIFileReader reader;
  try {
    TSoundTiming timing;
    for (size_t i = 0; facts.ConvertsSound && i < Infos.size(); ++i) {
      if (facts.Plans[i].ConvertSound) continue;
      reader.Open(Infos[i]->FileName, true);
      if (reader.AudioStream()) timing.Add(*reader.AudioStream());
      reader.Close();
    }
    reader.Open(Infos[facts.HeaderFile]->FileName, false);
    if (!reader.VideoStream()) throw Exception("no video");
    const TOutputStreams out = TAVIFileJoiner::OutputStreams(reader, timing.ByFrames(), false);
    if (facts.ConvertsPictures)
      facts.Impossible =
          EngineRefuses(StreamTargetOf(true, out.VideoHeader, out.VideoFormat, out.FirstKeyFrame));
    if (facts.Impossible.empty() && facts.ConvertsSound)
      facts.Impossible = out.HasSound
                             ? EngineRefuses(StreamTargetOf(false, out.SoundHeader, out.SoundFormat,
                                                            out.FirstSound))
                             : "no sound";
    // Which file needed its sound converted, and why, when none can be.
    if (gaps && !facts.Impossible.empty())
      facts.Impossible = CopySoundGap(Infos, facts.HeaderFile) + "; nor can its sound be " +
                         "converted: " + facts.Impossible;
    reader.Close();
  } catch (const Exception& E) {
    facts.Impossible = E.what();
  }
  reader.Close();
  return facts;
}

std::string SoundLeftOutText(const std::string& Gap) {
  return "The sound is left out. " + Gap + ".";
}

std::string RecompressedForSoundText(const std::string& Gap) {
  return "The files are recompressed to keep their sound in step. " + Gap + ".";
}

std::string ConversionImpossibleText(const TConversionFacts& Facts) {
  return "Only the files that differ cannot be converted: " + Facts.Impossible;
}

std::string ConversionNoteText(const TConversionFacts& Facts) {
  if (!Facts.Impossible.empty()) return ConversionImpossibleText(Facts);
  std::string text = Facts.Rows.empty()
                         ? "Every file is copied"
                         : "Only these files are converted (a file without sound gets silence):";
  for (const std::string& row : Facts.Rows) text += "\n" + row;
  return text;
}

std::vector<std::string> JoinWayTexts(const TFileInfoList& Infos,
                                      const std::vector<TPictureCut>& Cuts) {
  const TJoinFacts facts = GetJoinFacts(Infos);
  std::vector<TSourcePlan> plans(Infos.size());
  bool recompressed = false;
  if (!DefaultJoinWORecomp(facts) || !CopySoundGap(Infos, 0).empty()) {
    const TConversionFacts conversion = DecideConversion(Infos);
    recompressed = !conversion.Proposed();
    plans = conversion.Plans;
  }
  std::vector<std::string> ways(Infos.size());
  for (size_t i = 0; i < Infos.size(); ++i) {
    const TSourcePlan plan = i < plans.size() ? plans[i] : TSourcePlan{};
    // A cut file whose pictures are copied has those before its first key frame converted.
    const uint32_t head = recompressed || plan.ConvertPictures || i >= Cuts.size()
                              ? 0
                              : TAVIFileJoiner::PicturesConvertedByCut(Infos[i]->FileName, Cuts[i]);
    const std::string pictures = std::to_string(head) + (head == 1 ? " picture" : " pictures");
    if (recompressed)
      ways[i] = "recompressed";
    else if (plan.ConvertPictures)
      ways[i] = plan.ConvertSound ? "pictures and sound converted" : "pictures converted";
    else if (plan.ConvertSound)
      ways[i] = head > 0 ? "sound and " + pictures + " converted" : "sound converted";
    else
      ways[i] = head > 0 ? "copied, " + pictures + " converted" : "copied";
  }
  return ways;
}

EOutputExists::EOutputExists(const std::string& FileName)
    : Exception(OverwriteQuestion(FileName)), FFileName(FileName) {}

bool TRecompressChoices::Any() const {
  auto given = [](const TCompressorChoice& C) {
    return C.Selected || !C.Name.empty() || !C.Options.empty();
  };
  return Size || !SizeText.empty() || !Rate.empty() || Resize || !ResizeWord.empty() ||
         given(Video) || given(Audio);
}

TRecompression DecideRecompression(const TFileInfoList& Infos, const TRecompressChoices& Choices,
                                   std::string* Note) {
  const char separator = Choices.DecimalSeparator;
  const TJoinDefaults d = ComputeJoinDefaults(Infos, FillFrameRates(Infos, separator), separator);
  TRecompression r;
  TFrameSize size{d.Width, d.Height};
  if (Choices.Size) {
    size = *Choices.Size;
    if (size.Width < 1 || size.Height < 1 || size.Width > MaxFrameSide ||
        size.Height > MaxFrameSide)
      throw EJoinChoice("invalid frame size '" + std::to_string(size.Width) + "x" +
                        std::to_string(size.Height) + "' (WxH)");
  } else if (!Choices.SizeText.empty()) {
    size = ParseFrameSize(Choices.SizeText);
  }
  r.Width = size.Width;
  r.Height = size.Height;

  const std::string rate =
      Choices.Rate.empty() ? d.FrameRates[static_cast<size_t>(d.FrameRateIndex)] : Choices.Rate;
  try {
    r.FrameRate = ParseFrameRate(rate, separator);
  } catch (const Exception&) {
    r.FrameRate = 0;
  }
  if (!(r.FrameRate > 0 && r.FrameRate <= MaxFrameRate))
    throw EJoinChoice("invalid frame rate '" + rate + "'");

  if (Choices.Resize)
    r.ResizeMethod = *Choices.Resize;
  else if (Choices.ResizeWord.empty())
    r.ResizeMethod = ResizeMethodOfItem(d.ResizeIndex).value_or(r.ResizeMethod);
  else if (const std::optional<TResizeMethod> m = ResizeMethodOfWord(Choices.ResizeWord))
    r.ResizeMethod = *m;
  else
    throw EJoinChoice("unknown resize method '" + Choices.ResizeWord +
                      "' (letterbox, crop, stretch or none)");

  r.VideoCompressor = ChosenCompressor(false, Choices.Video);
  r.AudioCompressor = ChosenCompressor(true, Choices.Audio);
  SetCompressorOptions(false, r.VideoCompressor.get(), Choices.Video.Options);
  SetCompressorOptions(true, r.AudioCompressor.get(), Choices.Audio.Options);
  // A size the compressor cannot hold becomes one it can; the note says which.
  const TFittedFrame fit = FitFrameSize(r.VideoCompressor.get(), r.Width, r.Height);
  r.Width = fit.Width;
  r.Height = fit.Height;
  if (Note) *Note = fit.Note;
  return r;
}

TJoinDecision DecideJoin(const TFileList& List, const TJoinChoices& Choices) {
  const TFileInfoList infos = List.Infos();
  const TJoinFacts facts = GetJoinFacts(infos);
  bool copy = DefaultJoinWORecomp(facts);
  // Converting what differs is weighed only where a plain copy would lose something.
  TConversionFacts conversion;
  bool convert = false;
  std::string fallback;
  // A copy with sound must keep every file's sound in step: where a gap cannot be filled with
  // silence, the copy leaves the sound out when asked for, and is not proposed otherwise.
  std::string gap;
  if (facts.CanJoinWORecomp && !facts.DropAudio && Choices.Mode != TJoinMode::Recompress &&
      Choices.Mode != TJoinMode::Convert)
    gap = CopySoundGap(infos, 0);
  if (!gap.empty() && Choices.Mode == TJoinMode::Default) copy = false;
  if (Choices.Mode == TJoinMode::Copy) {
    if (!facts.CanJoinWORecomp) {
      std::string text = "The files cannot be copied into one, as their pictures differ:";
      for (const std::string& row : JoinNoteRows(infos, facts)) text += "\n" + row;
      throw EJoinRefused(text);
    }
    copy = true;
  } else if (Choices.Mode == TJoinMode::Recompress) {
    copy = false;
  } else if (Choices.Mode == TJoinMode::Convert || !copy) {
    conversion = DecideConversion(infos);
    if (Choices.Mode == TJoinMode::Convert && !conversion.Impossible.empty())
      throw EJoinRefused(ConversionImpossibleText(conversion));
    convert = Choices.Mode == TJoinMode::Convert || conversion.Proposed();
    if (!conversion.Impossible.empty() && (conversion.KeepsSound || conversion.SparesFiles))
      fallback = ConversionImpossibleText(conversion);
  }
  // A symbolic link is a name the join would replace, even when it points nowhere.
  if (NameExists(Choices.OutFileName) && !Choices.Overwrite)
    throw EOutputExists(Choices.OutFileName);

  TJoinDecision decision;
  TJoinRequest& request = decision.Request;
  request.Files = List.FileNames();
  for (const TVideoFileInfo* info : infos) request.Identities.push_back(info->Identity);
  request.Cuts = List.Cuts();
  request.OutFileName = Choices.OutFileName;
  request.JoinWORecomp = copy || convert;
  if (convert) {
    request.Plans = conversion.Plans;
    request.HeaderFile = conversion.HeaderFile;
    const TRecompressChoices& r = Choices.Recompression;
    request.ConvertResize = r.Resize ? *r.Resize : rmLetterbox;
    if (!r.Resize && !r.ResizeWord.empty()) {
      const std::optional<TResizeMethod> m = ResizeMethodOfWord(r.ResizeWord);
      if (!m)
        throw EJoinChoice("unknown resize method '" + r.ResizeWord +
                          "' (letterbox, crop, stretch or none)");
      request.ConvertResize = *m;
    }
    decision.Notes.insert(decision.Notes.end(), conversion.Rows.begin(), conversion.Rows.end());
  } else if (copy) {
    if (!fallback.empty()) decision.Notes.push_back(fallback);
    request.DropAudio = facts.DropAudio || !gap.empty();
    if (facts.DropAudio && !facts.NoAudio) decision.Notes.push_back(cNoteWithoutSound);
    if (!gap.empty()) decision.Notes.push_back(SoundLeftOutText(gap));
  } else {
    if (!fallback.empty()) decision.Notes.push_back(fallback);
    if (!gap.empty() && fallback.empty()) decision.Notes.push_back(RecompressedForSoundText(gap));
    std::string note;
    request.Recompression = DecideRecompression(infos, Choices.Recompression, &note);
    if (!note.empty()) decision.Notes.push_back(note);
  }
  return decision;
}

std::string OverwriteQuestion(const std::string& FileName) {
  return OverwriteFact(FileName) + "\r\n" + cOverwriteAsk;
}

std::string OverwriteQuestionLine(const std::string& FileName) {
  return OverwriteFact(FileName) + cOverwriteAsk;
}

std::string JoinFailsText(const std::string& Reason) { return "Join fails: " + Reason; }

bool ConversionResizes(const TFileInfoList& Infos, const TConversionFacts& Facts) {
  if (Facts.HeaderFile >= Infos.size()) return false;
  const TVideoFileInfo& kept = *Infos[Facts.HeaderFile];
  for (size_t i = 0; i < Infos.size() && i < Facts.Plans.size(); ++i)
    if (Facts.Plans[i].ConvertPictures &&
        (Infos[i]->Width != kept.Width || Infos[i]->Height != kept.Height))
      return true;
  return false;
}

bool RecompressionResizes(const TFileInfoList& Infos, int Width, int Height) {
  for (const TVideoFileInfo* info : Infos)
    if (info->Width != Width || info->Height != Height) return true;
  return false;
}

}  // namespace rw
