#include "engine/EngineClient.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/Sockets.h"

extern char** environ;

namespace rw {

namespace {

// The questions, as the worker reads them.
enum TRequest : int32_t {
  rqVersion = 1,
  rqListCompressors,
  rqCheckCompressor,
  rqFitFrameSize,
  rqSetOption,
  rqGetOption,
  rqKeptOptions,
  rqListOptions,
  rqCheckConvert,
};

constexpr int32_t cFailed = static_cast<int32_t>(0x80004005);
// No message of ours is near this; a longer one is a broken stream.
constexpr uint32_t cMaxMessage = 64u << 20;

class TWriter {
public:
  TWriter& Int(int64_t Value) {
    FData.append(reinterpret_cast<const char*>(&Value), sizeof Value);
    return *this;
  }
  TWriter& Real(double Value) {
    FData.append(reinterpret_cast<const char*>(&Value), sizeof Value);
    return *this;
  }
  TWriter& Text(const std::string& Value) {
    Int(static_cast<int64_t>(Value.size()));
    FData += Value;
    return *this;
  }
  TWriter& Bytes(const std::vector<uint8_t>& Value) {
    return Text(std::string(Value.begin(), Value.end()));
  }
  TWriter& Error(const TEngineError& E) { return Int(E.Code).Text(E.Reason); }
  const std::string& Data() const { return FData; }

private:
  std::string FData;
};

class TReader {
public:
  explicit TReader(std::string Data) : FData(std::move(Data)) {}
  int64_t Int() {
    int64_t v = 0;
    Take(&v, sizeof v);
    return v;
  }
  double Real() {
    double v = 0;
    Take(&v, sizeof v);
    return v;
  }
  std::string Text() {
    const int64_t size = Int();
    if (size < 0 || static_cast<uint64_t>(size) > FData.size() - FAt) {
      FOk = false;
      return {};
    }
    std::string v = FData.substr(FAt, static_cast<size_t>(size));
    FAt += static_cast<size_t>(size);
    return v;
  }
  std::vector<uint8_t> Bytes() {
    const std::string t = Text();
    return {t.begin(), t.end()};
  }
  TEngineError Error() {
    TEngineError e;
    e.Code = static_cast<int32_t>(Int());
    e.Reason = Text();
    return e;
  }
  bool Ok() const { return FOk; }

private:
  void Take(void* To, size_t Size) {
    if (FData.size() - FAt < Size) {
      FOk = false;
      std::memset(To, 0, Size);
      return;
    }
    std::memcpy(To, FData.data() + FAt, Size);
    FAt += Size;
  }
  std::string FData;
  size_t FAt = 0;
  bool FOk = true;
};

bool SendMessage(int Socket, const std::string& Data) {
  const uint32_t size = static_cast<uint32_t>(Data.size());
  return SendAll(Socket, &size, sizeof size) && SendAll(Socket, Data.data(), Data.size());
}

bool ReceiveMessage(int Socket, std::string& Data) {
  uint32_t size = 0;
  if (!ReceiveAll(Socket, &size, sizeof size) || size > cMaxMessage) return false;
  Data.resize(size);
  return ReceiveAll(Socket, Data.data(), size);
}

TWriter& Target(TWriter& W, const TStreamTarget& T) {
  return W.Int(static_cast<int32_t>(T.Kind))
      .Int(T.Handler)
      .Int(T.Scale)
      .Int(T.Rate)
      .Int(T.SampleSize)
      .Bytes(T.Format)
      .Bytes(T.FirstKeyFrame);
}

TStreamTarget Target(TReader& R) {
  TStreamTarget t;
  t.Kind = R.Int() == static_cast<int32_t>(TMediaKind::mkAudio) ? TMediaKind::mkAudio
                                                                : TMediaKind::mkVideo;
  t.Handler = static_cast<uint32_t>(R.Int());
  t.Scale = static_cast<uint32_t>(R.Int());
  t.Rate = static_cast<uint32_t>(R.Int());
  t.SampleSize = static_cast<uint32_t>(R.Int());
  t.Format = R.Bytes();
  t.FirstKeyFrame = R.Bytes();
  return t;
}

TMediaKind KindOf(int64_t Value) {
  return Value == static_cast<int32_t>(TMediaKind::mkAudio) ? TMediaKind::mkAudio
                                                            : TMediaKind::mkVideo;
}

class TEngineClient final : public IMediaEngine {
public:
  explicit TEngineClient(std::string Program) : FProgram(std::move(Program)) {}
  ~TEngineClient() { Stop(); }

