#include "support/Fixtures.h"

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include "support/TempDir.h"

namespace rw::test {

namespace {

std::mutex CacheLock;

TTempDir& Folder() {
  static TTempDir dir;
  return dir;
}

std::map<std::string, std::string>& Cache() {
  static std::map<std::string, std::string> cache;
  return cache;
}

std::string Key(const TClipSpec& S) {
  return S.Codec + "_" + std::to_string(S.Width) + "x" + std::to_string(S.Height) + "_" + S.Rate +
         "_" + std::to_string(S.Frames) + "_" + S.Audio + "_" + std::to_string(S.Channels) + "_" +
         std::to_string(S.SampleRate) + "_" + S.Extra;
}

std::string AudioCodec(const std::string& Audio) {
  if (Audio == "pcm") return "pcm_s16le";
  if (Audio == "mp3") return "libmp3lame";
  return Audio;  // an ffmpeg encoder name: ac3, pcm_f32le, ...
}

}  // namespace

std::string ShellQuote(const std::string& Text) {
  std::string q = "'";
  for (char c : Text) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

std::string Checksum(const std::string& FileName) {
  return RunTool("cksum " + ShellQuote(FileName) + " | cut -d' ' -f1,2");
}

std::string RunTool(const std::string& Command) {
  std::string out;
  if (RunCommand(Command, &out) != 0) throw std::runtime_error("command failed: " + Command);
  return out;
}

std::string FixtureFolder() { return Folder().Path().string(); }

std::string Describe(const TClipSpec& Spec) {
  return Spec.Codec + " " + std::to_string(Spec.Width) + "x" + std::to_string(Spec.Height) + " " +
         Spec.Rate + " fps " + std::to_string(Spec.Frames) + " frames, audio " + Spec.Audio;
}

std::string MakeClip(const TClipSpec& S) {
  std::lock_guard<std::mutex> lock(CacheLock);
  const std::string key = Key(S);
  auto it = Cache().find(key);
  if (it != Cache().end()) return it->second;

  const std::string file = Folder().File("clip_" + std::to_string(Cache().size()) + ".avi");
  const std::string size = std::to_string(S.Width) + "x" + std::to_string(S.Height);
  std::string cmd =
      "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" + size + ":rate=" + S.Rate;
  if (S.Audio != "none")
    cmd += " -f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(S.SampleRate);
  cmd += " -frames:v " + std::to_string(S.Frames) + " -c:v " + S.Codec;
  if (S.Codec == "rawvideo") cmd += " -pix_fmt bgr24";
  if (S.Codec == "mjpeg") cmd += " -pix_fmt yuvj420p";
  if (S.Audio != "none") {
    // Sound as long as the video.
    cmd += " -c:a " + AudioCodec(S.Audio) + " -ac " + std::to_string(S.Channels) + " -shortest";
  }
  cmd += " " + S.Extra + " -f avi " + ShellQuote(file) + " 2>&1";
  RunTool(cmd);
  Cache()[key] = file;
  return file;
}

std::string MakeOtherContainer(const std::string& Format) {
  std::lock_guard<std::mutex> lock(CacheLock);
  const std::string key = "container:" + Format;
  auto it = Cache().find(key);
  if (it != Cache().end()) return it->second;

  static const std::map<std::string, std::string> Options = {
      {"mpeg", "-c:v mpeg1video -f mpeg"}, {"vob", "-c:v mpeg2video -f vob"},
      {"asf", "-c:v wmv2 -f asf"},         {"rm", "-c:v rv10 -f rm"},
      {"mp4", "-c:v mpeg4 -f mp4"},
  };
  const std::string file = Folder().File("other_" + std::to_string(Cache().size()) + "." + Format);
  std::string cmd;
  if (Format == "wav") {
    cmd = "ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=0.2 -f wav " + ShellQuote(file);
  } else {
    auto o = Options.find(Format);
    if (o == Options.end()) throw std::runtime_error("unknown fixture container " + Format);
    cmd = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 5 " +
          o->second + " " + ShellQuote(file);
  }
  RunTool(cmd + " 2>&1");
  Cache()[key] = file;
  return file;
}

TCommaDecimalLocale::TCommaDecimalLocale() {
  const std::string folder = FixtureFolder() + "/locales";
  static std::once_flag made;
  std::call_once(made, [&] {
    RunTool("mkdir -p " + ShellQuote(folder));
    std::ofstream(folder + "/comma.src") << "LC_NUMERIC\n"
                                            "decimal_point \"<U002C>\"\n"
                                            "thousands_sep \"<U002E>\"\n"
                                            "grouping 3\n"
                                            "END LC_NUMERIC\n";
    // -c: the other categories are left undefined on purpose; localedef warns and says so in
    // its exit status, so the made file is what is checked.
    RunCommand("localedef -c -f UTF-8 -i " + ShellQuote(folder + "/comma.src") + " " +
                   ShellQuote(folder + "/xx_XX.UTF-8") + " 2>&1",
               nullptr);
  });
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  FPrevious = previous ? previous : "C";
  setenv("LOCPATH", folder.c_str(), 1);
  if (!std::setlocale(LC_NUMERIC, "xx_XX.UTF-8"))
    throw std::runtime_error("cannot make a comma-decimal locale with localedef");
}

TCommaDecimalLocale::~TCommaDecimalLocale() {
  std::setlocale(LC_NUMERIC, FPrevious.c_str());
  unsetenv("LOCPATH");
}

}  // namespace rw::test
