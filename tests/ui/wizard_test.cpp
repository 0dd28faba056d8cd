// The wizard's pages against the recording window: what they show, which
// questions they ask and what each answer does, what they open, and that
// only one pipeline runs at a time. The registry, files and processes they
// look at are real.
#include "ui/wizard.h"

#include <gtest/gtest.h>

#include <thread>

#include "install/result_codes.h"
#include "platform/registry_key.h"
#include "platform/text.h"
#include "recording_window.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "ui_stores.h"

namespace {

using ui::kDialogClosed;
using ui::kDialogClosePicture;
using ui::kDialogConfirm;
using ui::kDialogDismiss;
using ui::kDialogNoOwner;
using ui_test::InstalledProduct;
using ui_test::RecordingShell;
using ui_test::RecordingWindow;
using ui_test::UiStores;

constexpr wchar_t kTab[] = L"wizardTab";
using Keys = std::map<std::string, std::string>;

// Release statuses the pages meet: an answer, an empty reply (2) and a POST
// that failed with libcurl code 5 (105).
const net::ReleaseStatus kAnswered = net::ReleaseStatus::Answered();
const net::ReleaseStatus kEmptyReply =
    net::ReleaseStatus::Failed(net::ReleaseStage::Reply, net::ReleaseCause::EmptyReply);
const net::ReleaseStatus kPostFailed = net::ReleaseStatus::PostFailed(5);

net::ReleaseInfo Release(const net::ReleaseStatus& status, const std::string& version = "3.1.0") {
  net::ReleaseInfo info;
  info.status = status;
  info.productVersion = version;
  return info;
}

// A wizard on the recording window; its release check answers `checked`.
struct WizardRig {
  explicit WizardRig(const UiStores& stores, net::ReleaseInfo checked = Release(kEmptyReply))
      : wizard(window, shell, Settings(stores, checked, &checks)) {}

  static ui::WizardSettings Settings(const UiStores& stores, net::ReleaseInfo checked, int* checks) {
    ui::WizardSettings settings;
    settings.language = "English";
    settings.language_folder = stores.folder();
    settings.check_release = [checked, checks](const std::string&) {
      ++*checks;
      return checked;
    };
    return settings;
  }
  // The home page as after a release query.
  void Ready(const net::ReleaseInfo& release) {
    wizard.home()->SetRelease(release);
    wizard.home()->EnableControls(true);
    wizard.home()->UpdateInstallButton();
  }
  [[nodiscard]] int tab() const { return window.CurrentIndex(kTab); }

