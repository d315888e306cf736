#pragma once
// Which of a file's streams a join reads: the first video stream and the first sound stream.
// Later streams of either kind are left out, by the reader, the file's description, the copy
// and the engine alike (players show the first ones too).

namespace rw {

// The index of the first of Count streams that IsKind(index) accepts; -1 when there is none.
template <class TIsKind>
int SourceStream(int Count, TIsKind IsKind) {
  for (int i = 0; i < Count; ++i)
    if (IsKind(i)) return i;
  return -1;
}

}  // namespace rw
