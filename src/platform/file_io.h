// Small whole-file helpers with a size bound, for configuration and logs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The file's bytes; nullopt when it is missing, unreadable or larger than
// `max_bytes`.
[[nodiscard]] std::optional<std::string> ReadFileLimited(const std::wstring& path, uint64_t max_bytes);

// Appends `bytes` in one write; the file is opened shared so other processes
// may append too. False when it cannot be opened or written.
[[nodiscard]] bool AppendToFile(const std::wstring& path, std::string_view bytes);

[[nodiscard]] bool FileExists(const std::wstring& path);

}  // namespace platform
