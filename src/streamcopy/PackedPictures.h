#pragma once
// Unpacks "packed bitstream" MPEG-4 Visual as a copy writes it: some writers put a P (or I)
// picture and the B picture after it in one chunk and a placeholder of a few bytes (a
// not-coded picture) in the next, so that a decoder holds the B picture back until the next
// chunk. At a join point the next chunk is another file's key frame and decoders drop the held
// picture. Unpacked, every chunk holds one picture: the B picture takes the placeholder's place,
// and the writer's "DivX...p" mark, which tells decoders to expect packing, loses its "p".
#include <cstdint>
#include <functional>
#include <vector>

namespace rw {

class TPictureUnpacker {
public:
  using TEmit = std::function<void(const uint8_t* Data, uint32_t Size, bool KeyFrame)>;

  // Unpacks when Enabled (the stream is MPEG-4 Visual); else passes every chunk on as it is.
  explicit TPictureUnpacker(bool Enabled) : FEnabled(Enabled) {}

  // Whether a chunk holds more than one picture.
  static bool IsPacked(const uint8_t* Data, uint32_t Size);

  // One chunk of the source's pictures: passes on the chunks that take its place (one, or two
  // where a held picture had no placeholder to go into).
  void Put(const uint8_t* Data, uint32_t Size, bool KeyFrame, const TEmit& Emit);
  // The source ends: a picture still held (its last chunk was packed) becomes a chunk of its
  // own.
  void Finish(const TEmit& Emit);

private:
  bool FEnabled;
  bool FHolding = false;
  std::vector<uint8_t> FHeld;   // the held B picture
  std::vector<uint8_t> FFirst;  // the chunk's first picture, its mark changed
};

}  // namespace rw
