#include "e2e_scene.h"

#include <gtest/gtest.h>

#include "install/installed_version.h"
#include "net/file_digest.h"
#include "net_fixture.h"
#include "platform/system_paths.h"
#include "platform/text.h"
#include "startup/product_config.h"

namespace e2e_test {
namespace {

std::string Narrow(const std::wstring& text) { return platform::WideToUtf8(text); }

}  // namespace

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) {
    ++count;
  }
  return count;
}

Scene::Scene()
    : key_(Narrow(test_support::UniqueName(L"e2e"))),
      version_(test_support::UniqueName(L"t")),
      registry_name_(test_support::UniqueName(L"E2eProduct")),
      address_(test_support::UniqueName(L"E2eUninst"), platform::RegistryView::Bits64) {
  // Every setup.exe of the test inherits it: the wizard's web links and its
  // restart button only write what they would do into the log.
  ::SetEnvironmentVariableW(L"WEBINSTALLER_SHELL_DRY_RUN", L"1");
  // The installer as served: the fixture program, and a copy one byte off.
  installer_bytes_ = test_support::ReadBytes(install_test::FixturePath(L"fake_installer.exe"));
  EXPECT_FALSE(installer_bytes_.empty());
  EXPECT_TRUE(test_support::WriteBytes(net_test::DataFile(key_ + ".exe"), installer_bytes_));
  std::string bad = installer_bytes_;
  if (!bad.empty()) bad[bad.size() / 2] = static_cast<char>(bad[bad.size() / 2] ^ 0x5A);
  EXPECT_TRUE(test_support::WriteBytes(net_test::DataFile(key_ + "-bad.exe"), bad));
  md5_ = net::FileMd5Hex(net_test::DataFile(key_ + ".exe"));
  EXPECT_EQ(md5_.size(), 32u);
  WriteConfig();
  ScriptRelease();
}

Scene::~Scene() {
  (void)install_test::WaitUntilNoFixtureInstallerRuns();
  ::DeleteFileW(net_test::DataFile(key_ + ".exe").c_str());
  ::DeleteFileW(net_test::DataFile(key_ + "-bad.exe").c_str());
  ::DeleteFileW(DownloadTarget().c_str());
  // The setup logs stay in their run folders for support: not ours to keep.
  for (const std::wstring& run : installer_.Runs()) {
    const std::wstring log = SetupLogPathOf(run);
    if (log.empty()) continue;
    ::DeleteFileW(log.c_str());
    ::RemoveDirectoryW(log.substr(0, log.find_last_of(L'\\')).c_str());
  }
}

std::string Scene::FileUrl(const std::string& name, const std::string& query) const {
  return net_test::HttpBase() + "/files/" + name + query;
}

std::string Scene::GoodUrl(const std::string& query) const { return FileUrl(key_ + ".exe", query); }
std::string Scene::BadUrl() const { return FileUrl(key_ + "-bad.exe"); }

void Scene::ScriptRelease(const std::string& download2, const std::string& download3,
                          const std::string& companion) const {
  // The configuration's DownloadUrl and URLMD5 take the place of the first
  // download and the digest; the reply names a different first download to
  // show that.
  const std::string body = R"({"data":{"md5":"00000000000000000000000000000000",)"
                           R"("killSwitch":"true","WriteLogSwitch":"true","curNum":"3.1",)"
                           R"("download":")" +
                           FileUrl("not-this-one.exe") +
                           R"(",)"
                           R"("download2":")" +
                           download2 + R"(","download3":")" + download3 + R"(","url":"","tuijian":")" + companion +
                           R"(","referNumber":""}})";
  net_test::ScriptReply(key_, body);
}

void Scene::ScriptReleaseNaming(const std::string& download, const std::string& md5, const std::string& kill_switch,
                                const std::string& options) const {
  const std::string body = R"({"data":{"md5":")" + md5 + R"(","killSwitch":")" + kill_switch +
                           R"(","WriteLogSwitch":"true","curNum":"3.1","download":")" + download +
                           R"(","download2":"","download3":"","url":"","tuijian":"","referNumber":""}})";
  net_test::ScriptReply(key_, body, options);
}

