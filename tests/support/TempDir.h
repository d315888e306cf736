#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.
#include <filesystem>
#include <string>

namespace rw::test {

class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return (FPath / Name).string(); }

private:
  std::filesystem::path FPath;
};

// Writes Bytes to a file, replacing it.
void WriteFileBytes(const std::string& FileName, const std::string& Bytes);
std::string ReadFileBytes(const std::string& FileName);

// Runs a shell command; returns its exit status and collects its standard output.
int RunCommand(const std::string& Command, std::string* Output = nullptr);

}  // namespace rw::test
