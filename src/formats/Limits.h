#pragma once
// The limits of what this program reads and writes: frame rates up to 1000 per second and
// frames up to 16384 pixels a side. Every layer checks against these.
#include <cstdint>

namespace rw {

// The most pictures per second a join makes.
inline constexpr double MaxFrameRate = 1000;
// The longest side of a frame, in pixels.
inline constexpr int32_t MaxFrameSide = 16384;

}  // namespace rw
