#include "app/SaveProjectCls.h"

#include "app/FileList.h"
#include "app/ProjectText.h"

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
