#include "toolkit/ico_file.h"

#include <cstdint>
#include <cstdlib>

namespace toolkit {

UniqueIcon IconFromIcoBytes(const std::string& bytes, int size) {
  if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0) return {};
  const int count = static_cast<uint8_t>(bytes[4]) | (static_cast<uint8_t>(bytes[5]) << 8);
  int best = -1;
  int best_distance = 1 << 30;
  for (int i = 0; i < count && 6 + 16 * (i + 1) <= static_cast<int>(bytes.size()); ++i) {
    const int width = static_cast<uint8_t>(bytes[6 + 16 * i]) == 0 ? 256 : static_cast<uint8_t>(bytes[6 + 16 * i]);
    const int distance = std::abs(width - size);
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
    }
  }
  if (best < 0) return {};
  const size_t entry = 6 + 16 * static_cast<size_t>(best);
  auto le32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
  };
  const uint32_t length = le32(entry + 8);
  const uint32_t offset = le32(entry + 12);
  if (length == 0 || offset > bytes.size() || length > bytes.size() - offset) return {};
  return UniqueIcon(::CreateIconFromResourceEx(reinterpret_cast<PBYTE>(const_cast<char*>(bytes.data() + offset)),
                                               length, TRUE, 0x00030000, size, size, LR_DEFAULTCOLOR));
}

}  // namespace toolkit
