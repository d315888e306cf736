#pragma once
// The engine's work apart from the window: the window starts reelwright-cli (beside its own
// executable) for each join and for the list's pictures, so that a codec library that crashes on
// a file or a size ends only that worker, never the window. Worker and window speak in lines: a
// word, a space and a text whose line breaks and backslashes are escaped.
#include <string>
#include <vector>

#include "core/JoinRequest.h"
#include "engine/EngineClient.h"
#include "recompress/CompressorList.h"

namespace rw {

// One line: Word, then Text escaped, then "\n".
std::string WorkerLine(const std::string& Word, const std::string& Text = {});
// Splits a line (with or without its "\n") into its word and its unescaped text.
void ReadWorkerLine(const std::string& Line, std::string& Word, std::string& Text);

// A file name as the window passes it to a join's worker: its bytes outside printable ASCII,
// and '%', as "%XX". The toolkit passes arguments as text, which would change the bytes of a
// name that is not valid UTF-8; these are ASCII and come back as the name's own bytes.
std::string WorkerNameArgument(const std::string& Name);
std::string NameFromWorkerArgument(const std::string& Argument);

// The worker program: REELWRIGHT_WORKER when set, else reelwright-cli beside the running
// executable.
std::string WorkerProgram();

// What a join's worker does with the engine, for the message when it dies: "encoding with
// mpeg4", "converting the files that differ", "copying the files".
std::string JoinWorkText(const TJoinRequest& Request);
// What the worker of a join does before its request is decided.
inline constexpr const char* cReadingFilesWork = "reading the files";

// Runs the worker with Args (after the program) to its end and returns what it wrote; raises
// WorkerStoppedText(Work, ...) when it dies or exits with a failure (its last "error" line
// when it wrote one). StopWorkers ends it at once, from any thread.
std::string RunWorker(const std::vector<std::string>& Args, const std::string& Work);
// Ends every worker RunWorker is waiting for and the engine's worker (the window closes).
void StopWorkers();

// The compressors of a kind as EnumCompressors lists them, and CompressorListingKey, each
// asked of a worker (reelwright-cli compressor-worker).
TCompressorList WorkerCompressors(bool Audio);
std::string WorkerListingKey();

// For tests: whether REELWRIGHT_WORKER_CRASH names Where ("join", "picture"); a worker asked
// so ends itself with SIGABRT there, as a codec library that aborts would.
bool WorkerCrashAsked(const char* Where);
// For tests: the milliseconds REELWRIGHT_WORKER_PAUSE asks a join's worker to wait after each
// progress report (0 when unset), so that a stop can be asked for part-way through a short join.
int WorkerPauseMs();

}  // namespace rw
