#pragma once
// POSIX files behind one small owning type: every handle the program opens is closed by its
// owner's destructor, also on errors. Positions are signed 64-bit.
#include <cstdint>
#include <string>

namespace rw {

// What tells a file from another one put under its name and from itself once changed: device
// and inode, size and the time its data last changed (nanoseconds).
struct TFileIdentity {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t ModifiedNs = 0;
  bool operator==(const TFileIdentity&) const = default;
};

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
  // Opens an existing file for reading and writing, as Create locks it, without truncating it.
  static TFile OpenReadWrite(const std::string& FileName);
  // Creates a file that must not exist yet, with Mode less the process's umask. Raises the
  // system failure (EEXIST when the name is taken).
  static TFile CreateNew(const std::string& FileName, unsigned Mode);

  bool IsOpen() const { return FHandle >= 0; }
  int Handle() const { return FHandle; }
  void Close();

  // Reads up to Count bytes at the current position; returns the count delivered
  // (fewer only at the end of the file). Raises EOSError on a failed read.
  size_t Read(void* Dest, size_t Count);
  // Reads up to Count bytes at Position without moving the file position.
  size_t ReadAt(void* Dest, size_t Count, int64_t Position) const;
  // Writes all Count bytes or raises EOSError.
  void Write(const void* Data, size_t Count);
  // Copies up to Count bytes of Source at Position to this file's position inside the kernel,
  // without passing them through the process's memory, and moves this file's position past
  // them. Returns the count copied: fewer when the source ends first, or when the kernel cannot
  // copy between these two files (different file systems, an old kernel); then Supported is
  // false and the caller copies the rest itself. Raises EOSError on any other failure.
  size_t CopyFrom(const TFile& Source, int64_t Position, size_t Count, bool& Supported);
  // Absolute seek from the start; returns the new position. Raises EOSError on failure.
  int64_t Seek(int64_t Position);
  // Seeks to the end of the file; returns the new position. Raises EOSError on failure.
  int64_t SeekEnd();
  int64_t Position() const;
  // Size from the end of the file; the file position is kept.
  int64_t Size() const;
  // The open file's identity. Raises EOSError on failure.
  TFileIdentity Identity() const;
  void Truncate(int64_t Size);
  // Sets the permission bits; false when the file system does not keep them.
  bool SetMode(unsigned Mode);
  // Waits until the file's data have reached the disk. Raises EOSError on failure.
  void Sync();

private:
  friend void SyncFolder(const std::string& Folder);
  explicit TFile(int Handle) : FHandle(Handle) {}
  int FHandle = -1;
};

bool FileExists(const std::string& FileName);
bool IsDirectory(const std::string& FileName);
// True for an existing regular file (not a folder, device, pipe or socket); links are followed.
bool IsRegularFile(const std::string& FileName);
// Deletes a file; false when it could not be deleted (errno tells why).
bool DeleteFile(const std::string& FileName);
// True when something other than a folder has this name: a file, a device, or a symbolic
// link even when it points nowhere.
bool NameExists(const std::string& FileName);
// Permission bits (read, write, execute) of an existing regular file (links followed); false
// when there is none.
bool RegularFileMode(const std::string& FileName, unsigned& Mode);
// Renames From to To in one step, replacing To (a file, or the symbolic link itself, never its
// target). Raises EOSError on failure.
void RenameFile(const std::string& From, const std::string& To);
// Renames From to To in one step only while nothing has the name To (not even a symbolic link):
// raises EOSError with EEXIST when something has. Where the file system cannot rename so, From
// is linked under To and then removed; where it has no links either, To is looked up just
// before a plain rename. Raises EOSError on failure.
void RenameFileNoReplace(const std::string& From, const std::string& To);
// Makes the folder's entries (a rename in it) reach the disk. Raises EOSError on failure.
void SyncFolder(const std::string& Folder);
// The identity of the file the name reaches (links followed); false when there is none.
bool FileIdentity(const std::string& FileName, TFileIdentity& Identity);
// True when both names reach the same file (device and inode), whatever path names them.
bool SameFile(const std::string& A, const std::string& B);

// Multiplies and divides through a 64-bit intermediate, rounded to nearest;
// a division by 0 gives -1.
int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator);

}  // namespace rw
