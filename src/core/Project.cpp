#include "core/Project.h"

#include "core/FileList.h"
#include "core/ProjectText.h"

namespace rw {

void TProjectSettings::CollectFiles() { Files = FList.FileNames(); }

void TProjectSettings::ApplyFiles() {
  FList.RemoveAll();
  FList.AddFiles(Files);
  FView.UpdateActions();
  FList.UpdateStatusBar();
}

void TProjectSettings::SaveToFile(const std::string& FileName) {
  CollectFiles();
  WriteProjectFile(FileName, Files);
}

void TProjectSettings::LoadFromFile(const std::string& FileName) {
  Files = ReadProjectFile(FileName);
  ApplyFiles();
}

}  // namespace rw
