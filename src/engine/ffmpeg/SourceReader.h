#pragma once
// Reads a group's sources ahead of the render, on a thread of its own: each source is opened,
// decoded and run through its filter chain, in output order, and its frames wait in a short
// queue, so that decoding (the next source's opening included) goes on while the render
// encodes. Part of the render engine; a failure on the reading thread is raised where the
// render takes the frame it stopped.
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/ffmpeg/AVHandles.h"

namespace rw {

// One source to read: its file, which of its streams, and the filters its frames go through.
struct TSourceJob {
  std::string FileName;
  TMediaKind Kind = TMediaKind::mkVideo;
  std::string Chain;
};

class TSourceReader {
public:
  // Starts reading the jobs, in order, keeping at most Ahead frames ready.
  TSourceReader(std::vector<TSourceJob> Jobs, size_t Ahead);
  // Stops the reading thread.
  ~TSourceReader();
  TSourceReader(const TSourceReader&) = delete;
  TSourceReader& operator=(const TSourceReader&) = delete;

  // The next filtered frame of job Job; false when that source has no more. Jobs are taken in
  // order; taking a later job skips what is left of the earlier ones.
  bool Next(size_t Job, AVFrame* Frame);
  // The render needs no more of job Job: the reader goes on with the next one.
  void Skip(size_t Job);

private:
  struct TItem {
    size_t Job = 0;
    TFramePtr Frame;  // none: the job's end
    std::exception_ptr Error;
  };
  void Run();
  void ReadJob(size_t Job);
  // Queues an item; false when the reader is to stop or the job was skipped.
  bool Put(TItem Item);

  std::vector<TSourceJob> FJobs;
  size_t FAhead;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<TItem> FQueue;
  size_t FSkipBelow = 0;  // jobs below this are not wanted any more
  bool FStop = false;
  std::thread FThread;
};

}  // namespace rw
