#include "join/OutputTransaction.h"

#include <cerrno>

#include "platform/Errors.h"

namespace rw {

namespace {

constexpr size_t MaxNameBytes = 255;  // longest name within a folder
constexpr int MaxAttempts = 100;      // ".NAME.part", then ".NAME.1.part" ... ".NAME.99.part"
constexpr const char* TempSuffix = ".part";

// Base cut to at most Room bytes, never inside a UTF-8 sequence.
std::string Fit(const std::string& Base, size_t Room) {
  if (Base.size() <= Room) return Base;
  size_t n = Room;
  while (n > 0 && (static_cast<unsigned char>(Base[n]) & 0xC0) == 0x80) --n;
  return Base.substr(0, n);
}

std::string TempBaseName(const std::string& Base, int Attempt) {
  std::string number;
  if (Attempt != 0) number.append(1, '.').append(std::to_string(Attempt));
  const size_t fixed = 1 + number.size() + std::char_traits<char>::length(TempSuffix);
  std::string name(1, '.');
  name.append(Fit(Base, MaxNameBytes - fixed)).append(number).append(TempSuffix);
  return name;
}

}  // namespace

TOutputTransaction::TOutputTransaction(const std::string& OutFileName) : FOutFileName(OutFileName) {
  const size_t slash = OutFileName.rfind('/');
  const std::string prefix = slash == std::string::npos ? "" : OutFileName.substr(0, slash + 1);
  const std::string base = OutFileName.substr(prefix.size());
  FFolder = prefix.empty() ? "." : prefix.size() == 1 ? "/" : prefix.substr(0, prefix.size() - 1);
  if (base.empty() || base == "." || base == ".." || IsDirectory(OutFileName)) RaiseOSError(EISDIR);

  // A replaced file keeps its permissions: its temporary file is private until it has them.
  unsigned mode = 0;
  const bool replaces = RegularFileMode(OutFileName, mode);
  for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
    const std::string name = prefix + TempBaseName(base, attempt);
    try {
      FFile = TFile::CreateNew(name, replaces ? 0600 : 0666);
    } catch (const EOSError& E) {
      // A name taken by another join into the same output, or left by one that was killed.
      if (E.ErrorCode == EEXIST) continue;
      throw;
    }
    FTempFileName = name;
    if (replaces) (void)FFile.SetMode(mode);  // some file systems keep no permissions
    return;
  }
  RaiseOSError(EEXIST);
}

TOutputTransaction::~TOutputTransaction() {
  if (!FRenamed) DeleteFile(FTempFileName);
}

void TOutputTransaction::Commit() {
  FFile.Sync();
  FFile.Close();
  RenameFile(FTempFileName, FOutFileName);
  FRenamed = true;
  SyncFolder(FFolder);
}

bool IsJoinTempFileName(const std::string& FileName) {
  const std::string base = FileName.substr(FileName.rfind('/') + 1);
  const std::string suffix = TempSuffix;
  return base.size() > 1 + suffix.size() && base[0] == '.' &&
         base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace rw
