// Read-only zip archive over zlib's raw inflate: stored and deflated members,
// the central directory as the only source of truth, at most 65 535 members
// (the end record's count; zip64 is refused). Every bound is checked
// before memory is spent, so a hostile or damaged skin is refused, never a
// crash or a hang.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace toolkit {

enum class ZipError {
  kNone = 0,
  kUnreadable,    // file missing or larger than the archive bound
  kNoEndRecord,   // not a zip, or truncated at its end
  kBadDirectory,  // central directory damaged or outside the file
  kOverlap,       // member data overlapping another member or the directory
  kTruncated,     // a member's data runs past the end of the file
  kUnsupported,   // encrypted, zip64 or an unknown method
  kTooLarge,      // member larger than the bound
  kRatio,         // compression ratio above the bound
  kCorrupt,       // inflate failed or sizes disagree
  kChecksum,      // CRC-32 mismatch
  kNotFound,
  kUnpackBudget,  // the archive has already given out its bound of unpacked bytes
};

[[nodiscard]] const wchar_t* ZipErrorText(ZipError error);

struct ZipMember {
  std::wstring name;  // as stored, '/' separators
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t compressed_size = 0;
  uint32_t size = 0;
  uint64_t data_offset = 0;  // first byte of the member's data in the file
};

class ZipArchive {
 public:
  static constexpr uint64_t kMaxArchiveBytes = 256ull << 20;
  static constexpr uint32_t kMaxMemberBytes = 64u << 20;
  static constexpr uint32_t kMaxRatio = 1000;
  // Bytes unpacked from all members together, each member counted once: a
  // skin's own files are a few megabytes, while many small members that each
  // inflate to the member bound could otherwise cost gigabytes and minutes.
  static constexpr uint64_t kMaxUnpackedBytes = 256ull << 20;

  ZipArchive() = default;

  // Parses the central directory of `bytes` (the whole archive). On failure
  // the archive is empty and the reason is logged once here.
  [[nodiscard]] ZipError Open(std::string bytes);
  [[nodiscard]] ZipError OpenFile(const std::wstring& path);

  // The member's bytes; names compare case-insensitively, '/' and '\' alike.
  [[nodiscard]] ZipError Read(std::wstring_view name, std::string* out) const;
  [[nodiscard]] bool Contains(std::wstring_view name) const;

  [[nodiscard]] const std::vector<ZipMember>& members() const { return members_; }

  // Name key used for look-ups: lower case, backslashes made slashes,
  // leading slashes dropped.
  [[nodiscard]] static std::wstring NormalizeName(std::wstring_view name);

 private:
  [[nodiscard]] ZipError Parse();
  [[nodiscard]] const ZipMember* Find(std::wstring_view name) const;

  void Clear();
  [[nodiscard]] bool ChargeUnpacking(const ZipMember& member) const;

  std::string bytes_;
  std::vector<ZipMember> members_;
  std::unordered_map<std::wstring, size_t> index_;  // NormalizeName -> position in members_

  // Reads may come from any thread; the unpacking budget is shared.
  mutable std::mutex budget_lock_;
  mutable uint64_t unpacked_bytes_ = 0;
  mutable std::vector<bool> charged_;  // per member: already counted against the budget
};

}  // namespace toolkit
