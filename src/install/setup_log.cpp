#include "install/setup_log.h"

#include "platform/unique_resource.h"

namespace install {

std::wstring SetupLogLocation(bool write_log_switch, const std::wstring& temp_folder, const std::wstring& name) {
  if (!write_log_switch || temp_folder.empty() || name.empty()) return {};
  std::wstring path = temp_folder;
  if (path.back() != L'\\') path += L'\\';
  path += name;
  platform::UniqueHandle probe(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!probe.IsValid()) return {};
  probe.Reset();
  ::DeleteFileW(path.c_str());
  return path;
}

void RemoveSetupLog(const std::wstring& path) {
  if (!path.empty()) ::DeleteFileW(path.c_str());
}

std::vector<std::string> SetupLogTail(const std::wstring& path, size_t max_lines) {
  std::vector<std::string> lines;
  if (path.empty() || max_lines == 0) return lines;
  // Shared for writing and deleting: the installer may still hold it open.
  platform::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return lines;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size)) return lines;
  const uint64_t end = static_cast<uint64_t>(size.QuadPart);
  const uint64_t start = end > kSetupLogTailBytes ? end - kSetupLogTailBytes : 0;
  LARGE_INTEGER offset{};
  offset.QuadPart = static_cast<LONGLONG>(start);
  if (!::SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN)) return lines;
  std::string bytes(static_cast<size_t>(end - start), '\0');
  DWORD read = 0;
  if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return lines;
  }
  bytes.resize(read);
  // A cut at the front may split a line: drop that partial first line.
  size_t pos = 0;
  if (start > 0) pos = bytes.find('\n') == std::string::npos ? bytes.size() : bytes.find('\n') + 1;
  while (pos < bytes.size()) {
    size_t next = bytes.find('\n', pos);
    if (next == std::string::npos) next = bytes.size();
    std::string line = bytes.substr(pos, next - pos);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) lines.push_back(std::move(line));
    pos = next + 1;
  }
  if (lines.size() > max_lines) lines.erase(lines.begin(), lines.end() - max_lines);
  return lines;
}

}  // namespace install
