#pragma once
// Result codes of the media engine. Every engine call returns one: 0 for success, 1 for
// "succeeded, nothing to report", and negative 32-bit codes (high bit set) for failures, in
// the layout of the platform's classic result codes so that callers can print them in
// hexadecimal.
#include <cstdint>

namespace rw {

using TMediaResult = int32_t;

constexpr TMediaResult ME_OK = 0;
// Success with information: an empty enumeration, the end of an enumeration.
constexpr TMediaResult ME_FALSE = 1;
// A wait that timed out.
constexpr TMediaResult ME_ABORT = static_cast<int32_t>(0x80004004u);
constexpr TMediaResult ME_FAIL = static_cast<int32_t>(0x80004005u);
// A call made in the wrong state (no timeline, no output file, already running...).
constexpr TMediaResult ME_UNEXPECTED = static_cast<int32_t>(0x8000FFFFu);
constexpr TMediaResult ME_INVALIDARG = static_cast<int32_t>(0x80070057u);
constexpr TMediaResult ME_OUTOFMEMORY = static_cast<int32_t>(0x8007000Eu);
// The object does not offer what was asked (no such group, no such option).
constexpr TMediaResult ME_NOINTERFACE = static_cast<int32_t>(0x80004002u);
// The media could not be read or holds no stream the engine can use.
constexpr TMediaResult ME_INVALIDMEDIA = static_cast<int32_t>(0x80040200u);
// No decoder or no encoder for a stream.
constexpr TMediaResult ME_NOCODEC = static_cast<int32_t>(0x80040201u);

// Event codes delivered by a finished render.
constexpr int32_t EC_COMPLETE = 1;
constexpr int32_t EC_USERABORT = 2;
constexpr int32_t EC_ERRORABORT = 3;

inline bool Succeeded(TMediaResult Result) { return Result >= 0; }

}  // namespace rw
