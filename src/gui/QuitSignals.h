#pragma once
// Ends the program as File, Exit does when the session asks it to stop (SIGTERM, SIGINT,
// SIGHUP), so the window placement and the folders are stored as at a normal exit. From then on
// message boxes are written to standard error: no one is there to answer them.
class QWidget;

namespace rw {

// Closes MainWindow on those signals; call once, after the window exists.
void InstallQuitSignals(QWidget& MainWindow);

}  // namespace rw
