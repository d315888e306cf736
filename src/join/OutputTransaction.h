#pragma once
// The output of a join as one transaction: the joiner writes a temporary file beside the output
// (".NAME.part" in the output's folder), and only a join that has finished (or was cancelled
// and finished what it had copied) renames it over the output, once its data have reached the
// disk. A failed join removes the temporary file and leaves an existing output as it was; a
// killed process leaves at most the temporary file, never a broken file under the output's name.
#include <string>

#include "platform/Files.h"

namespace rw {

class TOutputTransaction {
public:
  // Reserves the temporary file: created empty and exclusively, with the permissions of the
  // file it will replace (or those of a new file). Raises the system's failure when it cannot be
  // made, and "Is a directory" when the output names a folder.
  explicit TOutputTransaction(const std::string& OutFileName);
  // Removes the temporary file unless Commit renamed it.
  ~TOutputTransaction();
  TOutputTransaction(const TOutputTransaction&) = delete;
  TOutputTransaction& operator=(const TOutputTransaction&) = delete;

  // The name the joiner writes to.
  const std::string& TempFileName() const { return FTempFileName; }
  const std::string& OutFileName() const { return FOutFileName; }

  // Syncs the temporary file, renames it over the output (a symbolic link there is replaced,
  // its target left alone) and syncs the folder. Raises the system's failure.
  void Commit();

private:
  std::string FOutFileName;
  std::string FFolder;
  std::string FTempFileName;
  TFile FFile;  // the reserved temporary file, kept open to sync it
  bool FRenamed = false;
};

// Whether FileName has the form of a join's temporary file (".NAME.part"): such a file is an
// unfinished output, left by a join that was killed.
bool IsJoinTempFileName(const std::string& FileName);

}  // namespace rw