std::map<std::string, std::string> Scene::ConfigKeys(const std::map<std::string, std::string>& overrides) const {
  std::map<std::string, std::string> keys = {
      {"InstallerName", key_},
      {"ProductProcess", "NoSuchProduct_" + key_ + ".exe"},
      {"RegistryAddress", Narrow(address_.path())},
      {"RegistryName", Narrow(registry_name_)},
      {"DisplayName", "DisplayName"},
      {"UninstallKey", "UninstallString"},
      {"UninstallParamStr", "/S"},
      {"ProductName", "PhotoStudio"},
      {"ProductID", "1001"},
      {"RecommendProductID", "1002"},
      {"DownloadInfoUrl", net_test::HttpBase() + "/release?key=" + key_},
      {"UpdateIni", ""},
      {"DownloadUrl", GoodUrl()},
      {"URLMD5", md5_},
      {"fileRealName", key_ + ".exe"},
      {"DownloadThreadCount", "4"},
      {"InstallParamStr", "/NORESTART"},
      {"SilentInstallParamStr", "/VERYSILENT /NORESTART"},
      {"SetupLogName", key_ + ".log"},
      {"InstallIntervalTime", "20"},
      {"UpdateEventUrl", net_test::HttpBase() + "/report?key=" + key_ + "-report"},
      {"InstallPath", "Brimvale\\PhotoStudio"},
      {"ProductExtentPath", "PhotoStudio"},
      {"InstallProgramFilesPath", Narrow(program_files_.path())},
      {"BProgramFilesPath", "1"},
  };
  for (const auto& [key, value] : overrides) keys[key] = value;
  return keys;
}

void Scene::WriteConfig(const std::map<std::string, std::string>& overrides) const {
  std::string text = "[Product]\n";
  for (const auto& [key, value] : ConfigKeys(overrides)) text += key + "=" + value + "\n";
  text += "[Language]\nEnglish=English\nChinese=\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\n";
  sandbox_.WriteConfig(L"InitConfigure.ini", text);
}

void Scene::LoadConfigHere(const std::map<std::string, std::string>& overrides) const {
  WriteConfig(overrides);
  startup::Config().Clear();
  startup::Config().LoadProduct(sandbox_.folder().File(L"InitConfigure.ini"));
}

std::wstring Scene::Parameters(const std::wstring& extra) const {
  return L"GUID=e2e-guid ||| EXENAME=PhotoStudioSetup.1042.exe ||| PRODUCT_VERSION=5.1 ||| "
         L"DOWNLOAD_VERSION=" +
         version_ + L" ||| EXEDIR=" + sandbox_.folder().path() + L" ||| " + extra;
}

test_support::ProcessResult Scene::RunSetup(const std::wstring& extra, DWORD timeout_ms) const {
  return sandbox_.Run(Parameters(extra), timeout_ms);
}

std::unique_ptr<test_support::BackgroundProcess> Scene::StartSetup(const std::wstring& extra) const {
  return std::make_unique<test_support::BackgroundProcess>(sandbox_.folder().File(L"setup.exe"), Parameters(extra),
                                                           sandbox_.folder().path());
}

std::wstring Scene::InstallerFileName() const { return L"PhotoStudio_" + version_ + L"_brimvale.exe"; }
std::wstring Scene::DownloadTarget() const { return sandbox_.folder().File(InstallerFileName()); }
std::wstring Scene::InstallFolder() const { return program_files_.path() + L"Brimvale\\PhotoStudio"; }
std::wstring Scene::SetupLogPathOf(const std::wstring& command_line) {
  const size_t start = command_line.find(L"/LOG=\"");
  if (start == std::wstring::npos) return {};
  const size_t end = command_line.find(L'"', start + 6);
  return end == std::wstring::npos ? std::wstring() : command_line.substr(start + 6, end - start - 6);
}

std::string Scene::InstalledVersion() const {
  install::UninstallSettings settings;
  settings.registry_address = address_.path();
  settings.registry_name = registry_name_;
  settings.display_name_value = L"DisplayName";
  settings.uninstall_value = L"UninstallString";
  return install::InstalledVersion(settings);
}

std::vector<std::string> Scene::Reports() const {
  std::vector<std::string> bodies;
  for (const auto& [agent, body] : net_test::Recorded(key_ + "-report")) bodies.push_back(body);
  return bodies;
}

size_t Scene::ReleaseRequests() const { return net_test::Recorded(key_).size(); }

void Scene::InstallerSucceeds(const std::wstring& exit_codes, const std::map<std::string, std::wstring>& extra) const {
  std::map<std::string, std::wstring> settings = {{"registry_address", address_.path()},
                                                  {"registry_key", registry_name_ + L"3.0_is1"},
                                                  {"registry_view", L"64"},
                                                  {"display_name", registry_name_ + L" 3.1.0"},
                                                  {"exit_codes", exit_codes}};
  for (const auto& [key, value] : extra) settings[key] = value;
  installer_.Configure(settings);
}

}  // namespace e2e_test