  int checks = 0;
  RecordingWindow window;
  RecordingShell shell;
  ui::Wizard wizard;
};

TEST(HomePageTest, InstallButtonFollowsTheInstallState) {
  struct Case {
    const wchar_t* installed;  // empty: not installed
    bool ready;
    const wchar_t* button;
    bool latest_link;
  } cases[] = {
      {L"", false, L"Loading", false},       {L"", true, L"Install now", false},
      {L"3.1.0", true, L"Reinstall", false}, {L"3.0.9", true, L"Update now", true},
      {L"3.1.0", false, L"Loading", false},
  };
  for (const Case& c : cases) {
    InstalledProduct product(c.installed);
    UiStores stores(product.Config());
    WizardRig rig(stores);
    if (c.ready) rig.Ready(Release(kAnswered, "3.1.0"));
    EXPECT_EQ(rig.window.Get(L"btn_Install", L"text"), c.button) << c.installed << c.ready;
    EXPECT_EQ(rig.window.IsTrue(L"linker_Latest", L"visible"), c.latest_link) << c.installed;
    if (c.latest_link) {
      EXPECT_EQ(rig.window.Get(L"linker_Latest", L"text"),
                L"{a  }{c #0x3196f7}A new version is available: 3.1.0{/c}{/a}");
      EXPECT_EQ(rig.window.Get(L"linker_Latest", L"width"),
                std::to_wstring(7 * std::wstring(L"A new version is available: 3.1.0").size() + 10));
    }
  }
}

TEST(HomePageTest, LoadingStateAnimatesAndOnlyInstallIsUsable) {
  UiStores stores;
  WizardRig rig(stores);
  EXPECT_EQ(rig.window.Get(L"btn_Install", L"enabled"), L"true");
  for (const wchar_t* name : {L"btn_Agreement", L"language_Combo", L"Btn_open_file", L"btn_ShowMore", L"btn_HideMore",
                              L"btn_Close", L"recommend_ChkAgree", L"editDir"}) {
    EXPECT_EQ(rig.window.Get(name, L"enabled"), L"false") << name;
  }
  const wchar_t* expected[] = {L"Loading.", L"Loading..", L"Loading...", L"Loading."};
  for (const wchar_t* text : expected) {
    rig.wizard.OnTimer(ui::kLoadingTextTimer);
    EXPECT_EQ(rig.window.Get(L"btn_Install", L"text"), text);
  }
  // Pressing Install while loading does nothing.
  rig.window.Click(L"btn_Install");
  EXPECT_EQ(rig.tab(), 0);
  EXPECT_TRUE(rig.window.dialogs.empty());
}

TEST(HomePageTest, ReleaseCheckTimerEnablesThePageOrGoesToTheFailurePage) {
  {
    UiStores stores;
    WizardRig rig(stores, Release(kAnswered));
    rig.wizard.Start();
    EXPECT_EQ(rig.window.timers, (std::set<UINT>{20, 21, 22}));
    rig.wizard.OnTimer(ui::kReleaseCheckTimer);
    EXPECT_EQ(rig.checks, 1);
    EXPECT_EQ(rig.window.timers, (std::set<UINT>{22}));
    EXPECT_EQ(rig.window.Get(L"btn_Install", L"text"), L"Install now");
    EXPECT_EQ(rig.window.Get(L"editDir", L"enabled"), L"true");
    EXPECT_EQ(rig.tab(), 0);
  }
  {
    // A failed check goes straight on: the failure page offers the ways out.
    UiStores stores;
    WizardRig rig(stores, Release(kPostFailed));
    rig.wizard.OnTimer(ui::kReleaseCheckTimer);
    rig.window.RunPosted();
    EXPECT_EQ(rig.tab(), 2);
    EXPECT_EQ(rig.wizard.progress().pipeline()->LastErrorCode(), 1105);
    ASSERT_FALSE(rig.window.taskbar.empty());
    EXPECT_EQ(rig.window.taskbar.front(), std::make_pair(toolkit::TaskbarState::Normal, 0));
    EXPECT_EQ(rig.window.taskbar.back(), std::make_pair(toolkit::TaskbarState::Error, 0));
  }
  {
    // The user quit while the check ran: nothing starts afterwards.
    UiStores stores;
    WizardRig rig(stores, Release(kPostFailed));
    rig.wizard.Quit();
    rig.wizard.OnTimer(ui::kReleaseCheckTimer);
    rig.window.RunPosted();
    EXPECT_EQ(rig.tab(), 0);
    EXPECT_EQ(rig.wizard.progress().pipeline(), nullptr);
  }
}

TEST(NormalPageTest, LanguageSwitchRetextsEveryPageAtOnce) {
  UiStores stores;
  WizardRig rig(stores);
  rig.Ready(Release(kAnswered));
  rig.wizard.finish().Activate();
  rig.window.SelectItem(kTab, 0);
  EXPECT_EQ(rig.window.Get(L"homePage_Title", L"text"), L"PhotoStudio Setup");
  EXPECT_EQ(rig.window.Get(L"language_Combo", L"text"), L"English");

  rig.window.ChooseInCombo(L"language_Combo", L"\x7b80\x4f53\x4e2d\x6587");
  struct Expected {
    const wchar_t* control;
    const wchar_t* attribute;
    std::wstring text;
  } expected[] = {
      {L"homePage_Title", L"text", L"PhotoStudio \x5b89\x88c5\x7a0b\x5e8f"},
      {L"btn_Install", L"text", L"\x7acb\x5373\x5b89\x88c5"},
      {L"language_Label", L"text", L"\x8bed\x8a00\xff1a"},
      {L"btn_ShowMore", L"text", L"\x81ea\x5b9a\x4e49\x5b89\x88c5"},
      {L"btn_Close", L"tooltip", L"\x5173\x95ed"},
      {L"downloadFailedTitle", L"text", L"\x4e0b\x8f7d\x5931\x8d25"},
      {L"installRetry", L"text", L"\x91cd\x65b0\x542f\x52a8"},
      {L"complete_title", L"text", L"\x5b89\x88c5\x5b8c\x6210"},
      {L"btn_Run", L"text", L"\x7acb\x5373\x542f\x52a8"},
  };
  for (const Expected& e : expected) EXPECT_EQ(rig.window.Get(e.control, e.attribute), e.text) << e.control;
  EXPECT_EQ(rig.wizard.home()->language(), "Chinese");
  rig.wizard.home()->CollectOptions();
  EXPECT_EQ(rig.wizard.home()->options().at("LANG"), L"Chinese");
  // A language without its file keeps the texts on screen.
  ASSERT_TRUE(::DeleteFileW((stores.folder() + L"English.ini").c_str()));
  rig.window.ChooseInCombo(L"language_Combo", L"English");
  EXPECT_EQ(rig.window.Get(L"btn_Install", L"text"), L"\x7acb\x5373\x5b89\x88c5");
  EXPECT_EQ(rig.wizard.home()->language(), "Chinese");
}

TEST(NormalPageTest, FolderBrowseCustomAreaAndOptions) {
  UiStores stores({{"InstallProgramFilesPath", "C:\\Program Files"}, {"BProgramFilesPath", "1"}});
  WizardRig rig(stores);
  rig.Ready(Release(kAnswered));
  const std::wstring initial = rig.window.Get(L"editDir", L"text");
  EXPECT_EQ(initial.rfind(L"C:\\Program Files\\Brimvale", 0), 0u) << initial;

  rig.window.Click(L"btn_ShowMore");
  EXPECT_TRUE(rig.window.IsTrue(L"moreconfiginfo", L"visible"));
  EXPECT_TRUE(rig.window.IsTrue(L"btn_HideMore", L"visible"));
  EXPECT_FALSE(rig.window.IsTrue(L"btn_ShowMore", L"visible"));
  EXPECT_EQ(rig.window.resizes.back(), std::make_pair(800, 608));
  rig.window.Click(L"btn_HideMore");
  EXPECT_FALSE(rig.window.IsTrue(L"moreconfiginfo", L"visible"));
  EXPECT_EQ(rig.window.resizes.back(), std::make_pair(800, 500));

  rig.window.browse_result = L"";  // cancelled: nothing changes
  rig.window.Click(L"Btn_open_file");
  EXPECT_EQ(rig.window.Get(L"editDir", L"text"), initial);
  rig.window.browse_result = L"D:\\";
  rig.window.Click(L"Btn_open_file");
  EXPECT_EQ(rig.window.Get(L"editDir", L"text"), L"D:\\PhotoStudio");
  rig.window.browse_result = L"E:\\My Programs";
  rig.window.Click(L"Btn_open_file");
  EXPECT_EQ(rig.window.Get(L"editDir", L"text"), L"E:\\My Programs\\PhotoStudio");

  rig.window.SetAttribute(L"recommend_ChkAgree", L"selected", L"true");
  rig.wizard.home()->CollectOptions();
  const install::OptionMap& options = rig.wizard.home()->options();
  EXPECT_EQ(options.at("DIR"), L"E:\\My Programs\\PhotoStudio");
  EXPECT_EQ(options.at("LANG"), L"English");
  EXPECT_EQ(options.at("recommendChk"), L"true");  // offered and ticked in the window
}

TEST(NormalPageTest, HiddenOffersAreNotActedOn) {
  for (const char* has_recommend : {"0", "1"}) {
    UiStores stores(Keys{{"HasRecommendProduct", has_recommend}});
    WizardRig rig(stores);
    rig.Ready(Release(kEmptyReply));
    // Both check boxes ticked in the description.
    rig.window.SetAttribute(L"recommend_ChkAgree", L"selected", L"true");
    rig.window.SetAttribute(L"chk_install_lumaviewer", L"selected", L"true");
    rig.window.Click(L"btn_Install");
    const bool offered = std::string(has_recommend) == "1";
    EXPECT_EQ(rig.window.IsTrue(L"recommend_ChkAgree", L"visible"), offered);
    EXPECT_EQ(rig.wizard.home()->options().at("recommendChk"), offered ? L"true" : L"false");
    // The player offer is never shown, so it is never taken.
    EXPECT_FALSE(rig.window.IsTrue(L"chk_install_lumaviewer", L"visible"));
    EXPECT_EQ(startup::Parameters().Get("installLumaviewer"), L"false");
  }
  // A value given earlier is replaced, not kept.
  UiStores stores;
  startup::Parameters().Insert("installLumaviewer", L"true");
  WizardRig rig(stores);
  rig.Ready(Release(kEmptyReply));
  rig.window.Click(L"btn_Install");
  EXPECT_EQ(startup::Parameters().Get("installLumaviewer"), L"false");
}

TEST(NormalPageTest, RefusedInstallFolderIsCaughtBeforeAnyDownload) {
  struct Case {
    const wchar_t* folder;
    bool accepted;
  } cases[] = {
      {L"C:\\My Apps\\Photo Studio", true},
      {L"\\\\server\\share\\PhotoStudio", true},
      {L"Apps\\PhotoStudio", false},
      {L"C:Apps", false},
      {L"", false},
      {L"C:\\Apps\"\\x", false},
  };
  for (const Case& c : cases) {
    UiStores stores;
    WizardRig rig(stores);
    rig.Ready(Release(kEmptyReply));
    rig.window.SetText(L"editDir", c.folder);
    rig.window.dialog_answers = {kDialogConfirm};
    rig.window.Click(L"btn_Install");
    rig.window.RunPosted();
    if (c.accepted) {
      EXPECT_TRUE(rig.window.dialogs.empty()) << c.folder;
      EXPECT_EQ(rig.tab(), 2) << c.folder;  // the download ran (and failed on the record)
      continue;
    }
    ASSERT_EQ(rig.window.dialogs.size(), 1u) << c.folder;
    EXPECT_EQ(rig.window.dialogs[0].tip, L"The install folder cannot be used.");
    EXPECT_NE(rig.window.dialogs[0].detail.find(std::wstring(L"\"") + c.folder + L"\""), std::wstring::npos)
        << platform::WideToUtf8(rig.window.dialogs[0].detail);
    EXPECT_EQ(rig.tab(), 0) << c.folder;
    EXPECT_EQ(rig.wizard.progress().pipeline(), nullptr) << c.folder;
    // "Change folder" opens the custom area where the folder is.
    EXPECT_TRUE(rig.window.IsTrue(L"moreconfiginfo", L"visible")) << c.folder;
  }
}

TEST(NormalPageTest, LinksOpenOnlyTheConfiguredWebAddresses) {
  UiStores stores({{"ProductLicenseUrl", "https://brimvale.example/licence"},
                   {"PrivacyPolicyUrl", "file:///C:/Windows/notepad.exe"},
                   {"ProductLinkerLatestUrl", "https://brimvale.example/latest?lang="}});
  WizardRig rig(stores);
  rig.Ready(Release(kAnswered));
  EXPECT_EQ(rig.window.Get(L"btn_Agreement", L"text"),
            L"By installing you accept the {a licence agreement}{c #0x3196f7}licence agreement{/c}{/a} "
            L"and the {a privacy policy}{c #0x3196f7}privacy policy{/c}{/a}.");
  rig.window.Link(L"btn_Agreement", L"licence agreement");
  rig.window.Link(L"btn_Agreement", L"privacy policy");  // not a web address: logged, not opened
  rig.window.Link(L"btn_Agreement", L"something else");
  rig.window.Click(L"btn_Agreement");  // not a link notification
  rig.window.Click(L"linker_Latest");
  EXPECT_EQ(rig.shell.opened, (std::vector<std::wstring>{L"https://brimvale.example/licence",
                                                         L"https://brimvale.example/latest?lang=English"}));
}

TEST(WizardTest, CloseConfirmationDependsOnTheTab) {
  struct Case {
    int tab;
    int answer;
    const wchar_t* dialog;  // nullptr: no question
    bool quits;
  } cases[] = {
      {0, kDialogConfirm, L"QuitInstallDialog.xml", true},
      {0, kDialogDismiss, L"QuitInstallDialog.xml", false},
      {0, kDialogClosePicture, L"QuitInstallDialog.xml", false},
      {0, kDialogClosed, L"QuitInstallDialog.xml", false},
      {1, kDialogConfirm, L"QuitInstallDialog.xml", true},
      {1, kDialogNoOwner, L"QuitInstallDialog.xml", false},
      {2, kDialogConfirm, nullptr, true},
      {3, kDialogConfirm, nullptr, true},
      {5, kDialogConfirm, nullptr, true},
      {4, kDialogDismiss, L"StartRunDialog.xml", true},
      {4, kDialogClosePicture, L"StartRunDialog.xml", false},
      {4, kDialogClosed, L"StartRunDialog.xml", false},
  };
  for (const Case& c : cases) {
    UiStores stores;
    WizardRig rig(stores);
    if (c.tab == 4) rig.wizard.finish().Activate();
    rig.window.SelectItem(kTab, c.tab);
    rig.window.dialog_answers = {c.answer};
    rig.wizard.RequestClose();
    if (c.dialog == nullptr) {
      EXPECT_TRUE(rig.window.dialogs.empty()) << c.tab;
    } else {
      ASSERT_EQ(rig.window.dialogs.size(), 1u) << c.tab;
      EXPECT_EQ(rig.window.dialogs[0].description, c.dialog);
    }
    EXPECT_EQ(rig.window.quits, c.quits ? 1 : 0) << c.tab << " " << c.answer;
    EXPECT_EQ(rig.wizard.quitting(), c.quits);
  }
  // The quit question's texts.
  UiStores stores;
  WizardRig rig(stores);
  rig.window.Click(L"btn_Close");
  ASSERT_EQ(rig.window.dialogs.size(), 1u);
  const ui::DialogTexts& texts = rig.window.dialogs[0];
  EXPECT_EQ(texts.title, L"PhotoStudio");
  EXPECT_EQ(texts.confirm, L"Quit");
  EXPECT_EQ(texts.dismiss, L"Cancel");
  EXPECT_EQ(texts.tip, L"Do you want to cancel the installation?");
  EXPECT_EQ(texts.detail, L"The installation is not finished yet.");
  // The finish tab before the finish page exists asks nothing.
  rig.window.SelectItem(kTab, 4);
  rig.wizard.RequestClose();
  EXPECT_EQ(rig.window.dialogs.size(), 1u);
  EXPECT_EQ(rig.window.quits, 0);
}

TEST(WizardTest, InstallRetryAndRestartAreRefusedWhileAPassIsOut) {
  UiStores stores;
  WizardRig rig(stores);
  rig.Ready(Release(kEmptyReply));
  rig.window.Click(L"btn_Install");
  rig.window.RunPosted();
  ASSERT_EQ(rig.tab(), 2);
  const install::CDownloadPipeline* first = rig.wizard.progress().pipeline();
  ASSERT_NE(first, nullptr);
  {
    // A pipeline or one of its questions is under way.
    auto pass = rig.wizard.gate().Enter("test");
    ASSERT_TRUE(pass.has_value());
    EXPECT_FALSE(rig.wizard.gate().Enter("second").has_value());
    rig.window.dialog_answers = {kDialogConfirm};
    rig.window.Click(L"btn_Install");
    rig.window.Click(L"downloadRetry");
    rig.window.Click(L"installRetry");
    rig.window.RunPosted();
  }
  EXPECT_EQ(rig.wizard.progress().pipeline(), first);
  EXPECT_EQ(rig.wizard.progress().pipeline()->LastErrorCode(), 1002);
  EXPECT_TRUE(rig.window.dialogs.empty());  // not even the restart question
  EXPECT_EQ(rig.shell.restarts, 0);
  // Once the pass is back, the same click works; after a quit nothing does.
  rig.window.dialog_answers = {kDialogDismiss};
  rig.window.Click(L"installRetry");
  EXPECT_EQ(rig.window.dialogs.size(), 1u);
  rig.wizard.Quit();
  rig.window.Click(L"installRetry");
  rig.window.Click(L"downloadRetry");
  EXPECT_EQ(rig.window.dialogs.size(), 1u);
  EXPECT_EQ(rig.wizard.progress().pipeline()->LastErrorCode(), 1002);
}

TEST(WizardTest, ClicksDuringARunningPipelineStartNothing) {
  UiStores stores;
  WizardRig rig(stores);
  rig.Ready(Release(kEmptyReply));
  int release_reads = 0;
  const install::CDownloadPipeline* running = nullptr;
  // The release record is read inside the pipeline's run, on the UI thread:
  // every click that arrives then (a real wait dispatches them) is refused,
  // a queued one as well as one made during the run.
  auto pass = rig.wizard.gate().Enter("Install");
  ASSERT_TRUE(pass.has_value());
  rig.window.PostToUiThread([&] { rig.window.Click(L"btn_Install"); });
  rig.wizard.progress().Start({{"DIR", L"C:\\Apps"}}, [&] {
    ++release_reads;
    running = rig.wizard.progress().pipeline();
    rig.window.Click(L"btn_Install");
    rig.window.Click(L"downloadRetry");
    rig.window.Click(L"installRetry");
    rig.window.RunPosted();
    return Release(kEmptyReply);
  });
  pass.reset();
  rig.window.RunPosted();
  EXPECT_EQ(release_reads, 1);
  // No second pipeline took the running one's place.
  EXPECT_EQ(rig.wizard.progress().pipeline(), running);
  EXPECT_TRUE(rig.window.dialogs.empty());  // the restart question was never asked
  EXPECT_EQ(rig.shell.restarts, 0);
  EXPECT_EQ(rig.tab(), 2);
}

TEST(HomePageTest, SameVersionQuestionOnlyAYesGoesOn) {
  struct Case {
    int answer;
    bool downloads;
    bool starts_product;
  } cases[] = {
      {kDialogConfirm, true, false}, {kDialogDismiss, false, true},  {kDialogClosePicture, false, false},
      {kDialogClosed, false, false}, {kDialogNoOwner, false, false},
  };
  for (const Case& c : cases) {
    InstalledProduct product(L"3.1.0");
    std::map<std::string, std::string> config = product.Config();
    test_support::TestRegistryKey setup_path(test_support::UniqueName(L"SetupPath_"), platform::RegistryView::Bits32);
    ASSERT_TRUE(setup_path.Open().WriteString(L"InstallPath", L"\"C:\\Apps\\PhotoStudio.exe\""));
    config["SetupPathSubkey"] = platform::WideToUtf8(setup_path.path());
    config["SetupPathSubkeyName"] = "InstallPath";
    UiStores stores(config);
    WizardRig rig(stores);
    rig.Ready(Release(kAnswered, "3.1.0"));
    ASSERT_EQ(rig.window.Get(L"btn_Install", L"text"), L"Reinstall");
    rig.wizard.home()->SetRelease(Release(kAnswered, "3.1.0"));
    rig.window.dialog_answers = {c.answer};
    // A record the pipeline refuses at once: reaching the download shows 1000 + 2.
    rig.window.Click(L"btn_Install");
    ASSERT_EQ(rig.window.dialogs.size(), 1u);
    EXPECT_EQ(rig.window.dialogs[0].description, L"CoverInstallDialog.xml");
    EXPECT_EQ(rig.window.dialogs[0].confirm, L"Reinstall");
    EXPECT_EQ(rig.window.dialogs[0].detail, L"PhotoStudio 3.1.0 is already installed on this computer.");
    EXPECT_EQ(rig.wizard.progress().pipeline() != nullptr, c.downloads) << c.answer;
    EXPECT_EQ(rig.window.quits, c.starts_product ? 1 : 0) << c.answer;
    if (c.starts_product) {
      ASSERT_EQ(rig.shell.started.size(), 1u);
      EXPECT_EQ(rig.shell.started[0].first, L"C:\\Apps\\PhotoStudio.exe");
    } else {
      EXPECT_TRUE(rig.shell.started.empty());
    }
  }
}

class RunningProduct {
 public:
  RunningProduct()
      : name_(test_support::UniqueName(L"Product_") + L".exe"),
        copied_(test_support::CopyOneFile(
            test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\fake_product.exe",
            folder_.File(name_))),
        process_(folder_.File(name_), L"sleep 60000") {}
  [[nodiscard]] std::string name() const { return platform::WideToUtf8(name_); }
  [[nodiscard]] bool running() const { return process_.IsRunning(); }
  [[nodiscard]] bool copied() const { return copied_; }

