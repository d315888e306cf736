#include "support/RiffBuilder.h"

#include <fstream>
#include <stdexcept>

namespace rw::test {

std::string Chunk(uint32_t Id, const std::string& Data) {
  std::string s;
  s.reserve(Data.size() + 9);
  AppendLE32(s, Id);
  AppendLE32(s, static_cast<uint32_t>(Data.size()));
  s += Data;
  if (Data.size() & 1) s += '\0';
  return s;
}

namespace {
std::string Container(uint32_t Id, uint32_t Type, const std::string& Contents) {
  std::string data;
  AppendLE32(data, Type);
  return Chunk(Id, data + Contents);
}
}  // namespace

std::string List(uint32_t ListType, const std::string& Contents) {
  return Container(riff::ckLIST, ListType, Contents);
}

std::string Riff(uint32_t FormType, const std::string& Contents) {
  return Container(riff::ckRIFF, FormType, Contents);
}

std::string Bytes(const TAVIMainHeader& Header) {
  std::string s(sizeof Header, '\0');
  StoreRecord(s.data(), Header);
  return s;
}

std::string Bytes(const TAVIStreamHeader& Header) {
  std::string s(sizeof Header, '\0');
  StoreRecord(s.data(), Header);
  return s;
}

namespace {
TAVIStreamHeader StreamHeader(uint32_t Type, uint32_t Rate, uint32_t Scale) {
  TAVIStreamHeader h;
  h.Type = Type;
  h.Rate = Rate;
  h.Scale = Scale;
  return h;
}
}  // namespace

TAVIStreamHeader VideoHeader(uint32_t Rate, uint32_t Scale, uint32_t Handler) {
  TAVIStreamHeader h = StreamHeader(riff::streamVids, Rate, Scale);
  h.Handler = Handler;
  return h;
}

TAVIStreamHeader AudioHeader(uint32_t Rate, uint32_t Scale, uint32_t SampleSize) {
  TAVIStreamHeader h = StreamHeader(riff::streamAuds, Rate, Scale);
  h.SampleSize = SampleSize;
  return h;
}

std::string BitmapInfo(int32_t Width, int32_t Height, uint32_t Compression, uint16_t BitCount) {
  std::string s;
  AppendLE32(s, riff::BmpHeaderSize);
  AppendLE32(s, static_cast<uint32_t>(Width));
  AppendLE32(s, static_cast<uint32_t>(Height));
  AppendLE16(s, 1);
  AppendLE16(s, BitCount);
  AppendLE32(s, Compression);
  s.append(20, '\0');
  return s;
}

std::string WaveFormat(uint16_t Tag, uint16_t Channels, uint32_t SampleRate, uint16_t Bits,
                       uint16_t BlockAlign) {
  std::string s;
  AppendLE16(s, Tag);
  AppendLE16(s, Channels);
  AppendLE32(s, SampleRate);
  AppendLE32(s, SampleRate * BlockAlign);
  AppendLE16(s, BlockAlign);
  AppendLE16(s, Bits);
  AppendLE16(s, 0);
  return s;
}

int TAVIBuilder::AddStream(const TAVIStreamHeader& Header, const std::string& Format) {
  TBuildStream s;
  s.Header = Header;
  s.Format = Format;
  StreamList.push_back(s);
  Main.Streams = static_cast<uint32_t>(StreamList.size());
  return static_cast<int>(StreamList.size()) - 1;
}

void TAVIBuilder::AddChunk(int Stream, uint32_t Size, bool KeyFrame) {
  ChunkList.push_back({Stream, std::string(Size, '\x5A'), KeyFrame});
}

void TAVIBuilder::AddChunkData(int Stream, const std::string& Data, bool KeyFrame) {
  ChunkList.push_back({Stream, Data, KeyFrame});
}

namespace {

bool IsVideo(uint32_t Type) { return Type == riff::streamVids || Type == riff::streamIavs; }

uint32_t ChunkIdOf(const TBuildStream& S, int Index) {
  std::string id =
      StreamIdText(static_cast<unsigned>(Index)) + (IsVideo(S.Header.Type) ? "dc" : "wb");
  return MakeFourCC(id[0], id[1], id[2], id[3]);
}

uint32_t IxIdOf(int Index) {
  std::string id = "ix" + StreamIdText(static_cast<unsigned>(Index));
  return MakeFourCC(id[0], id[1], id[2], id[3]);
}

// Positions learned in the first pass and used by the second.
struct TLayout {
  std::vector<int64_t> DataPos;               // per chunk
  std::vector<std::vector<int64_t>> IxPos;    // per stream, per standard index: chunk header
  std::vector<std::vector<uint32_t>> IxSize;  // total chunk size including header
  int64_t MoviTypePos = 0;                    // the 'movi' list type field
};

std::string StdIndexData(uint8_t Type, uint32_t EntriesInUse, uint32_t ChunkId, uint64_t Base,
                         const std::vector<std::pair<uint32_t, TBuildChunk>>& Entries) {
  std::string d;
  AppendLE16(d, 2);
  d += '\0';
  d += static_cast<char>(Type);
  AppendLE32(d, EntriesInUse);
  AppendLE32(d, ChunkId);
  AppendLE64(d, Base);
  AppendLE32(d, 0);
  for (const auto& [offset, c] : Entries) {
    AppendLE32(d, offset);
    uint32_t size = static_cast<uint32_t>(c.Data.size());
    AppendLE32(d, c.KeyFrame ? size : (size | riff::StdIndexNoKeyFrame));
  }
  return d;
}

class TAssembler {
public:
  TAssembler(const TAVIBuilder& B, const TLayout& Known) : FB(B), FKnown(Known) {}

