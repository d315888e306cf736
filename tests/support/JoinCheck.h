#pragma once
// Helpers of the join tests: a progress view that records and cancels, read-back of chunks
// with our own reader, and large sparse sources.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "join/JoinProgress.h"
#include "media/RiffFormat.h"

namespace rw::test {

// Counts reports and presses Cancel right after report CancelAt (0: never). OnReport, when set,
// runs at every report with its number: tests change the sources there, mid-join.
struct TProgressLog {
  int Reports = 0;
  int CancelAt = 0;
  std::function<void(int Report)> OnReport;
  std::vector<double> Percents;
  int Shows = 0, Hides = 0;
  std::string Caption, Text;
};
// A progress view that writes into Log what the join did with it.
class TRecordingProgress : public TProgressTracker {
public:
  explicit TRecordingProgress(TProgressLog& Log) : FLog(Log) {}
  void SetProgress(double Percent) override;

protected:
  void ShowView() override;
  void HideView() override;

private:
  TProgressLog& FLog;
};

struct TChunkCopy {
  std::string Data;
  bool KeyFrame = false;
};
// The chunks of a file's video (or audio) stream in index order, read with TAVIFileReader.
std::vector<TChunkCopy> StreamChunks(const std::string& FileName, bool Video);
// Rewrites, in place, the stream header and format of the file's first sound stream.
void EditSoundHeader(const std::string& FileName,
                     const std::function<void(TAVIStreamHeader&, std::string&)>& Edit);
// Whether the reader took the file's OpenDML indexes.
bool ReadsAsOpenDML(const std::string& FileName);

// Grows an AVI file to exactly Size bytes with a trailing JUNK chunk inside its RIFF, without
// writing the filler (a sparse hole).
void PadToSize(const std::string& FileName, int64_t Size);
// An uncompressed 32-bit video-only AVI of Frames 512 x 512 frames (1 MiB each) whose frame
// data are holes: large on paper, small on disk.
void MakeSparseRawAVI(const std::string& FileName, int Frames);

}  // namespace rw::test
