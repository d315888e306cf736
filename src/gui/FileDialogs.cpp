#include "gui/FileDialogs.h"

#include <QFileDialog>

#include "gui/QtStrings.h"

namespace rw {

TFileDialogRunner& FileDialogRunner() {
  static TFileDialogRunner runner = [](QFileDialog& Dialog) -> std::optional<QList<QUrl>> {
    if (Dialog.exec() != QDialog::Accepted) return std::nullopt;
    return Dialog.selectedUrls();
  };
  return runner;
}

QStringList FilterToNameFilters(const std::string& Filter) {
  QStringList parts = TextToQ(Filter).split('|');
  if (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    QStringList patterns;
    if (i + 1 < parts.size())
      for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts))
        patterns << (p.trimmed() == "*.*" ? QStringLiteral("*") : p.trimmed());
    filters << parts[i] + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

void TFileCommonDialog::Prepare(QFileDialog& Dialog) const {
  if (!InitialDir.empty()) Dialog.setDirectory(PathToQ(InitialDir));
  if (!Title.empty()) Dialog.setWindowTitle(TextToQ(Title));
  const QStringList filters = FilterToNameFilters(Filter);
  if (!filters.isEmpty()) {
    Dialog.setNameFilters(filters);
    if (FilterIndex > 0 && FilterIndex <= filters.size())
      Dialog.selectNameFilter(filters[FilterIndex - 1]);
  }
}

bool TFileOpenDialog::Execute() {
  if (MultiSelect) {
    Options |= ofnAllowMultiSelect;
    BufferSize = 30720;
  } else {
    Options &= ~ofnAllowMultiSelect;
    BufferSize = 1024;
  }
  QFileDialog dialog(OwnerHandle);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (MultiSelect)
    dialog.setFileMode(QFileDialog::ExistingFiles);
  else
    dialog.setFileMode((Options & ofnFileMustExist) ? QFileDialog::ExistingFile
                                                    : QFileDialog::AnyFile);
  Prepare(dialog);
  const std::optional<QList<QUrl>> chosen = FileDialogRunner()(dialog);
  if (!chosen || chosen->isEmpty()) return false;
  if (MultiSelect) {
    Files.clear();
    for (const QUrl& url : *chosen) Files.push_back(PathFromUrl(url));
  }
  FileName = PathFromUrl(chosen->first());
  return true;
}

bool TFileSaveDialog::Execute() {
  QFileDialog dialog(OwnerHandle);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofnOverwritePrompt));
  if (!DefaultExt.empty()) dialog.setDefaultSuffix(TextToQ(DefaultExt));
  Prepare(dialog);
  const std::optional<QList<QUrl>> chosen = FileDialogRunner()(dialog);
  if (!chosen || chosen->isEmpty()) return false;
  FileName = PathFromUrl(chosen->first());
  return true;
}

}  // namespace rw
