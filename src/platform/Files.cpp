#include "platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"

namespace rw {

TFile::~TFile() { Close(); }

TFile::TFile(TFile&& Other) noexcept : FHandle(Other.FHandle) { Other.FHandle = -1; }

TFile& TFile::operator=(TFile&& Other) noexcept {
  if (this != &Other) {
    Close();
    FHandle = Other.FHandle;
    Other.FHandle = -1;
  }
  return *this;
}

void TFile::Close() {
  if (FHandle >= 0) {
    ::close(FHandle);
    FHandle = -1;
  }
}

TFile TFile::OpenRead(const std::string& FileName) {
  // Non-blocking, so that a named pipe or a device cannot hold the program up at open time.
  int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) RaiseLastOSError();
  TFile f(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) RaiseLastOSError();
  if (S_ISDIR(st.st_mode)) RaiseOSError(EISDIR);
  if (!S_ISREG(st.st_mode))
    throw EFOpenError("Cannot open file " + FileName + ": not a regular file");
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  // Shared lock: other readers may hold it too; a writer that asks for an exclusive lock waits
  // or fails. Advisory only, and never fatal here.
  (void)::flock(fd, LOCK_SH | LOCK_NB);
  return f;
}

TFile TFile::Create(const std::string& FileName) {
  int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) RaiseLastOSError();
  TFile f(fd);
  (void)::flock(fd, LOCK_EX | LOCK_NB);
  return f;
}

TFile TFile::OpenReadWrite(const std::string& FileName) {
  int fd = ::open(FileName.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) RaiseLastOSError();
  TFile f(fd);
  (void)::flock(fd, LOCK_EX | LOCK_NB);
  return f;
}

TFile TFile::CreateNew(const std::string& FileName, unsigned Mode) {
  int fd =
      ::open(FileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(Mode));
  if (fd < 0) RaiseLastOSError();
  return TFile(fd);
}

namespace {

// Whether a failed sync means only that the file system cannot sync this kind of file.
bool SyncUnsupported(int Code) { return Code == EINVAL || Code == ENOTSUP || Code == EROFS; }

// Reads until Count bytes arrived or the end of the file; Step(Dest, Count, Done) is one system
// call. Interrupted calls are repeated; a failure raises the system's error.
template <typename TStep>
size_t ReadAll(void* Dest, size_t Count, TStep Step) {
  size_t done = 0;
  auto* p = static_cast<char*>(Dest);
  while (done < Count) {
    ssize_t n = Step(p + done, Count - done, done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseLastOSError();
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

size_t TFile::Read(void* Dest, size_t Count) {
  return ReadAll(Dest, Count,
                 [this](char* To, size_t Left, size_t) { return ::read(FHandle, To, Left); });
}

size_t TFile::ReadAt(void* Dest, size_t Count, int64_t Position) const {
  if (Position < 0) return 0;
  return ReadAll(Dest, Count, [this, Position](char* To, size_t Left, size_t Done) {
    return ::pread(FHandle, To, Left, static_cast<off_t>(Position + static_cast<int64_t>(Done)));
  });
}

void TFile::Write(const void* Data, size_t Count) {
  size_t done = 0;
  auto* p = static_cast<const char*>(Data);
  while (done < Count) {
    ssize_t n = ::write(FHandle, p + done, Count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseLastOSError();
    }
    if (n == 0) RaiseOSError(ENOSPC);
    done += static_cast<size_t>(n);
  }
}

size_t TFile::CopyFrom(const TFile& Source, int64_t Position, size_t Count, bool& Supported) {
  Supported = true;
  size_t done = 0;
  while (done < Count) {
    auto from = static_cast<off_t>(Position + static_cast<int64_t>(done));
    ssize_t n = ::copy_file_range(Source.FHandle, &from, FHandle, nullptr, Count - done, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
          errno == ENOTSUP) {
        Supported = false;
        break;
      }
      RaiseLastOSError();
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t TFile::Seek(int64_t Position) {
  off_t r = ::lseek(FHandle, static_cast<off_t>(Position), SEEK_SET);
  if (r < 0) RaiseLastOSError();
  return r;
}

int64_t TFile::SeekEnd() {
  off_t r = ::lseek(FHandle, 0, SEEK_END);
  if (r < 0) RaiseLastOSError();
  return r;
}

int64_t TFile::Position() const {
  off_t r = ::lseek(FHandle, 0, SEEK_CUR);
  if (r < 0) RaiseLastOSError();
  return r;
}

int64_t TFile::Size() const {
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) RaiseLastOSError();
  return st.st_size;
}

namespace {
TFileIdentity IdentityOf(const struct stat& St) {
  return {static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino),
          static_cast<int64_t>(St.st_size),
          static_cast<int64_t>(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec};
}
}  // namespace

TFileIdentity TFile::Identity() const {
  struct stat st {};
  if (::fstat(FHandle, &st) != 0) RaiseLastOSError();
  return IdentityOf(st);
}

bool FileIdentity(const std::string& FileName, TFileIdentity& Identity) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0) return false;
  Identity = IdentityOf(st);
  return true;
}

void TFile::Truncate(int64_t Size) {
  if (::ftruncate(FHandle, static_cast<off_t>(Size)) != 0) RaiseLastOSError();
}

bool TFile::SetMode(unsigned Mode) { return ::fchmod(FHandle, static_cast<mode_t>(Mode)) == 0; }

void TFile::Sync() {
  while (::fsync(FHandle) != 0) {
    if (errno == EINTR) continue;
    if (SyncUnsupported(errno)) return;
    RaiseLastOSError();
  }
}

bool FileExists(const std::string& FileName) {
  struct stat st {};
  return ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsDirectory(const std::string& FileName) {
  struct stat st {};
  return ::stat(FileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& FileName) {
  struct stat st {};
  return ::stat(FileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFile(const std::string& FileName) { return ::unlink(FileName.c_str()) == 0; }

bool NameExists(const std::string& FileName) {
  struct stat st {};
  return ::lstat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RegularFileMode(const std::string& FileName, unsigned& Mode) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  Mode = st.st_mode & 0777;
  return true;
}

void RenameFile(const std::string& From, const std::string& To) {
  if (::rename(From.c_str(), To.c_str()) != 0) RaiseLastOSError();
}

void RenameFileNoReplace(const std::string& From, const std::string& To) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) RaiseLastOSError();
#endif
  // A link cannot replace anything either; the file then has both names for a moment.
  if (::link(From.c_str(), To.c_str()) == 0) {
    (void)::unlink(From.c_str());
    return;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) RaiseLastOSError();
  if (NameExists(To) || IsDirectory(To)) RaiseOSError(EEXIST);
  RenameFile(From, To);
}

void SyncFolder(const std::string& Folder) {
  int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) RaiseLastOSError();
  TFile(fd).Sync();
}

bool SameFile(const std::string& A, const std::string& B) {
  struct stat a {
  }, b{};
  if (::stat(A.c_str(), &a) != 0 || ::stat(B.c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator) {
  if (Denominator == 0) return -1;
  int64_t product = static_cast<int64_t>(Number) * Numerator;
  int64_t half = std::llabs(static_cast<int64_t>(Denominator)) / 2;
  // Round half away from zero, as the platform's MulDiv does.
  int64_t q = ((product < 0) != (Denominator < 0)) ? (product - half) / Denominator
                                                   : (product + half) / Denominator;
  return static_cast<int32_t>(q);
}

}  // namespace rw
