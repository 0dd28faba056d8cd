// The first pages of the backup product (variant 2) and the second product
// (variant 1), and the edition comparison (tab 5), against the recording
// window: what they show, what they refuse before any download, and the
// options they hand on. A recording flow stands in for the wizard where a
// page's own decisions are tested; the real wizard where the steps between
// pages are.
#include <gtest/gtest.h>

#include <functional>

#include "recording_window.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "ui/comparison_page.h"
#include "ui/kdv_home_page.h"
#include "ui/qs_home_page.h"
#include "ui/wizard.h"
#include "ui_stores.h"

namespace {

using ui::kDialogConfirm;
using ui::kDialogDismiss;
using ui_test::RecordingShell;
using ui_test::RecordingWindow;
using ui_test::UiStores;

constexpr wchar_t kTab[] = L"wizardTab";
constexpr wchar_t kChinese[] = L"\x7b80\x4f53\x4e2d\x6587";
using Keys = std::map<std::string, std::string>;

// The wizard as a page sees it: records every step instead of taking it.
class RecordingFlow final : public ui::IWizardFlow {
 public:
  explicit RecordingFlow(ui::IShell& shell) : shell_(shell) {}
  ui::PipelineGate& gate() override { return gate_; }
  ui::IShell& shell() override { return shell_; }
  void StartDownload(const install::OptionMap& options) override {
    downloads.push_back(options);
    if (during_download) during_download();
  }
  bool ShowComparison(const install::OptionMap& options) override {
    comparisons.push_back(options);
    return true;
  }
  void RequestClose() override { ++close_requests; }
  void Quit() override {
    ++quits;
    gate_.Close();
  }
  void LanguageChanged() override {
    if (page != nullptr) page->ApplyTexts();
  }

  ui::GeneralPage* page = nullptr;
  std::function<void()> during_download;  // runs inside the "pipeline"
  std::vector<install::OptionMap> downloads;
  std::vector<install::OptionMap> comparisons;
  int close_requests = 0;
  int quits = 0;

 private:
  ui::IShell& shell_;
  ui::PipelineGate gate_;
};

// A page of type Page on the recording window with the recording flow.
template <class Page>
struct PageRig {
  explicit PageRig(const UiStores& stores) : flow(shell), page(window, flow, "English", stores.folder()) {
    flow.page = &page;
  }
  RecordingWindow window;
  RecordingShell shell;
  RecordingFlow flow;
  Page page;
};

Keys ValidFolder() { return {{"InstallProgramFilesPath", "C:\\Program Files"}, {"BProgramFilesPath", "1"}}; }

TEST(BackupProductPageTest, TypeZeroTicksAndFixesTheConsoleAndALanguageSwitchFixesItAgain) {
  UiStores stores(ValidFolder());
  PageRig<ui::KdvHomePage> rig(stores);
  RecordingWindow& w = rig.window;
  // Each box has its own words, not a borrowed placeholder.
  EXPECT_EQ(w.Get(L"chk_KDVServer", L"text"), L"Backup server");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"text"), L"Management console");
  EXPECT_EQ(w.Get(L"lb_KDVInstallation", L"text"), L"Installation type:");
  EXPECT_EQ(w.Get(L"KDVInstallation_Combo", L"text"), L"Server and console");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"enabled"), L"false");
  EXPECT_EQ(w.CurrentIndex(kTab), 0);

  // Another type frees the console box and leaves both boxes as they are.
  w.SetAttribute(L"chk_KDVConsole", L"selected", L"false");
  w.SetAttribute(L"chk_KDVServer", L"selected", L"false");
  w.ChooseInCombo(L"KDVInstallation_Combo", L"Server only");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"enabled"), L"true");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"selected"), L"false");
  // Type 0 installs both: ticked, and the console fixed.
  w.ChooseInCombo(L"KDVInstallation_Combo", L"Server and console");
  EXPECT_EQ(w.Get(L"chk_KDVServer", L"selected"), L"true");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"selected"), L"true");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"enabled"), L"false");
  w.ChooseInCombo(L"KDVInstallation_Combo", L"Console only");
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"enabled"), L"true");

  // A language switch greys the console again and keeps the chosen type.
  w.ChooseInCombo(L"language_Combo", kChinese);
  EXPECT_EQ(w.Get(L"chk_KDVConsole", L"enabled"), L"false");
  EXPECT_EQ(w.CurrentIndex(L"KDVInstallation_Combo"), 2);
  EXPECT_EQ(w.Get(L"KDVInstallation_Combo", L"text"), L"\x4ec5\x63a7\x5236\x53f0");
  EXPECT_EQ(w.Get(L"chk_KDVServer", L"text"), L"\x5907\x4efd\x670d\x52a1\x5668");

  // The custom-install area of this variant is 750 high.
  w.Click(L"btn_ShowMore");
  EXPECT_EQ(w.resizes.back(), std::make_pair(800, 750));
}

