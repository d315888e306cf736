#include "streamcopy/BufferedWriter.h"

#include <algorithm>
#include <cstring>

namespace rw {

TBufferedWriter::TBufferedWriter(size_t BlockSize)
    : FBlock(std::make_unique<uint8_t[]>(BlockSize)), FBlockSize(BlockSize) {}

void TBufferedWriter::Create(const std::string& FileName) {
  Abandon();
  FFile = TFile::Create(FileName);
  FPosition = 0;
}

void TBufferedWriter::Close() {
  if (!FFile.IsOpen()) return;
  try {
    Flush();
  } catch (...) {
    Abandon();
    throw;
  }
  FFile.Close();
}

void TBufferedWriter::Abandon() {
  FUsed = 0;
  FFile.Close();
}

void TBufferedWriter::Flush() {
  if (FUsed == 0) return;
  // The held bytes are gone once the write was tried; a failed file is not written again.
  size_t n = FUsed;
  FUsed = 0;
  FFile.Write(FBlock.get(), n);
}

void TBufferedWriter::Write(const void* Data, size_t Count) {
  if (Count == 0) return;
  if (FUsed + Count > FBlockSize) {
    Flush();
    if (Count >= FBlockSize) {
      FFile.Write(Data, Count);
      FPosition += static_cast<int64_t>(Count);
      return;
    }
  }
  std::memcpy(FBlock.get() + FUsed, Data, Count);
  FUsed += Count;
  FPosition += static_cast<int64_t>(Count);
}

void TBufferedWriter::WriteZeros(size_t Count) {
  static const uint8_t zeros[4096] = {};
  while (Count > 0) {
    size_t n = std::min(Count, sizeof zeros);
    Write(zeros, n);
    Count -= n;
  }
}

size_t TBufferedWriter::CopyFrom(const TFile& Source, int64_t Position, size_t Count) {
  Flush();
  bool kernelCopies = true;
  size_t done = FFile.CopyFrom(Source, Position, Count, kernelCopies);
  if (!kernelCopies) {
    while (done < Count) {
      const size_t want = std::min(Count - done, FBlockSize);
      const size_t got = Source.ReadAt(FBlock.get(), want, Position + static_cast<int64_t>(done));
      FFile.Write(FBlock.get(), got);
      done += got;
      if (got < want) break;
    }
  }
  FPosition += static_cast<int64_t>(done);
  return done;
}

void TBufferedWriter::TruncateHere() {
  Flush();
  FFile.Truncate(FPosition);
}

size_t TBufferedWriter::Read(void* Dest, size_t Count) {
  Flush();
  size_t n = FFile.Read(Dest, Count);
  FPosition += static_cast<int64_t>(n);
  return n;
}

void TBufferedWriter::Seek(int64_t Position) {
  Flush();
  FPosition = FFile.Seek(Position);
}

int64_t TBufferedWriter::SeekEnd() {
  Flush();
  FPosition = FFile.SeekEnd();
  return FPosition;
}

}  // namespace rw
