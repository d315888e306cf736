#pragma once
// The encoders the engine offers as compressors: those of each media type that the AVI writer
// can carry, without hardware wrappers, and the options the user set on each, kept per encoder
// name for the rest of the process so that the join's encoder gets them.
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineModule.h"

namespace rw {

std::vector<std::string> ListEncoders(TCompressorCategory Category);
// ME_OK when the encoder is one ListEncoders lists (ME_NOCODEC when it is not of the category
// or not offered at all); raises EMediaEngineError with the reason when its try fails.
TMediaResult CheckListed(TCompressorCategory Category, const std::string& Encoder);
TMediaResult EncoderLongName(const std::string& Encoder, std::string& Name);

// Sets an option of the encoder: ME_NOINTERFACE when it has no such option, ME_INVALIDARG when
// it refuses the value; Said gets what the library said about it.
TMediaResult SetEncoderOption(const std::string& Encoder, const std::string& Name, const std::string& Value,
                              std::string& Said);
TMediaResult GetEncoderOption(const std::string& Encoder, const std::string& Name, std::string& Value);
// The options set so far, in the order they were first set.
std::vector<std::pair<std::string, std::string>> KeptEncoderOptions(const std::string& Encoder);
// The encoder's own options with their values in effect.
TMediaResult ListEncoderOptions(const std::string& Encoder, std::vector<TCompressorOptionInfo>& List);

}  // namespace rw
