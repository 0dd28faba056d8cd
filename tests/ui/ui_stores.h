// The process-wide stores as a wizard test needs them: the sample product
// configuration (with the test's keys in front, so they win) and its
// language files copied into a folder of the test, the English texts loaded,
// no launch parameters. Everything is cleared again at the end.
#pragma once

#include <map>
#include <string>

#include "test_support.h"

namespace ui_test {

class UiStores {
 public:
  explicit UiStores(const std::map<std::string, std::string>& config = {});
  ~UiStores();
  UiStores(const UiStores&) = delete;
  UiStores& operator=(const UiStores&) = delete;

  // Holds InitConfigure.ini, English.ini and Chinese.ini.
  [[nodiscard]] const std::wstring& folder() const { return folder_.path(); }

 private:
  test_support::TempFolder folder_;
};

// An uninstall entry of the product in the test registry: RegistryAddress
// and RegistryName point at it when given to UiStores.
struct InstalledProduct {
  explicit InstalledProduct(const std::wstring& version);
  [[nodiscard]] std::map<std::string, std::string> Config() const;
  test_support::TestRegistryKey address;
  std::wstring name;
};

}  // namespace ui_test
