#include "install/download_progress.h"

namespace install {

std::optional<int> DownloadPercent(uint64_t bytes_done, uint64_t downloaded, uint64_t report_total,
                                   uint64_t bytes_total) {
  if (report_total == 0) return std::nullopt;
  if (bytes_total == 0) return 0;
  const uint64_t done = bytes_done + downloaded;
  // Divided first when large, so the product cannot overflow 64 bits.
  const uint64_t percent = done > UINT64_MAX / 100 ? done / (bytes_total / 100 + 1) : done * 100 / bytes_total;
  return percent > 100 ? 100 : static_cast<int>(percent);
}

}  // namespace install
