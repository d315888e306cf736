#pragma once
// The installed compressors as the join options list them: display names for the user and
// monikers from which a compressor object is made for a join.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/CompressorRegistry.h"

namespace rw {

using TMonikerList = std::vector<TCompressorMonikerPtr>;

// Appends the video (Audio false) or audio compressors to Names and Monikers, in step; either
// may be absent. Raises "DirectShow Error: ..." only when the device enumerator cannot be made.
void EnumCompressors(bool Audio, std::vector<std::string>* Names, TMonikerList* Monikers);

// The compressor object of entry Index, or none for an index outside the list, an empty entry
// (the audio list's "No-compressing") or a moniker that cannot be bound. Every call binds a new
// object.
std::shared_ptr<TCompressorFilter> GetCompressorFilter(const TMonikerList& List, int Index);

// Lists the video (Audio false) or audio compressors: names and monikers in step.
using TCompressorLister =
    std::function<void(bool Audio, std::vector<std::string>* Names, TMonikerList* Monikers)>;

// The first entry of every audio list: sound written as PCM, no compressor.
inline constexpr const char* cNoCompressing = "No-compressing";

// The entries a join offers, appended to Names and Monikers: for sound "No-compressing" first
// (an empty moniker), then what Lister lists. A failure of Lister is raised after the entries
// listed so far were kept.
void ListJoinCompressors(bool Audio, std::vector<std::string>& Names, TMonikerList& Monikers,
                         const TCompressorLister& Lister = EnumCompressors);

// Index of the entry named Name: its encoder name, or its display name in any case; -1 when
// there is none.
int FindCompressor(const std::vector<std::string>& Names, const TMonikerList& Monikers, const std::string& Name);

}  // namespace rw
