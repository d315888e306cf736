#include "gui/JoinOptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

#include "core/FileList.h"
#include "core/JoinDecision.h"
#include "core/JoinFacts.h"
#include "core/JoinOutput.h"
#include "core/ListTexts.h"
#include "core/ProductInfo.h"
#include "core/SavedFolders.h"
#include "gui/MessageBoxes.h"
#include "join/OutputCheck.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "recompress/RecompressJoiner.h"
#include "gui/CompressorOptionsDialog.h"
#include "gui/NumericEdit.h"
#include "gui/FileDialogs.h"
#include "gui/QtStrings.h"
#include "gui/SettingsStore.h"

namespace rw {

namespace {

// A compressor list grows with its longest name up to this width; its drop-down shows more.
constexpr int MaxCompressorListWidth = 480;
const char* const cSizeWarning =
    "Note: Some video compressors can fail if Width or Height is not multiple 8.";

std::vector<std::string> Items(const QComboBox& Box) {
  std::vector<std::string> items;
  for (int i = 0; i < Box.count(); ++i) items.push_back(TextFromQ(Box.itemText(i)));
  return items;
}

void SetItems(QComboBox& Box, const std::vector<std::string>& List) {
  Box.clear();
  for (const std::string& s : List) Box.addItem(TextToQ(s));
}

// The name with its extension replaced by ".avi", or ".avi" appended when it has none.
std::string WithAviExtension(const std::string& Name) {
  const size_t slash = Name.find_last_of('/');
  const size_t dot = Name.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    return Name.substr(0, dot) + ".avi";
  return Name + ".avi";
}

// A listing kept in the settings store: the key it holds under, and each list's entries as
// encoder name and display name, one after the other.
struct TRememberedListing {
  std::string Key;
  TCompressorList Video, Audio;
};

std::string ListingStoreKey() { return ProductInfo().RegKey + "\\compressors"; }

QStringList EntriesToQ(const TCompressorList& List) {
  QStringList texts;
  for (const TCompressorEntry& e : List) texts << TextToQ(e.Name) << TextToQ(e.DisplayName);
  return texts;
}

TCompressorList EntriesFromQ(const QStringList& Texts) {
  TCompressorList list;
  for (qsizetype i = 0; i + 1 < Texts.size(); i += 2)
    list.push_back({TextFromQ(Texts[i]), TextFromQ(Texts[i + 1])});
  return list;
}

// Nothing when the store has none, or cannot be read (which its first use has reported).
TRememberedListing ReadRememberedListing() {
  TRememberedListing r;
  try {
    const std::unique_ptr<QSettings> s = OpenRegKey(TRegRoot::CurrentUser, ListingStoreKey());
    const QStringList video = s ? s->value("Video").toStringList() : QStringList();
    const QStringList audio = s ? s->value("Audio").toStringList() : QStringList();
    // Every audio list holds "No-compressing"; a list of odd length was not written by us.
    if (!s || audio.isEmpty() || video.size() % 2 != 0 || audio.size() % 2 != 0) return {};
    r.Key = TextFromQ(s->value("Key").toString());
    r.Video = EntriesFromQ(video);
    r.Audio = EntriesFromQ(audio);
  } catch (const std::exception&) {
    return {};
  }
  return r;
}

// A store that cannot be written only means the next run lists again.
void RememberListing(const TRememberedListing& R) {
  try {
    const std::unique_ptr<QSettings> s = OpenRegKey(TRegRoot::CurrentUser, ListingStoreKey());
    if (!s || !s->isWritable()) return;
    s->setValue("Key", TextToQ(R.Key));
    s->setValue("Video", EntriesToQ(R.Video));
    s->setValue("Audio", EntriesToQ(R.Audio));
    s->sync();
  } catch (const std::exception&) {}
}

}  // namespace

char RateDecimalSeparator() { return UserDecimalSeparator().front(); }

TfrmJoin::TfrmJoin(QWidget* Owner, std::function<TFileInfoList()> Files,
                   const TCompressorLister& ListCompressors,
                   std::function<std::string()> ListingKey)
    : QDialog(Owner),
      FFiles(std::move(Files)),
      FListCompressors(ListCompressors),
      FListingKey(std::move(ListingKey)) {
  setObjectName("frmJoin");
  setWindowTitle("Join Options");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  CreateControls();
  // At least the designed size, and as large as its content needs: long compressor names and
  // the wrapped notes are never clipped.
  layout()->setSizeConstraint(QLayout::SetMinimumSize);
  FitToContent();
  FormCreate();
}

void TfrmJoin::CreateControls() {
  auto* outBox = new QGroupBox(" Output File ", this);
  edtOutFileName = new QLineEdit(outBox);
  sbnSelectOutFile = new QToolButton(outBox);
  sbnSelectOutFile->setText("...");
  auto* outRow = new QHBoxLayout(outBox);
  outRow->addWidget(edtOutFileName);
  outRow->addWidget(sbnSelectOutFile);

  // One line under each way says what it does, in the user's words.
  auto Description = [this](const char* Text) {
    auto* label = new QLabel(Text, this);
    label->setIndent(20);
    label->setEnabled(false);  // drawn in the quieter colour of a remark
    return label;
  };
  cbxJoinWORecomp = new QRadioButton("Join &without recompression", this);
  cbxJoinWORecomp->setObjectName("cbxJoinWORecomp");
  lblNotes = new QLabel(this);
  lblNotes->setWordWrap(true);
  auto* checkRow = new QHBoxLayout;
  checkRow->addWidget(cbxJoinWORecomp, 0, Qt::AlignLeft);
  checkRow->addWidget(lblNotes, 1);
  lblNoteFiles = new QLabel(this);
  lblNoteFiles->setObjectName("lblNoteFiles");
  lblNoteFiles->setTextFormat(Qt::PlainText);
  lblNoteFiles->setWordWrap(true);
  lblNoteFiles->setIndent(20);

  cbxConvert = new QRadioButton("&Convert only the files that differ", this);
  cbxConvert->setObjectName("cbxConvert");
  lblConvertNote = new QLabel(this);
  lblConvertNote->setObjectName("lblConvertNote");
  lblConvertNote->setTextFormat(Qt::PlainText);
  lblConvertNote->setWordWrap(true);
  lblConvertNote->setIndent(20);
  rbnRecompress = new QRadioButton("Rec&ompress every file", this);
  rbnRecompress->setObjectName("rbnRecompress");
  auto* ways = new QButtonGroup(this);
  for (QRadioButton* way : {cbxJoinWORecomp, cbxConvert, rbnRecompress}) ways->addButton(way);

  gbxOutOptions = new QGroupBox(" Output Settings ", this);
  edtFrameWidth = new TNaturalEdit(gbxOutOptions);
  edtFrameHeight = new TNaturalEdit(gbxOutOptions);
  for (TNaturalEdit* e : {edtFrameWidth, edtFrameHeight}) {
    e->SetMinValue(16);
    e->SetMaxValue(4096);
    e->setFixedWidth(70);
  }
  edtFrameWidth->SetValue(320);
  edtFrameHeight->SetValue(240);
  lblSizeWarning = new QLabel(cSizeWarning, gbxOutOptions);
  lblSizeWarning->setWordWrap(true);
  cbxFameRate = new QComboBox(gbxOutOptions);
  cbxResizeMethod = new QComboBox(gbxOutOptions);
  SetItems(*cbxResizeMethod, ResizeMethodItems());
  cbxVideoCompression = new QComboBox(gbxOutOptions);
  btnVideoCompOptions = new QPushButton("&Options", gbxOutOptions);
  cbxAudioCompression = new QComboBox(gbxOutOptions);
  for (QComboBox* c : {cbxVideoCompression, cbxAudioCompression}) {
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    c->setMaximumWidth(MaxCompressorListWidth);
  }

  // A label whose access key moves the focus to Control.
  auto Buddy = [this](const char* Caption, QWidget* Control) {
    auto* label = new QLabel(Caption, gbxOutOptions);
    label->setBuddy(Control);
    return label;
  };
  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(edtFrameWidth);
  sizeRow->addWidget(new QLabel("x", gbxOutOptions));
  sizeRow->addWidget(edtFrameHeight);
  sizeRow->addStretch(1);
  auto* grid = new QGridLayout(gbxOutOptions);
  grid->addWidget(Buddy("Frame &Size", edtFrameWidth), 0, 0);
  grid->addLayout(sizeRow, 0, 1);
  grid->addWidget(lblSizeWarning, 1, 0, 1, 3);
  grid->addWidget(Buddy("Frame &Rate", cbxFameRate), 2, 0);
  grid->addWidget(cbxFameRate, 2, 1);
  lblResizeMethod = Buddy("Resize &method", cbxResizeMethod);
  grid->addWidget(lblResizeMethod, 3, 0);
  grid->addWidget(cbxResizeMethod, 3, 1);
  grid->addWidget(Buddy("&Video Compression", cbxVideoCompression), 4, 0);
  grid->addWidget(cbxVideoCompression, 4, 1);
  grid->addWidget(btnVideoCompOptions, 4, 2);
  grid->addWidget(Buddy("&Audio Compression", cbxAudioCompression), 5, 0);
  grid->addWidget(cbxAudioCompression, 5, 1);
  grid->setColumnStretch(1, 1);

  Button1 = new QPushButton("Reset &defaults", this);
  btnJoin = new QPushButton("&Join", this);
  btnJoin->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addStretch(1);
  buttons->addWidget(btnJoin);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(outBox);
  layout->addLayout(checkRow);
  layout->addWidget(
      Description("Copies every file's pictures and sound as they are: fast, and "
                  "nothing is lost."));
  layout->addWidget(lblNoteFiles);
  layout->addWidget(cbxConvert, 0, Qt::AlignLeft);
  layout->addWidget(
      Description("Copies the files that match and converts only the others to "
                  "their format."));
  layout->addWidget(lblConvertNote);
  layout->addWidget(rbnRecompress, 0, Qt::AlignLeft);
  layout->addWidget(
      Description("Encodes every file anew with the settings below: slower, and "
                  "some quality is lost."));
  layout->addWidget(gbxOutOptions, 1);
  layout->addLayout(buttons);

  connect(cbxJoinWORecomp, &QRadioButton::clicked, this, &TfrmJoin::cbxJoinWORecompClick);
  connect(cbxConvert, &QRadioButton::clicked, this, &TfrmJoin::cbxConvertClick);
  connect(rbnRecompress, &QRadioButton::clicked, this, &TfrmJoin::cbxConvertClick);
  connect(sbnSelectOutFile, &QToolButton::clicked, this, &TfrmJoin::sbnSelectOutFileClick);
  connect(btnJoin, &QPushButton::clicked, this, &TfrmJoin::btnJoinClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnVideoCompOptions, &QPushButton::clicked, this, &TfrmJoin::btnVideoCompOptionsClick);
  connect(Button1, &QPushButton::clicked, this, &TfrmJoin::Button1Click);
  connect(edtFrameWidth, &QLineEdit::textChanged, this, &TfrmJoin::edtFrameWidthChange);
  connect(edtFrameHeight, &QLineEdit::textChanged, this, &TfrmJoin::edtFrameWidthChange);
  connect(cbxVideoCompression, &QComboBox::currentIndexChanged, this,
          &TfrmJoin::edtFrameWidthChange);
}

void TfrmJoin::FormCreate() { cbxResizeMethod->setCurrentIndex(riLetterbox); }

TfrmJoin::~TfrmJoin() {
  if (!FListing.joinable()) return;
  FListing.join();
  // A listing that ended after the last window closed is still remembered for the next run.
  QCoreApplication::sendPostedEvents(this);
}

void TfrmJoin::StartListing() {
  if (FListingStarted) return;
  FListingStarted = true;
  const TRememberedListing remembered =
      FListingKey ? ReadRememberedListing() : TRememberedListing();
  FListing = std::thread([this, lister = FListCompressors, keyOf = FListingKey, remembered] {
    std::string key, failure;
    auto note = [&failure](const std::string& What) {
      // The same failure of both lists (no media engine) is told once.
      if (failure.find(What) == std::string::npos) failure += (failure.empty() ? "" : "\n") + What;
    };
    try {
      if (keyOf) key = keyOf();
    } catch (const std::exception&) {
      // The listing below fails the same way, and says so.
    }
    TCompressorList video, audio;
    const bool tried = key.empty() || key != remembered.Key;
    if (!tried) {
      video = remembered.Video;
      audio = remembered.Audio;
    } else {
      // Each list stays usable with what was listed.
      auto guarded = [&](bool Audio) -> TCompressorList {
        try {
          return lister(Audio);
        } catch (const std::exception& E) {
          note(E.what());
          return {};
        }
      };
      video = ListJoinCompressors(false, guarded);
      audio = ListJoinCompressors(true, guarded);
    }
    QMetaObject::invokeMethod(
        this,
        [this, video = std::move(video), audio = std::move(audio), failure, key, tried]() mutable {
          CompressorsArrived(std::move(video), std::move(audio), failure, key, tried);
        },
        Qt::QueuedConnection);
  });
}

void TfrmJoin::CompressorsArrived(TCompressorList Video, TCompressorList Audio, std::string Failure,
                                  std::string Key, bool Tried) {
  if (FListing.joinable()) FListing.join();
  if (Tried && Failure.empty() && !Key.empty()) RememberListing({Key, Video, Audio});
  FVideoCompressors = std::move(Video);
  FAudioCompressors = std::move(Audio);
  FListingFailure = std::move(Failure);
  FListed = true;
  SetItems(*cbxVideoCompression, DisplayNames(FVideoCompressors));
  SetItems(*cbxAudioCompression, DisplayNames(FAudioCompressors));
  cbxVideoCompression->setCurrentIndex(-1);
  cbxAudioCompression->setCurrentIndex(-1);
  SetWaiting(false);
  // Shown now, the dialog gets the proposed compressors; otherwise it does when it shows.
  if (!isVisible()) return;
  SelectDefaultCompressors();
  UpdateRecompControls();
  edtFrameWidthChange();
  if (!FListingFailure.empty()) ShowErrorBox(this, std::exchange(FListingFailure, {}));
  if (std::exchange(FJoinPending, false)) btnJoinClick();
}

void TfrmJoin::SetWaiting(bool Waiting) {
  if (Waiting)
    setCursor(Qt::BusyCursor);
  else
    unsetCursor();
}

bool TfrmJoin::ShowJoinOptions(bool CanJoinWORecomp, bool DropAudio, bool NoAudio) {
  FCanJoinWORecomp = CanJoinWORecomp;
  FDropAudio = DropAudio;
  FNoAudio = NoAudio;
  FJoinPending = false;
  // A name is proposed beside the first file; the user may type over it.
  std::vector<std::string> sources;
  for (const TVideoFileInfo* file : FFiles()) sources.push_back(file->FileName);
  edtOutFileName->setText(PathToQ(ProposedOutputName(sources)));
  edtOutFileName->selectAll();
  edtOutFileName->setFocus();
  // The dialog appears at once; compressors still being listed come while it shows.
  StartListing();
  return exec() == QDialog::Accepted;
}

void TfrmJoin::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!Event->spontaneous()) FormShow();
}

