// The journal of an unfinished download, kept beside its temporary file:
// which file it is (address, length, the server's validators) and which of
// its bytes are still missing. A later run for the same, unchanged file then
// fetches only those. The format is our own small text with a version and a
// checksum; a journal that does not read back exactly is ignored, never
// trusted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace net {

// Bytes first..last of a file, both inclusive.
struct ByteSpan {
  int64_t first = 0;
  int64_t last = -1;
  [[nodiscard]] int64_t Length() const { return last - first + 1; }
  bool operator==(const ByteSpan&) const = default;
};

// What the server said identifies this version of the file.
struct RemoteValidators {
  std::string etag;           // as sent, quotes and a weak "W/" included
  std::string last_modified;  // the HTTP date as sent
  // The If-Range value: the ETag when it is strong, else Last-Modified (a
  // weak ETag cannot promise the same bytes); empty when neither is there.
  [[nodiscard]] std::string IfRangeValue() const;
  bool operator==(const RemoteValidators&) const = default;
};

struct JournalRecord {
  std::string url;
  int64_t total = 0;
  RemoteValidators validators;
  std::vector<ByteSpan> missing;  // ascending, disjoint, inside [0, total)
  [[nodiscard]] int64_t PresentBytes() const;
  bool operator==(const JournalRecord&) const = default;
};

// Bounds of a journal: anything larger is not ours.
inline constexpr size_t kJournalMaxBytes = 64 * 1024;
inline constexpr size_t kJournalMaxUrl = 8 * 1024;
inline constexpr size_t kJournalMaxValidator = 256;
inline constexpr size_t kJournalMaxSpans = 256;

// Empty when the record cannot be written faithfully (a value with a line
// break or a NUL, a value or span list over the bounds, spans out of order).
[[nodiscard]] std::string EncodeJournal(const JournalRecord& record);
// nullopt for anything but an intact journal of this version.
[[nodiscard]] std::optional<JournalRecord> DecodeJournal(std::string_view bytes);

// The journal file of one temporary file: "<temporary file>.journal".
class DownloadJournal {
 public:
  DownloadJournal() = default;  // no file: loads nothing, saves nothing
  explicit DownloadJournal(const std::wstring& temp_path);

  [[nodiscard]] const std::wstring& path() const { return path_; }
  // nullopt when there is none or it is not intact.
  [[nodiscard]] std::optional<JournalRecord> Load() const;
  // Written whole beside the journal, flushed, then moved over it: a crash
  // leaves the old journal or the new one, never a mix.
  [[nodiscard]] bool Save(const JournalRecord& record);
  // The same, unless the last save was less than a second ago or this
  // record was saved last; true when nothing needed writing.
  [[nodiscard]] bool SaveIfDue(const JournalRecord& record);
  void Remove();

 private:
  std::wstring path_;
  std::string last_saved_;
  uint64_t last_save_ms_ = 0;
};

}  // namespace net
