#pragma once
// How a source of another frame size is fitted into the frame of a recompressing join: one
// table of the methods with the join options' item text and the command line's word, in the
// order the join options offer them.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace rw {

enum TResizeMethod : uint8_t { rmStretch = 0, rmCrop = 1, rmLetterbox = 2, rmNoResize = 3 };

struct TResizeMethodEntry {
  const char* Item;  // the join options' item
  const char* Word;  // the command line's --resize value
  TResizeMethod Method;
};

inline constexpr TResizeMethodEntry ResizeMethods[] = {
    {"Letterbox", "letterbox", rmLetterbox},
    {"Crop", "crop", rmCrop},
    {"Stretch", "stretch", rmStretch},
    {"No resize", "none", rmNoResize},
};
inline constexpr int riLetterbox = 0;
inline constexpr int riNoResize = 3;

// The items of the join options' resize-method list.
inline std::vector<std::string> ResizeMethodItems() {
  std::vector<std::string> items;
  for (const TResizeMethodEntry& e : ResizeMethods) items.emplace_back(e.Item);
  return items;
}

// The method of an item of that list; none for no selection or an index beyond the list.
inline std::optional<TResizeMethod> ResizeMethodOfItem(int ItemIndex) {
  if (ItemIndex < 0 || ItemIndex >= static_cast<int>(std::size(ResizeMethods))) return {};
  return ResizeMethods[ItemIndex].Method;
}

// The method of a command-line word (any case); none when it names none.
inline std::optional<TResizeMethod> ResizeMethodOfWord(const std::string& Word) {
  for (const TResizeMethodEntry& e : ResizeMethods)
    if (LowerASCII(Word) == e.Word) return e.Method;
  return {};
}

}  // namespace rw
