#include "recompress/CompressorList.h"

#include "platform/Text.h"
#include "recompress/RecompressJoiner.h"

namespace rw {

void EnumCompressors(bool Audio, std::vector<std::string>* Names, TMonikerList* Monikers) {
  const TCompressorCategory category = Audio ? TCompressorCategory::ccAudio : TCompressorCategory::ccVideo;
  std::unique_ptr<TSystemDeviceEnum> devices;
  CheckDSResult(TSystemDeviceEnum::Create(devices));
  std::unique_ptr<TMonikerEnumerator> monikers;
  if (devices->CreateClassEnumerator(category, monikers) != ME_OK) return;
  TCompressorMonikerPtr moniker;
  while (monikers->Next(moniker) == ME_OK) {
    std::string name;
    if (moniker->ReadFriendlyName(name) != ME_OK) continue;
    if (Names) Names->push_back(name);
    if (Monikers) Monikers->push_back(moniker);
  }
}

std::shared_ptr<TCompressorFilter> GetCompressorFilter(const TMonikerList& List, int Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= List.size() || !List[static_cast<size_t>(Index)]) return nullptr;
  std::shared_ptr<TCompressorFilter> filter;
  if (List[static_cast<size_t>(Index)]->BindToObject(filter) != ME_OK) return nullptr;
  return filter;
}

void ListJoinCompressors(bool Audio, std::vector<std::string>& Names, TMonikerList& Monikers,
                         const TCompressorLister& Lister) {
  if (Audio) {
    Names.push_back(cNoCompressing);
    Monikers.push_back(nullptr);
  }
  Lister(Audio, &Names, &Monikers);
}

int FindCompressor(const std::vector<std::string>& Names, const TMonikerList& Monikers, const std::string& Name) {
  for (size_t i = 0; i < Names.size() && i < Monikers.size(); ++i)
    if ((Monikers[i] && Monikers[i]->EncoderName() == Name) || LowerASCII(Names[i]) == LowerASCII(Name))
      return static_cast<int>(i);
  return -1;
}

}  // namespace rw
