// Joins the input with itself by stream copy into a scratch output. Whatever the input holds,
// the join either raises or leaves an output that our own reader opens in full, with every
// indexed chunk readable. The join is cancelled after a bounded number of chunks, so that an
// index pointing many times at the same large chunk cannot make the output grow without end.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "join/JoinProgress.h"
#include "fuzz/FuzzInput.h"
#include "media/AVIRead.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace {

constexpr int MaxReports = 256;

class TBoundedProgress : public rw::TProgressTracker {
public:
  void SetProgress(double Percent) override {
    TProgressTracker::SetProgress(Percent);
    if (++FReports >= MaxReports) Cancel();
  }

private:
  int FReports = 0;
};

void CheckOutput(const std::string& Name) {
  rw::TAVIFileReader reader;
  try {
    reader.Open(Name, false);
  } catch (const std::exception&) {
    std::abort();  // the writer left a file its own reader refuses
  }
  if (!reader.VideoStream()) std::abort();
  std::vector<char> buffer;
  for (int s = 0; s < reader.StreamCount(); ++s) {
    const rw::TAVIStream& stream = reader.Streams(s);
    for (uint32_t i = 0; i < stream.ChunkCount(); ++i) {
      rw::TAVIIndexEntry entry;
      if (!stream.GetIndexEntry(i, entry)) std::abort();
      buffer.resize(entry.Size);
      if (!stream.ReadChunk(i, buffer.data())) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string& name = rw::fuzz::WriteInput(Data, Size);
  static const rw::fuzz::TScratchName out{rw::fuzz::ScratchFile() + ".out.avi"};
  TBoundedProgress progress;
  rw::TAVIFileJoiner joiner;
  joiner.FProgress = &progress;
  joiner.FFiles = {name, name};
  joiner.FOutFileName = out.Name;
  try {
    joiner.Execute();
  } catch (const std::exception&) {
    return 0;
  }
  CheckOutput(out.Name);
  return 0;
}
