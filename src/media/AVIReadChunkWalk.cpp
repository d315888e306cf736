// Chunk start times and the walk over the chunks of all streams in time order.
#include <limits>

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

void TAVIFileReader::ResetChunkCursors() {
  for (auto& s : FStreams) s->ChunkCursor = 0;
}

void TAVIFileReader::NextChunk(int& StreamIndex, uint32_t& ChunkIndex) {
  double best = -1.0;
  StreamIndex = -1;
  for (size_t i = 0; i < FStreams.size(); ++i) {
    const double t = FStreams[i]->GetChunkTime(FStreams[i]->ChunkCursor);
    if (t < 0) continue;
    // A later stream wins only with a strictly earlier start.
    if (StreamIndex < 0 || best > t) {
      best = t;
      StreamIndex = static_cast<int>(i);
    }
  }
  if (StreamIndex >= 0) ChunkIndex = FStreams[static_cast<size_t>(StreamIndex)]->ChunkCursor++;
}

}  // namespace rw
