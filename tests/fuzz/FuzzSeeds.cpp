// Writes the seed corpora of the fuzzers into FOLDER/<fuzzer>/: small clips made by ffmpeg
// and hand-built files for what no tool writes (both index forms, no index, OpenDML with
// several standard indexes, 'iavs', many streams, short headers).
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "core/ProjectText.h"
#include "support/Fixtures.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace rw;
using namespace rw::test;

namespace {

void Put(const fs::path& Folder, const std::string& Name, const std::string& Bytes) {
  fs::create_directories(Folder);
  WriteFileBytes((Folder / Name).string(), Bytes);
}

void AviSeeds(const fs::path& Folder) {
  int n = 0;
  for (TIndexKind kind : {TIndexKind::Idx1Relative, TIndexKind::Idx1Absolute, TIndexKind::OpenDML,
                          TIndexKind::Both, TIndexKind::None}) {
    Put(Folder, "built" + std::to_string(n++) + ".avi", SimpleAVI(4, true, kind).Build());
  }
  TAVIBuilder split = SimpleAVI(6, true, TIndexKind::OpenDML);
  for (auto& s : split.StreamList) s.StdIndexes = 3;
  Put(Folder, "split-odml.avi", split.Build());
  TAVIBuilder own = SimpleAVI(3, false, TIndexKind::OpenDML);
  own.StreamList[0].IndxIsStdIndex = true;
  Put(Folder, "indx-is-std.avi", own.Build());
  TAVIBuilder dv;
  dv.AddStream(VideoHeader(25, 1, FourCC("dvsd")), BitmapInfo(0, 0, FourCC("dvsd")));
  dv.StreamList[0].Header.Type = riff::streamIavs;
  dv.AddChunk(0, 32);
  Put(Folder, "iavs.avi", dv.Build());
  TAVIBuilder many;
  for (int i = 0; i < 11; ++i) {
    many.AddStream(AudioHeader(8000, 1, 1), WaveFormat(1, 1, 8000, 8, 1));
    many.AddChunk(i, 4);
  }
  Put(Folder, "eleven.avi", many.Build());

  // No index: the data is walked, into a 'rec ' list and a second RIFF part, past filler.
  auto id = [](const char* Text) { return MakeFourCC(Text[0], Text[1], Text[2], Text[3]); };
  TAVIBuilder walked = SimpleAVI(0, true, TIndexKind::None);
  std::string bytes = walked.Build();
  const std::string movi = List(
      riff::listMovi, Chunk(id("00dc"), "v0") +
                          List(riff::listRec, Chunk(id("00dc"), "v1") + Chunk(id("01wb"), "a1")) +
                          Chunk(riff::ckJUNK, "filler") + Chunk(id("00dc"), "v2"));
  const size_t at = bytes.find("movi") - 8;
  bytes = Riff(riff::formAVI, bytes.substr(12, at - 12) + movi) +
          Riff(riff::formAVIX, List(riff::listMovi, Chunk(id("00dc"), "v3")));
  Put(Folder, "walked.avi", bytes);

  const TClipSpec clips[] = {
      {"mpeg4", 32, 24, "25", 3, "mp3", 2, 44100, ""},
      {"mjpeg", 32, 24, "30000/1001", 2, "pcm", 1, 22050, ""},
      {"rawvideo", 16, 16, "25", 2, "none", 2, 44100, "-pix_fmt bgr24"},
  };
  int c = 0;
  for (const TClipSpec& spec : clips) {
    try {
      Put(Folder, "clip" + std::to_string(c++) + ".avi", ReadFileBytes(MakeClip(spec)));
    } catch (const std::exception& E) {
      std::fprintf(stderr, "fuzz_seeds: %s\n", E.what());
    }
  }
}

void SignatureSeeds(const fs::path& Folder) {
  Put(Folder, "riff-avi", SimpleAVI(1, false, TIndexKind::None).Build().substr(0, 24));
  Put(Folder, "mpeg2", std::string("\x00\x00\x01\xBA\x44", 5) + std::string(20, '\0'));
  Put(Folder, "mpeg1", std::string("\x00\x00\x01\xB3", 4) + std::string(20, '\0'));
  Put(Folder, "asf", std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8) + std::string(16, '\0'));
  Put(Folder, "rm", ".RMF" + std::string(20, '\0'));
  Put(Folder, "short", "RIFF");
}

void ProjectSeeds(const fs::path& Folder) {
  Put(Folder, "empty.rwp", WriteProjectText({}));
  Put(Folder, "names.rwp",
      WriteProjectText({"/clips/Bob's.avi", "/a\tb.avi", "", "/v/" + std::string(70, 'x'),
                        std::string(63, 'a') + "\xC3\xA9" + std::string(80, 'b')}));
  Put(Folder, "cuts.rwp",
      WriteProjectText({"/a.avi", "/b.avi", "/c.avi"}, {{30, 239}, {}, {12, TPictureCut::ToEnd}}));
  Put(Folder, "free.rwp",
      "object P: TProjectSettings Name = P Tag = -1\n"
      "  Files.Strings = ('a''b'#$41 + 'c' #9'd')\nend\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
    return 2;
  }
  const fs::path root = argv[1];
  AviSeeds(root / "fuzz_avi_reader");
  SignatureSeeds(root / "fuzz_signature");
  ProjectSeeds(root / "fuzz_project");
  return 0;
}
