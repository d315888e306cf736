#include "core/JoinRequest.h"

#include <memory>
#include <utility>

#include "core/ProductInfo.h"
#include "join/OutputCheck.h"
#include "join/OutputTransaction.h"
#include "engine/EngineLoader.h"
#include "platform/Errors.h"
#include "recompress/RecompressJoiner.h"
#include "streamcopy/StreamCopyJoiner.h"

namespace rw {

namespace {

constexpr const char* cJoiningCaption = "Joining...";
constexpr const char* cStreamCopyText = "The selected file is being joined. Please wait...";
constexpr const char* cRecompressText = "The selected files are being joined. Please wait...";

// The system's failure to make the temporary file or to put it in the output's place, told
// with the output the user chose: the temporary file's name means nothing to the user.
[[noreturn]] void RaiseUnableToOverwrite(const std::string& OutFileName, const EOSError& E) {
  throw EOSError(E.ErrorCode, "Unable to overwrite the file " + OutFileName +
                                  ".\r\nPossible the file is blocked by other application.\r\n" +
                                  OSErrorMessage(E.ErrorCode));
}

// The output transaction, its making and its commit failing as RaiseUnableToOverwrite says.
class TJoinOutput {
public:
  explicit TJoinOutput(const std::string& OutFileName) : FOutput(Reserve(OutFileName)) {}
  const std::string& TempFileName() const { return FOutput->TempFileName(); }
  // The warning of a commit that put the output in place but could not sync its folder.
  std::string Commit() {
    try {
      return FOutput->Commit();
    } catch (const EOSError& E) {
      RaiseUnableToOverwrite(FOutput->OutFileName(), E);
    }
  }

private:
  static std::unique_ptr<TOutputTransaction> Reserve(const std::string& OutFileName) {
    try {
      return std::make_unique<TOutputTransaction>(OutFileName);
    } catch (const EOSError& E) {
      RaiseUnableToOverwrite(OutFileName, E);
    }
  }