  std::string Run(TLayout& Out) {
    const size_t ns = FB.StreamList.size();
    Out.IxPos.assign(ns, {});
    Out.IxSize.assign(ns, {});
    Out.DataPos.assign(FB.ChunkList.size(), 0);
    const bool odml = FB.Index == TIndexKind::OpenDML || FB.Index == TIndexKind::Both;

    std::string top;
    if (!FB.OmitHdrl) top += List(riff::listHdrl, Hdrl(odml));
    if (!FB.TopLevelJunk.empty()) top += Chunk(riff::ckJUNK, FB.TopLevelJunk);
    top += FB.TopLevelExtra;
    // Positions inside the file: 12 bytes of 'RIFF' header come first.
    const int64_t moviHeader = 12 + static_cast<int64_t>(top.size());
    Out.MoviTypePos = moviHeader + 8;
    if (!FB.OmitMovi) top += List(riff::listMovi, Movi(odml, Out));
    if (FB.Index == TIndexKind::Idx1Relative || FB.Index == TIndexKind::Idx1Absolute ||
        FB.Index == TIndexKind::Both)
      top += Chunk(riff::ckIdx1, Idx1());
    return Riff(riff::formAVI, top);
  }

private:
  std::vector<std::pair<uint32_t, TBuildChunk>> EntriesOf(int Stream, int Slice, uint64_t Base,
                                                          int Slices) const {
    std::vector<std::pair<uint32_t, TBuildChunk>> r;
    size_t total = 0;
    for (const auto& c : FB.ChunkList) total += c.Stream == Stream;
    size_t j = 0;
    for (size_t i = 0; i < FB.ChunkList.size(); ++i) {
      const TBuildChunk& c = FB.ChunkList[i];
      if (c.Stream != Stream) continue;
      if (static_cast<int>(j * static_cast<size_t>(Slices) / std::max<size_t>(total, 1)) == Slice)
        r.emplace_back(static_cast<uint32_t>(FKnown.DataPos.empty() ? 0 : FKnown.DataPos[i] - Base),
                       c);
      ++j;
    }
    return r;
  }

  std::string Indx(int Index) const {
    const TBuildStream& s = FB.StreamList[static_cast<size_t>(Index)];
    if (s.IndxIsStdIndex) {
      auto entries = EntriesOf(Index, 0, 0, 1);
      return StdIndexData(s.StdIndexType,
                          s.StdEntriesInUse.value_or(static_cast<uint32_t>(entries.size())),
                          ChunkIdOf(s, Index), 0, entries);
    }
    std::string d;
    AppendLE16(d, 4);
    d += '\0';
    d += static_cast<char>(s.SuperIndexType);
    const int listed = s.StdIndexes * s.SuperIndexCopies;
    AppendLE32(d, s.SuperEntriesInUse.value_or(static_cast<uint32_t>(listed)));
    AppendLE32(d, ChunkIdOf(s, Index));
    d.append(12, '\0');
    const size_t si = static_cast<size_t>(Index);
    for (int k = 0; k < listed; ++k) {
      const size_t part = static_cast<size_t>(k / s.SuperIndexCopies);
      const bool known = !FKnown.IxPos.empty() && part < FKnown.IxPos[si].size();
      AppendLE64(d, known ? static_cast<uint64_t>(FKnown.IxPos[si][part]) : 0);
      AppendLE32(d, known ? FKnown.IxSize[si][part] : 0);
      AppendLE32(d, 0);
    }
    return d;
  }

