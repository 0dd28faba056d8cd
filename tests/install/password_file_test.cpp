#include "install/password_file.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/unique_resource.h"
// After windows.h, which it needs.
#include <sddl.h>
#include "test_support.h"

namespace {

// The file's access list in the system's text form; empty when unreadable.
std::wstring AccessListText(const std::wstring& path) {
  DWORD size = 0;
  (void)::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> descriptor(size);
  if (!::GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size)) {
    return {};
  }
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return {};
  }
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}

std::wstring CurrentUserSidText() {
  platform::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
  BYTE buffer[512];
  DWORD size = sizeof buffer;
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer, size, &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}

// The trustees of an access list in text form ("D:P(A;;FA;;;S-1-5-…)…").
std::set<std::wstring> Trustees(const std::wstring& access_list) {
  std::set<std::wstring> trustees;
  for (size_t open = access_list.find(L'('); open != std::wstring::npos; open = access_list.find(L'(', open + 1)) {
    const size_t close = access_list.find(L')', open);
    const size_t last = access_list.rfind(L';', close);
    if (close == std::wstring::npos || last == std::wstring::npos || last < open) break;
    trustees.insert(access_list.substr(last + 1, close - last - 1));
  }
  return trustees;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(PasswordFileTest, HoldsThePasswordForTheUserAloneAndGoesWithItsOwner) {
  test_support::TempFolder folder;
  std::wstring path;
  {
    install::PasswordFile file;
    ASSERT_TRUE(file.Create(folder.path(), L"s3cret p\u00e4ss \"|||"));
    path = file.path();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.rfind(folder.path(), 0), 0u) << "inside the given folder";
    EXPECT_EQ(test_support::ReadBytes(path), "s3cret p\xc3\xa4ss \"|||");
    // Full control for this user and nobody else. Windows keeps the list as
    // given ("D:P(A;;FA;;;<user>)"); Wine keeps it as file modes and reports
    // the system beside the user, but never anybody else.
    const std::set<std::wstring> trustees = Trustees(AccessListText(path));
    EXPECT_EQ(trustees.count(CurrentUserSidText()), 1u) << AccessListText(path);
    for (const std::wstring& trustee : trustees) {
      EXPECT_TRUE(trustee == CurrentUserSidText() || trustee == L"SY") << AccessListText(path);
    }
    // A file made the ordinary way beside it is open to more.
    ASSERT_TRUE(test_support::WriteBytes(folder.File(L"plain.txt"), "x"));
    EXPECT_NE(Trustees(AccessListText(folder.File(L"plain.txt"))), trustees)
        << AccessListText(folder.File(L"plain.txt"));
  }
  EXPECT_FALSE(Exists(path)) << "deleted with its owner";

  install::PasswordFile again;
  ASSERT_TRUE(again.Create(folder.path(), L"x"));
  again.Remove();
  EXPECT_TRUE(again.path().empty());
  EXPECT_FALSE(Exists(path));
  again.Remove();  // nothing left to remove: no harm
}

TEST(PasswordFileTest, NeverWritesThroughSomethingAlreadyThere) {
  test_support::TempFolder folder;
  // A file planted under the name the password would get is left alone.
  install::PasswordFile probe;
  ASSERT_TRUE(probe.Create(folder.path(), L"a"));
  const std::wstring name = probe.path();
  probe.Remove();
  ASSERT_TRUE(test_support::WriteBytes(name, "planted"));
  install::PasswordFile file;
  EXPECT_FALSE(file.Create(folder.path(), L"secret"));
  EXPECT_TRUE(file.path().empty());
  EXPECT_EQ(test_support::ReadBytes(name), "planted");

  // No folder, or a password beyond any account's limit: no file.
  EXPECT_FALSE(file.Create(L"", L"secret"));
  test_support::TempFolder other;
  EXPECT_FALSE(file.Create(other.path(), std::wstring(5000, L'p')));
  EXPECT_TRUE(file.path().empty());
}

}  // namespace
