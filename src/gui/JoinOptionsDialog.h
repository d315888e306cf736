#pragma once
// The "Join Options" dialog between the Join Files command and the join: the output file,
// stream copy or recompression, and for recompression the frame size, frame rate, resize
// method and compressors, with defaults proposed from the listed files. Created once after the
// main window; it lists the compressors once per run, in the background (so that the media
// engine is loaded only once the window shows, and the dialog appears at once), and holds the
// settings of the last confirmed join until it is shown again.
#include <QDialog>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/JoinDefaults.h"
#include "core/JoinFacts.h"
#include "recompress/CompressorList.h"

class QCheckBox;
class QRadioButton;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace rw {

class TNaturalEdit;

class TfrmJoin : public QDialog {
  Q_OBJECT
public:
  // Files gives the descriptions of the main list's entries, in list order. ListingKey
  // (CompressorListingKey in the program) names what the listing depends on: a listing is then
  // remembered in the settings store between runs and tried again only when the key changes;
  // without one every run lists anew.
  TfrmJoin(QWidget* Owner, std::function<TFileInfoList()> Files,
           const TCompressorLister& ListCompressors = EnumCompressors,
           std::function<std::string()> ListingKey = nullptr);
  // Waits for a listing still running in the background.
  ~TfrmJoin() override;

  // Starts listing the compressors in the background, once: the remembered listing when the
  // key is the same, else the lister's. Showing the dialog starts it when nothing has.
  void StartListing();
  // Whether the compressor lists are there.
  bool CompressorsListed() const { return FListed; }

  // Shows the dialog modally for a list with these facts; true when the user confirmed with
  // Join.
  bool ShowJoinOptions(bool CanJoinWORecomp, bool DropAudio, bool NoAudio);

  // The settings a confirmed join reads.
  std::string OutFileName() const;
  bool JoinWORecomp() const;
  // "Convert only the files that differ" was chosen.
  bool ConvertDiffering() const;
  bool DropAudio() const { return FDropAudio; }
  int FrameWidth() const;
  int FrameHeight() const;
  std::string FrameRateText() const;
  int ResizeMethodIndex() const;  // the selected item of ResizeMethodItems(), -1 when none
  std::shared_ptr<TCompressorFilter> VideoCompressor() const;
  std::shared_ptr<TCompressorFilter> AudioCompressor() const;

  QLineEdit* edtOutFileName;
  QToolButton* sbnSelectOutFile;
  // The three ways to join, one choice: copy, convert what differs, recompress everything;
  // each with a line that says what it does.
  QRadioButton* cbxJoinWORecomp;
  QLabel* lblNotes;
  // Below the note: the rows it is about and what differs in each.
  QLabel* lblNoteFiles;
  // The join that copies what matches and converts only the rest, and its note: the files
  // to be converted and why, or why it cannot be done.
  QRadioButton* cbxConvert;
  QLabel* lblConvertNote;
  QRadioButton* rbnRecompress;
  QGroupBox* gbxOutOptions;
  TNaturalEdit* edtFrameWidth;
  TNaturalEdit* edtFrameHeight;
  QLabel* lblSizeWarning;
  QComboBox* cbxFameRate;
  QComboBox* cbxResizeMethod;
  QLabel* lblResizeMethod;
  QComboBox* cbxVideoCompression;
  QPushButton* btnVideoCompOptions;
  QComboBox* cbxAudioCompression;
  QPushButton* Button1;
  QPushButton* btnJoin;
  QPushButton* btnCancel;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  void CreateControls();
  void FormCreate();
  // The lists from the background: shown, selected by default, remembered when tried.
  void CompressorsArrived(TCompressorList Video, TCompressorList Audio, std::string Failure,
                          std::string Key, bool Tried);
  // Whether the join may start now; a recompressing join waits for the compressors.
  void SetWaiting(bool Waiting);
  void FormShow();
  void UpdateRecompControls();
  // The resize method matters when the chosen way changes some file's frame size.
  void UpdateResizeMethod();
  void FillFrameRates();
  void SetDefaults();
  void SelectDefaultCompressors();
  void cbxJoinWORecompClick();
  void cbxConvertClick();
  void sbnSelectOutFileClick();
  void btnJoinClick();
  void btnVideoCompOptionsClick();
  void Button1Click();
  void edtFrameWidthChange();
  // Grows the dialog to what its controls need now.
  void FitToContent();

  std::function<TFileInfoList()> FFiles;
  TCompressorLister FListCompressors;
  std::function<std::string()> FListingKey;
  std::thread FListing;
  bool FListingStarted = false;
  bool FListed = false;
  bool FJoinPending = false;    // Join was pressed for a recompression before the lists came
  std::string FListingFailure;  // shown once
  bool FCanJoinWORecomp = false;
  bool FNoAudio = false;
  TCompressorList FVideoCompressors;
  TCompressorList FAudioCompressors;
  bool FDropAudio = false;
  TConversionFacts FConversion;  // of the files shown
};

// The separator of the frame-rate texts: the first byte of the user's decimal separator.
char RateDecimalSeparator();

}  // namespace rw
