#pragma once
// The media engine of a process that must not load it (the window): each question goes to a
// worker process that has loaded it (`reelwright-cli engine-worker`), started when a question
// finds none running. The options set on compressors are kept here too and
// given again to a new worker, so that they last the run as the engine keeps them. A worker
// that dies answers its question with a failure: "the media engine stopped unexpectedly while
// ..." and the signal. Renders, conversions and pictures are not asked this way: their own
// workers do them (they fail here).
#include <functional>
#include <string>
#include <vector>

#include "engine/MediaEngine.h"

namespace rw {

// A worker that ended without an answer: "the media engine stopped unexpectedly while " + Work
// + " (signal 11)", or "(exit status 1)" when it exited (Signal 0).
std::string WorkerStoppedText(const std::string& Work, int Signal, int ExitStatus);

// Makes MediaEngine() (EngineLoader.h) answer through a worker, Program run with the verb
// engine-worker, from now on in this process; nothing is loaded or started here.
void UseEngineWorker(const std::string& Program);
// The engine of UseEngineWorker, or none.
IMediaEngine* EngineWorkerClient();

// Ends the worker of UseEngineWorker at once (the process ends); the next question starts one.
void StopEngineWorker();

// The worker's side: answers the requests read from the socket In on the socket Out, until In
// ends, with the engine Engine gives (its failure to load is each answer's failure). Returns
// the exit status.
int ServeEngineRequests(const std::function<IMediaEngine&()>& Engine, int In, int Out);

}  // namespace rw
