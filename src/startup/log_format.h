// Type-safe printf-style formatting for the diagnostic log: the format is a
// fixed text, the data are arguments whose own type decides how they are
// written, so a narrow text can never be read as a wide one (or vice versa).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace startup {

class LogArg {
 public:
  enum class Kind { Wide, Narrow, Signed, Unsigned };

  LogArg(const wchar_t* text) : kind_(Kind::Wide), wide_(text ? text : L"") {}
  LogArg(const std::wstring& text) : kind_(Kind::Wide), wide_(text) {}
  LogArg(std::wstring_view text) : kind_(Kind::Wide), wide_(text) {}
  LogArg(const char* text) : kind_(Kind::Narrow), narrow_(text ? text : "") {}
  LogArg(const std::string& text) : kind_(Kind::Narrow), narrow_(text) {}
  LogArg(std::string_view text) : kind_(Kind::Narrow), narrow_(text) {}
  LogArg(int value) : kind_(Kind::Signed), signed_(value) {}
  LogArg(long value) : kind_(Kind::Signed), signed_(value) {}
  LogArg(long long value) : kind_(Kind::Signed), signed_(value) {}
  LogArg(unsigned value) : kind_(Kind::Unsigned), unsigned_(value) {}
  LogArg(unsigned long value) : kind_(Kind::Unsigned), unsigned_(value) {}
  LogArg(unsigned long long value) : kind_(Kind::Unsigned), unsigned_(value) {}
  LogArg(bool value) : kind_(Kind::Signed), signed_(value ? 1 : 0) {}

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] std::wstring_view wide() const { return wide_; }
  [[nodiscard]] std::string_view narrow() const { return narrow_; }
  [[nodiscard]] int64_t as_signed() const {
    return kind_ == Kind::Unsigned ? static_cast<int64_t>(unsigned_) : signed_;
  }
  [[nodiscard]] uint64_t as_unsigned() const {
    return kind_ == Kind::Signed ? static_cast<uint64_t>(signed_) : unsigned_;
  }

 private:
  Kind kind_;
  std::wstring_view wide_;
  std::string_view narrow_;
  int64_t signed_ = 0;
  uint64_t unsigned_ = 0;
};

// Formats like the C library's wide printf: %s and %S take any text (8-bit
// text is read as UTF-8, or in the ANSI code page when it is not UTF-8),
// %d %i %u %x %X take integers with the usual flags, width and length
// modifiers (l, ll, h, I64), %% is a percent sign. A conversion without a
// fitting argument writes "<?>" instead of reading memory.
[[nodiscard]] std::wstring FormatLogText(std::string_view format, std::initializer_list<LogArg> args);

}  // namespace startup
