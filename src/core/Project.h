#pragma once
// A project: the main list's full file names in list order and each file's cut, saved to and
// loaded from a project file ("rwp"). Nothing else is stored; the files are analysed again when
// a project is loaded.
#include <string>
#include <vector>

#include "media/PictureCut.h"

namespace rw {

class TFileList;
class IFileListView;

class TProjectSettings {
public:
  TProjectSettings(TFileList& List, IFileListView& View) : FList(List), FView(View) {}

  // Files := the full names of the list's rows, Cuts := their cuts.
  void CollectFiles();
  // Replaces the list's rows with Files, analysing every file again, each with its cut.
  void ApplyFiles();
  // Collects the files and writes them. Raises "Cannot create file " + name.
  void SaveToFile(const std::string& FileName);
  // Reads Files and applies them. Raises "Cannot open file " + name, or
  // "The project file is corrupted" with the list left unchanged.
  void LoadFromFile(const std::string& FileName);

  std::vector<std::string> Files;
  // One per file, or none (every file whole).
  std::vector<TPictureCut> Cuts;

private:
  TFileList& FList;
  IFileListView& FView;
};

}  // namespace rw
