#pragma once
// The open-file and save-file dialogs. A caller creates one, sets its owner, folder, filter and
// title, calls Execute, reads the chosen name or names and frees it.
#include <QList>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QFileDialog;
class QWidget;

namespace rw {

// Flag bits of Options.
inline constexpr uint32_t ofnOverwritePrompt = 0x2;
inline constexpr uint32_t ofnHideReadOnly = 0x4;
inline constexpr uint32_t ofnAllowMultiSelect = 0x200;
inline constexpr uint32_t ofnFileMustExist = 0x1000;
inline constexpr uint32_t ofnExplorer = 0x80000;

// Shows a prepared dialog modally and returns the chosen files' addresses, or nothing on cancel.
// Addresses keep the bytes of a name that is not valid UTF-8 where the desktop's own dialog
// lists such a name. Tests replace it to answer for the user.
using TFileDialogRunner = std::function<std::optional<QList<QUrl>>(QFileDialog& Dialog)>;
TFileDialogRunner& FileDialogRunner();

// "desc|patterns|desc|patterns" to the toolkit's "desc (patterns)" entries; "*.*" matches every
// name as it does on the platform the filters were written for.
QStringList FilterToNameFilters(const std::string& Filter);

class TFileCommonDialog {
public:
  TFileCommonDialog() = default;
  virtual ~TFileCommonDialog() = default;
  TFileCommonDialog(const TFileCommonDialog&) = delete;
  TFileCommonDialog& operator=(const TFileCommonDialog&) = delete;

  // True when the user chose a file; on false FileName (and Files) keep their values.
  virtual bool Execute() = 0;

  QWidget* OwnerHandle = nullptr;
  std::string InitialDir;
  std::string Title;
  std::string FileName;
  std::string Filter;
  uint32_t Options = ofnExplorer | ofnFileMustExist | ofnHideReadOnly;
  int32_t FilterIndex = 0;
  uint32_t BufferSize = 1024;

protected:
  // Sets the dialog's owner, folder, title and filters from the fields.
  void Prepare(QFileDialog& Dialog) const;
};

class TFileOpenDialog : public TFileCommonDialog {
public:
  bool Execute() override;

  bool MultiSelect = false;
  std::vector<std::string> Files;
};

class TFileSaveDialog : public TFileCommonDialog {
public:
  TFileSaveDialog() { Options |= ofnOverwritePrompt; }
  bool Execute() override;

  std::string DefaultExt;
};

}  // namespace rw
