#include "platform/private_folder.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/unique_resource.h"
#include "test_support.h"

namespace {

using Sid = std::vector<BYTE>;

Sid SidBytes(const void* sid) {
  const auto* first = static_cast<const BYTE*>(sid);
  return Sid(first, first + ::GetLengthSid(const_cast<void*>(sid)));
}

Sid WellKnown(WELL_KNOWN_SID_TYPE type) {
  Sid sid(SECURITY_MAX_SID_SIZE);
  DWORD size = static_cast<DWORD>(sid.size());
  EXPECT_TRUE(::CreateWellKnownSid(type, nullptr, sid.data(), &size));
  sid.resize(size);
  return sid;
}

Sid ProcessUser() {
  platform::UniqueHandle token;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()));
  std::vector<BYTE> buffer(512);
  DWORD size = static_cast<DWORD>(buffer.size());
  EXPECT_TRUE(::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size));
  return SidBytes(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// The file system under the tests does not keep access lists (it derives
// them from mode bits), so the descriptor the folder is made with is what
// is checked; the folder itself must come into being with it.
TEST(PrivateFolderTest, OnlyItsOwnerAndTheSystemGetIn) {
  std::vector<BYTE> descriptor = platform::PrivateFolderSecurity();
  ASSERT_FALSE(descriptor.empty());
  ASSERT_TRUE(::IsValidSecurityDescriptor(descriptor.data()));

  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor.data(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0);  // nothing of the parent's list reaches in

  BOOL present = FALSE;
  BOOL defaulted = TRUE;
  PACL acl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(acl, nullptr);  // a null list would let everybody in
  EXPECT_FALSE(defaulted);
  ASSERT_EQ(acl->AceCount, 2);
  std::vector<Sid> sids;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* entry = nullptr;
    ASSERT_TRUE(::GetAce(acl, i, &entry));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(allowed->Mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    sids.push_back(SidBytes(&allowed->SidStart));
  }
  // Elevated: the administrators, never the user whose unelevated programs
  // could plant links inside; otherwise the user. The system in either case.
  const Sid owner = platform::IsProcessElevated() ? WellKnown(WinBuiltinAdministratorsSid) : ProcessUser();
  EXPECT_EQ(sids, (std::vector<Sid>{owner, WellKnown(WinLocalSystemSid)}));

  test_support::TempFolder parent;
  const std::wstring folder = parent.File(L"private");
  ASSERT_TRUE(platform::CreatePrivateFolder(folder));
  EXPECT_NE(::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(platform::CreatePrivateFolder(folder));  // never an existing folder
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace
