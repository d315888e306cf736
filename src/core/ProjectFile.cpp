#include "core/ProjectText.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace rw {
namespace {

// No project file comes near this; anything larger is not one.
constexpr int64_t MaxProjectSize = 64 << 20;

}  // namespace

TProjectContents ReadProjectFile(const std::string& FileName) {
  TFile file;
  try {
    file = TFile::OpenRead(FileName);
  } catch (const Exception&) {
    throw EFOpenError("Cannot open file " + FileName);
  }
  try {
    const int64_t size = file.Size();
    if (size < 0 || size > MaxProjectSize) throw Exception(SProjectCorrupted);
    std::string text(static_cast<size_t>(size), '\0');
    text.resize(file.ReadAt(text.data(), text.size(), 0));
    return ReadProjectContents(text);
  } catch (const std::exception&) {
    throw Exception(SProjectCorrupted);
  }
}

void WriteProjectFile(const std::string& FileName, const std::vector<std::string>& Files,
                      const std::vector<TPictureCut>& Cuts) {
  const std::string text = WriteProjectText(Files, Cuts);
  TFile file;
  try {
    file = TFile::Create(FileName);
  } catch (const Exception&) {
    throw EFCreateError("Cannot create file " + FileName);
  }
  file.Write(text.data(), text.size());
}

}  // namespace rw
