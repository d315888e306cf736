#include "core/Project.h"

#include "core/FileList.h"
#include "core/ProjectText.h"

namespace rw {

void TProjectSettings::CollectFiles() {
  Files = FList.FileNames();
  Cuts = FList.Cuts();
}

void TProjectSettings::ApplyFiles() {
  FList.RemoveAll();
  FList.AddFiles(Files, Cuts);
  FView.UpdateActions();
  FList.UpdateStatusBar();
}

void TProjectSettings::SaveToFile(const std::string& FileName) {
  CollectFiles();
  WriteProjectFile(FileName, Files, Cuts);
}

void TProjectSettings::LoadFromFile(const std::string& FileName) {
  TProjectContents contents = ReadProjectFile(FileName);
  Files = std::move(contents.Files);
  Cuts = std::move(contents.Cuts);
  ApplyFiles();
}

}  // namespace rw
