// One end-to-end scene: a product served by the fixture server (the fixture
// installer as its installer, plus corrupted copies), a scripted release
// answer, its own uninstall registry folder and program-files folder, and a
// sandboxed setup.exe whose configuration points at all of it. Its runs
// open no browser and never restart Windows (the shell's dry run).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fixture_installer.h"
#include "net/release_client.h"
#include "test_support.h"

namespace e2e_test {

class Scene {
 public:
  Scene();
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // The scene's unique key: release script, report key and served names.
  [[nodiscard]] const std::string& key() const { return key_; }
  // "http://127.0.0.1:<port>/files/<name>" for a served file of this scene.
  [[nodiscard]] std::string FileUrl(const std::string& name, const std::string& query = "") const;
  // Serves the fixture installer (and a copy with one byte changed) under
  // "<key>.exe" and "<key>-bad.exe"; its MD5 is `md5()`.
  [[nodiscard]] const std::string& md5() const { return md5_; }
  [[nodiscard]] const std::string& installer_bytes() const { return installer_bytes_; }
  [[nodiscard]] std::string GoodUrl(const std::string& query = "") const;
  [[nodiscard]] std::string BadUrl() const;

  // The release server's answer; download2/3 and the companion's address
  // ("tuijian") as given.
  void ScriptRelease(const std::string& download2 = "", const std::string& download3 = "",
                     const std::string& companion = "") const;
  // An answer whose first download and digest are these (either may be
  // empty), with no alternates and the given kill switch; `options` as for
  // net_test::ScriptReply ("&fail=3": the first three requests fail).
  void ScriptReleaseNaming(const std::string& download, const std::string& md5, const std::string& kill_switch = "true",
                           const std::string& options = "") const;

  // InitConfigure.ini of the sandbox with these keys replaced or added.
  void WriteConfig(const std::map<std::string, std::string>& overrides = {}) const;
  // The same keys loaded into this process's configuration.
  void LoadConfigHere(const std::map<std::string, std::string>& overrides = {}) const;

  // Runs setup.exe with the scene's identity parameters plus `extra`.
  [[nodiscard]] test_support::ProcessResult RunSetup(const std::wstring& extra, DWORD timeout_ms = 120000) const;
  // The same run left going (the wizard, driven by the test).
  [[nodiscard]] std::unique_ptr<test_support::BackgroundProcess> StartSetup(const std::wstring& extra) const;
  [[nodiscard]] std::string Log() const { return sandbox_.MainLog(); }

  // The name the installer is downloaded under, and where.
  [[nodiscard]] std::wstring InstallerFileName() const;
  [[nodiscard]] std::wstring DownloadTarget() const;
  [[nodiscard]] std::wstring InstallFolder() const;
  // The installer's setup log in the run's own folder, as the recorded
  // command line names it; empty when it names none.
  [[nodiscard]] static std::wstring SetupLogPathOf(const std::wstring& command_line);

  [[nodiscard]] std::string InstalledVersion() const;
  [[nodiscard]] std::wstring RegistryName() const { return registry_name_; }
  [[nodiscard]] const std::wstring& registry_address() const { return address_.path(); }
  [[nodiscard]] const install_test::FixtureInstaller& installer() const { return installer_; }
  [[nodiscard]] const test_support::SetupSandbox& sandbox() const { return sandbox_; }
  [[nodiscard]] const std::wstring& version() const { return version_; }

  // The run reports and release requests the server recorded for this scene.
  [[nodiscard]] std::vector<std::string> Reports() const;
  [[nodiscard]] size_t ReleaseRequests() const;

  // Configures the fixture installer: registers the current generation,
  // with `extra` settings of the fixture installer.
  void InstallerSucceeds(const std::wstring& exit_codes = L"0",
                         const std::map<std::string, std::wstring>& extra = {}) const;

 private:
  [[nodiscard]] std::wstring Parameters(const std::wstring& extra) const;
  [[nodiscard]] std::map<std::string, std::string> ConfigKeys(
      const std::map<std::string, std::string>& overrides) const;

  std::string key_;
  std::wstring version_;  // DOWNLOAD_VERSION: a file name no other run uses
  std::wstring registry_name_;
  test_support::TestRegistryKey address_;
  test_support::TempFolder program_files_;
  test_support::SetupSandbox sandbox_;
  install_test::FixtureInstaller installer_;
  std::string installer_bytes_;
  std::string md5_;
};

[[nodiscard]] bool Contains(const std::string& text, const std::string& part);
[[nodiscard]] int Count(const std::string& text, const std::string& part);

}  // namespace e2e_test
