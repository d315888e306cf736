#pragma once
// POSIX files behind one small owning type: every handle the program opens is closed by its
// owner's destructor, also on errors. Positions are signed 64-bit.
#include <cstdint>
#include <string>

namespace rw {

class TFile {
public:
  TFile() = default;
  ~TFile();
  TFile(TFile&& Other) noexcept;
  TFile& operator=(TFile&& Other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens for reading; other readers are let in, other writers kept out (advisory lock).
  // Raises the system failure (EOSError) when the file cannot be opened.
  static TFile OpenRead(const std::string& FileName);
  // Creates or truncates for writing; no other reader or writer takes the lock meanwhile.
  static TFile Create(const std::string& FileName);

  bool IsOpen() const { return FHandle >= 0; }
  int Handle() const { return FHandle; }
  void Close();

  // Reads up to Count bytes at the current position; returns the count delivered
  // (fewer only at the end of the file). Raises EOSError on a failed read.
  size_t Read(void* Dest, size_t Count);
  // Reads up to Count bytes at Position without moving the file position.
  size_t ReadAt(void* Dest, size_t Count, int64_t Position);
  // Writes all Count bytes or raises EOSError.
  void Write(const void* Data, size_t Count);
  // Absolute seek from the start; returns the new position. Raises EOSError on failure.
  int64_t Seek(int64_t Position);
  // Seeks to the end of the file; returns the new position. Raises EOSError on failure.
  int64_t SeekEnd();
  int64_t Position() const;
  // Size from the end of the file; the file position is kept.
  int64_t Size() const;
  void Truncate(int64_t Size);

private:
  explicit TFile(int Handle) : FHandle(Handle) {}
  int FHandle = -1;
};

bool FileExists(const std::string& FileName);
bool IsDirectory(const std::string& FileName);
// True for an existing regular file (not a folder, device, pipe or socket); links are followed.
bool IsRegularFile(const std::string& FileName);
// Deletes a file; false when it could not be deleted (errno tells why).
bool DeleteFile(const std::string& FileName);
// True when both names reach the same file (device and inode), whatever path names them.
bool SameFile(const std::string& A, const std::string& B);

// Multiplies and divides through a 64-bit intermediate, rounded to nearest;
// a division by 0 gives -1.
int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator);

}  // namespace rw