  void Stop() {
    std::lock_guard<std::mutex> lock(FLock);
    Reap(true);
  }

  TEngineResult<std::string> Version() override {
    TEngineResult<std::string> r;
    Ask(TWriter().Int(rqVersion), "loading", r.Error, [&](TReader& R) { r.Value = R.Text(); });
    return r;
  }
  TEngineResult<TFileDescription> Describe(const std::string&) override {
    return {Elsewhere(), {}};
  }
  TEngineResult<std::vector<TCompressorEntry>> ListCompressors(TMediaKind Kind) override {
    TEngineResult<std::vector<TCompressorEntry>> r;
    Ask(TWriter().Int(rqListCompressors).Int(static_cast<int32_t>(Kind)), "listing the compressors",
        r.Error, [&](TReader& R) {
          for (int64_t n = R.Int(); n > 0 && R.Ok(); --n) {
            TCompressorEntry e;
            e.Name = R.Text();
            e.DisplayName = R.Text();
            r.Value.push_back(std::move(e));
          }
        });
    return r;
  }
  TEngineError CheckCompressor(const std::string& Name, const TCompressorFormat& F) override {
    TEngineError e;
    Ask(TWriter()
            .Int(rqCheckCompressor)
            .Text(Name)
            .Int(static_cast<int32_t>(F.Kind))
            .Int(F.Width)
            .Int(F.Height)
            .Real(F.Rate),
        "trying " + Name, e, nullptr);
    return e;
  }
  TEngineResult<TFrameFit> FitFrameSize(const std::string& Name, int32_t Width,
                                        int32_t Height) override {
    TEngineResult<TFrameFit> r;
    Ask(TWriter().Int(rqFitFrameSize).Text(Name).Int(Width).Int(Height),
        "fitting the frame size to " + Name, r.Error, [&](TReader& R) {
          r.Value.Width = static_cast<int32_t>(R.Int());
          r.Value.Height = static_cast<int32_t>(R.Int());
          r.Value.Why = R.Text();
        });
    return r;
  }
  TEngineError SetCompressorOption(const std::string& Name, const std::string& Option,
                                   const std::string& Value) override {
    TEngineError e;
    std::lock_guard<std::mutex> lock(FLock);
    AskLocked(TWriter().Int(rqSetOption).Text(Name).Text(Option).Text(Value),
              "setting an option of " + Name, e, nullptr);
    // Kept for a worker started later, in the order first set.
    if (!e.Failed()) {
      TOptionList& kept = FKept[Name];
      auto at =
          std::find_if(kept.begin(), kept.end(), [&](const auto& O) { return O.first == Option; });
      if (at != kept.end())
        at->second = Value;
      else
        kept.emplace_back(Option, Value);
    }
    return e;
  }
  TEngineResult<std::string> CompressorOption(const std::string& Name,
                                              const std::string& Option) override {
    TEngineResult<std::string> r;
    Ask(TWriter().Int(rqGetOption).Text(Name).Text(Option), "reading the options of " + Name,
        r.Error, [&](TReader& R) { r.Value = R.Text(); });
    return r;
  }
  TEngineResult<TOptionList> KeptCompressorOptions(const std::string& Name) override {
    TEngineResult<TOptionList> r;
    Ask(TWriter().Int(rqKeptOptions).Text(Name), "reading the options of " + Name, r.Error,
        [&](TReader& R) {
          for (int64_t n = R.Int(); n > 0 && R.Ok(); --n) {
            std::string key = R.Text();
            r.Value.emplace_back(std::move(key), R.Text());
          }
        });
    return r;
  }
  TEngineResult<std::vector<TCompressorOptionInfo>> ListCompressorOptions(
      const std::string& Name) override {
    TEngineResult<std::vector<TCompressorOptionInfo>> r;
    Ask(TWriter().Int(rqListOptions).Text(Name), "reading the options of " + Name, r.Error,
        [&](TReader& R) {
          for (int64_t n = R.Int(); n > 0 && R.Ok(); --n) {
            TCompressorOptionInfo o;
            o.Name = R.Text();
            o.Help = R.Text();
            o.Value = R.Text();
            r.Value.push_back(std::move(o));
          }
        });
    return r;
  }
  TEngineResult<std::unique_ptr<IEngineJob>> StartRender(const TRenderPlan&) override {
    return {Elsewhere(), nullptr};
  }
  TEngineError CheckConvert(const TStreamTarget& T) override {
    TEngineError e;
    TWriter w;
    w.Int(rqCheckConvert);
    Ask(Target(w, T), "checking a conversion", e, nullptr);
    return e;
  }
  TEngineResult<std::unique_ptr<IConvertJob>> StartConvert(const TConvertPlan&) override {
    return {Elsewhere(), nullptr};
  }
  TEngineResult<TThumbnail> Thumbnail(const std::string&, int32_t, int32_t) override {
    return {Elsewhere(), {}};
  }
  TEngineResult<TThumbnail> PictureAt(const std::string&, uint32_t, int32_t, int32_t) override {
    return {Elsewhere(), {}};
  }

private:
  static TEngineError Elsewhere() { return {cFailed, "this process runs no media engine work"}; }