 private:
  test_support::TempFolder folder_;
  std::wstring name_;
  bool copied_;
  test_support::BackgroundProcess process_;
};

TEST(HomePageTest, RunningProductIsAskedNotKilledUnlessTheReleaseSaysSo) {
  {
    RunningProduct product;
    ASSERT_TRUE(product.copied());
    ASSERT_TRUE(product.running());
    // An older version is installed: no reinstall question, only the running one.
    InstalledProduct installed(L"3.0.9");
    Keys keys = installed.Config();
    keys["ProductProcess"] = "other.exe," + product.name();
    UiStores stores(keys);
    WizardRig rig(stores);
    net::ReleaseInfo release = Release(kAnswered);
    release.killSwitch = false;
    rig.Ready(release);
    // "Continue" while it still runs asks again; "Cancel" stays on the page.
    rig.window.dialog_answers = {kDialogConfirm, kDialogConfirm, kDialogDismiss};
    rig.window.Click(L"btn_Install");
    ASSERT_EQ(rig.window.dialogs.size(), 3u);
    EXPECT_EQ(rig.window.dialogs[0].description, L"ProductRunningDialog.xml");
    EXPECT_EQ(rig.window.dialogs[0].tip, L"PhotoStudio is running. Please close it to continue.");
    EXPECT_TRUE(product.running());
    EXPECT_EQ(rig.wizard.progress().pipeline(), nullptr);
    // Closing the question by keyboard is no yes either.
    rig.window.dialogs.clear();
    rig.window.dialog_answers = {kDialogClosed};
    rig.window.Click(L"btn_Install");
    EXPECT_EQ(rig.window.dialogs.size(), 1u);
    EXPECT_TRUE(product.running());
    EXPECT_EQ(rig.wizard.progress().pipeline(), nullptr);
  }
  {
    // Not installed: the running check is skipped, as nothing is replaced.
    RunningProduct product;
    ASSERT_TRUE(product.running());
    UiStores stores(Keys{{"ProductProcess", product.name()}});
    WizardRig rig(stores);
    rig.Ready(Release(kEmptyReply));
    rig.window.Click(L"btn_Install");
    EXPECT_TRUE(rig.window.dialogs.empty());
    EXPECT_TRUE(product.running());
    EXPECT_NE(rig.wizard.progress().pipeline(), nullptr);
  }
  {
    RunningProduct product;
    ASSERT_TRUE(product.running());
    InstalledProduct installed(L"3.0.9");
    Keys keys = installed.Config();
    keys["ProductProcess"] = product.name();
    UiStores stores(keys);
    WizardRig rig(stores);
    net::ReleaseInfo release = Release(kAnswered);
    release.killSwitch = true;
    release.sources[0].url = "http://127.0.0.1:9/none.exe";
    rig.Ready(release);
    rig.window.Click(L"btn_Install");
    // Ended without a question, and gone before the install went on.
    EXPECT_TRUE(rig.window.dialogs.empty());
    EXPECT_FALSE(product.running());
    EXPECT_NE(rig.wizard.progress().pipeline(), nullptr);
  }
}

TEST(FailurePagesTest, TextsOfflineLinksRetryAndRestart) {
  UiStores stores(Keys{{"OfflineDownloadUrl", "https://brimvale.example/offline"}});
  WizardRig rig(stores);
  EXPECT_EQ(rig.window.Get(L"downloadFailedTitle", L"text"), L"Download failed");
  EXPECT_EQ(rig.window.Get(L"installFailedMsg", L"text"), L"PhotoStudio could not be installed.");
  EXPECT_EQ(rig.window.Get(L"installErrorFirst", L"text"), L"\x2022  Restart the computer.");
  EXPECT_EQ(rig.window.Get(L"installErrorSecond", L"text"), L"   Run the installer again.");
  EXPECT_FALSE(rig.window.IsTrue(L"installErrorThird", L"visible"));
  EXPECT_EQ(rig.window.Get(L"installErrorFouth", L"text"), L"\x2022  Or download the offline installer and run it.");
  // Buttons narrower than their text are widened (the recording window measures 7 units a letter).
  const std::wstring offline = L"Download the offline installer";
  EXPECT_EQ(rig.window.Get(L"downloadOffline", L"width"), std::to_wstring(7 * offline.size() + 10 + 16));

  // A release failure: the download tab's button opens the configured page,
  // the install tab's button nothing.
  rig.Ready(Release(kEmptyReply));
  rig.window.Click(L"btn_Install");
  rig.window.RunPosted();
  ASSERT_EQ(rig.tab(), 2);
  rig.window.Click(L"downloadOffline");
  rig.window.Click(L"installOffline");
  EXPECT_EQ(rig.shell.opened, std::vector<std::wstring>{L"https://brimvale.example/offline"});

  // Restart asks first; only a yes restarts.
  rig.window.dialog_answers = {kDialogDismiss, kDialogClosed, kDialogConfirm};
  rig.window.Click(L"installRetry");
  rig.window.Click(L"installRetry");
  EXPECT_EQ(rig.shell.restarts, 0);
  rig.window.Click(L"installRetry");
  EXPECT_EQ(rig.shell.restarts, 1);
  ASSERT_EQ(rig.window.dialogs.size(), 3u);
  EXPECT_EQ(rig.window.dialogs[0].confirm, L"Restart");
  EXPECT_EQ(rig.window.dialogs[0].tip, L"Restart the computer now?");

  // Retry after a release failure: back home, where the check runs again.
  rig.window.timers.clear();
  rig.window.Click(L"downloadRetry");
  rig.window.RunPosted();
  EXPECT_EQ(rig.tab(), 0);
  EXPECT_EQ(rig.window.timers, (std::set<UINT>{20, 21, 22}));
  // The failure tab closes without a question.
  rig.window.SelectItem(kTab, 2);
  rig.window.Click(L"downloadErrBtnClose");
  EXPECT_EQ(rig.window.quits, 1);
}

TEST(FailurePagesTest, OfflineLinkOfASucceededReleaseOpensOnlyWebAddresses) {
  struct Case {
    const char* url;
    bool opened;
  } cases[] = {
      // Loopback addresses nobody answers: the transfer fails at once.
      {"https://127.0.0.1:9/PhotoStudio.exe", true},
      {"http://127.0.0.1:9/PhotoStudio.exe", true},
      {"file:///C:/Windows/System32/calc.exe", false},
      {"C:\\Windows\\System32\\calc.exe", false},
      {"http:///no-host", false},
      {"", false},
  };
  for (const Case& c : cases) {
    UiStores stores;
    WizardRig rig(stores);
    net::ReleaseInfo release = Release(kAnswered);
    release.sources[0].url = c.url;
    release.md5 = "0123";
    // The run fails on its transfer; the record is what the links read.
    auto pass = rig.wizard.gate().Enter("test");
    rig.wizard.progress().Start({{"DIR", L"C:\\Apps"}}, [release] { return release; });
    rig.window.Click(L"installOffline");
    EXPECT_EQ(rig.shell.opened.size(), c.opened ? 1u : 0u) << c.url;
  }
}

TEST(FinishPageTest, StartNowRunsTheInstalledProgramFromItsIconValue) {
  test_support::TestRegistryKey address(test_support::UniqueName(L"Uninstall_"), platform::RegistryView::Bits64);
  const std::wstring prefix = test_support::UniqueName(L"Brimvale_");
  const platform::RegistryKey key = platform::RegistryKey::Create(
      HKEY_LOCAL_MACHINE, address.path() + L"\\" + prefix + L" 3.1_is1", platform::RegistryView::Bits64, KEY_WRITE);
  ASSERT_TRUE(key.WriteString(L"DisplayIcon", L"\"C:\\Program Files\\Brimvale\\PhotoStudio.exe\",0"));
  UiStores stores({{"RegistryAddress", platform::WideToUtf8(address.path())},
                   {"RegistryNameWithVer", platform::WideToUtf8(prefix) + "*"},
                   {"ShowWebAds", "1"}});
  startup::Parameters().Insert("receivedAdUrl", L"https://ads.brimvale.example/bye");
  WizardRig rig(stores);
  rig.wizard.finish().Activate();
  EXPECT_EQ(rig.tab(), 4);
  EXPECT_EQ(rig.window.Get(L"complete_title", L"text"), L"Installation complete");

  // The close button: the closing ad, then the question; its picture stays.
  rig.window.dialog_answers = {kDialogClosePicture};
  rig.window.Click(L"btn_CloseInstalls");
  EXPECT_EQ(rig.shell.opened, std::vector<std::wstring>{L"https://ads.brimvale.example/bye"});
  ASSERT_EQ(rig.window.dialogs.size(), 1u);
  EXPECT_EQ(rig.window.dialogs[0].description, L"StartRunDialog.xml");
  EXPECT_EQ(rig.window.dialogs[0].dismiss, L"Later");
  EXPECT_EQ(rig.window.quits, 0);
  EXPECT_TRUE(rig.shell.started.empty());

  rig.window.Click(L"btn_Run");
  ASSERT_EQ(rig.shell.started.size(), 1u);
  EXPECT_EQ(rig.shell.started[0].first, L"C:\\Program Files\\Brimvale\\PhotoStudio.exe");
  EXPECT_EQ(rig.shell.started[0].second, L"C:\\Program Files\\Brimvale\\");
  EXPECT_EQ(rig.window.quits, 1);
}

TEST(FinishPageTest, ProductThatCannotBeFoundKeepsTheWindowOnStartNow) {
  test_support::TestRegistryKey address(test_support::UniqueName(L"Uninstall_"), platform::RegistryView::Bits64);
  UiStores stores(
      {{"RegistryAddress", platform::WideToUtf8(address.path())}, {"RegistryNameWithVer", "*"}, {"ShowWebAds", "1"}});
  // Not a web address: the closing ad is not opened.
  startup::Parameters().Insert("receivedAdUrl", L"file:///C:/x.exe");
  address.CreateSubkey(L"SomethingElse");
  WizardRig rig(stores);
  rig.wizard.finish().Activate();
  rig.window.Click(L"btn_Run");
  EXPECT_TRUE(rig.shell.started.empty());
  EXPECT_EQ(rig.window.quits, 0);
  // "Start now" in the question closes anyway.
  rig.window.dialog_answers = {kDialogConfirm};
  rig.window.Click(L"btn_CloseInstalls");
  EXPECT_TRUE(rig.shell.opened.empty());
  EXPECT_EQ(rig.window.quits, 1);
}

TEST(ProgressPageTest, ViewPostsWorkerReportsAndAppliesThemInOrder) {
  UiStores stores;
  RecordingWindow window;
  ui::UiPipelineView::Handlers handlers;
  std::vector<int> pages;
  handlers.switch_page = [&](install::WizardPage page) { pages.push_back(static_cast<int>(page)); };
  handlers.failure = [&](install::WizardPage page, int32_t code) {
    pages.push_back(static_cast<int>(page) * 10000 + code);
  };
  {
    ui::UiPipelineView view(window, handlers);
    std::thread worker([&] {
      view.Progress(10);
      view.TransferBytes(1000, 100000);
      view.TipText(L"Downloading:1KB/100KB");
      view.Progress(20);
    });
    worker.join();
    view.SwitchPage(install::WizardPage::Finish);
    view.Failure(install::WizardPage::InstallFailure, 6001);
    // Nothing reached a control from the worker.
    EXPECT_EQ(window.Get(L"progressValue", L"text"), L"");
    EXPECT_EQ(window.RunPosted(), 6u);
    EXPECT_EQ(window.Get(L"progressValue", L"text"), L"20%");
    EXPECT_EQ(window.Get(L"slrProgress", L"value"), L"20");
    EXPECT_EQ(window.Get(L"progressTip", L"text"), L"Downloading:1KB/100KB");
    // One report is no speed yet.
    EXPECT_FALSE(window.IsTrue(L"progressSpeed", L"visible"));
    EXPECT_FALSE(window.IsTrue(L"progressTimeLeft", L"visible"));
    EXPECT_EQ(pages, (std::vector<int>{4, 36001}));
    view.Progress(30);
  }
  // The view is gone before its last report ran: nothing happens.
  EXPECT_EQ(window.RunPosted(), 1u);
  EXPECT_EQ(window.Get(L"progressValue", L"text"), L"20%");
}

// The taskbar button through a whole run as the pipeline reports it: the
// value while downloading and installing, paused after a stall until bytes
// move again, the error colour on a failure page (its value kept), from 0
// again on a retry, nothing on the finish or home page.
TEST(ProgressPageTest, TheTabShowsBeforeThePipelineIsMadeAndAQuitThenStartsNothing) {
  UiStores stores;
  {
    WizardRig rig(stores);
    rig.Ready(Release(kEmptyReply));
    int tab_at_catch_up = -1;
    bool pipeline_at_catch_up = true;
    rig.window.during_catch_up = [&] {
      tab_at_catch_up = rig.tab();
      pipeline_at_catch_up = rig.wizard.progress().pipeline() != nullptr;
    };
    rig.window.Click(L"btn_Install");
    rig.window.RunPosted();
    EXPECT_EQ(rig.window.catch_ups, 1);
    EXPECT_EQ(tab_at_catch_up, 1);  // the progress tab, already selected
    EXPECT_FALSE(pipeline_at_catch_up);
    ASSERT_NE(rig.wizard.progress().pipeline(), nullptr);
    EXPECT_EQ(rig.tab(), 2);  // then the run went on to its failure page
  }
  {
    // The user quits while the tab first paints: no pipeline starts.
    WizardRig rig(stores);
    rig.Ready(Release(kEmptyReply));
    rig.window.during_catch_up = [&] { rig.wizard.Quit(); };
    rig.window.Click(L"btn_Install");
    rig.window.RunPosted();
    EXPECT_EQ(rig.window.catch_ups, 1);
    EXPECT_EQ(rig.wizard.progress().pipeline(), nullptr);
    EXPECT_EQ(rig.window.quits, 1);
  }
}

TEST(ProgressPageTest, TaskbarButtonFollowsTheRun) {
  UiStores stores;
  RecordingWindow window;
  ui::UiPipelineView view(window, {});
  using State = toolkit::TaskbarState;
  using Shown = std::vector<std::pair<State, int>>;
  std::thread worker([&] {
    view.Progress(10);
    view.TransferStalled();
    view.Progress(25);
  });
  worker.join();
  EXPECT_TRUE(window.taskbar.empty()) << "a worker thread reached the window";
  view.Stage(96);
  view.Failure(install::WizardPage::InstallFailure, 6001);
  window.RunPosted();
  EXPECT_EQ(
      window.taskbar,
      (Shown{{State::Normal, 10}, {State::Paused, 10}, {State::Normal, 25}, {State::Normal, 96}, {State::Error, 96}}));
  window.taskbar.clear();
  view.ResetTransfer();  // "try again"
  view.Progress(40);
  view.SwitchPage(install::WizardPage::Finish);
  window.RunPosted();
  EXPECT_EQ(window.taskbar, (Shown{{State::Normal, 0}, {State::Normal, 40}, {State::None, 0}}));
  window.taskbar.clear();
  view.TransferStalled();
  view.SwitchPage(install::WizardPage::Home);
  window.RunPosted();
  EXPECT_EQ(window.taskbar, (Shown{{State::Paused, 40}, {State::None, 0}}));
}

TEST(ProgressPageTest, CarouselSlidesTwoSlotsAndWrapsAround) {
  UiStores stores;
  RecordingWindow window;
  ui::AdsCarousel carousel(window);
  carousel.Advance(0, 0);
  EXPECT_EQ(window.Get(L"loadingLayout", L"pos"), L"0,0,752,342");
  EXPECT_EQ(window.Get(L"loadingLayout2", L"pos"), L"-752,0,0,342");
  EXPECT_EQ(window.Get(L"adsIdx", L"text"), L"1/3");
  EXPECT_EQ(window.Get(L"adsIdx2", L"text"), L"3/3");
  EXPECT_EQ(window.Get(L"adsImg", L"bkimage"), L"startup1.png");
  EXPECT_EQ(window.Get(L"adsTip", L"text"), L"Edit RAW photos with one click.");
  EXPECT_EQ(window.Get(L"loadingLayout3", L"pos"), L"-752,0,0,342");
  EXPECT_EQ(carousel.next_slide(), 2);
  carousel.Advance(8, 16);
  EXPECT_EQ(window.Get(L"loadingLayout", L"pos"), L"376,0,1128,342");
  EXPECT_EQ(window.Get(L"loadingLayout2", L"pos"), L"-376,0,376,342");
  EXPECT_EQ(window.Get(L"adsIdx", L"text"), L"2/3");
  EXPECT_EQ(carousel.next_slide(), 2);
  carousel.Advance(16, 16);
  EXPECT_EQ(carousel.next_slide(), 3);
  carousel.Advance(16, 16);
  EXPECT_EQ(carousel.next_slide(), 1);
  carousel.Advance(1, 16);
  EXPECT_EQ(window.Get(L"adsIdx", L"text"), L"1/3");
  EXPECT_EQ(window.Get(L"adsIdx2", L"text"), L"3/3");
  EXPECT_EQ(window.Get(L"loadingLayout", L"pos"), L"705,0,1457,342");
}

TEST(ProgressPageTest, SlideTimersRunOnlyOnTheProgressTab) {
  UiStores stores;
  WizardRig rig(stores);
  for (int i = 0; i < 60; ++i) rig.wizard.OnTimer(ui::kSlideClockTimer);
  EXPECT_EQ(rig.window.timers.count(23), 0u);  // tab 0: no slide changes
  rig.window.SelectItem(kTab, 1);
  for (int i = 0; i < 39; ++i) rig.wizard.OnTimer(ui::kSlideClockTimer);
  EXPECT_EQ(rig.window.timers.count(23), 0u);
  rig.wizard.OnTimer(ui::kSlideClockTimer);
  EXPECT_EQ(rig.window.timers.count(23), 1u);
  for (int i = 0; i < 15; ++i) rig.wizard.OnTimer(ui::kSlideFrameTimer);
  EXPECT_EQ(rig.window.timers.count(23), 1u);
  rig.wizard.OnTimer(ui::kSlideFrameTimer);
  EXPECT_EQ(rig.window.timers.count(23), 0u);
  EXPECT_EQ(rig.window.Get(L"loadingLayout", L"pos"), L"0,0,752,342");
}

VARIANT Url(const wchar_t* text) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocString(text);
  return v;
}

