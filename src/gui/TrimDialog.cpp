#include "gui/TrimDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "core/ListTexts.h"
#include "gui/FilePictures.h"
#include "gui/QtStrings.h"
#include "media/AVIRead.h"
#include "media/VideoFileInfo.h"
#include "platform/Errors.h"

namespace rw {

namespace {

// The largest picture the dialog shows: a file's own size when it is smaller.
constexpr int32_t cMaxPictureWidth = 640;
constexpr int32_t cMaxPictureHeight = 480;

}  // namespace

uint32_t TPictureMap::KeyAtOrBefore(uint32_t Picture) const {
  for (uint32_t i = std::min(Picture, Count() ? Count() - 1 : 0); i > 0; --i)
    if (KeyFrames[i]) return i;
  return 0;
}

uint32_t TPictureMap::KeyAfter(uint32_t Picture) const {
  for (uint32_t i = Picture + 1; i < Count(); ++i)
    if (KeyFrames[i]) return i;
  return Count();
}

TPictureMap ReadPictureMap(const std::string& FileName) {
  TAVIFileReader reader;
  reader.Open(FileName, false);
  TPictureMap map;
  const TAVIStream* video = reader.VideoStream();
  if (!video) return map;
  map.KeyFrames.resize(video->ChunkCount());
  TAVIIndexEntry entry;
  for (uint32_t i = 0; i < video->ChunkCount(); ++i)
    map.KeyFrames[i] = video->GetIndexEntry(i, entry) && entry.KeyFrame && entry.Size > 0;
  return map;
}

// The file's pictures as a bar: the kept part shaded, a tick at each key frame, a line at the
// position. A click moves the position there.
class TKeyFrameBar : public QWidget {
public:
  TKeyFrameBar(QWidget* Parent, const TPictureMap& Map) : QWidget(Parent), FMap(Map) {
    setMinimumHeight(22);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(
        "The pictures kept are shaded; a tick marks each key frame. Pictures from a key "
        "frame on are copied; those between In and the key frame after it are converted.");
  }
  uint32_t In = 0, Out = 0, Position = 0;
  std::function<void(uint32_t)> OnClick;

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QRect r = rect().adjusted(0, 2, -1, -3);
    p.fillRect(r, palette().base());
    const double n = std::max<uint32_t>(FMap.Count(), 1);
    auto x = [&](double Picture) { return r.left() + static_cast<int>(Picture * r.width() / n); };
    p.fillRect(QRect(QPoint(x(In), r.top()), QPoint(x(Out + 1.0) - 1, r.bottom())),
               palette().highlight().color().lighter(140));
    p.setPen(palette().text().color());
    // Each key frame once per pixel column: a long file has more key frames than pixels.
    int last = -1;
    for (uint32_t i = 0; i < FMap.Count(); ++i)
      if (FMap.KeyFrames[i] && x(i) != last) {
        last = x(i);
        p.drawLine(last, r.top() + r.height() / 2, last, r.bottom());
      }
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(x(Position + 0.5), r.top(), x(Position + 0.5), r.bottom());
    p.setPen(palette().mid().color());
    p.drawRect(r);
  }
  void mousePressEvent(QMouseEvent* Event) override {
    if (!OnClick || width() <= 0) return;
    const double at = Event->position().x() * FMap.Count() / width();
    OnClick(static_cast<uint32_t>(std::clamp<double>(at, 0, FMap.Count() - 1.0)));
  }

private:
  const TPictureMap& FMap;
};

TTrimDialog::TMaker& TTrimDialog::Maker() {
  static TMaker maker = WorkerPictureAt;
  return maker;
}

