#pragma once
// The list's small pictures of files, made by the media engine in a worker process
// (reelwright-cli picture-worker) that a thread of their own talks to, and kept for the run. A
// picture is asked for when its row is painted, so only rows in sight are made, the ones painted
// last first; the worker starts with the first picture asked for, never while the window
// starts, and the window's process never loads the engine. A file that gives no picture (no
// pictures in it, no engine, a decoder fault that ended the worker) shows none, without a
// message.
#include <QImage>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "engine/MediaEngine.h"

namespace rw {

// Picture number Picture of a file, fitted into MaxWidth x MaxHeight, made by the pictures'
// worker process (started when none runs). Blocks until it is made; any thread.
TEngineResult<TThumbnail> WorkerPictureAt(const std::string& FileName, uint32_t Picture,
                                          int32_t MaxWidth, int32_t MaxHeight);

class TFilePictures : public QObject {
  Q_OBJECT
public:
  // The box a picture is fitted into.
  static constexpr int Width = 40;
  static constexpr int Height = 30;

  // How a picture is made (on the worker thread): the worker process's. Tests look in here.
  using TMaker =
      std::function<TEngineResult<TThumbnail>(const std::string& FileName, int32_t, int32_t)>;
  static TMaker& Maker();

  explicit TFilePictures(QObject* Parent = nullptr);
  ~TFilePictures() override;

  // The file's picture; a null image when it has none or while it is being made (then it is
  // asked for, once).
  QImage Picture(const std::string& FileName);
  // Whether the file's picture has been made (or found to be none).
  bool Made(const std::string& FileName) const { return FMade.count(FileName) != 0; }
  // Whether the file's picture has been asked for or made.
  bool Known(const std::string& FileName) const {
    return Made(FileName) || FAsked.count(FileName) != 0;
  }

  // Called on the window's thread each time pictures have been made.
  std::function<void()> OnMade;

private:
  void Work();
  void Deliver(const std::string& FileName, const QImage& Picture);

  // The window's thread only.
  std::unordered_map<std::string, QImage> FMade;
  std::unordered_set<std::string> FAsked;
  // Shared with the worker.
  std::mutex FLock;
  std::condition_variable FWake;
  std::deque<std::string> FWaiting;  // the last asked for first
  bool FStopping = false;
  std::thread FWorker;
};

}  // namespace rw
