#include "install/install_step.h"

#include <gtest/gtest.h>

#include "fixture_installer.h"
#include "install/process_launcher.h"

namespace {

using install::InstallStepEnd;
using install::WizardPage;
using install_test::FixtureInstaller;
using install_test::RecordingView;
using platform::RegistryView;
using test_support::TestRegistryKey;

// An update: the previous generation (32-bit view) is on the machine, the new
// installer registers the current one (64-bit view).
class UpdateScene {
 public:
  UpdateScene()
      : old_address_(test_support::UniqueName(L"Uninst"), RegistryView::Bits32),
        new_address_(old_address_.path().substr(old_address_.path().rfind(L'\\') + 1), RegistryView::Bits64) {
    old_.Configure({{"registry_address", old_address_.path()},
                    {"registry_key", L"Foo 2.0_is1"},
                    {"registry_view", L"32"},
                    {"display_name", L"Foo 2.5"}});
    const auto run = install::RunAndWait(old_.path(), L" /DIR=\"" + old_.folder().File(L"Old") + L"\" ");
    old_installed_ = run.end == install::WaitEnd::Exited && run.code == 0;
  }

  // Points the fixture at the new installer's side file.
  FixtureInstaller& NewInstaller(const std::wstring& exit_codes) {
    new_ = std::make_unique<FixtureInstaller>();
    new_->Configure({{"registry_address", new_address_.path()},
                     {"registry_key", L"Foo3.0_is1"},
                     {"registry_view", L"64"},
                     {"display_name", L"Foo 3.1"},
                     {"exit_codes", exit_codes}});
    return *new_;
  }

  install::InstallStepInputs Inputs() const {
    install::InstallStepInputs inputs;
    inputs.uninstall = install_test::FooSettingsFor(old_address_);
    inputs.uninstall_bounds.poll_ms = 20;
    inputs.uninstalling_text = L"Uninstalling...";
    inputs.attempts.installer_path = new_->path();
    inputs.attempts.parameters = L" /DIR=\"" + new_->folder().File(L"New") + L"\" GUID= ";
    inputs.attempts.installing_text = L"Installing...";
    inputs.attempts.stage_interval_ms = 5;
    inputs.companion_accepted = true;
    inputs.companion_url = L"http://127.0.0.1:1/companion.exe";
    inputs.refer_number = L"77";
    inputs.own_executable = new_->path();  // records its command line like the installer
    return inputs;
  }

  [[nodiscard]] bool old_installed() const { return old_installed_; }
  [[nodiscard]] std::wstring OldEntry() const {
    return install::ReadUninstallValue(old_address_.path() + L"\\Foo 2.0_is1", L"UninstallString");
  }
  [[nodiscard]] std::string NewVersion() const {
    return install::InstalledVersion(install_test::FooSettingsFor(new_address_));
  }
  [[nodiscard]] std::vector<std::wstring> NewRuns() const { return new_->Runs(); }

 private:
  TestRegistryKey old_address_;
  TestRegistryKey new_address_;
  FixtureInstaller old_;
  std::unique_ptr<FixtureInstaller> new_;
  bool old_installed_ = false;
};

std::vector<std::wstring> WaitForRuns(const UpdateScene& scene, size_t count) {
  for (int i = 0; i < 200 && scene.NewRuns().size() < count; ++i) ::Sleep(50);
  return scene.NewRuns();
}

TEST(InstallStepTest, UpdateRemovesTheOldGenerationInstallsAndStartsTheCompanion) {
  UpdateScene scene;
  ASSERT_TRUE(scene.old_installed());
  ASSERT_FALSE(scene.OldEntry().empty());
  FixtureInstaller& installer = scene.NewInstaller(L"0");
  RecordingView view;
  const std::atomic<bool> cancel{false};
  const auto inputs = scene.Inputs();
  const install::InstallStepResult result = install::RunInstallStep(inputs, view, cancel);
  EXPECT_EQ(result.end, InstallStepEnd::Installed);
  EXPECT_EQ(result.uninstall, install::UninstallEnd::Removed);
  EXPECT_EQ(result.attempts.attempts, 1);
  EXPECT_EQ(result.companion, install::CompanionStart::Started);
  EXPECT_TRUE(scene.OldEntry().empty());
  EXPECT_EQ(scene.NewVersion(), " 3.1");
  EXPECT_EQ(view.pages(), std::vector<WizardPage>{WizardPage::Finish});
  EXPECT_TRUE(view.failures().empty());
  EXPECT_EQ(view.tips(), (std::vector<std::wstring>{L"Uninstalling...", L"Installing..."}));
  const auto runs = WaitForRuns(scene, 2);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], L"\"" + installer.path() + L"\"" + inputs.attempts.parameters);
  EXPECT_EQ(runs[1], L"\"" + installer.path() +
                         L"\" INSTALL_TYPE=2 ||| REFERNUMBER=77 ||| "
                         L"RECOMMEND_URL=http://127.0.0.1:1/companion.exe");
  EXPECT_TRUE(install_test::WaitUntilNoFixtureInstallerRuns());
}

TEST(InstallStepTest, EveryAttemptFailingShowsTheInstallFailurePageOnly) {
  UpdateScene scene;
  ASSERT_TRUE(scene.old_installed());
  scene.NewInstaller(L"1");
  RecordingView view;
  const std::atomic<bool> cancel{false};
  const install::InstallStepResult result = install::RunInstallStep(scene.Inputs(), view, cancel);
  EXPECT_EQ(result.end, InstallStepEnd::Failed);
  EXPECT_EQ(result.failure_code, 6001);
  EXPECT_EQ(result.attempts.attempts, 4);
  EXPECT_EQ(result.companion, install::CompanionStart::Skipped);
  EXPECT_EQ(view.failures(), std::vector<std::string>{"3:6001"});
  EXPECT_TRUE(view.pages().empty());
  EXPECT_EQ(scene.NewRuns().size(), 4u);
  EXPECT_EQ(scene.NewVersion(), "");
}

TEST(InstallStepTest, UnattendedSuccessShowsNoPageAndStartsNoCompanion) {
  UpdateScene scene;
  ASSERT_TRUE(scene.old_installed());
  scene.NewInstaller(L"2,0");
  RecordingView view;
  const std::atomic<bool> cancel{false};
  auto inputs = scene.Inputs();
  inputs.silent = true;
  inputs.attempts.show_progress = false;
  const install::InstallStepResult result = install::RunInstallStep(inputs, view, cancel);
  EXPECT_EQ(result.end, InstallStepEnd::Installed);
  EXPECT_EQ(result.attempts.attempts, 2);
  EXPECT_EQ(result.companion, install::CompanionStart::Skipped);
  EXPECT_TRUE(view.pages().empty());
  EXPECT_TRUE(view.stages().empty());
  ::Sleep(300);
  EXPECT_EQ(scene.NewRuns().size(), 2u);
  EXPECT_EQ(scene.NewVersion(), " 3.1");
}

TEST(InstallStepTest, CancelBeforeTheStepStartsNothing) {
  UpdateScene scene;
  ASSERT_TRUE(scene.old_installed());
  scene.NewInstaller(L"0");
  RecordingView view;
  const std::atomic<bool> cancel{true};
  const install::InstallStepResult result = install::RunInstallStep(scene.Inputs(), view, cancel);
  EXPECT_EQ(result.end, InstallStepEnd::Cancelled);
  EXPECT_FALSE(scene.OldEntry().empty());
  EXPECT_TRUE(scene.NewRuns().empty());
  EXPECT_TRUE(view.pages().empty());
  EXPECT_TRUE(view.failures().empty());
}

}  // namespace