  void Ask(const TWriter& Request, const std::string& Work, TEngineError& Error,
           const std::function<void(TReader&)>& Answer) {
    std::lock_guard<std::mutex> lock(FLock);
    AskLocked(Request, Work, Error, Answer);
  }

  // Sends one request and reads its answer: the engine's error, then (when none) the values.
  void AskLocked(const TWriter& Request, const std::string& Work, TEngineError& Error,
                 const std::function<void(TReader&)>& Answer) {
    std::string reply;
    if (FSocket < 0 && !Start()) {
      Error = {cFailed, "The program " + FProgram + " cannot be started"};
      return;
    }
    if (!SendMessage(FSocket, Request.Data()) || !ReceiveMessage(FSocket, reply)) {
      const int status = Reap(false);
      Error = {cFailed, WorkerStoppedText(Work, WIFSIGNALED(status) ? WTERMSIG(status) : 0,
                                          WIFEXITED(status) ? WEXITSTATUS(status) : 0)};
      return;
    }
    TReader r(std::move(reply));
    Error = r.Error();
    if (!Error.Failed() && Answer) Answer(r);
    if (!r.Ok()) Error = {cFailed, "the media engine's answer is broken"};
  }

  bool Start() {
    int pid = -1;
    const int socket = SpawnSocketWorker(FProgram, "engine-worker", pid);
    FPid = pid;
    if (socket < 0) return false;
    FSocket = socket;
    // The options set so far, given to the new worker as they were set.
    for (const auto& [encoder, options] : FKept)
      for (const auto& [option, value] : options) {
        std::string reply;
        if (!SendMessage(
                FSocket,
                TWriter().Int(rqSetOption).Text(encoder).Text(option).Text(value).Data()) ||
            !ReceiveMessage(FSocket, reply))
          return false;
      }
    return true;
  }