void TfrmJoin::FormShow() {
  StartListing();
  SetWaiting(!FListed);
  const TJoinFacts facts{FCanJoinWORecomp, FDropAudio, FNoAudio};
  lblNotes->setText(TextToQ(JoinNotesText(facts)));
  // The rows the note is about, by number and name, with what differs.
  std::string rows;
  for (const std::string& line : JoinNoteRows(FFiles(), facts))
    rows += (rows.empty() ? "" : "\n") + line;
  lblNoteFiles->setText(PathToQ(rows));
  cbxJoinWORecomp->setEnabled(FCanJoinWORecomp);
  // Converting what differs is offered where a plain copy would lose something, and proposed
  // where it keeps sound or spares files; the core decides both. Recompressing is what is
  // left.
  cbxConvert->setEnabled(false);
  lblConvertNote->clear();
  FConversion = {};
  bool convert = false;
  if (!DefaultJoinWORecomp(facts)) {
    FConversion = DecideConversion(FFiles());
    if (FConversion.KeepsSound || FConversion.SparesFiles) {
      cbxConvert->setEnabled(FConversion.Impossible.empty());
      convert = FConversion.Proposed();
      lblConvertNote->setText(PathToQ(ConversionNoteText(FConversion)));
    }
  }
  if (DefaultJoinWORecomp(facts))
    cbxJoinWORecomp->setChecked(true);
  else if (convert)
    cbxConvert->setChecked(true);
  else
    rbnRecompress->setChecked(true);
  UpdateRecompControls();
  FillFrameRates();
  edtFrameWidthChange();
  SetDefaults();
  FitToContent();
  edtOutFileName->setFocus();
  // A failed listing is told once, over the dialog.
  if (!FListingFailure.empty())
    QTimer::singleShot(0, this, [this] {
      if (!FListingFailure.empty()) ShowErrorBox(this, std::exchange(FListingFailure, {}));
    });
}

