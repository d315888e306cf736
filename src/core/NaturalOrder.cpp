#include "core/NaturalOrder.h"

#include <algorithm>

namespace rw {

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

char Lower(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

// The run at Pos: the digits there, or the text up to the next digit.
std::string_view RunAt(std::string_view S, size_t Pos) {
  const bool digits = IsDigit(S[Pos]);
  size_t end = Pos;
  while (end < S.size() && IsDigit(S[end]) == digits) ++end;
  return S.substr(Pos, end - Pos);
}

// Two digit runs by value: without leading zeros, the longer number is the larger one.
int CompareNumbers(std::string_view A, std::string_view B) {
  const std::string_view a = A.substr(std::min(A.find_first_not_of('0'), A.size()));
  const std::string_view b = B.substr(std::min(B.find_first_not_of('0'), B.size()));
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

}  // namespace

int CompareIgnoringCase(std::string_view A, std::string_view B) {
  const size_t n = std::min(A.size(), B.size());
  for (size_t i = 0; i < n; ++i) {
    const auto a = static_cast<unsigned char>(Lower(A[i]));
    const auto b = static_cast<unsigned char>(Lower(B[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

int NaturalCompare(std::string_view A, std::string_view B, const TTextCollation& Text) {
  size_t i = 0, j = 0;
  int tie = 0;  // the first pair of equal numbers written with different lengths
  while (i < A.size() && j < B.size()) {
    const std::string_view a = RunAt(A, i), b = RunAt(B, j);
    const bool aDigits = IsDigit(a.front()), bDigits = IsDigit(b.front());
    int order;
    if (aDigits && bDigits) {
      order = CompareNumbers(a, b);
      if (order == 0 && tie == 0 && a.size() != b.size()) tie = a.size() < b.size() ? -1 : 1;
    } else if (aDigits != bDigits) {
      // A number comes before text, as a digit sorts before letters.
      order = aDigits ? -1 : 1;
    } else {
      // Most runs that meet are the same folder or prefix: no collation needed.
      order = a == b ? 0 : Text(a, b);
      // A run that ends where the other goes on ends at a number: the other's next character
      // meets that number's first digit ("b.avi" before "b9.avi" before "ba.avi").
      const bool aShort = a.size() < b.size();
      const std::string_view shorter = aShort ? a : b, longer = aShort ? b : a;
      const bool numberFollows = aShort ? i + a.size() < A.size() : j + b.size() < B.size();
      if (order != 0 && a.size() != b.size() && numberFollows &&
          Text(longer.substr(0, shorter.size()), shorter) == 0) {
        const int rest = Text(longer.substr(shorter.size()), "0");
        if (rest != 0) order = aShort ? -rest : rest;
      }
    }
    if (order != 0) return order;
    i += a.size();
    j += b.size();
  }
  if (i < A.size() || j < B.size()) return i < A.size() ? 1 : -1;
  return tie;
}

void SortNatural(std::vector<std::string>& Names, const TTextCollation& Text) {
  std::stable_sort(Names.begin(), Names.end(), [&Text](const std::string& A, const std::string& B) {
    return NaturalCompare(A, B, Text) < 0;
  });
}

}  // namespace rw