TEST(BackupProductPageTest, ChoicesReachTheDownloadAfterTheBaseOptions) {
  UiStores stores(ValidFolder());
  PageRig<ui::KdvHomePage> rig(stores);
  rig.window.SetAttribute(L"chk_KDVServer", L"selected", L"true");  // as the skin starts
  rig.window.ChooseInCombo(L"KDVInstallation_Combo", L"Server only");
  rig.window.SetAttribute(L"chk_KDVConsole", L"selected", L"false");
  rig.window.Click(L"btn_Install");
  ASSERT_EQ(rig.flow.downloads.size(), 1u);
  const install::OptionMap& options = rig.flow.downloads[0];
  EXPECT_EQ(options.at("installChoice"), L"Server only");
  EXPECT_EQ(options.at("KDVMServer"), L"true");
  EXPECT_EQ(options.at("KDVMConsole"), L"false");
  EXPECT_EQ(options.at("LANG"), L"English");
  EXPECT_EQ(options.at("DIR").rfind(L"C:\\Program Files\\", 0), 0u);
  EXPECT_EQ(options.count("recommendChk"), 1u);
  EXPECT_TRUE(rig.window.dialogs.empty());
}

// The second product's page with its custom-install area filled in.
struct AccountRig : PageRig<ui::QsHomePage> {
  explicit AccountRig(const UiStores& stores) : PageRig(stores) {}
  void Fill(const std::wstring& user, const std::wstring& password, const std::wstring& confirm, bool create = true) {
    window.SetAttribute(L"chk_createAccount", L"selected", create ? L"true" : L"false");
    window.SetText(L"ed_userName", user);
    window.SetText(L"ed_Password", password);
    window.SetText(L"ed_confirmPassword", confirm);
  }
  // Install pressed; the question's detail, or empty when none was asked.
  std::wstring Install() {
    const size_t asked = window.dialogs.size();
    window.Click(L"btn_Install");
    return window.dialogs.size() == asked ? std::wstring() : window.dialogs.back().detail;
  }
};

