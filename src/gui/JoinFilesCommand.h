#pragma once
// The window's Join Files command: the facts from the rows, the join options dialog, then the
// join in a worker process (reelwright-cli join --worker: the core's join decision over the
// dialog's settings and the core's join run), its progress in the window's progress dialog.
#include <QStringList>
#include <string>

#include "core/JoinRequest.h"

class QWidget;

namespace rw {

class TFileList;
class TfrmJoin;
class TfrmMain;

// The arguments of the worker (reelwright-cli join --worker) that joins the list's files with
// the dialog's settings.
QStringList JoinWorkerArguments(const TFileList& List, const TfrmJoin& Options);

// Runs one join with the dialog's settings in a worker process, its progress in a dialog owned by
// Owner; warnings about sources joined only in part are shown together after it.
TJoinResult JoinFiles(QWidget* Owner, const TFileList& List, const TfrmJoin& Options);

// The Join Files command: the three facts from the rows, the join options, the join; a failure
// is shown as "Join fails: " + message, a finished join with the done message. The list is
// never changed by a join. Returns, for a join the user stopped, what the status bar says
// ("Stopped: 03:00 saved as NAME"), else nothing.
std::string JoinFilesCommand(QWidget* Owner, const TFileList& List, TfrmJoin& Options);

// Makes the window's Join Files action run the command with Options, which must outlive the
// window's use of it.
void InstallJoinFiles(TfrmMain& Main, TfrmJoin& Options);

}  // namespace rw
