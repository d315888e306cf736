#pragma once
// What a decoder must be set up with to read a stream's pictures, told from the stream's own
// bytes. Two streams of one codec family with the same set-up are read one after the other by
// one decoder, whatever four-character code each carries.
#include <cstddef>
#include <cstdint>
#include <string>

namespace rw {

// The set-up of pictures of the bitmap header's compression field, from the bytes after the
// bitmap header (Extra) and the stream's first picture: for MPEG-4 Visual the video object
// layer's shape, interlacing, sprite or global motion, quantizer type, quarter-pel and chroma
// format; for H.264 how pictures are stored (start codes or lengths), profile, chroma format
// and bit depths. Empty for other codecs and when the bytes do not show it.
std::string DecoderSetup(uint32_t Compression, const uint8_t* Extra, size_t ExtraSize,
                         const uint8_t* Picture, size_t PictureSize);

}  // namespace rw
