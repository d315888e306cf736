#pragma once
// Output through one memory block: small writes are gathered and reach the file in large
// blocks, one system call each; writes larger than the block go straight to the file. The
// block is flushed before any seek or read, so seeking back to patch a header sees the bytes
// written before it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Files.h"

namespace rw {

class TBufferedWriter {
public:
  static constexpr size_t DefaultBlockSize = 1 << 20;

  explicit TBufferedWriter(size_t BlockSize = DefaultBlockSize);

  // Creates or truncates the file; an open file is closed first without flushing.
  void Create(const std::string& FileName);
  // Flushes and closes. Raises when the flush fails; the handle is released all the same.
  void Close();
  // Drops the pending bytes and closes the handle; never raises.
  void Abandon();
  bool IsOpen() const { return FFile.IsOpen(); }

  void Write(const void* Data, size_t Count);
  void WriteZeros(size_t Count);
  // Copies Count bytes of Source at Position after the bytes held: inside the kernel where it
  // can, else read into the block and written from there. Returns the count copied, fewer only
  // when the source ends first. Raises EOSError when a read or a write fails.
  size_t CopyFrom(const TFile& Source, int64_t Position, size_t Count);
  // Ends the file at the current position (after flushing).
  void TruncateHere();
  // Reads at the current position after flushing; returns the count delivered.
  size_t Read(void* Dest, size_t Count);
  // Logical position: the file position plus the bytes still held.
  int64_t Position() const { return FPosition; }
  void Seek(int64_t Position);
  // Seeks to the end of the file; returns the new position.
  int64_t SeekEnd();
  void Flush();

private:
  TFile FFile;
  std::unique_ptr<uint8_t[]> FBlock;
  size_t FBlockSize;
  size_t FUsed = 0;
  int64_t FPosition = 0;
};

}  // namespace rw
