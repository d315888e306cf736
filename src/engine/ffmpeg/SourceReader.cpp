#include "engine/ffmpeg/SourceReader.h"

#include "engine/ffmpeg/FilterChain.h"
#include "engine/ffmpeg/SourceDecoder.h"

namespace rw {

TSourceReader::TSourceReader(std::vector<TSourceJob> Jobs, size_t Ahead)
    : FJobs(std::move(Jobs)), FAhead(Ahead) {
  FThread = std::thread([this] { Run(); });
}

TSourceReader::~TSourceReader() {
  {
    std::lock_guard lock(FLock);
    FStop = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void TSourceReader::Run() {
  for (size_t job = 0; job < FJobs.size(); ++job) {
    {
      std::lock_guard lock(FLock);
      if (FStop) return;
      if (job < FSkipBelow) continue;
    }
    try {
      ReadJob(job);
    } catch (...) {
      // Raised by the render when it takes this job's next frame; a render that needs no more
      // of this source goes on with the next.
      TItem item;
      item.Job = job;
      item.Error = std::current_exception();
      if (!Put(std::move(item))) continue;
    }
  }
}

void TSourceReader::ReadJob(size_t Job) {
  const TSourceJob& j = FJobs[Job];
  TSourceDecoder decoder(j.FileName, j.Kind);
  if (decoder.HasStream()) {
    TFilterChain chain(j.Chain, decoder.TimeBase());
    TSourcePipeline pipeline(decoder, chain);
    while (true) {
      TFramePtr frame = NewFrame();
      if (!pipeline.Next(frame.get())) break;
      TItem item;
      item.Job = Job;
      item.Frame = std::move(frame);
      if (!Put(std::move(item))) return;
    }
  }
  TItem end;
  end.Job = Job;
  Put(std::move(end));
}

bool TSourceReader::Put(TItem Item) {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [&] { return FStop || Item.Job < FSkipBelow || FQueue.size() < FAhead; });
  if (FStop || Item.Job < FSkipBelow) return false;
  FQueue.push_back(std::move(Item));
  FChanged.notify_all();
  return true;
}

bool TSourceReader::Next(size_t Job, AVFrame* Frame) {
  std::unique_lock lock(FLock);
  if (FSkipBelow < Job) {
    FSkipBelow = Job;
    FChanged.notify_all();
  }
  while (true) {
    // What is left of earlier jobs is dropped, their failures too.
    while (!FQueue.empty() && FQueue.front().Job < Job) {
      FQueue.pop_front();
      FChanged.notify_all();
    }
    if (!FQueue.empty()) break;
    FChanged.wait(lock);
  }
  TItem item = std::move(FQueue.front());
  FQueue.pop_front();
  FChanged.notify_all();
  if (item.Error) std::rethrow_exception(item.Error);
  if (!item.Frame) return false;
  av_frame_move_ref(Frame, item.Frame.get());
  return true;
}

void TSourceReader::Skip(size_t Job) {
  std::lock_guard lock(FLock);
  if (FSkipBelow <= Job) FSkipBelow = Job + 1;
  FChanged.notify_all();
}

}  // namespace rw
