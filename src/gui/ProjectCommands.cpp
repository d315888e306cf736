#include "gui/ProjectCommands.h"

#include "core/FileList.h"
#include "core/ListTexts.h"
#include "core/Project.h"
#include "core/SavedFolders.h"
#include "gui/FileDialogs.h"

namespace rw {

void LoadProject(QWidget* Owner, TFileList& List, IFileListView& View) {
  TFileOpenDialog dialog;
  dialog.OwnerHandle = Owner;
  dialog.InitialDir = LastProjectFolder;
  dialog.Filter = "Project Files|*.rwp|All Files|*.*";
  dialog.MultiSelect = false;
  if (!dialog.Execute()) return;
  // The folder changes even when the load fails.
  LastProjectFolder = FolderText(dialog.FileName);
  TProjectSettings project(List, View);
  project.LoadFromFile(dialog.FileName);
}

void SaveProject(QWidget* Owner, TFileList& List, IFileListView& View) {
  TFileSaveDialog dialog;
  dialog.OwnerHandle = Owner;
  dialog.InitialDir = LastProjectFolder;
  dialog.Filter = "Project File|*.rwp";
  dialog.DefaultExt = "rwp";
  dialog.Title = "Select the project file name";
  if (!dialog.Execute()) return;
  TProjectSettings project(List, View);
  project.SaveToFile(dialog.FileName);
  LastProjectFolder = FolderText(dialog.FileName);
}

}  // namespace rw
