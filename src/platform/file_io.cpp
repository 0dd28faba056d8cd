#include "platform/file_io.h"

#include <climits>

#include "platform/unique_resource.h"

namespace platform {

std::optional<std::string> ReadFileLimited(const std::wstring& path, uint64_t max_bytes) {
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return std::nullopt;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > max_bytes) {
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr)) return std::nullopt;
    if (read == 0) break;  // shrank while reading
    done += read;
  }
  bytes.resize(done);
  return bytes;
}

bool AppendToFile(const std::wstring& path, std::string_view bytes) {
  if (bytes.size() > UINT_MAX) return false;
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  // Other processes append to the same file: the whole-file lock makes
  // "seek to the end, write" one step for every writer that locks too.
  OVERLAPPED whole_file{};
  if (!::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole_file)) {
    return false;
  }
  LARGE_INTEGER zero{};
  DWORD written = 0;
  const bool ok = ::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END) &&
                  ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  (void)::UnlockFileEx(file.Get(), 0, MAXDWORD, MAXDWORD, &whole_file);
  return ok;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace platform
