// The bar's percentage during a transfer: bytes of verified transfers plus
// the current one over the byte count that 100 % stands for.
#pragma once

#include <cstdint>
#include <optional>

namespace install {

// nullopt when the report carries no size yet (nothing changes on screen);
// 0 when no total is known; never above 100 (a file larger than announced).
[[nodiscard]] std::optional<int> DownloadPercent(uint64_t bytes_done, uint64_t downloaded, uint64_t report_total,
                                                 uint64_t bytes_total);

}  // namespace install
