#include "net/resume_plan.h"

#include <algorithm>

namespace net {
namespace {

ResumePlan Clean(const char* reason) {
  ResumePlan plan;
  plan.reason = reason;
  return plan;
}

// Joins the two neighbours with the smallest gap until `count` remain.
void JoinClosest(std::vector<ByteSpan>& spans, size_t count) {
  while (spans.size() > count && spans.size() > 1) {
    size_t best = 0;
    for (size_t i = 1; i + 1 < spans.size(); ++i) {
      if (spans[i + 1].first - spans[i].last < spans[best + 1].first - spans[best].last) best = i;
    }
    spans[best].last = spans[best + 1].last;
    spans.erase(spans.begin() + static_cast<std::ptrdiff_t>(best) + 1);
  }
}

// Halves the largest span while there are idle connections and it is worth it.
void SplitLargest(std::vector<ByteSpan>& spans, size_t count) {
  while (!spans.empty() && spans.size() < count) {
    const auto largest = std::max_element(spans.begin(), spans.end(),
                                          [](const ByteSpan& a, const ByteSpan& b) { return a.Length() < b.Length(); });
    if (largest->Length() < 2 * kMinResumeSplitBytes) return;
    const ByteSpan whole = *largest;
    const int64_t middle = whole.first + whole.Length() / 2;
    largest->last = middle - 1;
    spans.insert(largest + 1, ByteSpan{middle, whole.last});
  }
}

}  // namespace

ResumePlan PlanResume(const std::optional<JournalRecord>& journal, const RemoteFile& remote, int64_t temp_file_size,
                      int32_t connections) {
  if (!journal) return Clean("no intact journal");
  const std::string if_range = remote.validators.IfRangeValue();
  if (if_range.empty()) return Clean("the server names no validator for the file");
  if (journal->url != remote.url) return Clean("the journal is of another address");
  if (journal->total != remote.total) return Clean("the file's length changed");
  if (journal->validators != remote.validators) return Clean("the file changed on the server");
  if (temp_file_size != remote.total) return Clean("the temporary file is missing or of another length");
  if (connections < 1) return Clean("no connections");

  ResumePlan plan;
  plan.verdict = ResumeVerdict::Resume;
  plan.ranges = journal->missing;
  plan.present_bytes = journal->PresentBytes();
  plan.if_range = if_range;
  JoinClosest(plan.ranges, static_cast<size_t>(connections));
  SplitLargest(plan.ranges, static_cast<size_t>(connections));
  return plan;
}

}  // namespace net
