#include "core/JoinRequest.h"

#include <utility>

#include "join/OutputCheck.h"
#include "join/OutputTransaction.h"
#include "recompress/RecompressJoiner.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace rw {

TJoinWrapper::TJoinWrapper(TJoinRequest Request, TProgressFactory ProgressFactory)
    : FRequest(std::move(Request)), FProgressFactory(std::move(ProgressFactory)) {}

void TJoinWrapper::Run() {
  // The joiner writes beside the output; only a join that ends normally (finished or
  // cancelled) replaces it, and an error removes what was written.
  CheckJoinOutput(FRequest.OutFileName, FRequest.Files);
  TOutputTransaction output(FRequest.OutFileName);
  if (FRequest.JoinWORecomp)
    JoinAVIFiles(output.TempFileName());
  else
    RunRecompression(output.TempFileName());
  const std::string warning = output.Commit();
  if (!warning.empty()) FWarnings.push_back(warning);
}

void TJoinWrapper::RunRecompression(const std::string& OutFileName) {
  FProgress = FProgressFactory();
  FProgress->SetCaption("Joining...");
  FProgress->SetText("The selected files are being joined. Please wait...");
  FProgress->Show();
  // The progress goes when the join ends, also by an error.
  struct TDropProgress {
    std::unique_ptr<IProgress>& Progress;
    ~TDropProgress() {
      Progress->Hide();
      Progress.reset();
    }
  } drop{FProgress};
  JoinWithRecompression(OutFileName);
}

void TJoinWrapper::JoinAVIFiles(const std::string& OutFileName) {
  // The stream-copy joiner shows its own progress from the factory.
  TAVIFileJoiner joiner(FProgressFactory);
  joiner.FFiles = FRequest.Files;
  joiner.FOutFileName = OutFileName;
  joiner.FDropAudio = FRequest.DropAudio;
  joiner.Execute();
  FWarnings = joiner.Warnings();
}

void TJoinWrapper::JoinWithRecompression(const std::string& OutFileName) {
  const TRecompression& r = FRequest.Recompression;
  TDSVideoJoiner joiner;
  joiner.FFiles = FRequest.Files;
  joiner.FOutFileName = OutFileName;
  joiner.FWidth = r.Width;
  joiner.FHeight = r.Height;
  joiner.FFrameRate = r.FrameRate;
  joiner.FResizeMethod = r.ResizeMethod;
  joiner.FVideoCompressor = r.VideoCompressor;
  joiner.FAudioCompressor = r.AudioCompressor;
  joiner.OnProgress = [this](TDSVideoJoiner& Sender, bool& Cancel, double Percent) {
    JoinProgress(Sender, Cancel, Percent);
  };
  joiner.Join();
}

void TJoinWrapper::JoinProgress(TDSVideoJoiner&, bool& Cancel, double Percent) {
  FProgress->SetProgress(Percent);
  Cancel = FProgress->IsCancelled();
}

std::vector<std::string> JoinFiles(TJoinRequest Request, TProgressFactory ProgressFactory) {
  TJoinWrapper wrapper(std::move(Request), std::move(ProgressFactory));
  wrapper.Run();
  return wrapper.Warnings();
}

}  // namespace rw
