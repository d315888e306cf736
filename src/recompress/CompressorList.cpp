#include "recompress/CompressorList.h"

#include <sys/stat.h>

#include "engine/EngineLoader.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "recompress/RecompressJoiner.h"

namespace rw {

namespace {

template <class T>
T Checked(TEngineResult<T> Result) {
  CheckDSResult(Result.Error);
  return std::move(Result.Value);
}

TMediaKind KindOf(bool Audio) { return Audio ? TMediaKind::mkAudio : TMediaKind::mkVideo; }

}  // namespace

void TCompressorFilter::SetOption(const std::string& Name, const std::string& Value) {
  const TEngineError e = MediaEngine().SetCompressorOption(FEncoderName, Name, Value);
  if (e.Failed()) throw Exception(e.Reason);
}

std::string TCompressorFilter::GetOption(const std::string& Name) const {
  return Checked(MediaEngine().CompressorOption(FEncoderName, Name));
}

TOptionList TCompressorFilter::Options() const {
  return Checked(MediaEngine().KeptCompressorOptions(FEncoderName));
}

std::vector<TCompressorOptionInfo> TCompressorFilter::ListOptions() const {
  return Checked(MediaEngine().ListCompressorOptions(FEncoderName));
}

TFrameFit TCompressorFilter::FitFrameSize(int32_t Width, int32_t Height) const {
  return Checked(MediaEngine().FitFrameSize(FEncoderName, Width, Height));
}

void TCompressorFilter::CheckFormat(const TCompressorFormat& Format) const {
  CheckDSResult(MediaEngine().CheckCompressor(FEncoderName, Format));
}

TCompressorList EnumCompressors(bool Audio) {
  return Checked(MediaEngine().ListCompressors(KindOf(Audio)));
}

std::shared_ptr<TCompressorFilter> GetCompressorFilter(const TCompressorList& List, int Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= List.size()) return nullptr;
  const std::string& name = List[static_cast<size_t>(Index)].Name;
  if (name.empty() || MediaEngine().KeptCompressorOptions(name).Error.Failed()) return nullptr;
  return std::make_shared<TCompressorFilter>(name);
}

TCompressorList ListJoinCompressors(bool Audio, const TCompressorLister& Lister) {
  TCompressorList list;
  if (Audio) list.push_back({"", cNoCompressing});
  for (TCompressorEntry& e : Lister(Audio)) list.push_back(std::move(e));
  return list;
}

std::vector<std::string> DisplayNames(const TCompressorList& List) {
  std::vector<std::string> names;
  for (const TCompressorEntry& e : List) names.push_back(e.DisplayName);
  return names;
}

int FindCompressor(const TCompressorList& List, const std::string& Name) {
  for (size_t i = 0; i < List.size(); ++i)
    if ((!List[i].Name.empty() && List[i].Name == Name) ||
        LowerASCII(List[i].DisplayName) == LowerASCII(Name))
      return static_cast<int>(i);
  return -1;
}

std::string CompressorListingKey() {
  const std::string version = Checked(MediaEngine().Version());
  const std::string module = MediaEngineModuleFile();
  struct stat st {};
  if (::stat(module.c_str(), &st) != 0) st = {};
  return version + "|" + module + "|" + std::to_string(st.st_size) + "|" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

std::shared_ptr<TCompressorFilter> ListedCompressor(bool Audio, const std::string& Encoder,
                                                    std::string* Refusal) {
  const TEngineError e = MediaEngine().CheckCompressor(Encoder, {KindOf(Audio)});
  if (e.Failed()) {
    if (Refusal) *Refusal = e.Reason;
    return nullptr;
  }
  return std::make_shared<TCompressorFilter>(Encoder);
}

}  // namespace rw
