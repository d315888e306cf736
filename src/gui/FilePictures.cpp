#include "gui/FilePictures.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/EngineWorker.h"
#include "platform/Sockets.h"

extern char** environ;

namespace rw {

namespace {

// Asked-for pictures that wait beyond this many are forgotten, the oldest first: rows scrolled
// past are asked for again when they come back into sight.
constexpr size_t cMaxWaiting = 64;

// The worker process that makes the pictures (reelwright-cli picture-worker): one runs while
// pictures are wanted, started when a picture finds none running. A file that ends it (a
// decoder fault) gives no picture.
class TPictureWorker {
public:
  ~TPictureWorker() { Stop(); }

  // Request: "picture W H FILE", or "pictureat N W H FILE".
  TEngineResult<TThumbnail> Make(const std::string& Word, const std::string& Request,
                                 int32_t MaxWidth, int32_t MaxHeight) {
    TEngineResult<TThumbnail> made;
    made.Error.Code = 1;
    std::lock_guard<std::mutex> use(FUse);
    bool stopped = false;
    {
      std::lock_guard<std::mutex> lock(FPidLock);
      stopped = std::exchange(FStopped, false);
    }
    if (stopped) Reap();
    if (FSocket < 0 && !Start()) return made;
    const std::string request = WorkerLine(Word, Request);
    std::string header;
    char c = 0;
    bool read = Send(request);
    while (read && (read = Receive(&c, 1)) && c != '\n') header += c;
    std::string word, text;
    ReadWorkerLine(header, word, text);
    int32_t width = 0, height = 0;
    if (read && word == "picture" && std::sscanf(text.c_str(), "%d %d", &width, &height) == 2 &&
        width > 0 && height > 0 && width <= MaxWidth && height <= MaxHeight) {
      made.Value.Rgb.resize(static_cast<size_t>(width) * height * 3);
      read = Receive(made.Value.Rgb.data(), made.Value.Rgb.size());
      made.Value.Width = width;
      made.Value.Height = height;
      if (read) made.Error.Code = 0;
    }
    if (!read) Reap();
    return made;
  }

  // Ends the worker at once; a picture being made gives none. Any thread.
  void Stop() {
    std::lock_guard<std::mutex> lock(FPidLock);
    if (FPid > 0) ::kill(FPid, SIGKILL);
    FStopped = FPid > 0;
  }

private:
  bool Start() {
    int pid = -1;
    const int socket = SpawnSocketWorker(WorkerProgram(), "picture-worker", pid);
    if (socket < 0) return false;
    FSocket = socket;
    std::lock_guard<std::mutex> lock(FPidLock);
    FPid = pid;
    return true;
  }

  // A worker that died or answered out of turn is ended and forgotten.
  void Reap() {
    pid_t pid;
    {
      std::lock_guard<std::mutex> lock(FPidLock);
      pid = std::exchange(FPid, -1);
    }
    if (FSocket >= 0) ::close(std::exchange(FSocket, -1));
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
    }
  }

  bool Send(const std::string& Data) { return SendAll(FSocket, Data.data(), Data.size()); }
  bool Receive(void* Data, size_t Size) { return ReceiveAll(FSocket, Data, Size); }

  std::mutex FUse;  // one picture at a time
  int FSocket = -1;
  std::mutex FPidLock;
  pid_t FPid = -1;
  bool FStopped = false;  // ended by Stop, not yet reaped
};

TPictureWorker& PictureWorker() {
  static TPictureWorker worker;
  return worker;
}

TEngineResult<TThumbnail> EngineThumbnail(const std::string& FileName, int32_t MaxWidth,
                                          int32_t MaxHeight) {
  return PictureWorker().Make(
      "picture", std::to_string(MaxWidth) + " " + std::to_string(MaxHeight) + " " + FileName,
      MaxWidth, MaxHeight);
}

}  // namespace

TEngineResult<TThumbnail> WorkerPictureAt(const std::string& FileName, uint32_t Picture,
                                          int32_t MaxWidth, int32_t MaxHeight) {
  return PictureWorker().Make("pictureat",
                              std::to_string(Picture) + " " + std::to_string(MaxWidth) + " " +
                                  std::to_string(MaxHeight) + " " + FileName,
                              MaxWidth, MaxHeight);
}

TFilePictures::TMaker& TFilePictures::Maker() {
  static TMaker maker = EngineThumbnail;
  return maker;
}

TFilePictures::TFilePictures(QObject* Parent) : QObject(Parent) {}

TFilePictures::~TFilePictures() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStopping = true;
    FWaiting.clear();
  }
  FWake.notify_all();
  // A picture being made is not waited for.
  PictureWorker().Stop();
  if (FWorker.joinable()) FWorker.join();
}

QImage TFilePictures::Picture(const std::string& FileName) {
  if (auto made = FMade.find(FileName); made != FMade.end()) return made->second;
  if (!FAsked.insert(FileName).second) return {};
  {
    std::lock_guard<std::mutex> lock(FLock);
    FWaiting.push_front(FileName);
    while (FWaiting.size() > cMaxWaiting) {
      FAsked.erase(FWaiting.back());
      FWaiting.pop_back();
    }
  }
  if (!FWorker.joinable()) FWorker = std::thread([this] { Work(); });
  FWake.notify_one();
  return {};
}

void TFilePictures::Work() {
  while (true) {
    std::string name;
    {
      std::unique_lock<std::mutex> lock(FLock);
      FWake.wait(lock, [this] { return FStopping || !FWaiting.empty(); });
      if (FStopping) return;
      name = std::move(FWaiting.front());
      FWaiting.pop_front();
    }
    QImage picture;
    try {
      const TEngineResult<TThumbnail> made = Maker()(name, Width, Height);
      const TThumbnail& t = made.Value;
      if (!made.Error.Failed() && t.Width > 0 && t.Height > 0 && t.Width <= Width &&
          t.Height <= Height && t.Rgb.size() == static_cast<size_t>(t.Width) * t.Height * 3) {
        // The image refers to the rows only while it is copied.
        picture =
            QImage(t.Rgb.data(), t.Width, t.Height, t.Width * 3, QImage::Format_RGB888).copy();
      }
    } catch (const std::exception&) {
      // No engine: no pictures. Recompression reports why when it is asked for.
    }
    QMetaObject::invokeMethod(
        this, [this, name, picture] { Deliver(name, picture); }, Qt::QueuedConnection);
  }
}

void TFilePictures::Deliver(const std::string& FileName, const QImage& Picture) {
  FAsked.erase(FileName);
  FMade[FileName] = Picture;
  if (OnMade) OnMade();
}

}  // namespace rw
