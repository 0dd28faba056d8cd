#include "platform/registry_key.h"

namespace platform {

REGSAM ViewFlag(RegistryView view) {
  switch (view) {
    case RegistryView::Bits32: return KEY_WOW64_32KEY;
    case RegistryView::Bits64: return KEY_WOW64_64KEY;
    case RegistryView::Default: break;
  }
  return 0;
}

RegistryKey RegistryKey::Open(HKEY root, const std::wstring& path, RegistryView view, REGSAM access) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, access | ViewFlag(view), &key) != ERROR_SUCCESS) {
    return RegistryKey();
  }
  return RegistryKey(key);
}

RegistryKey RegistryKey::Create(HKEY root, const std::wstring& path, RegistryView view, REGSAM access) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access | ViewFlag(view), nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return RegistryKey();
  }
  return RegistryKey(key);
}

std::optional<std::wstring> RegistryKey::ReadString(const std::wstring& name) const {
  if (!IsValid()) return std::nullopt;
  // RegGetValueW guarantees the terminator; RRF_NOEXPAND keeps %VARS% as stored.
  const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD bytes = 0;
    LSTATUS status = ::RegGetValueW(key_.Get(), nullptr, name.c_str(), flags, nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    status = ::RegGetValueW(key_.Get(), nullptr, name.c_str(), flags, nullptr, value.data(), &bytes);
    if (status == ERROR_MORE_DATA) continue;  // grew in between: ask again
    if (status != ERROR_SUCCESS) return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
  }
  return std::nullopt;
}

bool RegistryKey::WriteString(const std::wstring& name, const std::wstring& value) const {
  if (!IsValid()) return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key_.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool RegistryKey::WriteDword(const std::wstring& name, DWORD value) const {
  if (!IsValid()) return false;
  return ::RegSetValueExW(key_.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

std::vector<std::wstring> RegistryKey::SubkeyNames(size_t max_name_length) const {
  std::vector<std::wstring> names;
  if (!IsValid()) return names;
  std::wstring buffer(max_name_length + 1, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    if (::RegEnumKeyExW(key_.Get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(buffer.c_str(), length);
  }
  return names;
}

bool DeleteRegistryTree(HKEY root, const std::wstring& path, RegistryView view) {
  RegistryKey parent = RegistryKey::Open(root, path, view, KEY_ALL_ACCESS);
  if (!parent.IsValid()) return true;
  // RegDeleteTreeW needs the key itself opened with the right view; then the
  // now-empty key is removed through RegDeleteKeyExW in the same view.
  const LSTATUS tree = ::RegDeleteTreeW(parent.Get(), nullptr);
  if (tree != ERROR_SUCCESS && tree != ERROR_FILE_NOT_FOUND) return false;
  const LSTATUS self = ::RegDeleteKeyExW(root, path.c_str(), ViewFlag(view), 0);
  return self == ERROR_SUCCESS || self == ERROR_FILE_NOT_FOUND;
}

}  // namespace platform
