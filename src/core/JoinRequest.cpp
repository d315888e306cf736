#include "core/JoinRequest.h"

#include <utility>

#include "recompress/RecompressJoiner.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace rw {

TJoinWrapper::TJoinWrapper(TJoinRequest Request, TProgressFactory ProgressFactory)
    : FRequest(std::move(Request)), FProgressFactory(std::move(ProgressFactory)) {}

void TJoinWrapper::Run() {
  if (FRequest.JoinWORecomp) {
    // The stream-copy joiner shows its own progress from the factory.
    JoinAVIFiles();
    return;
  }
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
  JoinWithRecompression();
}

void TJoinWrapper::FillFileList(std::vector<std::string>& Files) const {
  Files.insert(Files.end(), FRequest.Files.begin(), FRequest.Files.end());
}

void TJoinWrapper::JoinAVIFiles() {
  TAVIFileJoiner joiner(FProgressFactory);
  FillFileList(joiner.FFiles);
  joiner.FOutFileName = FRequest.OutFileName;
  joiner.FDropAudio = FRequest.DropAudio;
  joiner.Execute();
}

void TJoinWrapper::JoinWithRecompression() {
  const TRecompression& r = FRequest.Recompression;
  TDSVideoJoiner joiner;
  FillFileList(joiner.FFiles);
  joiner.FOutFileName = FRequest.OutFileName;
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

void JoinFiles(TJoinRequest Request, TProgressFactory ProgressFactory) {
  TJoinWrapper wrapper(std::move(Request), std::move(ProgressFactory));
  wrapper.Run();
}

}  // namespace rw
