#pragma once
// The compressors of the media engine: the encoders of each media type that the AVI writer can
// carry. A moniker names one encoder; binding it gives an encoder object. Options set on an
// encoder object are kept by the encoder for the rest of the run, so every later binding of
// the same moniker (the join's included) sees them. The engine module does the work: the
// first enumerator loads it, and every call below raises rw::Exception when it cannot be.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineModule.h"

namespace rw {

class TCompressorFilter {
public:
  explicit TCompressorFilter(std::string EncoderName) : FEncoderName(std::move(EncoderName)) {}
  const std::string& EncoderName() const { return FEncoderName; }
  // Sets an encoder option (bit rate "b", quality "qscale", ...); ME_INVALIDARG when the
  // encoder has no such option or refuses the value.
  TMediaResult SetOption(const std::string& Name, const std::string& Value);
  TMediaResult GetOption(const std::string& Name, std::string& Value) const;
  // The options set so far, in the order they were first set.
  std::vector<std::pair<std::string, std::string>> Options() const;
  // The encoder's own options with their values in effect.
  TMediaResult ListOptions(std::vector<TCompressorOptionInfo>& List) const;
  // The largest frame size up to Width x Height the encoder takes: ME_OK when it takes it as
  // it is, ME_FALSE with the size changed and the reason in Why.
  TMediaResult FitFrameSize(int32_t& Width, int32_t& Height, std::string& Why) const;
  // Tries the encoder with a group's format (FPS: the video group's frame rate): ME_OK when it
  // makes a file that decodes, else a failure with the engine's reason.
  TMediaResult CheckFormat(const TMediaType& Type, double FPS) const;

private:
  std::string FEncoderName;
};

class TCompressorMoniker {
public:
  explicit TCompressorMoniker(std::string EncoderName) : FEncoderName(std::move(EncoderName)) {}
  // The property "FriendlyName": the encoder's long name.
  TMediaResult ReadFriendlyName(std::string& Name) const;
  // A new encoder object for this moniker.
  TMediaResult BindToObject(std::shared_ptr<TCompressorFilter>& Filter) const;
  const std::string& EncoderName() const { return FEncoderName; }

private:
  std::string FEncoderName;
};

using TCompressorMonikerPtr = std::shared_ptr<TCompressorMoniker>;

class TMonikerEnumerator {
public:
  explicit TMonikerEnumerator(std::vector<std::string> Names) : FNames(std::move(Names)) {}
  // The next moniker; ME_FALSE when there is none left.
  TMediaResult Next(TCompressorMonikerPtr& Moniker);

private:
  std::vector<std::string> FNames;
  size_t FNext = 0;
};

class TSystemDeviceEnum {
public:
  // Loads the media engine: raises rw::Exception with the reason when it cannot be loaded.
  static TMediaResult Create(std::unique_ptr<TSystemDeviceEnum>& Enum);
  // An enumerator over the category; ME_FALSE (and no enumerator) when the category is empty.
  TMediaResult CreateClassEnumerator(TCompressorCategory Category,
                                     std::unique_ptr<TMonikerEnumerator>& Enum) const;
  // The moniker of one encoder of the category, found without listing (and trying) the others;
  // ME_FALSE (and none) when the category's enumerator would not give it.
  TMediaResult FindMoniker(TCompressorCategory Category, const std::string& Encoder, TCompressorMonikerPtr& Moniker) const;
};

}  // namespace rw
