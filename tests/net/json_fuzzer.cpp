// libFuzzer entry for the JSON reader, built natively with clang from the
// same source file as the product.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  net::JsonDocument document;
  if (document.Parse(std::string_view(reinterpret_cast<const char*>(data), size))) {
    if (const net::JsonValue* item = document.Root().Member("data")) (void)item->StringMember("md5");
  }
  return 0;
}