TEST(SecondProductPageTest, AccountAndEntriesAreCheckedBeforeAnyDownload) {
  UiStores stores(ValidFolder());
  AccountRig rig(stores);
  const std::wstring quote_detail =
      L"User name cannot contain double quotes, control characters or \"|||\". Please change it.";
  struct Case {
    std::wstring user, password, confirm, backup, detail;
  } refused[] = {
      {L"", L"pw", L"pw", L"D:\\Backup",
       L"Enter a user name for the new account, or clear \"Create an account during installation\"."},
      {L"  ", L"pw", L"pw", L"D:\\Backup",
       L"Enter a user name for the new account, or clear \"Create an account during installation\"."},
      {L"admin", L"pw1", L"pw2", L"D:\\Backup",
       L"The two passwords do not match. Type the same password in both fields."},
      {L"admin", L"pw", L"", L"D:\\Backup", L"The two passwords do not match. Type the same password in both fields."},
      {L"ad\"min", L"pw", L"pw", L"D:\\Backup", quote_detail},
      {L"ad\tmin", L"pw", L"pw", L"D:\\Backup", quote_detail},
      {L"admin", L"pw", L"pw", L"D:\\a|||b",
       L"Back up to cannot contain double quotes, control characters or \"|||\". Please change it."},
  };
  for (const Case& c : refused) {
    rig.Fill(c.user, c.password, c.confirm);
    rig.window.SetText(L"backUpeditDir", c.backup);
    rig.window.dialog_answers = {kDialogDismiss};
    EXPECT_EQ(rig.Install(), c.detail) << c.user << " " << c.backup;
    EXPECT_EQ(rig.window.CurrentIndex(kTab), 0);
  }
  EXPECT_TRUE(rig.flow.downloads.empty());
  // "Change it" opens the area with the entries.
  rig.window.dialog_answers = {kDialogConfirm};
  EXPECT_FALSE(rig.Install().empty());
  EXPECT_TRUE(rig.window.IsTrue(L"moreconfiginfo", L"visible"));
  EXPECT_EQ(rig.window.resizes.back(), std::make_pair(800, 900));

  // Sound entries go on, blanks and all; without an account nothing is asked.
  rig.window.SetAttribute(L"chk_managementComponent", L"selected", L"true");
  rig.Fill(L"backup admin", L"pa ss \"word\"", L"pa ss \"word\"");
  rig.window.SetText(L"backUpeditDir", L"D:\\My Backups");
  EXPECT_EQ(rig.Install(), L"");
  rig.Fill(L"", L"typed", L"", false);
  EXPECT_EQ(rig.Install(), L"");
  ASSERT_EQ(rig.flow.downloads.size(), 2u);
  const install::OptionMap& account = rig.flow.downloads[0];
  EXPECT_EQ(account.at("createAccount"), L"true");
  EXPECT_EQ(account.at("KDVUsername"), L"backup admin");
  EXPECT_EQ(account.at("KDVPassword"), L"pa ss \"word\"");
  EXPECT_EQ(account.at("backupPath"), L"D:\\My Backups");
  EXPECT_EQ(account.at("ManagementComponent"), L"true");
  EXPECT_EQ(account.count("DIR"), 1u);
  // No account: the password typed has no use and is not handed on.
  EXPECT_EQ(rig.flow.downloads[1].at("createAccount"), L"false");
  EXPECT_EQ(rig.flow.downloads[1].count("KDVPassword"), 0u);
}

TEST(SecondProductPageTest, BackupFolderLabelsAndTheirLanguage) {
  UiStores stores(ValidFolder());
  AccountRig rig(stores);
  RecordingWindow& w = rig.window;
  EXPECT_EQ(w.Get(L"backUpeditDir", L"text"), L"D:\\Backup");  // BackUpPath
  w.browse_result = L"E:\\";
  w.Click(L"Btn_backup_file");
  EXPECT_EQ(w.Get(L"backUpeditDir", L"text"), L"E:\\");  // exactly as chosen
  w.browse_result = L"";
  w.Click(L"Btn_backup_file");
  EXPECT_EQ(w.Get(L"backUpeditDir", L"text"), L"E:\\");  // cancelled: unchanged
  // Every label has its own words.
  const std::pair<const wchar_t*, const wchar_t*> labels[] = {
      {L"backupPath", L"Back up to:"},
      {L"chk_managementComponent", L"Install the management component"},
      {L"chk_createAccount", L"Create an account during installation"},
      {L"lb_userName", L"User name:"},
      {L"lb_password", L"Password:"},
      {L"lb_confirmPassword", L"Confirm password:"},
  };
  for (const auto& [control, text] : labels) EXPECT_EQ(w.Get(control, L"text"), text) << control;
  w.ChooseInCombo(L"language_Combo", kChinese);
  EXPECT_EQ(w.Get(L"lb_confirmPassword", L"text"), L"\x786e\x8ba4\x5bc6\x7801\xff1a");
  EXPECT_EQ(w.Get(L"backupPath", L"text"), L"\x5907\x4efd\x4f4d\x7f6e\xff1a");
}

