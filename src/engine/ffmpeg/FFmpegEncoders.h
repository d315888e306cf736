#pragma once
// The encoders the engine offers as compressors: those of each kind that the AVI writer can
// carry and players play, without hardware wrappers, each tried with the listing's format
// before it is offered; and the options the user set on each, kept per encoder name for the
// rest of the process so that the render gets them. Raises EMediaEngineError.
#include <string>
#include <vector>

#include "engine/MediaEngine.h"

namespace rw {

std::vector<TCompressorEntry> ListEncoders(TMediaKind Kind);
// Tries the encoder with the format and the options kept for it; raises why it does not work,
// also when the listing of the format's kind would not offer it.
void CheckListedEncoder(const std::string& Encoder, const TCompressorFormat& Format);

void SetEncoderOption(const std::string& Encoder, const std::string& Name,
                      const std::string& Value);
std::string GetEncoderOption(const std::string& Encoder, const std::string& Name);
// The options set so far, in the order they were first set.
TOptionList KeptEncoderOptions(const std::string& Encoder);
// The encoder's own options with their values in effect.
std::vector<TCompressorOptionInfo> ListEncoderOptions(const std::string& Encoder);

}  // namespace rw