void TfrmJoin::UpdateRecompControls() {
  // Each way's note is about that way: shown while it is chosen, or while it cannot be
  // chosen, to say why.
  lblNotes->setVisible(cbxJoinWORecomp->isChecked() || !cbxJoinWORecomp->isEnabled());
  lblNoteFiles->setVisible(lblNotes->isVisibleTo(this) && !lblNoteFiles->text().isEmpty());
  lblConvertNote->setVisible(!lblConvertNote->text().isEmpty() &&
                             (cbxConvert->isChecked() || !cbxConvert->isEnabled()));
  const bool recompress = rbnRecompress->isChecked();
  for (QWidget* w : gbxOutOptions->findChildren<QWidget*>()) w->setEnabled(recompress);
  UpdateResizeMethod();
}

void TfrmJoin::UpdateResizeMethod() {
  const TFileInfoList files = FFiles();
  bool resizes = false;
  if (rbnRecompress->isChecked())
    resizes = RecompressionResizes(files, FrameWidth(), FrameHeight());
  else if (ConvertDiffering())
    resizes = ConversionResizes(files, FConversion);
  cbxResizeMethod->setEnabled(resizes);
  lblResizeMethod->setEnabled(resizes);
}

void TfrmJoin::FillFrameRates() {
  SetItems(*cbxFameRate, rw::FillFrameRates(FFiles(), RateDecimalSeparator()));
  cbxFameRate->setCurrentIndex(0);
}

