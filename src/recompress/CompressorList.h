#pragma once
// The installed compressors as the join options list them: display names for the user and
// monikers from which a compressor object is made for a join.
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

}  // namespace rw
