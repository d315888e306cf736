#pragma once
// The installed compressors as the join options list them (the encoder's name and the name the
// user sees), and the compressor a join uses with its options. The media engine does the work:
// the first use loads it, and every call raises rw::Exception when it cannot be loaded.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/MediaEngine.h"

namespace rw {

// A chosen compressor. Options set on it are kept by the engine for the rest of the run, so
// that every later compressor of the same encoder (the join's included) has them. A failure of
// the engine raises "DirectShow Error: ...".
class TCompressorFilter {
public:
  explicit TCompressorFilter(std::string EncoderName) : FEncoderName(std::move(EncoderName)) {}
  const std::string& EncoderName() const { return FEncoderName; }
  // Sets an encoder option (bit rate "b", quality "qscale", ...); raises the engine's reason
  // alone when the encoder has no such option or refuses the value.
  void SetOption(const std::string& Name, const std::string& Value);
  std::string GetOption(const std::string& Name) const;
  // The options set so far, in the order they were first set.
  TOptionList Options() const;
  // The encoder's own options with their values in effect.
  std::vector<TCompressorOptionInfo> ListOptions() const;
  // The largest frame size up to Width x Height that the encoder takes, and why it differs.
  TFrameFit FitFrameSize(int32_t Width, int32_t Height) const;
  // Raises why the compressor does not make a file that decodes with the format.
  void CheckFormat(const TCompressorFormat& Format) const;

private:
  std::string FEncoderName;
};

// A list of compressors; an entry without a name is none ("No-compressing").
using TCompressorList = std::vector<TCompressorEntry>;

// The video (Audio false) or audio compressors, tried once per run.
TCompressorList EnumCompressors(bool Audio);

// The compressor of entry Index, or none for an index outside the list, an entry without a
// name (the audio list's "No-compressing") or an encoder the engine does not have. Every call
// makes a new object.
std::shared_ptr<TCompressorFilter> GetCompressorFilter(const TCompressorList& List, int Index);

using TCompressorLister = std::function<TCompressorList(bool Audio)>;

// The first entry of every audio list: sound written as PCM, no compressor.
inline constexpr const char* cNoCompressing = "No-compressing";

// The entries a join offers: for sound "No-compressing" first, then what Lister lists.
TCompressorList ListJoinCompressors(bool Audio, const TCompressorLister& Lister = EnumCompressors);

// The display names of the entries, in order.
std::vector<std::string> DisplayNames(const TCompressorList& List);

// Index of the entry named Name: its encoder's name, or its display name in any case; -1 when
// there is none.
int FindCompressor(const TCompressorList& List, const std::string& Name);

// What decides which compressors EnumCompressors lists: the media libraries' version and the
// engine module's file (name, size, modification time), so that a listing remembered under it
// is tried again after either changes. Loads the engine; raises when it cannot be loaded.
std::string CompressorListingKey();

// The compressor EnumCompressors would list for that encoder, found by trying that one alone;
// none when it would not list it, and then Refusal (when given) gets the engine's reason.
std::shared_ptr<TCompressorFilter> ListedCompressor(bool Audio, const std::string& Encoder,
                                                    std::string* Refusal = nullptr);

}  // namespace rw
