#include "support/MediaCheck.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TempDir.h"

namespace rw::test {

namespace {
std::string Quote(const std::string& S) { return "'" + S + "'"; }
}  // namespace

std::map<std::string, int> ProbePacketCounts(const std::string& FileName) {
  std::string out;
  RunCommand(
      "ffprobe -v error -count_packets -show_entries stream=codec_type,nb_read_packets "
      "-of csv=p=0 " +
          Quote(FileName),
      &out);
  std::map<std::string, int> counts;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    // A stream without packets may be reported as "N/A".
    std::string n = line.substr(comma + 1);
    counts[line.substr(0, comma)] +=
        std::isdigit(static_cast<unsigned char>(n[0])) ? std::stoi(n) : 0;
  }
  return counts;
}

std::string DecodeErrors(const std::string& FileName) {
  std::string out;
  int rc = RunCommand("ffmpeg -nostdin -v error -i " + Quote(FileName) + " -f null - 2>&1", &out);
  if (rc != 0) out += "[ffmpeg exit " + std::to_string(rc) + "]";
  return out;
}

uint32_t U32At(const std::string& Bytes, uint64_t Offset) {
  if (Offset + 4 > Bytes.size()) throw std::out_of_range("read past the end");
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(Bytes[Offset + i]);
  return v;
}

uint64_t U64At(const std::string& Bytes, uint64_t Offset) {
  return U32At(Bytes, Offset) | (static_cast<uint64_t>(U32At(Bytes, Offset + 4)) << 32);
}

std::vector<TRiffChunk> ListChunks(const std::string& Bytes, uint64_t Begin, uint64_t End) {
  std::vector<TRiffChunk> chunks;
  uint64_t pos = Begin;
  while (pos + 8 <= End && pos + 8 <= Bytes.size()) {
    TRiffChunk c;
    c.Id = Bytes.substr(pos, 4);
    c.Offset = pos;
    c.Size = U32At(Bytes, pos + 4);
    if ((c.Id == "RIFF" || c.Id == "LIST") && pos + 12 <= Bytes.size())
      c.ListType = Bytes.substr(pos + 8, 4);
    chunks.push_back(c);
    pos += 8 + static_cast<uint64_t>(c.Size) + (c.Size & 1u);
  }
  return chunks;
}

std::vector<TRiffChunk> ListChunks(const std::string& Bytes, const TRiffChunk& Container) {
  return ListChunks(Bytes, Container.DataPos() + 4, Container.DataPos() + Container.Size);
}

TRiffChunk FindChunk(const std::vector<TRiffChunk>& Chunks, const std::string& Id,
                     const std::string& ListType) {
  for (const TRiffChunk& c : Chunks)
    if (c.Id == Id && (ListType.empty() || c.ListType == ListType)) return c;
  throw std::runtime_error("chunk not found: " + Id + " " + ListType);
}

std::vector<TRiffChunk> ListTopLevel(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  in.seekg(0, std::ios::end);
  auto size = static_cast<uint64_t>(in.tellg());
  std::vector<TRiffChunk> chunks;
  uint64_t pos = 0;
  while (pos + 12 <= size) {
    std::string h(12, '\0');
    in.seekg(static_cast<std::streamoff>(pos));
    in.read(h.data(), 12);
    TRiffChunk c;
    c.Id = h.substr(0, 4);
    c.Offset = pos;
    c.Size = U32At(h, 4);
    if (c.Id == "RIFF" || c.Id == "LIST") c.ListType = h.substr(8, 4);
    chunks.push_back(c);
    pos += 8 + static_cast<uint64_t>(c.Size) + (c.Size & 1u);
  }
  return chunks;
}

}  // namespace rw::test
