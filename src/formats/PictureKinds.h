#pragma once
// Whether a compressed picture can be decoded on its own (a key frame), told from its own bytes
// for the codecs whose pictures say so cheaply: MPEG-4 Visual (ASP) by the coding type of its first
// video object plane, H.264 by its first slice (an IDR slice or not), MS MPEG-4 v3 by its picture
// type, MJPEG and uncompressed pictures always. For use where no index gives the flags (a source
// read by walking its data).
#include <cstdint>
#include <optional>

namespace rw {

// Compression is the bitmap header's compression field (0 for uncompressed RGB). Nothing when
// the codec is not one of those above. A picture whose bytes do not show what it is (empty, or
// without a picture header) is no key frame.
std::optional<bool> KeyFrameOfPicture(uint32_t Compression, const uint8_t* Data, uint32_t Size);

// Whether a chunk holds a picture shown before one that precedes it in the stream (a B
// picture: of MPEG-4 Visual any video object plane of that type, of H.264 the first slice), so
// that the pictures up to the chunk before it are not all the pictures shown up to there.
// False for codecs whose pictures are shown in stream order or do not say.
bool ReorderedPicture(uint32_t Compression, const uint8_t* Data, uint32_t Size);

}  // namespace rw
