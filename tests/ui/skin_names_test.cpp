// The pages against the shipped skin: every control name the wizard sets,
// reads, fills, measures or handles on its way through every tab exists in
// the main window's description of dist/skin.zip, and every question's
// description has the controls a question fills. A name renamed on one side
// only fails here instead of silently showing nothing.
#include "ui/wizard.h"

#include <gtest/gtest.h>

#include <set>

#include "recording_window.h"
#include "test_support.h"
#include "toolkit/control.h"
#include "toolkit/window_description.h"
#include "toolkit/zip_archive.h"
#include "ui/ads_carousel.h"
#include "ui/ui_pipeline_view.h"
#include "ui_stores.h"

namespace {

using ui_test::RecordingShell;
using ui_test::RecordingWindow;
using ui_test::UiStores;

std::shared_ptr<toolkit::ZipArchive> ShippedSkin() {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  const std::wstring path = test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\skin.zip";
  EXPECT_EQ(archive->OpenFile(path), toolkit::ZipError::kNone) << testing::PrintToString(path);
  return archive;
}

std::set<std::wstring> MissingFrom(const std::shared_ptr<toolkit::ZipArchive>& archive, const std::wstring& file,
                                   const std::set<std::wstring, std::less<>>& names) {
  toolkit::DescriptionResult built = toolkit::BuildWindowDescription(archive, file);
  EXPECT_TRUE(built.description) << testing::PrintToString(file) << " " << testing::PrintToString(built.error);
  if (!built.description) return {names.begin(), names.end()};
  std::set<std::wstring> missing;
  for (const std::wstring& name : names) {
    if (built.description->root->FindByName(name) == nullptr) missing.insert(name);
  }
  return missing;
}

TEST(SkinNamesTest, EveryNameTheWizardUsesIsInTheShippedSkin) {
  UiStores stores({{"HasRecommendProduct", "1"}, {"OfflineDownloadUrl", "https://brimvale.example/offline"}});
  RecordingWindow window;
  RecordingShell shell;
  ui::WizardSettings settings;
  settings.language = "English";
  settings.language_folder = stores.folder();
  settings.check_release = [](const std::string&) {
    net::ReleaseInfo failed;
    failed.status = net::ReleaseStatus::Failed(net::ReleaseStage::Reply, net::ReleaseCause::EmptyReply);
    return failed;
  };
  {
    ui::Wizard wizard(window, shell, settings);
    // Home: loading, then ready; the options opened and closed, the
    // language switched.
    wizard.Start();
    wizard.OnTimer(ui::kLoadingTextTimer);
    ASSERT_NE(wizard.home(), nullptr);
    wizard.home()->EnableControls(true);
    wizard.home()->UpdateInstallButton();
    window.Click(L"btn_ShowMore");
    window.Click(L"btn_HideMore");
    window.ChooseInCombo(L"language_Combo", window.Get(L"language_Combo", L"text"));
    // The release query fails: the progress tab, then the failure tab.
    wizard.OnTimer(ui::kReleaseCheckTimer);
    window.RunPosted();
    window.Click(L"downloadOffline");
    // The progress tab's moving parts and figures.
    for (int frame = 0; frame <= ui::AdsCarousel::kFrames; ++frame)
      wizard.progress().AdvanceCarousel(frame, ui::AdsCarousel::kFrames);
    // The finish tab and the close question of each tab.
    wizard.finish().Activate();
    // Closing on a failure tab ends the wizard, so those come last.
    for (int tab : {4, 0, 1, 5}) {
      window.SelectItem(L"wizardTab", tab);
      wizard.RequestClose();
    }
  }
  {
    ui::UiPipelineView view(window, {});
    view.TransferBytes(1000, 100000);
    view.Stage(50);
    window.RunPosted();
  }
  auto archive = ShippedSkin();
  // The close command's pseudo-name is no control.
  window.names_used.erase(L"syscommandclose");
  ASSERT_GT(window.names_used.size(), 60u) << "the walk reached too few controls to mean anything";
  // The tabs' own close buttons are the wizard's, not the skin author's choice.
  for (const wchar_t* name : {L"btn_Close", L"btn_CloseProgress", L"downloadErrBtnClose", L"installErrBtnClose",
                              L"progressSpeed", L"progressTimeLeft", L"adsBrowser"}) {
    EXPECT_EQ(window.names_used.count(name), 1u) << testing::PrintToString(std::wstring(name));
  }
  EXPECT_EQ(MissingFrom(archive, L"install.xml", window.names_used), std::set<std::wstring>{});

  // Each question asked names a description with the controls it fills.
  std::set<std::wstring> descriptions;
  for (const ui::DialogTexts& texts : window.dialogs) descriptions.insert(texts.description);
  EXPECT_TRUE(descriptions.count(L"QuitInstallDialog.xml"));
  EXPECT_TRUE(descriptions.count(L"StartRunDialog.xml"));
  const std::set<std::wstring, std::less<>> filled = {
      L"btn_ok", L"btn_close", L"btn_ClosePic", L"lb_TipsText", L"lb_TipsDetailText", L"dialogName", L"layoutPadding"};
  descriptions.insert({L"ProductRunningDialog.xml", L"CoverInstallDialog.xml"});
  for (const std::wstring& description : descriptions) {
    EXPECT_EQ(MissingFrom(archive, description, filled), std::set<std::wstring>{})
        << testing::PrintToString(description);
  }
}

TEST(SkinNamesTest, TheProgressTabsCloseButtonAsksLikeTheWindowsClose) {
  UiStores stores;
  RecordingWindow window;
  RecordingShell shell;
  ui::WizardSettings settings;
  settings.language = "English";
  settings.language_folder = stores.folder();
  ui::Wizard wizard(window, shell, settings);
  window.SelectItem(L"wizardTab", ui::kProgressTab);
  window.dialog_answers = {ui::kDialogDismiss, ui::kDialogConfirm};
  window.Click(L"btn_CloseProgress");
  ASSERT_EQ(window.dialogs.size(), 1u);
  EXPECT_EQ(window.dialogs[0].description, ui::kQuitDialog);
  EXPECT_EQ(window.quits, 0);
  window.Click(L"btn_CloseProgress");
  EXPECT_EQ(window.quits, 1);
  EXPECT_TRUE(wizard.quitting());
}

}  // namespace
