// A stream's headers: 'strh', 'strf' and the position of its OpenDML 'indx' chunk.
#include <algorithm>
#include <cstdint>

#include "media/AVIRead.h"

namespace rw {

namespace {
// Audio above this many units per second is sample-based: its chunk times follow from bytes.
constexpr double SampleBasedAudioRate = 500.0;
constexpr double MaxStartSeconds = 3600;
// Video properties: nine fixed fields, then 32 bytes per field description (one or two).
constexpr uint32_t VideoPropsMinSize = 36;
constexpr uint32_t VideoPropsMaxSize = 1024;
}  // namespace

TAVIStream::TAVIStream(TAVIFileReader& Reader, int64_t StrlPos, uint32_t StrlSize)
    : FReader(Reader), FStrlPos(StrlPos), FStrlSize(StrlSize) {}

uint16_t TAVIStream::FormatWord(uint32_t Offset) const {
  if (static_cast<uint64_t>(Offset) + 2 > Format.size()) return 0;
  return GetLE16(Format.data() + Offset);
}

uint32_t TAVIStream::FormatDWord(uint32_t Offset) const {
  if (static_cast<uint64_t>(Offset) + 4 > Format.size()) return 0;
  return GetLE32(Format.data() + Offset);
}

void TAVIStream::ReadHeaders(unsigned StreamIndex) {
  using TChunkInfo = TAVIFileReader::TChunkInfo;
  StreamId = StreamIdText(StreamIndex);
  const TAVIFileReader::TChunkList strl = FReader.ScanChunks(FStrlPos, FStrlSize);

  const TChunkInfo* strh = TAVIFileReader::FindChunk(strl, riff::ckStrh, 0);
  if (!strh) throw EAVIReadError("The stream header is not found");
  // 56 bytes from the chunk's start even when the chunk is shorter; past the file's end 0.
  uint8_t head[riff::StreamHeaderSize] = {};
  FReader.ReadAt(head, sizeof head, strh->DataPos);
  Header = LoadRecord<TAVIStreamHeader>(head);
  // A stream that starts more than an hour into the file by its own clock is a damaged field,
  // not a delay a file is made with: it starts at once, as players read it. Kept, it would be
  // copied to an output whose pictures a player then shows an hour or more late.
  if (Header.Scale != 0 && Header.Rate != 0 &&
      static_cast<double>(Header.Start) * Header.Scale / Header.Rate > MaxStartSeconds)
    Header.Start = 0;

  const TChunkInfo* strf = TAVIFileReader::FindChunk(strl, riff::ckStrf, 0);
  if (!strf) throw EAVIReadError("The stream format is not found");
  // The format is as long as its chunk, but never longer than what the file holds nor than
  // its stream list: formats of several streams never share the file's bytes.
  const int64_t strlEnd = FStrlPos + static_cast<int64_t>(FStrlSize) - 4;
  int64_t avail = std::min(FReader.FFileSize, strlEnd) - strf->DataPos;
  uint32_t size = strf->Size;
  if (avail < static_cast<int64_t>(size)) size = avail > 0 ? static_cast<uint32_t>(avail) : 0;
  Format.assign(size, '\0');
  Format.resize(FReader.ReadAt(Format.data(), size, strf->DataPos));

  const TChunkInfo* indx = TAVIFileReader::FindChunk(strl, riff::ckIndx, 0);
  FIndxPos = indx ? indx->DataPos - riff::ChunkHeaderSize : -1;
  VideoProps.clear();
  const TChunkInfo* vprp = TAVIFileReader::FindChunk(strl, riff::ckVprp, 0);
  if (vprp && vprp->Size >= VideoPropsMinSize && vprp->Size <= VideoPropsMaxSize) {
    VideoProps.assign(vprp->Size, '\0');
    if (FReader.ReadAt(VideoProps.data(), vprp->Size, vprp->DataPos) < vprp->Size)
      VideoProps.clear();
  }

  if (Header.Type == riff::streamAuds && Header.SampleSize == 0 && Header.Scale != 0 &&
      static_cast<double>(Header.Rate) / Header.Scale > SampleBasedAudioRate)
    Header.SampleSize = FormatWord(riff::WaveBlockAlignOffset);

  if (Header.Type == riff::streamVids) {
    Width = static_cast<int32_t>(FormatDWord(riff::BmpWidthOffset));
    if (Width == 0) Width = Header.Frame.right - Header.Frame.left;
    // A negative height marks a top-down bitmap; the frame is as high as its magnitude.
    const int64_t height = static_cast<int32_t>(FormatDWord(riff::BmpHeightOffset));
    Height = static_cast<int32_t>(height < 0 ? std::min<int64_t>(-height, INT32_MAX) : height);
    if (Height == 0) Height = Header.Frame.bottom - Header.Frame.top;
    // The handler always names the codec actually stored.
    Header.Handler = FormatDWord(riff::BmpCompressionOffset);
  }
}

}  // namespace rw
