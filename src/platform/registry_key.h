// Registry access with an explicit view: the 32-bit program must see both the
// 32-bit and the 64-bit view on 64-bit Windows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/unique_resource.h"

namespace platform {

enum class RegistryView { Default, Bits32, Bits64 };

class RegistryKey {
 public:
  RegistryKey() = default;

  // Opens an existing key; an invalid key when it is absent or access is refused.
  [[nodiscard]] static RegistryKey Open(HKEY root, const std::wstring& path, RegistryView view,
                                        REGSAM access = KEY_READ);
  // Opens or creates the key.
  [[nodiscard]] static RegistryKey Create(HKEY root, const std::wstring& path, RegistryView view,
                                          REGSAM access = KEY_READ | KEY_WRITE);

  [[nodiscard]] bool IsValid() const { return key_.IsValid(); }
  [[nodiscard]] HKEY Get() const { return key_.Get(); }

  // A string value (REG_SZ or REG_EXPAND_SZ, unexpanded); nullopt when absent.
  [[nodiscard]] std::optional<std::wstring> ReadString(const std::wstring& name) const;
  [[nodiscard]] bool WriteString(const std::wstring& name, const std::wstring& value) const;
  [[nodiscard]] bool WriteDword(const std::wstring& name, DWORD value) const;

  // Names of the direct subkeys in enumeration order; names longer than
  // `max_name_length` characters end the enumeration.
  [[nodiscard]] std::vector<std::wstring> SubkeyNames(size_t max_name_length = 255) const;

 private:
  explicit RegistryKey(HKEY key) : key_(key) {}
  UniqueRegKey key_;
};

[[nodiscard]] REGSAM ViewFlag(RegistryView view);

// Deletes a key and everything below it; true when it is gone afterwards.
[[nodiscard]] bool DeleteRegistryTree(HKEY root, const std::wstring& path, RegistryView view);

}  // namespace platform
