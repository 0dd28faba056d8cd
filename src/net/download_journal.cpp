#include "net/download_journal.h"

#include "platform/file_io.h"
#include "platform/unique_resource.h"
#include "platform/windows_api.h"
#include "startup/log.h"

namespace net {
namespace {

constexpr std::string_view kMagic = "webinstaller-download-journal 1";
constexpr uint64_t kSaveIntervalMs = 1000;
constexpr int kMaxDigits = 19;  // every int64 file offset fits

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string Hex8(uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 0xF];
  return text;
}

bool IsWritableValue(std::string_view value, size_t max) {
  if (value.size() > max) return false;
  for (const char c : value) {
    if (c == '\n' || c == '\r' || c == '\0') return false;
  }
  return true;
}

bool SpansAreOrdered(const std::vector<ByteSpan>& spans, int64_t total) {
  int64_t next_free = 0;
  for (const ByteSpan& span : spans) {
    if (span.first < next_free || span.last < span.first || span.last >= total) return false;
    next_free = span.last + 1;
  }
  return true;
}

// Reads one line ("<tag> <value>" or a bare line) and moves past it; false
// when the text ends without a line break.
bool TakeLine(std::string_view& text, std::string_view& line) {
  const size_t end = text.find('\n');
  if (end == std::string_view::npos) return false;
  line = text.substr(0, end);
  text.remove_prefix(end + 1);
  return true;
}

// An empty value ("etag " with nothing after the blank) is a value too.
bool TakeTagged(std::string_view& text, std::string_view tag, std::string_view& value) {
  std::string_view line;
  if (!TakeLine(text, line) || line.substr(0, tag.size()) != tag || line.size() <= tag.size() ||
      line[tag.size()] != ' ') {
    return false;
  }
  value = line.substr(tag.size() + 1);
  return true;
}

// Plain decimal digits only: no sign, no blanks, no overflow.
bool ParseCount(std::string_view text, int64_t& value) {
  if (text.empty() || text.size() > kMaxDigits) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    const int digit = c - '0';
    if (value > (INT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

bool ParseSpan(std::string_view line, ByteSpan& span) {
  const size_t blank = line.find(' ');
  return blank != std::string_view::npos && ParseCount(line.substr(0, blank), span.first) &&
         ParseCount(line.substr(blank + 1), span.last);
}

uint64_t NowMs() { return ::GetTickCount64(); }

}  // namespace

std::string RemoteValidators::IfRangeValue() const {
  const bool strong_etag = etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
  if (strong_etag) return etag;
  return last_modified;
}

int64_t JournalRecord::PresentBytes() const {
  int64_t present = total;
  for (const ByteSpan& span : missing) present -= span.Length();
  return present;
}

std::string EncodeJournal(const JournalRecord& record) {
  if (record.total <= 0 || record.url.empty() || !IsWritableValue(record.url, kJournalMaxUrl) ||
      !IsWritableValue(record.validators.etag, kJournalMaxValidator) ||
      !IsWritableValue(record.validators.last_modified, kJournalMaxValidator) ||
      record.missing.size() > kJournalMaxSpans || !SpansAreOrdered(record.missing, record.total)) {
    return {};
  }
  std::string text;
  text.append(kMagic).append("\n");
  text.append("url ").append(record.url).append("\n");
  text.append("total ").append(std::to_string(record.total)).append("\n");
  text.append("etag ").append(record.validators.etag).append("\n");
  text.append("modified ").append(record.validators.last_modified).append("\n");
  text.append("missing ").append(std::to_string(record.missing.size())).append("\n");
  for (const ByteSpan& span : record.missing) {
    text.append(std::to_string(span.first)).append(" ").append(std::to_string(span.last)).append("\n");
  }
  const std::string check = Hex8(Crc32(text));  // of the text before its own line
  text.append("check ").append(check).append("\n");
  return text;
}

std::optional<JournalRecord> DecodeJournal(std::string_view bytes) {
  if (bytes.size() > kJournalMaxBytes) return std::nullopt;
  // The checksum covers every byte before its own line.
  const size_t check_at = bytes.rfind("check ");
  if (check_at == std::string_view::npos || (check_at > 0 && bytes[check_at - 1] != '\n')) return std::nullopt;
  std::string_view check_line = bytes.substr(check_at);
  std::string_view check;
  if (!TakeTagged(check_line, "check", check) || !check_line.empty() ||
      check != Hex8(Crc32(bytes.substr(0, check_at)))) {
    return std::nullopt;
  }

  std::string_view text = bytes.substr(0, check_at);
  std::string_view line;
  if (!TakeLine(text, line) || line != kMagic) return std::nullopt;
  JournalRecord record;
  std::string_view url, total, etag, modified, count_text;
  int64_t count = 0;
  if (!TakeTagged(text, "url", url) || !TakeTagged(text, "total", total) || !ParseCount(total, record.total) ||
      !TakeTagged(text, "etag", etag) || !TakeTagged(text, "modified", modified) ||
      !TakeTagged(text, "missing", count_text) || !ParseCount(count_text, count) ||
      count > static_cast<int64_t>(kJournalMaxSpans)) {
    return std::nullopt;
  }
  record.url.assign(url);
  record.validators.etag.assign(etag);
  record.validators.last_modified.assign(modified);
  for (int64_t i = 0; i < count; ++i) {
    ByteSpan span;
    if (!TakeLine(text, line) || !ParseSpan(line, span)) return std::nullopt;
    record.missing.push_back(span);
  }
  if (!text.empty() || record.total <= 0 || record.url.empty() || record.url.size() > kJournalMaxUrl ||
      record.validators.etag.size() > kJournalMaxValidator ||
      record.validators.last_modified.size() > kJournalMaxValidator || !SpansAreOrdered(record.missing, record.total)) {
    return std::nullopt;
  }
  return record;
}

DownloadJournal::DownloadJournal(const std::wstring& temp_path) : path_(temp_path + L".journal") {}

std::optional<JournalRecord> DownloadJournal::Load() const {
  if (path_.empty()) return std::nullopt;
  const std::optional<std::string> bytes = platform::ReadFileLimited(path_, kJournalMaxBytes);
  if (!bytes) return std::nullopt;
  std::optional<JournalRecord> record = DecodeJournal(*bytes);
  if (!record) startup::Log("Download journal %s is damaged or not ours: ignored\n", path_);
  return record;
}

bool DownloadJournal::Save(const JournalRecord& record) {
  if (path_.empty()) return false;
  const std::string text = EncodeJournal(record);
  if (text.empty()) return false;
  const std::wstring fresh = path_ + L".new";
  {
    platform::UniqueHandle file(
        ::CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file.IsValid() || !::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !::FlushFileBuffers(file.Get())) {
      startup::Log("Download journal %s cannot be written: %u\n", fresh, ::GetLastError());
      file.Reset();
      (void)::DeleteFileW(fresh.c_str());  // a part-written journal would only be ignored later
      return false;
    }
  }
  if (!::MoveFileExW(fresh.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    startup::Log("Download journal %s cannot be replaced: %u\n", path_, ::GetLastError());
    (void)::DeleteFileW(fresh.c_str());
    return false;
  }
  last_saved_ = text;
  last_save_ms_ = NowMs();
  return true;
}

bool DownloadJournal::SaveIfDue(const JournalRecord& record) {
  if (last_save_ms_ != 0 && NowMs() - last_save_ms_ < kSaveIntervalMs) return true;
  if (EncodeJournal(record) == last_saved_) return true;
  return Save(record);
}

void DownloadJournal::Remove() {
  if (path_.empty()) return;
  (void)::DeleteFileW(path_.c_str());  // none there: nothing to do
  (void)::DeleteFileW((path_ + L".new").c_str());
  last_saved_.clear();
  last_save_ms_ = 0;
}

}  // namespace net
