#pragma once
// The File menu's "Load Project..." and "Save Project..." commands. Neither catches errors: they
// reach the application's error display.
class QWidget;

namespace rw {

class TFileList;
class IFileListView;

// Asks for a project file and replaces the list with its files.
void LoadProject(QWidget* Owner, TFileList& List, IFileListView& View);
// Asks for a project file name and saves the list's files into it.
void SaveProject(QWidget* Owner, TFileList& List, IFileListView& View);

}  // namespace rw
