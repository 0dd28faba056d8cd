#include "ui/comparison_page.h"

#include "startup/launch_parameters.h"
#include "startup/log.h"
#include "startup/product_config.h"

namespace ui {
namespace {

// Control and language key of every text of the tab.
struct TextOf {
  const wchar_t* control;
  const char* key;
};
constexpr TextOf kTexts[] = {
    {L"lb_contrastiveFeature", "ProductFeature"},
    {L"lb_contrastiveOne", "FeatureRowOne"},
    {L"lb_contrastiveTwo", "FeatureRowTwo"},
    {L"lb_contrastiveThree", "FeatureRowThree"},
    {L"lb_contrastiveFour", "FeatureRowFour"},
    {L"lb_contrastiveFive", "FeatureRowFive"},
    {L"lb_contrastiveSix", "FeatureRowSix"},
    {L"lb_contrastiveSeven", "FeatureRowSeven"},
    {L"lb_contrastiveEight", "FeatureRowEight"},
    {L"lb_ProductName", "OneClickTransferTips"},
    {L"lb_contrastiveFree", "ProductFree"},
    {L"lb_contrastivePro", "ProductPro"},
    {L"btn_buy", "BuyNow"},
    {L"btn_tryPro", "TryProEditon"},
    {L"btn_contrastiveNext", "ContrastiveNext"},
    {L"btn_contrastiveCancel", "Canncel"},
};

}  // namespace

ComparisonPage::ComparisonPage(IWindowOperations& window, IWizardFlow& flow) : GeneralPage(window, flow) {
  BindHandlers();
}

void ComparisonPage::Show(const install::OptionMap& options) {
  options_ = options;
  ApplyTexts();
  window().SelectItem(kWizardTab, kComparisonTab);
  startup::Log("Edition comparison shown\n");
}

void ComparisonPage::ApplyTexts() {
  window().SetText(L"lb_contrastiveTitle", Text("ContrastiveTitle"));
  window().SetText(L"contrastiveTips", TextWith("ContrastiveTips", "ProductName"));
  for (const TextOf& text : kTexts) window().SetText(text.control, Text(text.key));
  window().SetAttribute(L"btn_contrastiveClose", L"tooltip", Text("CloseTips"));
}

void ComparisonPage::BindHandlers() {
  OnClick(L"btn_contrastiveNext", [this] { GoOn("Next"); });
  OnClick(L"btn_tryPro", [this] { TryPro(); });
  OnClick(L"btn_buy", [this] { OpenShop(); });
  // Both end the run as a confirmed quit: nothing downloads, the report goes.
  OnClick(L"btn_contrastiveCancel", [this] { flow().Quit(); });
  OnClick(L"btn_contrastiveClose", [this] { flow().Quit(); });
}

void ComparisonPage::GoOn(const char* action) {
  // A second press while the first one's download runs is refused here.
  const std::optional<PipelineGate::Pass> pass = flow().gate().Enter(action);
  if (!pass) return;
  if (window().CurrentIndex(kWizardTab) != kComparisonTab) {
    startup::Log("%s ignored: the comparison is no longer shown\n", action);
    return;
  }
  flow().StartDownload(options_);
}

void ComparisonPage::TryPro() {
  if (flow().gate().busy() || window().CurrentIndex(kWizardTab) != kComparisonTab) {
    startup::Log("Try Pro ignored: the download has begun\n");
    return;
  }
  const std::wstring trial = startup::Config().Get("TrialVersionName");
  startup::Parameters().Replace("DOWNLOAD_VERSION", trial);  // an absent edition stays absent
  startup::Log("Try Pro: DOWNLOAD_VERSION is now %s\n", startup::Parameters().Get("DOWNLOAD_VERSION"));
  GoOn("Try Pro");
}

void ComparisonPage::OpenShop() {
  const std::wstring address = Text("LinkBuyNow");
  if (address.empty()) return;
  (void)OpenWebAddress(flow().shell(), address, "Shop link");
}

}  // namespace ui
