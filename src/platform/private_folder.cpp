#include "platform/private_folder.h"

#include "platform/unique_resource.h"

namespace platform {
namespace {

constexpr BYTE kInheritedByAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

// The process token's user SID, copied; empty when it cannot be read.
std::vector<BYTE> CurrentUserSid() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
  DWORD size = 0;
  (void)::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);  // asks for the size
  if (size == 0 || size > 4096) return {};
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!::IsValidSid(sid)) return {};
  const BYTE* first = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(first, first + ::GetLengthSid(sid));
}

std::vector<BYTE> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
  sid.resize(size);
  return sid;
}

// A self-relative descriptor whose protected access list grants full
// control to each of `sids` and to nobody else.
std::vector<BYTE> ProtectedSecurity(const std::vector<std::vector<BYTE>>& sids, BYTE inheritance) {
  DWORD acl_size = sizeof(ACL);
  for (const std::vector<BYTE>& sid : sids) {
    acl_size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + static_cast<DWORD>(sid.size());
  }
  std::vector<BYTE> acl_bytes(acl_size);
  auto* acl = reinterpret_cast<ACL*>(acl_bytes.data());
  if (!::InitializeAcl(acl, acl_size, ACL_REVISION)) return {};
  for (const std::vector<BYTE>& sid : sids) {
    if (!::AddAccessAllowedAceEx(acl, ACL_REVISION, inheritance, FILE_ALL_ACCESS, const_cast<BYTE*>(sid.data()))) {
      return {};
    }
  }
  SECURITY_DESCRIPTOR absolute;
  if (!::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE) ||
      // Nothing of the parent folder's own list reaches in.
      !::SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return {};
  }
  DWORD size = 0;
  (void)::MakeSelfRelativeSD(&absolute, nullptr, &size);  // asks for the size
  if (size == 0) return {};
  std::vector<BYTE> descriptor(size);
  if (!::MakeSelfRelativeSD(&absolute, descriptor.data(), &size)) return {};
  return descriptor;
}

}  // namespace

bool IsProcessElevated() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = sizeof elevation;
  return ::GetTokenInformation(token.Get(), TokenElevation, &elevation, size, &size) && elevation.TokenIsElevated != 0;
}

std::vector<BYTE> PrivateFolderSecurity() {
  const std::vector<BYTE> system = WellKnownSid(WinLocalSystemSid);
  const std::vector<BYTE> owner = IsProcessElevated() ? WellKnownSid(WinBuiltinAdministratorsSid) : CurrentUserSid();
  if (system.empty() || owner.empty()) return {};
  return ProtectedSecurity({owner, system}, kInheritedByAll);
}

std::vector<BYTE> UserOnlyFileSecurity() {
  const std::vector<BYTE> user = CurrentUserSid();
  if (user.empty()) return {};
  return ProtectedSecurity({user}, 0);
}

bool CreatePrivateFolder(const std::wstring& path) {
  std::vector<BYTE> descriptor = PrivateFolderSecurity();
  if (descriptor.empty()) return false;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.data(), FALSE};
  return ::CreateDirectoryW(path.c_str(), &attributes) != FALSE;
}

}  // namespace platform
