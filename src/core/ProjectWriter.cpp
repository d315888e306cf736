// Writes string literals the way the streaming system's text form does: quoted runs of printable
// characters, "#" codes for control characters and apostrophes, strings longer than one segment
// cut into 64-character segments joined by " +".
#include "core/ProjectText.h"

namespace rw {
namespace {

constexpr size_t LineLength = 64;
constexpr const char* EOL = "\r\n";

bool IsContinuation(unsigned char C) { return (C & 0xC0) == 0x80; }

// Length of the UTF-8 sequence a lead byte starts, 1 for anything that is not a lead byte.
size_t SequenceLength(unsigned char C) {
  if (C >= 0xF0 && C < 0xF8) return 4;
  if (C >= 0xE0) return C < 0xF0 ? 3 : 1;
  if (C >= 0xC0) return 2;
  return 1;
}

// End of the segment that starts at Start: LineLength bytes on, moved back to the start of a
// UTF-8 sequence that the cut would otherwise split.
size_t SegmentEnd(const std::string& S, size_t Start) {
  size_t end = Start + LineLength;
  if (end >= S.size()) return S.size();
  if (!IsContinuation(static_cast<unsigned char>(S[end]))) return end;
  size_t lead = end;
  while (lead > Start && end - lead < 3 && IsContinuation(static_cast<unsigned char>(S[lead])))
    --lead;
  if (lead > Start && lead + SequenceLength(static_cast<unsigned char>(S[lead])) > end) return lead;
  return end;
}

void WriteLiteral(std::string& Out, const std::string& S, const std::string& Indent) {
  if (S.empty()) {
    Out += "''";
    return;
  }
  if (S.size() > LineLength) {
    Out += EOL;
    Out += Indent;
  }
  size_t i = 0;
  while (i < S.size()) {
    const size_t end = SegmentEnd(S, i);
    bool quoted = false;
    for (; i < end; ++i) {
      const unsigned char c = static_cast<unsigned char>(S[i]);
      if (c >= 32 && c != '\'') {
        if (!quoted) Out += '\'';
        quoted = true;
        Out += static_cast<char>(c);
      } else {
        if (quoted) Out += '\'';
        quoted = false;
        Out += '#';
        Out += std::to_string(c);
      }
    }
    if (quoted) Out += '\'';
    if (i < S.size()) {
      Out += " +";
      Out += EOL;
      Out += Indent;
    }
  }
}

void WriteList(std::string& Out, const char* Property, const std::vector<std::string>& Items) {
  if (Items.empty()) return;
  Out += "  ";
  Out += Property;
  Out += " = (";
  Out += EOL;
  for (size_t i = 0; i < Items.size(); ++i) {
    Out += "    ";
    WriteLiteral(Out, Items[i], "      ");
    if (i + 1 == Items.size()) Out += ')';
    Out += EOL;
  }
}

std::string CutText(const TPictureCut& Cut) {
  if (Cut.Whole()) return "";
  return std::to_string(Cut.In) + "-" +
         (Cut.Out == TPictureCut::ToEnd ? std::string() : std::to_string(Cut.Out));
}

}  // namespace

std::string WriteProjectText(const std::vector<std::string>& Files,
                             const std::vector<TPictureCut>& Cuts) {
  std::string out = "object TProjectSettings";
  out += EOL;
  WriteList(out, "Files.Strings", Files);
  // Only a project with a cut file has the second list: without, it is the names alone.
  bool cut = false;
  for (size_t i = 0; i < Files.size() && i < Cuts.size(); ++i) cut = cut || !Cuts[i].Whole();
  if (cut) {
    std::vector<std::string> cuts(Files.size());
    for (size_t i = 0; i < Files.size() && i < Cuts.size(); ++i) cuts[i] = CutText(Cuts[i]);
    WriteList(out, "Cuts.Strings", cuts);
  }
  out += "end";
  out += EOL;
  return out;
}

}  // namespace rw
