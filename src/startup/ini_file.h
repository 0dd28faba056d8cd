// Reads one section of a Windows-style INI file (UTF-8 values) with the
// classic size limits, reading the bytes itself so that the system's ANSI
// code page can never garble UTF-8.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace startup {

struct IniEntry {
  std::string key;
  std::wstring value;
};

// Limits of the classic profile API that callers may rely on.
inline constexpr size_t kIniNameListBytes = 2048;  // all key names of a section, with separators
inline constexpr size_t kIniMaxNameBytes = 258;    // a longer name ends the section
inline constexpr size_t kIniMaxValueBytes = 259;   // longer values are cut
inline constexpr size_t kIniMaxFileBytes = 4u << 20;

// Entries of `section` (name compared without letter case) in file order;
// a repeated key keeps its first value. Missing, unreadable or oversized
// files give no entries. Cut values and skipped names are logged.
[[nodiscard]] std::vector<IniEntry> ReadIniSection(const std::wstring& path, const std::string& section);

// The same, on bytes already in memory (tests and the reader above).
[[nodiscard]] std::vector<IniEntry> ParseIniSection(std::string_view bytes, const std::string& section,
                                                    const std::wstring& source_name);

}  // namespace startup
