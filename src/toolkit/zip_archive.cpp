#include "toolkit/zip_archive.h"

#include <zlib.h>

#include <algorithm>

#include "platform/file_io.h"
#include "platform/text.h"
#include "toolkit/log.h"

namespace toolkit {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kZip64LocatorSize = 20;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kDirectoryEntrySize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;

uint16_t Read16(const std::string& b, uint64_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

uint32_t Read32(const std::string& b, uint64_t at) {
  return static_cast<uint32_t>(Read16(b, at)) | (static_cast<uint32_t>(Read16(b, at + 2)) << 16);
}

void LogFailure(ZipError error, const std::wstring& detail) {
  LogLine(L"skin archive refused: " + std::wstring(ZipErrorText(error)) +
          (detail.empty() ? L"" : L" (" + detail + L")"));
}

}  // namespace

const wchar_t* ZipErrorText(ZipError error) {
  switch (error) {
    case ZipError::kNone: return L"no error";
    case ZipError::kUnreadable: return L"file missing, unreadable or too large";
    case ZipError::kNoEndRecord: return L"no end-of-directory record (not a zip or truncated)";
    case ZipError::kBadDirectory: return L"central directory damaged";
    case ZipError::kOverlap: return L"member data overlaps";
    case ZipError::kTruncated: return L"member data runs past the end of the file";
    case ZipError::kUnsupported: return L"encrypted, zip64 or unknown compression";
    case ZipError::kTooLarge: return L"member larger than 64 MiB";
    case ZipError::kRatio: return L"compression ratio above 1000";
    case ZipError::kCorrupt: return L"compressed data corrupt";
    case ZipError::kChecksum: return L"checksum mismatch";
    case ZipError::kNotFound: return L"member not found";
    case ZipError::kUnpackBudget: return L"more than 256 MiB unpacked from one archive";
  }
  return L"unknown error";
}

std::wstring ZipArchive::NormalizeName(std::wstring_view name) {
  std::wstring key = platform::LowerCase(name);
  std::replace(key.begin(), key.end(), L'\\', L'/');
  size_t first = key.find_first_not_of(L'/');
  key.erase(0, first == std::wstring::npos ? key.size() : first);
  return key;
}

ZipError ZipArchive::OpenFile(const std::wstring& path) {
  std::optional<std::string> bytes = platform::ReadFileLimited(path, kMaxArchiveBytes);
  if (!bytes) {
    Clear();
    LogFailure(ZipError::kUnreadable, path);
    return ZipError::kUnreadable;
  }
  return Open(std::move(*bytes));
}

ZipError ZipArchive::Open(std::string bytes) {
  Clear();
  bytes_ = std::move(bytes);
  ZipError error = bytes_.size() > kMaxArchiveBytes ? ZipError::kUnreadable : Parse();
  if (error != ZipError::kNone) {
    Clear();
    LogFailure(error, L"");
    return error;
  }
  charged_.assign(members_.size(), false);
  return error;
}

ZipError ZipArchive::Parse() {
  const uint64_t size = bytes_.size();
  if (size < kEndRecordSize) return ZipError::kNoEndRecord;

  // The end record sits in the last 22 + 65535 bytes (its comment may follow).
  uint64_t end_at = 0;
  bool found = false;
  const uint64_t lowest = size > kEndRecordSize + 0xFFFF ? size - kEndRecordSize - 0xFFFF : 0;
  for (uint64_t at = size - kEndRecordSize + 1; at-- > lowest;) {
    if (Read32(bytes_, at) == kEndSignature && at + kEndRecordSize + Read16(bytes_, at + 20) == size) {
      end_at = at;
      found = true;
      break;
    }
  }
  if (!found) return ZipError::kNoEndRecord;

  const uint16_t disk = Read16(bytes_, end_at + 4);
  const uint16_t directory_disk = Read16(bytes_, end_at + 6);
  const uint16_t count_here = Read16(bytes_, end_at + 8);
  const uint16_t count = Read16(bytes_, end_at + 10);
  const uint32_t directory_size = Read32(bytes_, end_at + 12);
  const uint32_t directory_at = Read32(bytes_, end_at + 16);
  // A zip64 archive says so with its locator just before the end record; a
  // count of 0xFFFF alone is an ordinary archive with 65 535 members.
  const bool zip64 =
      end_at >= kZip64LocatorSize && Read32(bytes_, end_at - kZip64LocatorSize) == kZip64LocatorSignature;
  if (zip64 || directory_size == 0xFFFFFFFF || directory_at == 0xFFFFFFFF) return ZipError::kUnsupported;
  if (disk != 0 || directory_disk != 0 || count_here != count) return ZipError::kBadDirectory;
  if (static_cast<uint64_t>(directory_at) + directory_size > end_at) return ZipError::kBadDirectory;

  struct Span {
    uint64_t begin, end;
  };
  std::vector<Span> spans;
  uint64_t at = directory_at;
  const uint64_t directory_end = static_cast<uint64_t>(directory_at) + directory_size;
  for (uint16_t i = 0; i < count; ++i) {
    if (at + kDirectoryEntrySize > directory_end || Read32(bytes_, at) != kDirectorySignature)
      return ZipError::kBadDirectory;
    ZipMember member;
    const uint16_t flags = Read16(bytes_, at + 8);
    member.method = Read16(bytes_, at + 10);
    member.crc = Read32(bytes_, at + 16);
    member.compressed_size = Read32(bytes_, at + 20);
    member.size = Read32(bytes_, at + 24);
    const uint16_t name_length = Read16(bytes_, at + 28);
    const uint16_t extra_length = Read16(bytes_, at + 30);
    const uint16_t comment_length = Read16(bytes_, at + 32);
    const uint32_t local_at = Read32(bytes_, at + 42);
    const uint64_t next = at + kDirectoryEntrySize + name_length + extra_length + comment_length;
    if (next > directory_end) return ZipError::kBadDirectory;
    if ((flags & 0x1) != 0 || member.compressed_size == 0xFFFFFFFF || member.size == 0xFFFFFFFF ||
        local_at == 0xFFFFFFFF)
      return ZipError::kUnsupported;
    member.name = platform::Utf8ToWide(std::string_view(bytes_).substr(at + kDirectoryEntrySize, name_length));
    at = next;

    if (static_cast<uint64_t>(local_at) + kLocalHeaderSize > directory_at) {
      return static_cast<uint64_t>(local_at) + kLocalHeaderSize > size ? ZipError::kTruncated : ZipError::kOverlap;
    }
    if (Read32(bytes_, local_at) != kLocalSignature) return ZipError::kBadDirectory;
    member.data_offset = static_cast<uint64_t>(local_at) + kLocalHeaderSize + Read16(bytes_, local_at + 26) +
                         Read16(bytes_, local_at + 28);
    const uint64_t data_end = member.data_offset + member.compressed_size;
    if (data_end > size) return ZipError::kTruncated;
    if (data_end > directory_at) return ZipError::kOverlap;
    spans.push_back({local_at, data_end});

    // Directories are not members anyone reads.
    if (!member.name.empty() && member.name.back() == L'/') continue;
    if (!index_.emplace(NormalizeName(member.name), members_.size()).second) continue;  // first one wins
    members_.push_back(std::move(member));
  }

  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
  for (size_t i = 1; i < spans.size(); ++i) {
    if (spans[i].begin < spans[i - 1].end) return ZipError::kOverlap;
  }
  return ZipError::kNone;
}

void ZipArchive::Clear() {
  bytes_.clear();
  members_.clear();
  index_.clear();
  std::lock_guard<std::mutex> guard(budget_lock_);
  unpacked_bytes_ = 0;
  charged_.clear();
}

const ZipMember* ZipArchive::Find(std::wstring_view name) const {
  const auto found = index_.find(NormalizeName(name));
  return found == index_.end() ? nullptr : &members_[found->second];
}

// Charged before unpacking, whatever the outcome: a member that fails its
// checksum has cost the work all the same.
bool ZipArchive::ChargeUnpacking(const ZipMember& member) const {
  const size_t position = static_cast<size_t>(&member - members_.data());
  std::lock_guard<std::mutex> guard(budget_lock_);
  if (charged_[position]) return true;
  if (unpacked_bytes_ + member.size > kMaxUnpackedBytes) return false;
  unpacked_bytes_ += member.size;
  charged_[position] = true;
  return true;
}

bool ZipArchive::Contains(std::wstring_view name) const { return Find(name) != nullptr; }

ZipError ZipArchive::Read(std::wstring_view name, std::string* out) const {
  out->clear();
  const ZipMember* member = Find(name);
  if (member == nullptr) return ZipError::kNotFound;
  auto refuse = [&](ZipError error) {
    LogLine(L"skin archive member \"" + member->name + L"\" refused: " + ZipErrorText(error));
    return error;
  };
  if (member->size > kMaxMemberBytes) return refuse(ZipError::kTooLarge);
  if (member->method != kStored && member->method != kDeflated) return refuse(ZipError::kUnsupported);
  if (static_cast<uint64_t>(member->size) > static_cast<uint64_t>(member->compressed_size) * kMaxRatio &&
      member->size > 0)
    return refuse(ZipError::kRatio);
  if (!ChargeUnpacking(*member)) return refuse(ZipError::kUnpackBudget);

  const char* data = bytes_.data() + member->data_offset;
  std::string result;
  if (member->method == kStored) {
    if (member->compressed_size != member->size) return refuse(ZipError::kCorrupt);
    result.assign(data, member->size);
  } else {
    result.resize(member->size);
    char spare = 0;  // inflate needs a valid output pointer even for empty members
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return refuse(ZipError::kCorrupt);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = member->compressed_size;
    stream.next_out = reinterpret_cast<Bytef*>(result.empty() ? &spare : result.data());
    stream.avail_out = member->size;
    // All input and the whole output buffer are given at once, so one call
    // either ends the stream or fails: no loop that could spin.
    const int status = inflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    if (status != Z_STREAM_END || produced != member->size) return refuse(ZipError::kCorrupt);
  }
  const uLong crc =
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(result.data()), static_cast<uInt>(result.size()));
  if (crc != member->crc) return refuse(ZipError::kChecksum);
  *out = std::move(result);
  return ZipError::kNone;
}

}  // namespace toolkit
