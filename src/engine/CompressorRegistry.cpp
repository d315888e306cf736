#include "engine/CompressorRegistry.h"

#include "engine/EngineLoader.h"

namespace rw {

TMediaResult TCompressorFilter::SetOption(const std::string& Name, const std::string& Value) {
  return MediaEngine().SetEncoderOption(FEncoderName, Name, Value);
}

TMediaResult TCompressorFilter::GetOption(const std::string& Name, std::string& Value) const {
  return MediaEngine().GetEncoderOption(FEncoderName, Name, Value);
}

std::vector<std::pair<std::string, std::string>> TCompressorFilter::Options() const {
  std::vector<std::pair<std::string, std::string>> options;
  MediaEngine().KeptEncoderOptions(FEncoderName, options);
  return options;
}

TMediaResult TCompressorFilter::ListOptions(std::vector<TCompressorOptionInfo>& List) const {
  return MediaEngine().ListEncoderOptions(FEncoderName, List);
}

TMediaResult TCompressorFilter::FitFrameSize(int32_t& Width, int32_t& Height, std::string& Why) const {
  return MediaEngine().FitFrameSize(FEncoderName, Width, Height, Why);
}

TMediaResult TCompressorFilter::CheckFormat(const TMediaType& Type, double FPS) const {
  return MediaEngine().CheckEncoder(FEncoderName, Type, FPS);
}

TMediaResult TCompressorMoniker::ReadFriendlyName(std::string& Name) const {
  return MediaEngine().EncoderLongName(FEncoderName, Name);
}

TMediaResult TCompressorMoniker::BindToObject(std::shared_ptr<TCompressorFilter>& Filter) const {
  Filter.reset();
  std::string name;
  const TMediaResult r = MediaEngine().EncoderLongName(FEncoderName, name);
  if (r != ME_OK) return r;
  Filter = std::make_shared<TCompressorFilter>(FEncoderName);
  return ME_OK;
}

TMediaResult TMonikerEnumerator::Next(TCompressorMonikerPtr& Moniker) {
  Moniker.reset();
  if (FNext >= FNames.size()) return ME_FALSE;
  Moniker = std::make_shared<TCompressorMoniker>(FNames[FNext++]);
  return ME_OK;
}

TMediaResult TSystemDeviceEnum::Create(std::unique_ptr<TSystemDeviceEnum>& Enum) {
  MediaEngine();
  Enum = std::make_unique<TSystemDeviceEnum>();
  return ME_OK;
}

TMediaResult TSystemDeviceEnum::CreateClassEnumerator(TCompressorCategory Category,
                                                      std::unique_ptr<TMonikerEnumerator>& Enum) const {
  Enum.reset();
  std::vector<std::string> names;
  const TMediaResult r = MediaEngine().ListEncoders(Category, names);
  if (r != ME_OK) return r;
  Enum = std::make_unique<TMonikerEnumerator>(std::move(names));
  return ME_OK;
}

TMediaResult TSystemDeviceEnum::FindMoniker(TCompressorCategory Category, const std::string& Encoder,
                                           TCompressorMonikerPtr& Moniker) const {
  Moniker.reset();
  const TMediaResult r = MediaEngine().IsListed(Category, Encoder);
  if (r == ME_OK) Moniker = std::make_shared<TCompressorMoniker>(Encoder);
  return r;
}

}  // namespace rw