TTrimDialog::TTrimDialog(QWidget* Parent, const TVideoFileInfo& Info, TPictureMap Map,
                         const TPictureCut& Cut)
    : QDialog(Parent),
      FFileName(Info.FileName),
      FRate(ListPictureRate(Info)),
      FMap(std::move(Map)) {
  if (FMap.Count() == 0) throw Exception("The file " + Info.FileName + " has no pictures to cut");
  setObjectName("frmTrim");
  setWindowTitle(TextToQ("Trim " + FileNameText(Info.FileName)));
  const uint32_t last = FMap.Count() - 1;
  FIn = std::min(Cut.In, last);
  FOut = std::clamp(Cut.Out, FIn, last);
  FPosition = FIn;
  // The worker fits the picture into the box keeping its aspect.
  FBoxWidth = std::clamp<int32_t>(Info.Width, 1, cMaxPictureWidth);
  FBoxHeight = std::clamp<int32_t>(Info.Height, 1, cMaxPictureHeight);

  FPicture = new QLabel(this);
  FPicture->setObjectName("Picture");
  FPicture->setAlignment(Qt::AlignCenter);
  FPicture->setMinimumSize(FBoxWidth, FBoxHeight);
  FSlider = new QSlider(Qt::Horizontal, this);
  FSlider->setObjectName("Position");
  FSlider->setRange(0, static_cast<int>(last));
  FSlider->setFocusPolicy(Qt::NoFocus);
  FBar = new TKeyFrameBar(this, FMap);
  FBar->OnClick = [this](uint32_t Picture) { SetPosition(Picture); };
  FPositionLabel = new QLabel(this);
  FCutLabel = new QLabel(this);
  FCutLabel->setWordWrap(true);

  auto button = [this](const char* Name, const char* Caption, void (TTrimDialog::*Slot)()) {
    auto* b = new QPushButton(Caption, this);
    b->setObjectName(Name);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, Slot] { (this->*Slot)(); });
    return b;
  };
  auto* marks = new QHBoxLayout;
  marks->addWidget(button("btnIn", "Set &In (I)", &TTrimDialog::SetIn));
  marks->addWidget(button("btnOut", "Set &Out (O)", &TTrimDialog::SetOut));
  marks->addWidget(button("btnReset", "&Reset", &TTrimDialog::Reset));
  marks->addStretch(1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FPicture, 1);
  layout->addWidget(FSlider);
  layout->addWidget(FBar);
  layout->addWidget(FPositionLabel);
  layout->addWidget(FCutLabel);
  layout->addLayout(marks);
  layout->addWidget(new QLabel(
      "Left and Right step one picture, Page Up and Page Down one key frame, Home and End go to "
      "the ends.",
      this));
  layout->addWidget(buttons);

  connect(FSlider, &QSlider::valueChanged, this, [this](int Value) { SetPosition(Value); });
  auto key = [this](QKeySequence Key, std::function<void()> Do) {
    auto* shortcut = new QShortcut(Key, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, std::move(Do));
  };
  key(Qt::Key_Left, [this] { SetPosition(int64_t{FPosition} - 1); });
  key(Qt::Key_Right, [this] { SetPosition(int64_t{FPosition} + 1); });
  key(Qt::Key_PageUp,
      [this] { SetPosition(FPosition > 0 ? FMap.KeyAtOrBefore(FPosition - 1) : 0); });
  key(Qt::Key_PageDown,
      [this] { SetPosition(std::min(FMap.KeyAfter(FPosition), FMap.Count() - 1)); });
  key(Qt::Key_Home, [this] { SetPosition(0); });
  key(Qt::Key_End, [this] { SetPosition(FMap.Count() - 1); });
  key(Qt::Key_I, [this] { SetIn(); });
  key(Qt::Key_O, [this] { SetOut(); });

  FThread = std::thread([this] { Work(); });
  Refresh();
  Want(FPosition);
}

TTrimDialog::~TTrimDialog() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FStopping = true;
    FWanted.reset();
  }
  FWake.notify_all();
  // The picture being made is waited for: the worker answers within its own deadline.
  if (FThread.joinable()) FThread.join();
}

TPictureCut TTrimDialog::Cut() const {
  TPictureCut cut;
  cut.In = FIn;
  cut.Out = FOut + 1 >= FMap.Count() ? TPictureCut::ToEnd : FOut;
  return cut;
}

