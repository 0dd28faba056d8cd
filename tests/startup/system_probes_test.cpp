#include "startup/system_probes.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/registry_key.h"
#include "startup/launch_parameters.h"

namespace {

using platform::RegistryKey;
using platform::RegistryView;

TEST(SystemProbesTest, UserIdentityIsASidText) {
  std::wstring sid;
  ASSERT_TRUE(startup::UserSidText(sid));
  EXPECT_EQ(sid.rfind(L"S-1-", 0), 0u) << sid;
  EXPECT_EQ(sid.find_first_not_of(L"S0123456789-"), std::wstring::npos) << sid;
}

TEST(SystemProbesTest, GuidFormatHasALowerCaseThirdGroup) {
  const GUID guid = {0x0A1B2C3D, 0xABCD, 0xEF01, {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5, 0x06, 0x17}};
  EXPECT_EQ(startup::FormatGuid(guid), "0A1B2C3D-ABCD-ef01-A0B1-C2D3E4F50617");
}

TEST(SystemProbesTest, MachineGuidPersistsInThe32BitViewAndIsRemadeWhenGone) {
  startup::Parameters().Clear();
  const std::wstring path = startup::MachineGuidKeyPath();
  (void)platform::DeleteRegistryTree(HKEY_LOCAL_MACHINE, path, RegistryView::Bits32);
  (void)platform::DeleteRegistryTree(HKEY_LOCAL_MACHINE, path, RegistryView::Bits64);

  const std::string first = startup::MachineGuid();
  ASSERT_EQ(first.size(), 36u);
  EXPECT_EQ(startup::MachineGuid(), first);
  EXPECT_EQ(RegistryKey::Open(HKEY_LOCAL_MACHINE, path, RegistryView::Bits32).ReadString(L"GUID").value_or(L""),
            std::wstring(first.begin(), first.end()));

  // Only in the 64-bit view: found there.
  (void)platform::DeleteRegistryTree(HKEY_LOCAL_MACHINE, path, RegistryView::Bits32);
  ASSERT_TRUE(RegistryKey::Create(HKEY_LOCAL_MACHINE, path, RegistryView::Bits64).WriteString(L"GUID", L"sixty-four"));
  EXPECT_EQ(startup::MachineGuid(), "sixty-four");

  (void)platform::DeleteRegistryTree(HKEY_LOCAL_MACHINE, path, RegistryView::Bits64);
  const std::string remade = startup::MachineGuid();
  EXPECT_EQ(remade.size(), 36u);
  EXPECT_NE(remade, first);

  // The VEXA edition keeps its own identity key.
  startup::Parameters().Insert("DOWNLOAD_VERSION", L"Vexa");
  EXPECT_NE(startup::MachineGuidKeyPath(), path);
  startup::Parameters().Clear();
}

TEST(SystemProbesTest, WindowsWordsUnderWine64) {
  EXPECT_TRUE(startup::Is64BitWindows());
  EXPECT_FALSE(startup::IsWow64());  // the 64-bit test build
  EXPECT_EQ(startup::EditionWord(), startup::IsServerWindows() ? "server" : "home");
}

// A loopback listener that accepts connections, for the connection check.
class Listener {
 public:
  Listener() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(socket_, 8);
  }
  ~Listener() {
    ::closesocket(socket_);
    ::WSACleanup();
  }
  void Close() {
    ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  [[nodiscard]] int port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};

TEST(SystemProbesTest, ConnectionCheckAsksAgainOnEveryCall) {
  Listener listener;
  const std::string open = "http://127.0.0.1:" + std::to_string(listener.port()) + "/";
  Listener closed_listener;
  const std::string closed = "http://127.0.0.1:" + std::to_string(closed_listener.port()) + "/";
  closed_listener.Close();

  EXPECT_FALSE(startup::CheckInternet({closed}));
  EXPECT_TRUE(startup::CheckInternet({closed, open}));  // the second address answers
  EXPECT_TRUE(startup::CheckInternet({open}));          // an earlier "offline" is not kept
  listener.Close();
  EXPECT_FALSE(startup::CheckInternet({open}));
}

TEST(SystemProbesTest, RestartAsksForAGentleRebootWithThePrivilege) {
  UINT seen_flags = 0;
  DWORD seen_reason = 0;
  int calls = 0;
  const bool result = startup::RestartWindows([&](UINT flags, DWORD reason) {
    ++calls;
    seen_flags = flags;
    seen_reason = reason;
    return true;
  });
  EXPECT_TRUE(result);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen_flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCEIFHUNG));
  EXPECT_EQ(seen_flags & EWX_FORCE, 0u);
  EXPECT_EQ(seen_reason, 0x00040000u);
}

}  // namespace
