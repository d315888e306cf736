#include "join/OutputTransaction.h"

#include <cerrno>
#include <cstring>

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
  // The system's failure alone would not say which file the join could not make.
  auto fail = [&OutFileName](int Code) {
    throw EOSError(Code, "Cannot create file " + OutFileName + ": " + OSErrorMessage(Code));
  };
  if (base.empty() || base == "." || base == ".." || IsDirectory(OutFileName)) fail(EISDIR);

  FReplaces = NameExists(OutFileName);
  // A replaced file keeps its permissions, given at the commit: until then the temporary file
  // is its owner's alone, and writable by the joiner even when the old file was read-only.
  FKeepMode = RegularFileMode(OutFileName, FMode);
  for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
    const std::string name = prefix + TempBaseName(base, attempt);
    try {
      FFile = TFile::CreateNew(name, FKeepMode ? 0600 : 0666);
    } catch (const EOSError& E) {
      // A name taken by another join into the same output, or left by one that was killed.
      if (E.ErrorCode == EEXIST) continue;
      fail(E.ErrorCode);
    }
    FTempFileName = name;
    return;
  }
  fail(EEXIST);
}

TOutputTransaction::~TOutputTransaction() {
  if (!FRenamed) DeleteFile(FTempFileName);
}

std::string TOutputTransaction::Commit() {
  if (FKeepMode) (void)FFile.SetMode(FMode);  // some file systems keep no permissions
  FFile.Sync();
  FFile.Close();
  if (FReplaces) {
    RenameFile(FTempFileName, FOutFileName);
  } else {
    try {
      RenameFileNoReplace(FTempFileName, FOutFileName);
    } catch (const EOSError& E) {
      if (E.ErrorCode != EEXIST) throw;
      throw Exception("The output file " + FOutFileName +
                      " was created during the join; it is left as it is");
    }
  }
  FRenamed = true;
  // The output is in place and whole; only its new name may not have reached the disk yet (a
  // folder its owner may write but not read cannot be opened to sync it).
  try {
    SyncFolder(FFolder);
  } catch (const EOSError& E) {
    return "The folder of " + FOutFileName + " could not be synced to the disk (" +
           std::strerror(E.ErrorCode) + ")";
  }
  return {};
}

bool IsJoinTempFileName(const std::string& FileName) {
  const std::string base = FileName.substr(FileName.rfind('/') + 1);
  const std::string suffix = TempSuffix;
  if (base.size() <= 1 + suffix.size() || base[0] != '.' ||
      base.compare(base.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  // A name cut to fit the folder (never inside a character, so up to 3 bytes short of the
  // longest name) has lost the output's extension.
  if (base.size() + 3 >= MaxNameBytes) return true;
  std::string name = base.substr(1, base.size() - 1 - suffix.size());
  // ".NAME.7.part": the names before were taken.
  const size_t number = name.find_last_not_of("0123456789");
  if (number != std::string::npos && number + 1 < name.size() && name[number] == '.' &&
      name.size() - number - 1 <= 2)
    name.erase(number);
  // The output's name has an extension (".holiday.avi.part"); a user's ".clip.part" is a file
  // of its own.
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

}  // namespace rw