void TfrmJoin::SetDefaults() {
  const TJoinDefaults d =
      ComputeJoinDefaults(FFiles(), Items(*cbxFameRate), RateDecimalSeparator());
  edtFrameWidth->SetValue(d.Width);
  edtFrameHeight->SetValue(d.Height);
  for (size_t i = static_cast<size_t>(cbxFameRate->count()); i < d.FrameRates.size(); ++i)
    cbxFameRate->addItem(TextToQ(d.FrameRates[i]));
  cbxFameRate->setCurrentIndex(d.FrameRateIndex);
  cbxResizeMethod->setCurrentIndex(d.ResizeIndex);
  SelectDefaultCompressors();
}

void TfrmJoin::SelectDefaultCompressors() {
  cbxVideoCompression->setCurrentIndex(SelectDefaultVideoCompressor(
      Items(*cbxVideoCompression), cbxVideoCompression->currentIndex()));
  cbxAudioCompression->setCurrentIndex(SelectDefaultAudioCompressor(
      Items(*cbxAudioCompression), cbxAudioCompression->currentIndex()));
}

void TfrmJoin::cbxJoinWORecompClick() {
  UpdateRecompControls();
  const std::string name = TextFromQ(edtOutFileName->text());
  if (!Trimmed(name).empty()) edtOutFileName->setText(TextToQ(WithAviExtension(name)));
}

