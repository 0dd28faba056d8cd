#include "net/release_status.h"

namespace net {

int32_t ReleaseNumber(const ReleaseStatus& status) {
  switch (status.cause) {
    case ReleaseCause::None: return 0;
    case ReleaseCause::NotQueried: return -1;
    case ReleaseCause::NoWorker: return 1;
    case ReleaseCause::Curl: return 100 + status.curl_code;
    case ReleaseCause::EmptyReply: return 2;
    case ReleaseCause::NotJson: return 3;
    case ReleaseCause::NoData: return 4;
    case ReleaseCause::NoMd5: return 5;
    case ReleaseCause::NoKillSwitch: return 7;
    case ReleaseCause::NoWriteLogSwitch: return 8;
    case ReleaseCause::NoCurNum: return 9;
    case ReleaseCause::NoDownload: return 6;
    case ReleaseCause::NoDownload2: return 10;
    case ReleaseCause::NoDownload3: return 11;
  }
  return -1;
}

}  // namespace net