TEST(ComparisonPageTest, ShownForTheFreeEditionWithItsTexts) {
  UiStores stores([] {
    Keys keys = ValidFolder();
    keys["productContrastPage"] = "1";
    keys["ProOnServer"] = "0";
    return keys;
  }());
  startup::Parameters().Insert("DOWNLOAD_VERSION", L"free");
  PageRig<ui::KdvHomePage> rig(stores);
  rig.window.Click(L"btn_Install");
  ASSERT_EQ(rig.flow.comparisons.size(), 1u);
  EXPECT_TRUE(rig.flow.downloads.empty());
  EXPECT_EQ(rig.flow.comparisons[0].at("installChoice"), L"Server and console");

  ui::ComparisonPage comparison(rig.window, rig.flow);
  comparison.Show(rig.flow.comparisons[0]);
  EXPECT_EQ(rig.window.CurrentIndex(kTab), 5);
  EXPECT_EQ(rig.window.Get(L"lb_contrastiveTitle", L"text"), L"Choose your edition");
  EXPECT_EQ(rig.window.Get(L"contrastiveTips", L"text"), L"Compare the editions of PhotoStudio");
  EXPECT_EQ(rig.window.Get(L"lb_contrastiveEight", L"text"), L"Priority support");
  EXPECT_EQ(rig.window.Get(L"btn_tryPro", L"text"), L"Try the Pro edition");
  EXPECT_EQ(rig.window.Get(L"btn_contrastiveCancel", L"text"), L"Cancel");
}

TEST(ComparisonPageTest, NextOrTryProTwiceQuicklyMakesOneDownload) {
  UiStores stores(Keys{{"TrialVersionName", "trial"}});
  for (const wchar_t* button : {L"btn_contrastiveNext", L"btn_tryPro"}) {
    startup::Parameters().Clear();
    startup::Parameters().Insert("DOWNLOAD_VERSION", L"free");
    RecordingWindow window;
    RecordingShell shell;
    RecordingFlow flow(shell);
    ui::ComparisonPage page(window, flow);
    page.Show({{"DIR", L"C:\\Apps"}, {"installChoice", L"Server only"}});
    // The second press arrives while the first one's download runs, and once
    // more after the download has taken the comparison out of view.
    bool pressed_again = false;
    flow.during_download = [&] {
      if (pressed_again) return;
      pressed_again = true;
      window.Click(L"btn_contrastiveNext");
      window.Click(L"btn_tryPro");
      window.SelectItem(kTab, 1);
    };
    window.PostToUiThread([&] { window.Click(button); });
    window.PostToUiThread([&] { window.Click(button); });
    window.RunPosted();
    ASSERT_EQ(flow.downloads.size(), 1u) << button;
    EXPECT_EQ(flow.downloads[0].at("installChoice"), L"Server only");
    const bool pro = std::wstring(button) == L"btn_tryPro";
    EXPECT_EQ(startup::Parameters().Get("DOWNLOAD_VERSION"), pro ? L"trial" : L"free") << button;
  }
  // Without a DOWNLOAD_VERSION there is nothing to switch.
  startup::Parameters().Clear();
  RecordingWindow window;
  RecordingShell shell;
  RecordingFlow flow(shell);
  ui::ComparisonPage page(window, flow);
  page.Show({});
  window.Click(L"btn_tryPro");
  EXPECT_EQ(flow.downloads.size(), 1u);
  EXPECT_EQ(startup::Parameters().Get("DOWNLOAD_VERSION"), L"");
}

TEST(ComparisonPageTest, ShopOpensOnlyWebAddressesAndCancelAndCloseQuit) {
  UiStores stores;
  RecordingWindow window;
  RecordingShell shell;
  RecordingFlow flow(shell);
  ui::ComparisonPage page(window, flow);
  page.Show({});
  window.Click(L"btn_buy");
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], L"https://www.brimvale.example/shop?lang=en");
  const std::wstring ini = stores.folder() + L"English.ini";
  for (const char* address : {"file:///C:/Windows/notepad.exe", "C:\\Windows\\notepad.exe", "https://",
                              "ftp://x.example/", "Buy the full edition", ""}) {
    ASSERT_TRUE(test_support::WriteBytes(ini, std::string("[string]\nLinkBuyNow=") + address + "\n"));
    startup::Strings().Load(ini);
    window.Click(L"btn_buy");
    EXPECT_EQ(shell.opened.size(), 1u) << address;
  }
  window.Click(L"btn_contrastiveCancel");
  EXPECT_EQ(flow.quits, 1);
  window.Click(L"btn_contrastiveClose");
  EXPECT_EQ(flow.quits, 2);
  window.Click(L"btn_contrastiveNext");  // after a quit nothing starts
  EXPECT_TRUE(flow.downloads.empty());
}

