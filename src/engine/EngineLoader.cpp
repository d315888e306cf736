#include "engine/EngineLoader.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "engine/EngineClient.h"
#include "platform/Errors.h"

#ifndef RW_ENGINE_INSTALL_DIR
#define RW_ENGINE_INSTALL_DIR "/usr/local/lib/reelwright"
#endif

namespace rw {

namespace {

constexpr const char* EnvironmentName = "REELWRIGHT_ENGINE";

struct TLoadedEngine {
  IMediaEngine* Engine = nullptr;
  std::string File;     // the module it came from
  std::string Failure;  // the message raised when there is no engine
};

// Why one file could not serve as the engine.
std::string TryLoad(const std::string& FileName, IMediaEngine*& Engine) {
  Engine = nullptr;
  void* module = ::dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* error = ::dlerror();
    std::string reason = error ? error : "unknown failure";
    // The loader names the file first; it is named once already.
    if (reason.rfind(FileName + ": ", 0) == 0) reason.erase(0, FileName.size() + 2);
    return reason;
  }
  std::string reason;
  auto entry = reinterpret_cast<TMediaEngineEntry>(::dlsym(module, MediaEngineEntryName));
  if (!entry)
    reason = std::string("it has no function ") + MediaEngineEntryName;
  else if (!(Engine = entry(MediaEngineInterfaceVersion)))
    reason = "it belongs to another version of the program";
  // A module that serves stays loaded to the end of the process.
  if (!Engine) ::dlclose(module);
  return reason;
}

TLoadedEngine Load() {
  const char* named = std::getenv(EnvironmentName);
  std::string looked;
  for (const std::string& file : MediaEngineCandidates()) {
    TLoadedEngine loaded;
    const std::string reason = TryLoad(file, loaded.Engine);
    if (loaded.Engine) {
      loaded.File = file;
      return loaded;
    }
    if (!looked.empty()) looked += "; ";
    looked += file + (named && *named ? " (named by " + std::string(EnvironmentName) + ")" : "") +
              ": " + reason;
  }
  return {nullptr,
          {},
          "The media engine (" + std::string(MediaEngineFileName) +
              ") could not be loaded, so files cannot be recompressed; joining without "
              "recompression (stream copy) still works. Looked for " +
              looked + "."};
}

}  // namespace

std::vector<std::string> MediaEngineCandidates() {
  const char* named = std::getenv(EnvironmentName);
  if (named && *named) return {named};
  std::vector<std::string> files;
  auto add = [&files](const std::filesystem::path& File) {
    const std::string name = File.lexically_normal().string();
    if (std::find(files.begin(), files.end(), name) == files.end()) files.push_back(name);
  };
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    // Beside the executable (the build), then in the lib/reelwright of the prefix it is
    // installed under, wherever that prefix was moved.
    add(exe.parent_path() / MediaEngineFileName);
    add(exe.parent_path() / ".." / "lib" / "reelwright" / MediaEngineFileName);
  }
  add(std::filesystem::path(RW_ENGINE_INSTALL_DIR) / MediaEngineFileName);
  return files;
}

static const TLoadedEngine& Loaded() {
  static const TLoadedEngine loaded = Load();
  if (!loaded.Engine) throw Exception(loaded.Failure);
  return loaded;
}

IMediaEngine& MediaEngine() {
  if (IMediaEngine* client = EngineWorkerClient()) return *client;
  return *Loaded().Engine;
}

std::string MediaEngineModuleFile() { return Loaded().File; }

}  // namespace rw
