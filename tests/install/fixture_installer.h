// The fixture installer in a folder of its own, steered by a side file, and
// a view that records what the install code shows.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "install/installed_version.h"
#include "install/pipeline_view.h"
#include "test_support.h"

namespace install_test {

class FixtureInstaller {
 public:
  FixtureInstaller();   // copies the program and points FAKE_INSTALLER_CONFIG at its side file
  ~FixtureInstaller();  // clears the variable
  FixtureInstaller(const FixtureInstaller&) = delete;
  FixtureInstaller& operator=(const FixtureInstaller&) = delete;

  // Writes the side file (plus "record=" for the command lines).
  void Configure(const std::map<std::string, std::wstring>& settings) const;
  [[nodiscard]] const std::wstring& path() const { return path_; }
  [[nodiscard]] const test_support::TempFolder& folder() const { return folder_; }
  // The command lines the installer received, one per run.
  [[nodiscard]] std::vector<std::wstring> Runs() const;

 private:
  test_support::TempFolder folder_;
  std::wstring path_;
};

// Command lines recorded in a file, one per line.
[[nodiscard]] std::vector<std::wstring> RecordedLines(const std::wstring& file);

// True once no fixture installer runs (bounded wait of 15 s).
[[nodiscard]] bool WaitUntilNoFixtureInstallerRuns();

[[nodiscard]] std::wstring FixturePath(const std::wstring& name);

class RecordingView final : public install::IPipelineView {
 public:
  void Progress(int percent) override;
  void Stage(int percent) override;
  void TipText(const std::wstring& text) override;
  void SwitchPage(install::WizardPage page) override;
  void Failure(install::WizardPage page, int32_t code) override;
  void TransferStalled() override;

  [[nodiscard]] std::vector<int> stages() const;
  [[nodiscard]] std::vector<int> progress() const;
  [[nodiscard]] std::vector<std::wstring> tips() const;
  [[nodiscard]] std::vector<install::WizardPage> pages() const;
  // Failure pages as "page:code".
  [[nodiscard]] std::vector<std::string> failures() const;
  // Per stall reported, how many progress reports had come before it.
  [[nodiscard]] std::vector<size_t> stalls() const;

 private:
  mutable std::mutex mutex_;
  std::vector<int> stages_;
  std::vector<int> progress_;
  std::vector<std::wstring> tips_;
  std::vector<install::WizardPage> pages_;
  std::vector<std::string> failures_;
  std::vector<size_t> stalls_;
};

// Uninstall settings for entries under `address` whose keys start with "Foo"
// (the fixture installer's test product).
[[nodiscard]] install::UninstallSettings FooSettingsFor(const test_support::TestRegistryKey& address);

}  // namespace install_test