TEST(WebAdsPanelTest, LinksOpenOutsideAndThePanelShowsAfterARealPageLoads) {
  UiStores stores;
  RecordingWindow window;
  RecordingShell shell;
  ui::WebAdsPanel panel(window, shell);
  EXPECT_FALSE(panel.Load("file:///C:/ads.html"));
  EXPECT_TRUE(window.web_content.empty());
  ASSERT_TRUE(panel.Load("https://ads.brimvale.example/install"));
  EXPECT_EQ(window.web_content, std::vector<std::wstring>{L"https://ads.brimvale.example/install"});
  EXPECT_FALSE(window.IsTrue(L"adsBrowser", L"visible"));
  EXPECT_TRUE(window.IsTrue(L"loadingLayout", L"visible"));

  struct Navigation {
    const wchar_t* url;
    bool cancelled;
  } navigations[] = {
      {L"app:openWeb?url=https://shop.brimvale.example/?a=1&b=2", true},
      {L"app:openWeb?url=file:///C:/x.exe", true},  // cancelled, and not opened
      {L"app:openWeb?url=", false},
      {L"https://ads.brimvale.example/next", false},
  };
  for (const Navigation& n : navigations) {
    VARIANT url = Url(n.url);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    panel.BeforeNavigate2(nullptr, &url, nullptr, nullptr, nullptr, nullptr, &cancel);
    EXPECT_EQ(cancel != VARIANT_FALSE, n.cancelled) << n.url;
    ::VariantClear(&url);
  }
  window.RunPosted();
  EXPECT_EQ(shell.opened, std::vector<std::wstring>{L"https://shop.brimvale.example/?a=1&b=2"});

  // The blank page and a failed page never count.
  VARIANT blank = Url(L"about:blank");
  panel.NavigateComplete2(nullptr, &blank);
  VARIANT page = Url(L"https://ads.brimvale.example/install");
  VARIANT status;
  ::VariantInit(&status);
  status.vt = VT_I4;
  status.lVal = 404;
  panel.NavigateError(nullptr, &page, nullptr, &status, nullptr);
  panel.NavigateComplete2(nullptr, &page);
  window.RunPosted();
  EXPECT_FALSE(panel.shown());
  EXPECT_FALSE(window.intercept);
  // A later navigation that loads: shown in place of the slides.
  VARIANT_BOOL cancel = VARIANT_FALSE;
  panel.BeforeNavigate2(nullptr, &page, nullptr, nullptr, nullptr, nullptr, &cancel);
  panel.NavigateComplete2(nullptr, &page);
  window.RunPosted();
  EXPECT_TRUE(panel.shown());
  EXPECT_TRUE(window.IsTrue(L"adsBrowser", L"visible"));
  for (const wchar_t* layout : {L"loadingLayout", L"loadingLayout2", L"loadingLayout3"}) {
    EXPECT_FALSE(window.IsTrue(layout, L"visible")) << layout;
  }
  EXPECT_TRUE(window.intercept);
  ::VariantClear(&blank);
  ::VariantClear(&page);

  DOCHOSTUIINFO info{};
  info.dwFlags = 0x100;
  EXPECT_EQ(panel.GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.dwFlags, 0x100u | 0x24000Fu);
  EXPECT_EQ(info.cbSize, 20u);
  // A failure page hides it again and stops the click filter.
  panel.Hide();
  EXPECT_FALSE(window.IsTrue(L"adsBrowser", L"visible"));
  EXPECT_FALSE(window.intercept);
}

}  // namespace
