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
  // Reserves the temporary file: created empty and exclusively, private to its owner until
  // Commit gives it the permissions of the file it will replace (or those of a new file).
  // Whether the output exists now decides whether Commit may replace it. Raises "Cannot create
  // file " + OutFileName + ": " + the system's failure ("Is a directory" when the output names
  // a folder).
  explicit TOutputTransaction(const std::string& OutFileName);
  // Removes the temporary file unless Commit renamed it.
  ~TOutputTransaction();
  TOutputTransaction(const TOutputTransaction&) = delete;
  TOutputTransaction& operator=(const TOutputTransaction&) = delete;

  // The name the joiner writes to.
  const std::string& TempFileName() const { return FTempFileName; }
  const std::string& OutFileName() const { return FOutFileName; }

  // Syncs the temporary file and renames it to the output. An output that existed when the
  // transaction began is replaced (a symbolic link there itself, its target left alone); one
  // that did not is never replaced: a file that appeared under its name meanwhile fails the
  // commit with "The output file X was created during the join; it is left as it is". Raises
  // the system's failure. Once the output has its name, a folder that cannot be synced does
  // not undo the join: the returned text says so (empty when all went well).
  std::string Commit();

private:
  std::string FOutFileName;
  std::string FFolder;
  std::string FTempFileName;
  TFile FFile;             // the reserved temporary file, kept open to sync it
  bool FReplaces = false;  // the output existed at the start: the user agreed to replace it
  bool FKeepMode = false;  // the output is a regular file whose permissions the join keeps
  unsigned FMode = 0;
  bool FRenamed = false;
};

// Whether FileName has the form of a join's temporary file (".NAME.part", ".NAME.7.part", NAME
// an output's name with its extension, or cut to the longest name): such a file is an
// unfinished output, left by a join that was killed. A ".clip.part" of the user's is not.
bool IsJoinTempFileName(const std::string& FileName);

}  // namespace rw
