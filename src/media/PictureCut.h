#pragma once
// The part of a source that a join keeps: its pictures In to Out, both included, counted from 0
// by their place in the video stream (an empty chunk is a picture too: it holds its slot). The
// sound kept is the sound that plays with those pictures.
#include <cstdint>
#include <limits>
#include <string>

namespace rw {

struct TPictureCut {
  // Out of a cut that keeps the source to its last picture.
  static constexpr uint32_t ToEnd = std::numeric_limits<uint32_t>::max();

  uint32_t In = 0;
  uint32_t Out = ToEnd;

  // Keeps every picture.
  bool Whole() const { return In == 0 && Out == ToEnd; }
  // The pictures kept of a source of Count pictures (0 when the cut lies past its end).
  uint32_t KeptOf(uint32_t Count) const {
    const uint32_t last = Out < Count ? Out : Count - 1;
    return Count == 0 || In > last ? 0 : last - In + 1;
  }
  friend bool operator==(const TPictureCut& A, const TPictureCut& B) {
    return A.In == B.In && A.Out == B.Out;
  }
  friend bool operator!=(const TPictureCut& A, const TPictureCut& B) { return !(A == B); }
};

// Why a cut keeps nothing of the file FileName of Pictures pictures.
inline std::string CutPastEndText(const std::string& FileName, uint32_t Pictures) {
  return "The cut of the file " + FileName + " starts past its last picture (it has " +
         std::to_string(Pictures) + " pictures, numbered from 0)";
}

}  // namespace rw
