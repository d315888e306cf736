#include "gui/FilePictures.h"

#include <exception>

#include "engine/EngineLoader.h"

namespace rw {

namespace {

// Asked-for pictures that wait beyond this many are forgotten, the oldest first: rows scrolled
// past are asked for again when they come back into sight.
constexpr size_t cMaxWaiting = 64;

TEngineResult<TThumbnail> EngineThumbnail(const std::string& FileName, int32_t MaxWidth,
                                          int32_t MaxHeight) {
  return MediaEngine().Thumbnail(FileName, MaxWidth, MaxHeight);
}

}  // namespace

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
