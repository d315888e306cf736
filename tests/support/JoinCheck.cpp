#include "support/JoinCheck.h"

#include <fstream>
#include <stdexcept>
#include <unistd.h>

#include "media/AVIRead.h"
#include "support/Fixtures.h"
#include "support/MediaCheck.h"
#include "support/RiffBuilder.h"
#include "support/TempDir.h"

namespace rw::test {

namespace {

void WriteAt(std::fstream& File, int64_t Position, const std::string& Bytes) {
  File.seekp(Position);
  File.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

}  // namespace

void TRecordingProgress::SetProgress(double Percent) {
  TProgressTracker::SetProgress(Percent);
  FLog.Percents.push_back(Percent);
  if (++FLog.Reports == FLog.CancelAt) Cancel();
  if (FLog.OnReport) FLog.OnReport(FLog.Reports);
}

void TRecordingProgress::ShowView() {
  ++FLog.Shows;
  FLog.Caption = Caption();
  FLog.Text = Text();
}

void TRecordingProgress::HideView() { ++FLog.Hides; }

std::vector<TChunkCopy> StreamChunks(const std::string& FileName, bool Video) {
  TAVIFileReader reader;
  reader.Open(FileName, false);
  const TAVIStream* s = Video ? reader.VideoStream() : reader.AudioStream();
  std::vector<TChunkCopy> chunks;
  if (!s) return chunks;
  for (uint32_t i = 0; i < s->ChunkCount(); ++i) {
    TAVIIndexEntry e;
    s->GetIndexEntry(i, e);
    TChunkCopy c;
    c.Data.resize(e.Size);
    if (!s->ReadChunk(i, c.Data.data())) throw std::runtime_error("short chunk in " + FileName);
    c.KeyFrame = e.KeyFrame;
    chunks.push_back(std::move(c));
  }
  return chunks;
}

bool ReadsAsOpenDML(const std::string& FileName) {
  TAVIFileReader reader;
  reader.Open(FileName, true);
  return reader.IsOpenDML();
}

void PadToSize(const std::string& FileName, int64_t Size) {
  std::fstream f(FileName, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(0, std::ios::end);
  int64_t end = f.tellg();
  if (Size - end < 8) throw std::runtime_error("no room for JUNK");
  std::string header = "JUNK";
  AppendLE32(header, static_cast<uint32_t>(Size - end - 8));
  WriteAt(f, end, header);
  std::string riffSize;
  AppendLE32(riffSize, static_cast<uint32_t>(Size - 8));
  WriteAt(f, 4, riffSize);
  f.close();
  if (::truncate(FileName.c_str(), Size) != 0) throw std::runtime_error("truncate failed");
}

void MakeSparseRawAVI(const std::string& FileName, int Frames) {
  constexpr uint32_t FrameBytes = 512 * 512 * 4;
  TAVIStreamHeader vh = VideoHeader(25, 1, 0);
  vh.Length = static_cast<uint32_t>(Frames);
  TAVIMainHeader mh;
  mh.MicroSecPerFrame = 40000;
  mh.Flags = riff::AVIF_HASINDEX;
  mh.TotalFrames = static_cast<uint32_t>(Frames);
  mh.Streams = 1;
  mh.Width = mh.Height = 512;
  std::string hdrl =
      List(riff::listHdrl,
           Chunk(riff::ckAvih, Bytes(mh)) +
               List(riff::listStrl, Chunk(riff::ckStrh, Bytes(vh)) +
                                        Chunk(riff::ckStrf, BitmapInfo(512, 512, 0, 32))));
  const int64_t moviPos = 12 + static_cast<int64_t>(hdrl.size());
  const int64_t moviSize = 4 + int64_t{Frames} * (8 + FrameBytes);
  const int64_t idx1Pos = moviPos + 8 + moviSize;
  const int64_t end = idx1Pos + 8 + 16 * int64_t{Frames};

  std::fstream f(FileName, std::ios::out | std::ios::binary | std::ios::trunc);
  std::string head = "RIFF";
  AppendLE32(head, static_cast<uint32_t>(end - 8));
  head += "AVI " + hdrl + "LIST";
  AppendLE32(head, static_cast<uint32_t>(moviSize));
  head += "movi";
  WriteAt(f, 0, head);
  std::string idx1 = "idx1";
  AppendLE32(idx1, 16 * static_cast<uint32_t>(Frames));
  for (int i = 0; i < Frames; ++i) {
    int64_t chunk = moviPos + 12 + int64_t{i} * (8 + FrameBytes);
    std::string h = "00db";
    AppendLE32(h, FrameBytes);
    WriteAt(f, chunk, h);
    idx1 += "00db";
    AppendLE32(idx1, riff::AVIIF_KEYFRAME);
    AppendLE32(idx1, static_cast<uint32_t>(chunk - (moviPos + 8)));
    AppendLE32(idx1, FrameBytes);
  }
  WriteAt(f, idx1Pos, idx1);
  if (!f) throw std::runtime_error("cannot write " + FileName);
}

void EditSoundHeader(const std::string& FileName,
                     const std::function<void(TAVIStreamHeader&, std::string&)>& Edit) {
  std::string bytes = ReadFileBytes(FileName);
  auto riffList = ListChunks(bytes, 0, bytes.size()).at(0);
  auto hdrl = FindChunk(ListChunks(bytes, riffList), "LIST", "hdrl");
  for (const auto& strl : ListChunks(bytes, hdrl)) {
    if (strl.ListType != "strl") continue;
    auto inside = ListChunks(bytes, strl);
    auto strh = FindChunk(inside, "strh"), strf = FindChunk(inside, "strf");
    auto header = LoadRecord<TAVIStreamHeader>(bytes.data() + strh.DataPos());
    if (header.Type != riff::streamAuds) continue;
    std::string format = bytes.substr(strf.DataPos(), strf.Size);
    Edit(header, format);
    StoreRecord(bytes.data() + strh.DataPos(), header);
    bytes.replace(strf.DataPos(), strf.Size, format);
    break;
  }
  WriteFileBytes(FileName, bytes);
}

}  // namespace rw::test
