#include "core/ProductInfo.h"

namespace rw {

const TProductInfo& ProductInfo() {
  static const TProductInfo info{
      "Reelwright",
      "2.00",
      "\\Software\\Kestrova\\reelwright",
      "https://kestrova.example/reelwright/",
      "https://kestrova.example/contacts/",
      "Copyright (c) 2026 Kestrova. Free to use and to share.",
  };
  return info;
}

}  // namespace rw