// The real wizard: each variant's first page, and the comparison's ways out.
ui::WizardSettings VariantSettings(const UiStores& stores, int variant, int* checks) {
  ui::WizardSettings settings;
  settings.variant = variant;
  settings.language = "English";
  settings.language_folder = stores.folder();
  settings.check_release = [checks](const std::string&) {
    ++*checks;
    return net::ReleaseInfo{};
  };
  return settings;
}

TEST(VariantWizardTest, VariantsShowTheirPageAskNoReleaseAndQuitFromTheComparison) {
  Keys keys = ValidFolder();
  keys["productContrastPage"] = "1";
  keys["ProOnServer"] = "0";
  UiStores stores(keys);
  for (int variant : {1, 2}) {
    for (const wchar_t* way_out : {L"btn_contrastiveCancel", L"btn_contrastiveClose"}) {
      startup::Parameters().Clear();
      startup::Parameters().Insert("DOWNLOAD_VERSION", L"free");
      int checks = 0;
      RecordingWindow window;
      RecordingShell shell;
      ui::Wizard wizard(window, shell, VariantSettings(stores, variant, &checks));
      EXPECT_EQ(wizard.home(), nullptr);
      EXPECT_EQ(wizard.first_page().variant(), variant);
      wizard.Start();
      EXPECT_EQ(window.timers.count(ui::kReleaseCheckTimer), 0u);
      wizard.OnTimer(ui::kReleaseCheckTimer);  // a stray tick does nothing
      EXPECT_EQ(checks, 0);
      window.Click(L"btn_Install");
      EXPECT_EQ(window.CurrentIndex(kTab), 5) << variant;
      window.Click(way_out);
      window.RunPosted();
      EXPECT_EQ(window.quits, 1) << variant;
      EXPECT_TRUE(wizard.quitting());
      EXPECT_EQ(wizard.progress().pipeline(), nullptr) << "nothing was downloaded";
      window.Click(L"btn_contrastiveNext");
      EXPECT_EQ(wizard.progress().pipeline(), nullptr);
    }
  }
}

TEST(VariantWizardTest, NextFromTheComparisonRunsOnePipelineThatAsksTheReleaseServer) {
  Keys keys = ValidFolder();
  keys["productContrastPage"] = "1";
  keys["ProOnServer"] = "0";
  UiStores stores(keys);
  startup::Parameters().Insert("DOWNLOAD_VERSION", L"free");
  int checks = 0;
  RecordingWindow window;
  RecordingShell shell;
  ui::Wizard wizard(window, shell, VariantSettings(stores, 2, &checks));
  window.Click(L"btn_Install");
  ASSERT_EQ(window.CurrentIndex(kTab), 5);
  window.PostToUiThread([&] { window.Click(L"btn_contrastiveNext"); });
  window.PostToUiThread([&] { window.Click(L"btn_contrastiveNext"); });
  window.RunPosted();
  // No home page record: the pipeline asked the (unreachable) server itself
  // and shows the release failure; the second press started nothing.
  ASSERT_NE(wizard.progress().pipeline(), nullptr);
  EXPECT_EQ(window.CurrentIndex(kTab), 2);
  // A release failure (1000 + status; 999 for a record that names nothing).
  const int32_t code = wizard.progress().pipeline()->LastErrorCode();
  EXPECT_GE(code, 999);
  EXPECT_LT(code, 2000);
  EXPECT_EQ(checks, 0);
}

}  // namespace
