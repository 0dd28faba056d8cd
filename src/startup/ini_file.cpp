#include "startup/ini_file.h"

#include <set>

#include "platform/file_io.h"
#include "platform/text.h"
#include "startup/log.h"

namespace startup {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The profile API drops one pair of matching quotes around a value.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Lines end at CR, LF or NUL (a binary file must not hide text behind a NUL).
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i <= bytes.size(); ++i) {
    if (i == bytes.size() || bytes[i] == '\n' || bytes[i] == '\r' || bytes[i] == '\0') {
      lines.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  return lines;
}

}  // namespace

std::vector<IniEntry> ParseIniSection(std::string_view bytes, const std::string& section,
                                      const std::wstring& source_name) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const std::string wanted = platform::AsciiLower(section);

  std::vector<IniEntry> entries;
  std::set<std::string> seen;
  bool in_section = false;
  bool section_done = false;
  size_t name_bytes = 1;  // the list's closing terminator
  for (std::string_view raw : SplitLines(bytes)) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (in_section) section_done = true;  // the first section of that name wins
      const size_t close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      in_section = !section_done && platform::AsciiLower(name) == wanted;
      continue;
    }
    if (!in_section) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key(Trim(line.substr(0, equals)));
    if (key.empty() || seen.count(key) != 0) continue;
    if (key.size() > kIniMaxNameBytes) {
      Log("Ini %s [%S]: key name of %d bytes ends the section\n", source_name, section, static_cast<int>(key.size()));
      break;
    }
    if (name_bytes + key.size() + 1 > kIniNameListBytes) {
      Log("Ini %s [%S]: key names beyond %d bytes are not read (from %S)\n", source_name, section,
          static_cast<int>(kIniNameListBytes), key);
      break;
    }
    name_bytes += key.size() + 1;
    seen.insert(key);

    std::string_view value = Unquote(Trim(line.substr(equals + 1)));
    if (value.size() > kIniMaxValueBytes) {
      value = platform::Utf8PrefixAtCharBoundary(value, kIniMaxValueBytes);
      Log("Ini %s [%S] %S: value cut to %d bytes\n", source_name, section, key, static_cast<int>(value.size()));
    }
    entries.push_back({key, platform::Utf8ToWide(value)});
  }
  return entries;
}

std::vector<IniEntry> ReadIniSection(const std::wstring& path, const std::string& section) {
  const std::optional<std::string> bytes = platform::ReadFileLimited(path, kIniMaxFileBytes);
  if (!bytes) {
    Log("Ini %s: missing, unreadable or larger than %d bytes\n", path, static_cast<int>(kIniMaxFileBytes));
    return {};
  }
  return ParseIniSection(*bytes, section, path);
}

}  // namespace startup
