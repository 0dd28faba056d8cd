// Whether a new download may continue the temporary file an earlier run
// left, and which ranges it then fetches. Only the same address, the same
// length and the same validators the server gave then make a resume; every
// other case starts clean, which is always safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/download_journal.h"

namespace net {

// The file as the size probe just found it.
struct RemoteFile {
  std::string url;
  int64_t total = 0;
  RemoteValidators validators;
};

enum class ResumeVerdict : uint8_t { Resume, Clean };

struct ResumePlan {
  ResumeVerdict verdict = ResumeVerdict::Clean;
  const char* reason = "";       // why it starts clean, for the log
  std::vector<ByteSpan> ranges;  // what a resume fetches, one connection each
  int64_t present_bytes = 0;     // what a resume keeps
  std::string if_range;          // sent with every resumed range
};

// Missing pieces no larger than this are not split between connections.
inline constexpr int64_t kMinResumeSplitBytes = 512 * 1024;

// `temp_file_size`: the length of the temporary file on disk, -1 when there
// is none. A resume fetches the journal's missing spans over at most
// `connections` ranges: the largest span is split while connections are
// idle, and with more spans than connections the closest ones are joined
// (the few present bytes between them are fetched again).
[[nodiscard]] ResumePlan PlanResume(const std::optional<JournalRecord>& journal, const RemoteFile& remote,
                                    int64_t temp_file_size, int32_t connections);

}  // namespace net
