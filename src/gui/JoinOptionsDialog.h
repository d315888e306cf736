#pragma once
// The "Join Options" dialog between the Join Files command and the join: the output file,
// stream copy or recompression, and for recompression the frame size, frame rate, resize
// method and compressors, with defaults proposed from the listed files. Created once after the
// main window; it lists the compressors once, when it is first shown (so that the media engine
// is loaded only then), and holds the settings of the last confirmed join until it is shown
// again.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "core/JoinDefaults.h"
#include "recompress/CompressorList.h"

class QCheckBox;
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
  // Files gives the descriptions of the main list's entries, in list order.
  TfrmJoin(QWidget* Owner, std::function<TFileInfoList()> Files,
           const TCompressorLister& ListCompressors = EnumCompressors);

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
  QCheckBox* cbxJoinWORecomp;
  QLabel* lblNotes;
  // Below the note: the rows it is about and what differs in each.
  QLabel* lblNoteFiles;
  // The join that copies what matches and converts only the rest, and its note: the files
  // to be converted and why, or why it cannot be done.
  QCheckBox* cbxConvert;
  QLabel* lblConvertNote;
  QGroupBox* gbxOutOptions;
  TNaturalEdit* edtFrameWidth;
  TNaturalEdit* edtFrameHeight;
  QLabel* lblSizeWarning;
  QComboBox* cbxFameRate;
  QComboBox* cbxResizeMethod;
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
  void ListCompressors();
  void FormShow();
  void UpdateRecompControls();
  void FillFrameRates();
  void SetDefaults();
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
  TCompressorLister FListCompressors;  // emptied once the compressors are listed
  bool FCanJoinWORecomp = false;
  bool FNoAudio = false;
  TCompressorList FVideoCompressors;
  TCompressorList FAudioCompressors;
  bool FDropAudio = false;
};

// The separator of the frame-rate texts: the first byte of the user's decimal separator.
char RateDecimalSeparator();

}  // namespace rw
