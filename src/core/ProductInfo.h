#pragma once
// The few facts that identify the product to the rest of the program.
#include <string>

namespace rw {

struct TProductInfo {
  std::string Title;
  std::string Version;
  std::string RegKey;
  std::string SiteURL;
  std::string ContactsURL;
  std::string Notice;
};

// Filled once, before any window exists.
const TProductInfo& ProductInfo();

}  // namespace rw