void TfrmJoin::cbxConvertClick() { UpdateRecompControls(); }

void TfrmJoin::sbnSelectOutFileClick() {
  TFileSaveDialog dialog;
  dialog.OwnerHandle = this;
  if (!LastSaveFolder.empty()) dialog.InitialDir = LastSaveFolder;
  dialog.Filter = "AVI File|*.avi";
  dialog.DefaultExt = "avi";
  dialog.Title = "Select the output file name";
  dialog.Options &= ~ofnOverwritePrompt;
  if (!dialog.Execute()) return;
  LastSaveFolder = FolderText(dialog.FileName);
  edtOutFileName->setText(PathToQ(dialog.FileName));
}

void TfrmJoin::btnJoinClick() {
  // A recompression needs its compressors: the join goes on when they come. A copy and a
  // conversion of the files that differ need none.
  if (!JoinWORecomp() && !ConvertDiffering() && !FListed) {
    FJoinPending = true;
    SetWaiting(true);
    return;
  }
  std::string name = OutFileName();
  if (Trimmed(name).empty()) {
    ShowMessageBox(this, "Please specify the output file", TMessageKind::mkInformation,
                   TMessageButtons::mbOK);
    edtOutFileName->setFocus();
    return;
  }
  // A relative name is taken beside the first source (not in the program's working folder),
  // and the full name is shown before anything is asked about it.
  const TFileInfoList files = FFiles();
  // An output the join would refuse is refused before anything is asked about it; the dialog
  // stays open with the user's choices.
  try {
    name = OutputFileName(name, files.empty() ? std::string() : files.front()->FileName,
                          LastSaveFolder);
    edtOutFileName->setText(PathToQ(name));
    std::vector<std::string> sources;
    for (const TVideoFileInfo* f : files) sources.push_back(f->FileName);
    CheckJoinOutput(name, sources);
  } catch (const std::exception& E) {
    ShowErrorBox(this, E.what());
    edtOutFileName->setFocus();
    return;
  }
  if (NameExists(name)) {  // also a symbolic link that points nowhere: the join replaces it
    if (ShowMessageBox(this, OverwriteQuestion(name), TMessageKind::mkConfirmation,
                       TMessageButtons::mbYesCancel) != TMessageResult::mrYes)
      return;
  }
  accept();
}

