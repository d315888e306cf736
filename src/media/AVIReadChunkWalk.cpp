// Chunk start times and the walk over the chunks of all streams in time order.
#include <algorithm>
#include <limits>
#include <utility>

#include "media/AVIRead.h"

namespace rw {

double TAVIStream::GetChunkTime(uint32_t Index) const {
  if (Index >= ChunkCount()) return -1.0;
  const double rate = Header.Rate;
  if (rate == 0) return std::numeric_limits<double>::infinity();
  const double scale = Header.Scale;
  if (Header.SampleSize == 0) return Index / rate * scale;
  return static_cast<double>(GetChunkStreamPos(Index)) / Header.SampleSize / rate * scale;
}

namespace {
// Heap order with the earliest start on top; equal starts put the lower stream index on top.
bool Later(const std::pair<double, int>& A, const std::pair<double, int>& B) { return A > B; }
}  // namespace

void TAVIFileReader::ResetChunkCursors() {
  for (auto& s : FStreams) s->FChunkCursor = 0;
  FQueueValid = false;
}

void TAVIFileReader::QueueStreams() {
  // Only streams with chunks left take part, so streams without chunks cost nothing per chunk.
  FQueue.clear();
  for (size_t i = 0; i < FStreams.size(); ++i) {
    const double t = FStreams[i]->GetChunkTime(FStreams[i]->FChunkCursor);
    if (t >= 0) FQueue.emplace_back(t, static_cast<int>(i));
  }
  std::make_heap(FQueue.begin(), FQueue.end(), Later);
  FQueueValid = true;
}

void TAVIFileReader::NextChunk(int& StreamIndex, uint32_t& ChunkIndex) {
  if (!FQueueValid) QueueStreams();
  StreamIndex = -1;
  if (FQueue.empty()) return;
  // A chunk's start is never earlier than the one before it in its stream, so the earliest
  // pending chunk over all streams is the top of the heap.
  std::pop_heap(FQueue.begin(), FQueue.end(), Later);
  StreamIndex = FQueue.back().second;
  TAVIStream& s = *FStreams[static_cast<size_t>(StreamIndex)];
  ChunkIndex = s.FChunkCursor++;
  const double next = s.GetChunkTime(s.FChunkCursor);
  if (next < 0) {
    FQueue.pop_back();
    return;
  }
  FQueue.back().first = next;
  std::push_heap(FQueue.begin(), FQueue.end(), Later);
}

}  // namespace rw
