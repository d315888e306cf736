#include "cli/JoinOptions.h"

#include "core/EngineWorker.h"

namespace rw::cli {

namespace {

enum class TJoinOptionId {
  Output,
  Yes,
  Copy,
  Recompress,
  Convert,
  Help,
  Size,
  Rate,
  Resize,
  VideoCodec,
  AudioCodec,
  VideoOption,
  AudioOption,
  Worker,
  Identity,
  Cut
};
using O = TJoinOptionId;

struct TJoinOption {
  TJoinOptionId Id;
  const char* Short;   // "-o", or nullptr
  const char* Long;    // "--output"
  const char* Value;   // what the next argument is ("OUT"), nullptr when it takes none
  const char* Help;    // the usage's lines ('\n' between), nullptr when it is not listed
  bool Recompression;  // a setting of a recompressing join: it implies --recompress
};

constexpr TJoinOption Options[] = {
    {O::Output, "-o", "--output", "OUT", "the file to write", false},
    {O::Yes, "-y", "--yes", nullptr,
     "replace OUT when it exists (a symbolic link OUT is\n"
     "itself replaced; the file it points to is left alone)",
     false},
    {O::Copy, nullptr, "--copy", nullptr,
     "join without recompression (the sound is left out when\n"
     "the files' sound formats differ)",
     false},
    {O::Recompress, nullptr, "--recompress", nullptr, "join with recompression", false},
    {O::Convert, nullptr, "--convert", nullptr,
     "copy the files that match and convert only the files\n"
     "that differ into the others' format (fails, saying why,\n"
     "when that is not possible)",
     false},
    {O::Cut, nullptr, "--cut", "N=START-END",
     "keep only a part of file N (counted from 1; repeatable):\n"
     "START and END are times (seconds 2.5, MM:SS.mmm or\n"
     "HH:MM:SS.mmm) or picture numbers (#75, counted from 0);\n"
     "an empty side keeps the file's start or end. A time\n"
     "START keeps the picture shown then, a time END ends\n"
     "what is kept (2-5 keeps 3 s); #IN-#OUT keeps both.\n"
     "A copy converts only the pictures from START to the\n"
     "next key frame and copies the rest",
     false},
    {O::Help, "-h", "--help", nullptr, nullptr, false},
    {O::Size, nullptr, "--size", "WxH", "output frame size", true},
    {O::Rate, nullptr, "--rate", "FPS", "output frame rate", true},
    {O::Resize, nullptr, "--resize", "METHOD", "letterbox, crop, stretch or none", true},
    {O::VideoCodec, nullptr, "--vcodec", "NAME",
     "video compressor (reelwright-cli compressors), or none", true},
    {O::AudioCodec, nullptr, "--acodec", "NAME", "audio compressor, or none for PCM sound", true},
    {O::VideoOption, nullptr, "--vopt", "KEY=VALUE",
     "an option of the video compressor (repeatable): its own\n"
     "options (bit rate b=1500k, crf=20, preset=slow...) or\n"
     "qscale (constant quantizer or quality)",
     true},
    {O::AudioOption, nullptr, "--aopt", "KEY=VALUE",
     "an option of the audio compressor (b=256k, qscale=2...)", true},
    // The window's join: its progress, result and errors as lines on standard output.
    {O::Worker, nullptr, "--worker", nullptr, nullptr, false},
    // For the window's join, each file as its list described it (device:inode:size:mtime, in
    // the files' order): a file changed since then fails the join, naming it.
    {O::Identity, nullptr, "--identity", "ID", nullptr, false},
};

const TJoinOption* FindOption(const std::string& Arg) {
  for (const TJoinOption& o : Options)
    if ((o.Short && Arg == o.Short) || Arg == o.Long) return &o;
  return nullptr;
}

// The listed options of one group: the names and value in a column of 16, the help beside.
void PrintOptions(FILE* Out, bool Recompression) {
  constexpr int NameWidth = 16;
  for (const TJoinOption& o : Options) {
    if (!o.Help || o.Recompression != Recompression) continue;
    std::string names = o.Short ? std::string(o.Short) + ", " + o.Long : std::string(o.Long);
    if (o.Value) names += std::string(" ") + o.Value;
    std::string help = o.Help;
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
      help.insert(at + 1, NameWidth + 4, ' ');
    std::fprintf(Out, "  %-*s  %s\n", NameWidth, names.c_str(), help.c_str());
  }
}

// The choice of a recompression setting in Choices.
std::string& SettingText(TRecompressChoices& Choices, TJoinOptionId Id) {
  switch (Id) {
    case O::Size:
      return Choices.SizeText;
    case O::Rate:
      return Choices.Rate;
    case O::Resize:
      return Choices.ResizeWord;
    case O::VideoCodec:
      return Choices.Video.Name;
    default:
      return Choices.Audio.Name;
  }
}

}  // namespace

std::set<std::string> JoinValueOptions() {
  std::set<std::string> names;
  for (const TJoinOption& o : Options) {
    if (!o.Value) continue;
    if (o.Short) names.insert(o.Short);
    names.insert(o.Long);
  }
  return names;
}

void JoinUsage(FILE* Out) {
  std::fprintf(Out,
               "Usage: reelwright-cli join -o OUT [--yes] [--copy | --recompress | --convert]\n"
               "       [--cut N=START-END]...\n"
               "       [--] FILE...\n"
               "\n"
               "Joins the AVI files, in the given order, into OUT.\n"
               "\n");
  PrintOptions(Out, false);
  std::fprintf(Out,
               "\n"
               "Without --copy, --recompress or --convert the files are joined without\n"
               "recompression when their video formats agree and no sound would be lost;\n"
               "otherwise only the files that differ are converted when that keeps sound a\n"
               "copy would leave out or spares files a recompression would re-encode.\n"
               "The join is written to .NAME.part beside OUT (NAME: OUT's file name) and\n"
               "renamed to OUT when it ends; a failed join leaves an existing OUT as it was.\n"
               "Ctrl+C, SIGTERM or SIGHUP stops the join; OUT is finished and kept.\n"
               "\n"
               "Exit status: 0 joined, 1 failed, 2 usage error, 128 + the signal when stopped\n"
               "(130 for Ctrl+C).\n"
               "\n"
               "Recompression options (each implies --recompress; what is not given is what the\n"
               "join options propose: the smallest frame size rounded down to a multiple of 8,\n"
               "the lowest frame rate, letterbox or no resize, the preferred compressors):\n");
  PrintOptions(Out, true);
}

std::string TJoinOptions::Parse(const TArgs& Args) {
  bool options = true;
  TRecompressChoices& recompression = Choices.Recompression;
  for (size_t i = 0; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
      Files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options = false;
      continue;
    }
    const TJoinOption* option = FindOption(arg);
    if (!option) return "unknown option '" + arg + "'";
    const bool hasValue = i + 1 < Args.size();
    const std::string value = hasValue ? Args[i + 1] : "";
    switch (option->Id) {
      case O::Help:
        Help = true;
        break;
      case O::Worker:
        Worker = true;
        break;
      case O::Identity: {
        if (!hasValue) return "option " + arg + " needs a file identity";
        TFileIdentity id;
        unsigned long long device = 0, inode = 0;
        long long size = 0, modified = 0;
        char end = 0;
        if (std::sscanf(Args[++i].c_str(), "%llu:%llu:%lld:%lld%c", &device, &inode, &size,
                        &modified, &end) != 4)
          return "option " + arg + " takes DEVICE:INODE:SIZE:MTIME";
        id.Device = device;
        id.Inode = inode;
        id.Size = size;
        id.ModifiedNs = modified;
        Identities.push_back(id);
        break;
      }
      case O::Cut:
        if (!hasValue) return "option " + arg + " needs N=START-END";
        try {
          Cuts.push_back(ParseCutText(Args[++i]));
        } catch (const EJoinChoice& E) {
          return E.what();
        }
        break;
      case O::Output:
        if (!hasValue) return "option " + arg + " needs a file name";
        Choices.OutFileName = Args[++i];
        break;
      case O::Yes:
        Choices.Overwrite = true;
        break;
      case O::Copy:
      case O::Recompress:
      case O::Convert: {
        const TJoinMode mode = option->Id == O::Copy         ? TJoinMode::Copy
                               : option->Id == O::Recompress ? TJoinMode::Recompress
                                                             : TJoinMode::Convert;
        if (Choices.Mode != TJoinMode::Default && Choices.Mode != mode)
          return "--copy, --recompress and --convert exclude each other";
        Choices.Mode = mode;
        break;
      }
      case O::VideoOption:
      case O::AudioOption:
        if (value.find('=') == std::string::npos || value.front() == '=')
          return std::string("option ") + option->Long + " needs KEY=VALUE";
        (option->Id == O::VideoOption ? recompression.Video : recompression.Audio)
            .Options.push_back(Args[++i]);
        break;
      default:
        if (value.empty()) return std::string("option ") + option->Long + " needs a value";
        SettingText(recompression, option->Id) = Args[++i];
        break;
    }
  }
  if (Help) return "";
  if (recompression.Any()) {
    if (Choices.Mode == TJoinMode::Copy) return "the recompression options exclude --copy";
    // A conversion fits converted pictures by the resize method; nothing else applies to it.
    if (Choices.Mode == TJoinMode::Convert) {
      if (recompression.ResizeWord.empty() || !recompression.SizeText.empty() ||
          !recompression.Rate.empty() || !recompression.Video.Name.empty() ||
          !recompression.Audio.Name.empty() || !recompression.Video.Options.empty() ||
          !recompression.Audio.Options.empty())
        return "--convert takes only --resize of the recompression options";
    }
    if (Choices.Mode != TJoinMode::Convert) Choices.Mode = TJoinMode::Recompress;
  }
  if (Worker) {
    // The window passes names with their bytes escaped.
    Choices.OutFileName = NameFromWorkerArgument(Choices.OutFileName);
    for (std::string& f : Files) f = NameFromWorkerArgument(f);
  }
  if (Choices.OutFileName.empty()) return "the output file is missing (-o OUT)";
  if (Files.empty()) return "no files to join";
  return "";
}

}  // namespace rw::cli