  // Ends the worker (Kill) or waits for the one that died; its wait status.
  int Reap(bool Kill) {
    if (FSocket >= 0) ::close(std::exchange(FSocket, -1));
    int status = 0;
    if (FPid > 0) {
      if (Kill) ::kill(FPid, SIGKILL);
      while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {}
    }
    FPid = -1;
    return status;
  }

  std::string FProgram;
  std::mutex FLock;
  pid_t FPid = -1;
  int FSocket = -1;
  std::map<std::string, TOptionList> FKept;
};

std::unique_ptr<TEngineClient>& Client() {
  static std::unique_ptr<TEngineClient> client;
  return client;
}

}  // namespace

std::string WorkerStoppedText(const std::string& Work, int Signal, int ExitStatus) {
  return "the media engine stopped unexpectedly while " + Work +
         (Signal ? " (signal " + std::to_string(Signal) + ")"
                 : " (exit status " + std::to_string(ExitStatus) + ")");
}

void UseEngineWorker(const std::string& Program) {
  Client() = std::make_unique<TEngineClient>(Program);
}

IMediaEngine* EngineWorkerClient() { return Client().get(); }

void StopEngineWorker() {
  if (Client()) Client()->Stop();
}

int ServeEngineRequests(const std::function<IMediaEngine&()>& Engine, int In, int Out) {
  std::string request;
  while (ReceiveMessage(In, request)) {
    TReader r(std::move(request));
    TWriter w;
    try {
      IMediaEngine& e = Engine();
      switch (r.Int()) {
        case rqVersion: {
          const auto v = e.Version();
          w.Error(v.Error).Text(v.Value);
          break;
        }
        case rqListCompressors: {
          const auto v = e.ListCompressors(KindOf(r.Int()));
          w.Error(v.Error).Int(static_cast<int64_t>(v.Value.size()));
          for (const TCompressorEntry& c : v.Value) w.Text(c.Name).Text(c.DisplayName);
          break;
        }
        case rqCheckCompressor: {
          const std::string name = r.Text();
          TCompressorFormat f;
          f.Kind = KindOf(r.Int());
          f.Width = static_cast<int32_t>(r.Int());
          f.Height = static_cast<int32_t>(r.Int());
          f.Rate = r.Real();
          w.Error(e.CheckCompressor(name, f));
          break;
        }
        case rqFitFrameSize: {
          const std::string name = r.Text();
          const auto width = static_cast<int32_t>(r.Int());
          const auto v = e.FitFrameSize(name, width, static_cast<int32_t>(r.Int()));
          w.Error(v.Error).Int(v.Value.Width).Int(v.Value.Height).Text(v.Value.Why);
          break;
        }
        case rqSetOption: {
          const std::string name = r.Text(), option = r.Text();
          w.Error(e.SetCompressorOption(name, option, r.Text()));
          break;
        }
        case rqGetOption: {
          const std::string name = r.Text();
          const auto v = e.CompressorOption(name, r.Text());
          w.Error(v.Error).Text(v.Value);
          break;
        }
        case rqKeptOptions: {
          const auto v = e.KeptCompressorOptions(r.Text());
          w.Error(v.Error).Int(static_cast<int64_t>(v.Value.size()));
          for (const auto& [key, value] : v.Value) w.Text(key).Text(value);
          break;
        }
        case rqListOptions: {
          const auto v = e.ListCompressorOptions(r.Text());
          w.Error(v.Error).Int(static_cast<int64_t>(v.Value.size()));
          for (const TCompressorOptionInfo& o : v.Value) w.Text(o.Name).Text(o.Help).Text(o.Value);
          break;
        }
        case rqCheckConvert:
          w.Error(e.CheckConvert(Target(r)));
          break;
        default:
          w.Error({cFailed, "unknown request"});
      }
    } catch (const std::exception& E) {
      w = TWriter();
      w.Error({cFailed, E.what()});
    }
    if (!SendMessage(Out, w.Data())) return 1;
  }
  return 0;
}

}  // namespace rw