void TTrimDialog::SetPosition(int64_t Picture) {
  const uint32_t at = static_cast<uint32_t>(std::clamp<int64_t>(Picture, 0, FMap.Count() - 1));
  if (at == FPosition && FSlider->value() == static_cast<int>(at)) return;
  FPosition = at;
  Refresh();
  Want(at);
}

void TTrimDialog::SetIn() {
  FIn = FPosition;
  if (FOut < FIn) FOut = FMap.Count() - 1;
  Refresh();
}

void TTrimDialog::SetOut() {
  FOut = FPosition;
  if (FIn > FOut) FIn = 0;
  Refresh();
}

void TTrimDialog::Reset() {
  FIn = 0;
  FOut = FMap.Count() - 1;
  Refresh();
}

QString TTrimDialog::PositionText() const {
  std::string text = "Picture " + std::to_string(FPosition) + " of " +
                     std::to_string(FMap.Count()) + ", " + PictureTimeText(FPosition / FRate);
  if (FMap.KeyFrames[FPosition]) text += " (key frame)";
  return TextToQ(text);
}

QString TTrimDialog::CutExplanation() const {
  const auto time = [this](uint32_t Picture) {
    return std::to_string(Picture) + " (" + PictureTimeText(Picture / FRate) + ")";
  };
  std::string text = "In: " + time(FIn) + "   Out: " + time(FOut) +
                     "   Kept: " + std::to_string(FOut - FIn + 1) + " pictures, " +
                     PictureTimeText((FOut - FIn + 1) / FRate) + ".";
  if (FIn > 0 && !FMap.KeyFrames[FIn]) {
    const uint32_t key = FMap.KeyAfter(FIn);
    text += key > FOut ? "\nNo key frame follows In: every kept picture is converted."
                       : "\nPictures " + std::to_string(FIn) + " to " + std::to_string(key - 1) +
                             " are converted; from the key frame " + std::to_string(key) +
                             " on they are copied.";
  } else {
    text += "\nEvery kept picture is copied.";
  }
  return TextToQ(text);
}

void TTrimDialog::Refresh() {
  {
    const QSignalBlocker block(FSlider);
    FSlider->setValue(static_cast<int>(FPosition));
  }
  FBar->In = FIn;
  FBar->Out = FOut;
  FBar->Position = FPosition;
  FBar->update();
  FPositionLabel->setText(PositionText());
  FCutLabel->setText(CutExplanation());
}

void TTrimDialog::Want(uint32_t Picture) {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FWanted = Picture;
  }
  FWake.notify_one();
}

void TTrimDialog::Work() {
  while (true) {
    uint32_t picture;
    {
      std::unique_lock<std::mutex> lock(FLock);
      FWake.wait(lock, [this] { return FStopping || FWanted; });
      if (FStopping) return;
      picture = *FWanted;
      FWanted.reset();
    }
    QImage image;
    try {
      const TEngineResult<TThumbnail> made = Maker()(FFileName, picture, FBoxWidth, FBoxHeight);
      const TThumbnail& t = made.Value;
      if (!made.Error.Failed() && t.Width > 0 && t.Height > 0 && t.Width <= FBoxWidth &&
          t.Height <= FBoxHeight && t.Rgb.size() == static_cast<size_t>(t.Width) * t.Height * 3)
        image = QImage(t.Rgb.data(), t.Width, t.Height, t.Width * 3, QImage::Format_RGB888).copy();
    } catch (const std::exception&) {
      // No engine: no picture; the bar and the times still place the cut.
    }
    QMetaObject::invokeMethod(
        this, [this, picture, image] { Deliver(picture, image); }, Qt::QueuedConnection);
  }
}

void TTrimDialog::Deliver(uint32_t Picture, const QImage& Image) {
  FShown = Image;
  FShownPicture = Picture;
  if (Image.isNull())
    FPicture->setText("No picture");
  else
    FPicture->setPixmap(QPixmap::fromImage(Image));
}

}  // namespace rw