  std::string Hdrl(bool Odml) const {
    std::string h;
    if (!FB.OmitAvih) h += Chunk(riff::ckAvih, Bytes(FB.Main));
    for (size_t i = 0; i < FB.StreamList.size(); ++i) {
      const TBuildStream& s = FB.StreamList[i];
      std::string l;
      if (!s.OmitStrh) {
        std::string strh = Bytes(s.Header);
        if (s.StrhSize) strh.resize(*s.StrhSize);
        l += Chunk(riff::ckStrh, strh);
      }
      if (!s.OmitStrf) l += Chunk(riff::ckStrf, s.Format);
      if (Odml && !s.OmitIndx) l += Chunk(riff::ckIndx, Indx(static_cast<int>(i)));
      h += List(riff::listStrl, l);
    }
    return h + FB.HdrlExtra;
  }

  std::string Movi(bool Odml, TLayout& Out) const {
    std::string m;
    const int64_t base = Out.MoviTypePos;  // file position of m[0] is MoviTypePos + 4
    for (size_t i = 0; i < FB.ChunkList.size(); ++i) {
      const TBuildChunk& c = FB.ChunkList[i];
      Out.DataPos[i] = base + 4 + static_cast<int64_t>(m.size()) + 8;
      m += Chunk(ChunkIdOf(FB.StreamList[static_cast<size_t>(c.Stream)], c.Stream), c.Data);
    }
    if (!Odml) return m;
    for (size_t s = 0; s < FB.StreamList.size(); ++s) {
      const TBuildStream& st = FB.StreamList[s];
      if (st.OmitIndx || st.IndxIsStdIndex) continue;
      for (int k = 0; k < st.StdIndexes; ++k) {
        auto entries =
            EntriesOf(static_cast<int>(s), k, static_cast<uint64_t>(base), st.StdIndexes);
        std::string d = StdIndexData(
            st.StdIndexType, st.StdEntriesInUse.value_or(static_cast<uint32_t>(entries.size())),
            ChunkIdOf(st, static_cast<int>(s)), static_cast<uint64_t>(base), entries);
        Out.IxPos[s].push_back(base + 4 + static_cast<int64_t>(m.size()));
        Out.IxSize[s].push_back(static_cast<uint32_t>(d.size() + 8));
        m += Chunk(IxIdOf(static_cast<int>(s)), d);
      }
    }
    return m;
  }

  std::string Idx1() const {
    std::string d;
    const bool absolute = FB.Index == TIndexKind::Idx1Absolute;
    for (size_t i = 0; i < FB.ChunkList.size(); ++i) {
      const TBuildChunk& c = FB.ChunkList[i];
      const int64_t header = FKnown.DataPos.empty() ? 0 : FKnown.DataPos[i] - 8;
      AppendLE32(d, ChunkIdOf(FB.StreamList[static_cast<size_t>(c.Stream)], c.Stream));
      AppendLE32(d, c.KeyFrame ? riff::AVIIF_KEYFRAME : 0);
      AppendLE32(d, static_cast<uint32_t>(absolute ? header : header - FKnown.MoviTypePos));
      AppendLE32(d, static_cast<uint32_t>(c.Data.size()));
    }
    return d + FB.ExtraIdx1;
  }

  const TAVIBuilder& FB;
  const TLayout& FKnown;
};

}  // namespace

std::string TAVIBuilder::Build() const {
  TLayout none, first, second;
  TAssembler(*this, none).Run(first);
  std::string bytes = TAssembler(*this, first).Run(second);
  DataPositions = second.DataPos;
  return bytes;
}

void TAVIBuilder::Write(const std::string& FileName) const {
  std::string bytes = Build();
  std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + FileName);
}

TAVIBuilder SimpleAVI(int Frames, bool Audio, TIndexKind Index) {
  TAVIBuilder b;
  b.Index = Index;
  b.Main.MicroSecPerFrame = 40000;
  b.Main.Flags = riff::AVIF_HASINDEX;
  int v = b.AddStream(VideoHeader(25, 1), BitmapInfo(64, 48, FourCC("FMP4")));
  b.StreamList[0].Header.Length = static_cast<uint32_t>(Frames);
  int a = -1;
  if (Audio) a = b.AddStream(AudioHeader(44100, 1, 0), WaveFormat(1, 2, 44100, 16, 4));
  for (int i = 0; i < Frames; ++i) {
    b.AddChunk(v, 100 + static_cast<uint32_t>(i), i % 5 == 0);
    if (a >= 0) b.AddChunk(a, 1764);
  }
  return b;
}

}  // namespace rw::test