void TfrmJoin::btnVideoCompOptionsClick() {
  std::shared_ptr<TCompressorFilter> filter = VideoCompressor();
  if (!filter) return;
  if (!ShowCompressorOptions(this, *filter))
    ShowMessageBox(this, "The selected compressor has no options", TMessageKind::mkInformation,
                   TMessageButtons::mbOK);
}

void TfrmJoin::Button1Click() {
  SetDefaults();
  if (FListed && cbxVideoCompression->currentIndex() < 0)
    ShowMessageBox(this, "Unable to find an optimum video compressor. We advice to install DivX.",
                   TMessageKind::mkInformation, TMessageButtons::mbOK);
}

void TfrmJoin::edtFrameWidthChange() {
  // A size the selected compressor cannot hold: the note says which size the join makes.
  std::string note;
  try {
    if (const std::shared_ptr<TCompressorFilter> video = VideoCompressor())
      note = FitFrameSize(video.get(), FrameWidth(), FrameHeight()).Note;
  } catch (const std::exception&) {
    // Without the media engine there is no compressor to ask; the join reports it.
  }
  lblSizeWarning->setText(note.empty() ? cSizeWarning : TextToQ(note));
  lblSizeWarning->setVisible(!note.empty() || edtFrameWidth->Value() % 8 != 0 ||
                             edtFrameHeight->Value() % 8 != 0);
  UpdateResizeMethod();
  FitToContent();
}

void TfrmJoin::FitToContent() {
  // The designed size at least; wider for long compressor names, taller for wrapped notes.
  layout()->activate();
  QSize wanted = sizeHint().expandedTo(QSize(477, 358));
  if (layout()->hasHeightForWidth())
    wanted.setHeight(std::max(wanted.height(), layout()->totalHeightForWidth(wanted.width())));
  resize(size().expandedTo(wanted));
}

std::string TfrmJoin::OutFileName() const { return PathFromQ(edtOutFileName->text()); }
bool TfrmJoin::JoinWORecomp() const { return cbxJoinWORecomp->isChecked(); }
bool TfrmJoin::ConvertDiffering() const {
  return cbxConvert->isEnabled() && cbxConvert->isChecked();
}
int TfrmJoin::FrameWidth() const { return edtFrameWidth->Value(); }
int TfrmJoin::FrameHeight() const { return edtFrameHeight->Value(); }
std::string TfrmJoin::FrameRateText() const { return TextFromQ(cbxFameRate->currentText()); }
int TfrmJoin::ResizeMethodIndex() const { return cbxResizeMethod->currentIndex(); }

std::shared_ptr<TCompressorFilter> TfrmJoin::VideoCompressor() const {
  return GetCompressorFilter(FVideoCompressors, cbxVideoCompression->currentIndex());
}

std::shared_ptr<TCompressorFilter> TfrmJoin::AudioCompressor() const {
  return GetCompressorFilter(FAudioCompressors, cbxAudioCompression->currentIndex());
}

}  // namespace rw
