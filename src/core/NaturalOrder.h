#pragma once
// The order file managers show names in: runs of digits by their value ("part 2" before
// "part 10"), the text between them as the caller's collation compares it.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rw {

// Compares two texts without digits; negative, zero or positive.
using TTextCollation = std::function<int(std::string_view, std::string_view)>;

// Bytes compared with ASCII letters folded to lower case.
int CompareIgnoringCase(std::string_view A, std::string_view B);

// Negative when A comes before B, zero when they are equal, positive after. Digit runs of
// equal value ("007" and "7") tie until the rest of the names decides; then the shorter run
// comes first, so the order is total.
int NaturalCompare(std::string_view A, std::string_view B,
                   const TTextCollation& Text = CompareIgnoringCase);

// Sorts Names ascending in natural order; equal names keep their order.
void SortNatural(std::vector<std::string>& Names, const TTextCollation& Text = CompareIgnoringCase);

}  // namespace rw
