#pragma once
// The Trim dialog: chooses the part of one file a join keeps, its In and Out pictures. It
// shows the picture at the position (made by the pictures' worker process, never in the
// window's), a slider, and a bar with the file's key frames and the kept part, so that a user
// sees which pictures are copied (from the first key frame at or after In) and which are
// converted (those before it).
#include <QDialog>
#include <QImage>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/MediaEngine.h"
#include "media/PictureCut.h"

class QLabel;
class QSlider;

namespace rw {

class TKeyFrameBar;
struct TVideoFileInfo;

// Where a file's pictures are, as our own reader's index has them: one entry per picture slot.
struct TPictureMap {
  std::vector<bool> KeyFrames;
  uint32_t Count() const { return static_cast<uint32_t>(KeyFrames.size()); }
  // The key frame at or before Picture (0 when none is), and the next one after it (Count when
  // none is).
  uint32_t KeyAtOrBefore(uint32_t Picture) const;
  uint32_t KeyAfter(uint32_t Picture) const;
};

// Reads the map of a file's pictures with the AVI reader. Raises the reader's errors.
TPictureMap ReadPictureMap(const std::string& FileName);

class TTrimDialog : public QDialog {
  Q_OBJECT
public:
  // How a picture is made (on the dialog's own thread): the worker process's. Tests look in
  // here.
  using TMaker = std::function<TEngineResult<TThumbnail>(const std::string& FileName,
                                                         uint32_t Picture, int32_t, int32_t)>;
  static TMaker& Maker();

  TTrimDialog(QWidget* Parent, const TVideoFileInfo& Info, TPictureMap Map, const TPictureCut& Cut);
  ~TTrimDialog() override;

  // The cut chosen: In and Out, Out as ToEnd when it is the last picture; whole for all.
  TPictureCut Cut() const;
  uint32_t Position() const { return FPosition; }
  void SetPosition(int64_t Picture);
  // Sets In (Out) at the position; an Out before it (an In after it) gives way.
  void SetIn();
  void SetOut();
  void Reset();
  // The picture shown and its number (none until the first is made).
  const QImage& ShownImage() const { return FShown; }
  std::optional<uint32_t> ShownPicture() const { return FShownPicture; }
  // The text under the picture: the position, and what the cut converts and copies.
  QString PositionText() const;
  QString CutExplanation() const;

private:
  void Refresh();
  void Want(uint32_t Picture);
  void Work();
  void Deliver(uint32_t Picture, const QImage& Image);

  std::string FFileName;
  double FRate;
  TPictureMap FMap;
  uint32_t FIn = 0;
  uint32_t FOut = 0;  // the last picture kept
  uint32_t FPosition = 0;
  int32_t FBoxWidth, FBoxHeight;

  QLabel* FPicture;
  QSlider* FSlider;
  TKeyFrameBar* FBar;
  QLabel* FPositionLabel;
  QLabel* FCutLabel;
  QImage FShown;
  std::optional<uint32_t> FShownPicture;

  // Shared with the thread that asks the worker: only the latest position waits, so a slider
  // dragged over a thousand pictures asks for a few.
  std::mutex FLock;
  std::condition_variable FWake;
  std::optional<uint32_t> FWanted;
  bool FStopping = false;
  std::thread FThread;
};

}  // namespace rw