  std::unique_ptr<TOutputTransaction> FOutput;
};

// What a joiner sees of the view: its reports pass through, and a stop the view asked for is
// kept for the result.
class TCancelWatch : public IProgress {
public:
  explicit TCancelWatch(IProgress& View) : FView(View) {}
  void SetProgress(double Percent) override { FView.SetProgress(Percent); }
  bool IsCancelled() override {
    if (FView.IsCancelled()) FCancelled = true;
    return FCancelled;
  }
  bool Cancelled() const { return FCancelled; }

private:
  IProgress& FView;
  bool FCancelled = false;
};

// Shows the view while it lives: it is hidden when the joiner ends, also by an error.
class TShownProgress {
public:
  explicit TShownProgress(IProgressView& View) : FView(View) { FView.Show(); }
  ~TShownProgress() { FView.Hide(); }
  TShownProgress(const TShownProgress&) = delete;
  TShownProgress& operator=(const TShownProgress&) = delete;

private:
  IProgressView& FView;
};

std::function<void(const std::string&)>& OutputCheckHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

// What the outputs name as the program that wrote them ('ISFT').
std::string SoftwareName() { return ProductInfo().Title + " " + ProductInfo().Version; }

// A conversion of the engine as the joiner pulls it; the engine's failure is raised with the
// file it concerns.
class TEngineChunks : public IConvertedChunks {
public:
  TEngineChunks(std::unique_ptr<IConvertJob> Job, std::string FileName)
      : FJob(std::move(Job)), FFileName(std::move(FileName)) {}
  bool Next(std::vector<uint8_t>& Data, bool& KeyFrame) override {
    if (FJob->Next(FChunk)) {
      Data.swap(FChunk.Data);
      KeyFrame = FChunk.KeyFrame;
      return true;
    }
    const TEngineError e = FJob->Error();
    if (e.Failed()) throw Exception("The file " + FFileName + " cannot be converted: " + e.Reason);
    return false;
  }

private:
  std::unique_ptr<IConvertJob> FJob;
  std::string FFileName;
  TConvertedChunk FChunk;
};

}  // namespace

TStreamTarget StreamTargetOf(bool Pictures, const TAVIStreamHeader& Header,
                             const std::string& Format, std::vector<uint8_t> FirstKeyFrame) {
  TStreamTarget target;
  target.Kind = Pictures ? TMediaKind::mkVideo : TMediaKind::mkAudio;
  target.Handler = Header.Handler;
  target.Scale = Header.Scale;
  target.Rate = Header.Rate;
  target.SampleSize = Header.SampleSize;
  target.Format.assign(Format.begin(), Format.end());
  target.FirstKeyFrame = std::move(FirstKeyFrame);
  return target;
}

std::unique_ptr<IConvertedChunks> StartEngineConvert(const TConvertRequest& Request,
                                                     TResizeMethod Resize) {
  TConvertPlan plan;
  plan.FileName = Request.FileName;
  plan.Target =
      StreamTargetOf(Request.Pictures, Request.Header, Request.Format, Request.FirstKeyFrame);
  plan.Seconds = Request.Seconds;
  plan.Lead = Request.SoundLead;
  plan.Pictures = Request.PictureCount;
  plan.PictureRate = Request.PictureRate;
  plan.FirstPicture = Request.FirstPicture;
  plan.StartSeconds = Request.StartSeconds;
  plan.StretchMode = StretchModeOf(Resize);
  TEngineResult<std::unique_ptr<IConvertJob>> job = MediaEngine().StartConvert(plan);
  if (job.Error.Failed() || !job.Value)
    throw Exception("The file " + Request.FileName + " cannot be converted: " + job.Error.Reason);
  return std::make_unique<TEngineChunks>(std::move(job.Value), Request.FileName);
}

TJoinWrapper::TJoinWrapper(TJoinRequest Request, IProgressView& Progress)
    : FRequest(std::move(Request)), FProgress(Progress) {}

TJoinResult TJoinWrapper::Run() {
  // The joiner writes beside the output; only a join that ends normally (finished or
  // cancelled) replaces it, and an error removes what was written.
  CheckJoinOutput(FRequest.OutFileName, FRequest.Files);
  TJoinOutput output(FRequest.OutFileName);
  if (FRequest.OutputReserved) FRequest.OutputReserved(output.TempFileName());
  FProgress.SetCaption(cJoiningCaption);
  FProgress.SetText(FRequest.JoinWORecomp ? cStreamCopyText : cRecompressText);
  TCancelWatch watch(FProgress);
  bool wrote = false;
  {
    TShownProgress shown(FProgress);
    if (FRequest.JoinWORecomp)
      wrote = JoinAVIFiles(output.TempFileName(), watch);
    else
      wrote = JoinWithRecompression(output.TempFileName(), watch);
  }
  FResult.Cancelled = watch.Cancelled();
  // A join stopped before any of the sources was written would only replace the output with
  // an empty file: the temporary file goes and an existing output stays as it was.
  if (wrote || !FResult.Cancelled) {
    if (OutputCheckHook()) OutputCheckHook()(output.TempFileName());
    if (FWritten)
      CheckReadBack(output.TempFileName(), FRequest.OutFileName, *FWritten);
    else if (!FRequest.JoinWORecomp && !FResult.Cancelled)
      CheckReadBackWhole(output.TempFileName(), FRequest.OutFileName);
    const std::string warning = output.Commit();
    FResult.Kept = true;
    if (!warning.empty()) FResult.Warnings.push_back(warning);
  }
  return FResult;
}

bool TJoinWrapper::JoinAVIFiles(const std::string& OutFileName, IProgress& Progress) {
  TAVIFileJoiner joiner;
  joiner.FFiles = FRequest.Files;
  joiner.FIdentities = FRequest.Identities;
  joiner.FOutFileName = OutFileName;
  joiner.FDropAudio = FRequest.DropAudio;
  joiner.FSoftware = SoftwareName();
  joiner.FPlans = FRequest.Plans;
  joiner.FCuts = FRequest.Cuts;
  joiner.FHeaderSource = FRequest.HeaderFile;
  const TResizeMethod resize = FRequest.ConvertResize;
  joiner.FConvert = [resize](const TConvertRequest& Request) {
    return StartEngineConvert(Request, resize);
  };
  joiner.FProgress = &Progress;
  joiner.Execute();
  FResult.Warnings = joiner.Warnings();
  FWritten = joiner.Written();
  return joiner.PicturesWritten() > 0;
}

bool TJoinWrapper::JoinWithRecompression(const std::string& OutFileName, IProgress& Progress) {
  const TRecompression& r = FRequest.Recompression;
  TDSVideoJoiner joiner;
  joiner.FFiles = FRequest.Files;
  joiner.FIdentities = FRequest.Identities;
  joiner.FCuts = FRequest.Cuts;
  joiner.FOutFileName = OutFileName;
  joiner.FWidth = r.Width;
  joiner.FHeight = r.Height;
  joiner.FFrameRate = r.FrameRate;
  joiner.FResizeMethod = r.ResizeMethod;
  joiner.FVideoCompressor = r.VideoCompressor;
  joiner.FAudioCompressor = r.AudioCompressor;
  joiner.FSoftware = SoftwareName();
  joiner.FProgress = &Progress;
  joiner.Join();
  FResult.Warnings = joiner.Warnings();
  // The render reports no count of what it wrote: its output is kept.
  return true;
}

void SetOutputCheckHook(std::function<void(const std::string& TempFileName)> Hook) {
  OutputCheckHook() = std::move(Hook);
}

TJoinResult JoinFiles(TJoinRequest Request, IProgressView& Progress) {
  TJoinWrapper wrapper(std::move(Request), Progress);
  return wrapper.Run();
}

}  // namespace rw
