#pragma once
// Ends the program as File, Exit does when the session asks it to stop (SIGTERM, SIGINT,
// SIGHUP), so the window placement and the folders are stored as at a normal exit; a join in
// progress is cancelled as by its Cancel button, and finishes and keeps its output. From then on
// message boxes are written to standard error: no one is there to answer them. The program then
// exits with 128 + the signal.
class QWidget;

namespace rw {

// Closes MainWindow on those signals; call once, after the window exists.
void InstallQuitSignals(QWidget& MainWindow);
// The first of those signals received, 0 for none.
int QuitSignal();

}  // namespace rw
