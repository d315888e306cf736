// Reads the textual object form of a project file. A small hand-written lexer and a flat parser:
// no recursion, every loop advances through the text, and nothing is allocated beyond the
// strings the text itself spells out.
#include <cstdint>

#include "core/ProjectText.h"
#include "platform/Errors.h"

namespace rw {
namespace {

[[noreturn]] void Corrupted() { throw Exception(SProjectCorrupted); }

// A name fits in the longest path the system takes; a longer one is damage.
void CheckNameLength(const std::string& Name) {
  if (Name.size() > MaxProjectNameBytes) Corrupted();
}

bool IsAlpha(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsHexDigit(char C) { return IsDigit(C) || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f'); }
int HexValue(char C) {
  if (IsDigit(C)) return C - '0';
  return (C | 0x20) - 'a' + 10;
}

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if ((A[i] | 0x20) != (B[i] | 0x20) || IsAlpha(A[i]) != IsAlpha(B[i])) return false;
  return true;
}

enum class TToken { Eof, Identifier, String, Integer, Symbol };

class TProjectLexer {
public:
  explicit TProjectLexer(std::string_view Text) : FText(Text) {
    if (FText.substr(0, 3) == "\xEF\xBB\xBF") FPos = 3;
    Next();
  }

  TToken Kind() const { return FKind; }
  // Identifier text, the symbol, or the decoded string.
  const std::string& Text() const { return FValue; }
  int64_t Integer() const { return FInteger; }

  bool IsSymbol(char C) const { return FKind == TToken::Symbol && FValue[0] == C; }
  bool IsIdent(std::string_view Name) const {
    return FKind == TToken::Identifier && SameText(FValue, Name);
  }

  void Next() {
    SkipBlanks();
    FValue.clear();
    if (FPos >= FText.size()) {
      FKind = TToken::Eof;
      return;
    }
    const char c = FText[FPos];
    if (IsAlpha(c)) {
      const size_t start = FPos;
      while (FPos < FText.size() && (IsAlpha(FText[FPos]) || IsDigit(FText[FPos]))) ++FPos;
      FValue.assign(FText.substr(start, FPos - start));
      FKind = TToken::Identifier;
    } else if (c == '\'' || c == '#') {
      ReadString();
    } else if (IsDigit(c) || (c == '-' && FPos + 1 < FText.size() && IsDigit(FText[FPos + 1]))) {
      ReadInteger();
    } else if (c > ' ' && static_cast<unsigned char>(c) < 127) {
      FValue.assign(1, c);
      ++FPos;
      FKind = TToken::Symbol;
    } else {
      Corrupted();
    }
  }

private:
  void SkipBlanks() {
    while (FPos < FText.size() && FText[FPos] != '\0' &&
           static_cast<unsigned char>(FText[FPos]) <= ' ')
      ++FPos;
  }

  // Quoted runs and "#" codes with nothing between them.
  void ReadString() {
    FKind = TToken::String;
    while (FPos < FText.size()) {
      const char c = FText[FPos];
      if (c == '\'') {
        ++FPos;
        for (;;) {
          if (FPos >= FText.size()) Corrupted();
          const char q = FText[FPos++];
          if (q == '\0' || q == '\r' || q == '\n') Corrupted();
          if (q == '\'') {
            if (FPos < FText.size() && FText[FPos] == '\'') {
              FValue += '\'';
              ++FPos;
              continue;
            }
            break;
          }
          FValue += q;
          CheckNameLength(FValue);
        }
      } else if (c == '#') {
        ++FPos;
        FValue += static_cast<char>(ReadCharCode());
        CheckNameLength(FValue);
      } else {
        break;
      }
    }
  }

  // A decimal or "$" hexadecimal character code of 1 to 255.
  int ReadCharCode() {
    const bool hex = FPos < FText.size() && FText[FPos] == '$';
    if (hex) ++FPos;
    int value = 0;
    size_t digits = 0;
    while (FPos < FText.size() && (hex ? IsHexDigit(FText[FPos]) : IsDigit(FText[FPos]))) {
      value = value * (hex ? 16 : 10) + (hex ? HexValue(FText[FPos]) : FText[FPos] - '0');
      if (value > 255) Corrupted();
      ++FPos;
      ++digits;
    }
    // A file name never holds a NUL character.
    if (digits == 0 || value == 0) Corrupted();
    return value;
  }

  void ReadInteger() {
    const bool negative = FText[FPos] == '-';
    if (negative) ++FPos;
    int64_t value = 0;
    while (FPos < FText.size() && IsDigit(FText[FPos])) {
      value = value * 10 + (FText[FPos] - '0');
      if (value > INT32_MAX + int64_t{1}) Corrupted();
      ++FPos;
    }
    if (FPos < FText.size() && IsAlpha(FText[FPos])) Corrupted();
    if (!negative && value > INT32_MAX) Corrupted();
    FInteger = negative ? -value : value;
    FKind = TToken::Integer;
  }

  std::string_view FText;
  size_t FPos = 0;
  TToken FKind = TToken::Eof;
  std::string FValue;
  int64_t FInteger = 0;
};

void Expect(TProjectLexer& L, char Symbol) {
  if (!L.IsSymbol(Symbol)) Corrupted();
  L.Next();
}

std::string ExpectIdentifier(TProjectLexer& L) {
  if (L.Kind() != TToken::Identifier) Corrupted();
  std::string name = L.Text();
  L.Next();
  return name;
}

// One or more string tokens joined by "+".
std::string ReadStringValue(TProjectLexer& L) {
  if (L.Kind() != TToken::String) Corrupted();
  std::string value = L.Text();
  L.Next();
  while (L.IsSymbol('+')) {
    L.Next();
    if (L.Kind() != TToken::String) Corrupted();
    value += L.Text();
    CheckNameLength(value);
    L.Next();
  }
  return value;
}

std::vector<std::string> ReadStringList(TProjectLexer& L) {
  Expect(L, '(');
  std::vector<std::string> list;
  while (!L.IsSymbol(')')) {
    if (list.size() == MaxProjectFiles) Corrupted();
    list.push_back(ReadStringValue(L));
  }
  L.Next();
  return list;
}

// A cut as the writer spells it: "" (whole), "IN-" (to the end) or "IN-OUT", decimal picture
// numbers with IN not after OUT.
TPictureCut ParseCut(const std::string& Text) {
  TPictureCut cut;
  if (Text.empty()) return cut;
  size_t i = 0;
  auto number = [&](uint32_t& Value) {
    const size_t start = i;
    uint64_t value = 0;
    while (i < Text.size() && IsDigit(Text[i])) {
      value = value * 10 + static_cast<uint64_t>(Text[i++] - '0');
      if (value >= TPictureCut::ToEnd) Corrupted();
    }
    if (i == start) Corrupted();
    Value = static_cast<uint32_t>(value);
  };
  number(cut.In);
  if (i >= Text.size() || Text[i++] != '-') Corrupted();
  if (i < Text.size()) number(cut.Out);
  if (i != Text.size() || cut.In > cut.Out) Corrupted();
  return cut;
}

}  // namespace

std::vector<std::string> ReadProjectText(std::string_view Text) {
  return ReadProjectContents(Text).Files;
}

TProjectContents ReadProjectContents(std::string_view Text) {
  TProjectLexer lexer(Text);
  if (!lexer.IsIdent("object")) Corrupted();
  lexer.Next();
  ExpectIdentifier(lexer);
  if (lexer.IsSymbol(':')) {
    lexer.Next();
    ExpectIdentifier(lexer);
  }

  std::vector<std::string> files;
  std::vector<std::string> cuts;
  bool hasCuts = false;
  while (!lexer.IsIdent("end")) {
    if (lexer.IsIdent("object")) Corrupted();
    std::string property = ExpectIdentifier(lexer);
    while (lexer.IsSymbol('.')) {
      lexer.Next();
      property += '.' + ExpectIdentifier(lexer);
    }
    Expect(lexer, '=');
    if (SameText(property, "Files.Strings")) {
      files = ReadStringList(lexer);
    } else if (SameText(property, "Cuts.Strings")) {
      cuts = ReadStringList(lexer);
      hasCuts = true;
    } else if (SameText(property, "Name")) {
      ExpectIdentifier(lexer);
    } else if (SameText(property, "Tag")) {
      if (lexer.Kind() != TToken::Integer) Corrupted();
      lexer.Next();
    } else {
      Corrupted();
    }
  }
  lexer.Next();
  if (lexer.Kind() != TToken::Eof) Corrupted();
  TProjectContents contents;
  // The cuts are the files' own: one for each, or none.
  if (hasCuts) {
    if (cuts.size() != files.size()) Corrupted();
    for (const std::string& cut : cuts) contents.Cuts.push_back(ParseCut(cut));
  }
  contents.Files = std::move(files);
  return contents;
}

}  // namespace rw
