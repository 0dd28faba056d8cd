#include "fixture_installer.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace install_test {

std::wstring FixturePath(const std::wstring& name) {
  return test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\" + name;
}

bool WaitUntilNoFixtureInstallerRuns() {
  for (int i = 0; i < 300; ++i) {
    HANDLE running = ::OpenMutexW(SYNCHRONIZE, FALSE, L"FakeInstallerSetupRunning");
    if (running == nullptr) return true;
    ::CloseHandle(running);
    ::Sleep(50);
  }
  return false;
}

FixtureInstaller::FixtureInstaller() : path_(folder_.File(L"product_setup.exe")) {
  if (!test_support::CopyOneFile(FixturePath(L"fake_installer.exe"), path_)) {
    ADD_FAILURE() << "fake_installer.exe not found: is WEBINSTALLER_FIXTURE_DIR set?";
  }
  ::SetEnvironmentVariableW(L"FAKE_INSTALLER_CONFIG", folder_.File(L"fixture.cfg").c_str());
  Configure({});
}

FixtureInstaller::~FixtureInstaller() { ::SetEnvironmentVariableW(L"FAKE_INSTALLER_CONFIG", nullptr); }

void FixtureInstaller::Configure(const std::map<std::string, std::wstring>& settings) const {
  std::string text = "record=" + platform::WideToUtf8(folder_.File(L"runs.txt")) + "\n";
  for (const auto& [key, value] : settings) text += key + "=" + platform::WideToUtf8(value) + "\n";
  (void)test_support::WriteBytes(folder_.File(L"fixture.cfg"), text);
}

std::vector<std::wstring> FixtureInstaller::Runs() const { return RecordedLines(folder_.File(L"runs.txt")); }

std::vector<std::wstring> RecordedLines(const std::wstring& file) {
  std::vector<std::wstring> lines;
  const std::string bytes = test_support::ReadBytes(file);
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(platform::Utf8ToWide(bytes.substr(pos, end - pos)));
    pos = end + 1;
  }
  return lines;
}

void RecordingView::Progress(int percent) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.push_back(percent);
}

void RecordingView::Stage(int percent) {
  std::lock_guard<std::mutex> lock(mutex_);
  stages_.push_back(percent);
}

void RecordingView::TipText(const std::wstring& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  tips_.push_back(text);
}

void RecordingView::SwitchPage(install::WizardPage page) {
  std::lock_guard<std::mutex> lock(mutex_);
  pages_.push_back(page);
}

void RecordingView::Failure(install::WizardPage page, int32_t code) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_.push_back(std::to_string(static_cast<int>(page)) + ":" + std::to_string(code));
}

void RecordingView::TransferStalled() {
  std::lock_guard<std::mutex> lock(mutex_);
  stalls_.push_back(progress_.size());
}

std::vector<size_t> RecordingView::stalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stalls_;
}

std::vector<install::WizardPage> RecordingView::pages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pages_;
}

std::vector<std::string> RecordingView::failures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

std::vector<int> RecordingView::stages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stages_;
}

std::vector<int> RecordingView::progress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return progress_;
}

std::vector<std::wstring> RecordingView::tips() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tips_;
}

install::UninstallSettings FooSettingsFor(const test_support::TestRegistryKey& address) {
  install::UninstallSettings settings;
  settings.registry_address = address.path();
  settings.registry_name = L"Foo";
  settings.display_name_value = L"DisplayName";
  settings.uninstall_value = L"UninstallString";
  settings.uninstall_parameters = L"/S";
  return settings;
}

}  // namespace install_test
