// The wizard's plain rules, table by table: link mark-up, the browsed
// folder, the copy-data block, the click regions, the web content's links,
// the program named by an icon value, speed and time left, the variant.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/default_install_folder.h"
#include "startup/launch_parameters.h"
#include "startup/product_config.h"
#include "ui/click_filter.h"
#include "ui/copy_data.h"
#include "ui/finish_page.h"
#include "ui/general_page.h"
#include "ui/interactive_mode.h"
#include "ui/link_text.h"
#include "ui/normal_page.h"
#include "ui/transfer_rate.h"
#include "ui/web_ads_panel.h"
#include "ui_stores.h"

namespace {

TEST(LinkTextTest, FormatLinksReplacesMarksInTurnAndStopsAtTheFirstMissing) {
  const std::wstring licence = L"{a licence}{c #0x3196f7}licence{/c}{/a}";
  const std::wstring privacy = L"{a privacy}{c #0x3196f7}privacy{/c}{/a}";
  struct Case {
    std::wstring template_text;
    std::wstring expected;
  } cases[] = {
      {L"Accept the %1 and the %2.", L"Accept the " + licence + L" and the " + privacy + L"."},
      {L"No marks at all", L"No marks at all"},
      {L"Only %2 here", L"Only %2 here"},                  // the search stops at the missing %1
      {L"%2 before %1", privacy + L" before " + licence},  // a language may turn them round
      {L"%1 only", licence + L" only"},
      {L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ui::FormatLinks(c.template_text, {L"licence", L"privacy"}), c.expected) << c.template_text;
  }
  // A phrase holding a mark is not formatted again.
  EXPECT_EQ(ui::FormatLinks(L"%1 and %2", {L"%2", L"b"}),
            L"{a %2}{c #0x3196f7}%2{/c}{/a} and {a b}{c #0x3196f7}b{/c}{/a}");
}

TEST(LinkTextTest, WholeTextLinkIsOneBlankTargetLinkWithoutStrayMarkup) {
  EXPECT_EQ(ui::WholeTextLink(L"New: 3.2"), L"{a  }{c #0x3196f7}New: 3.2{/c}{/a}");
  // A version from the server cannot add mark-up of its own.
  EXPECT_EQ(ui::WholeTextLink(L"v{/a}{a x}"), L"{a  }{c #0x3196f7}v/aa x{/c}{/a}");
}

TEST(NormalPageTest, BrowsedFolderJoinsTheProductFolderOnce) {
  struct Case {
    const wchar_t* chosen;
    const wchar_t* product;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\", L"PhotoStudio", L"C:\\PhotoStudio"},
      {L"D:\\", L"PhotoStudio", L"D:\\PhotoStudio"},
      {L"C:\\Apps", L"PhotoStudio", L"C:\\Apps\\PhotoStudio"},
      {L"C:\\My Apps", L"Photo Studio", L"C:\\My Apps\\Photo Studio"},
      {L"\\\\server\\share", L"PhotoStudio", L"\\\\server\\share\\PhotoStudio"},
      {L"C:\\", L"", L"C:\\"},
      {L"C:\\Apps", L"", L"C:\\Apps"},
      {L"", L"PhotoStudio", L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(install::BrowsedInstallFolder(c.chosen, c.product), c.expected) << c.chosen;
  }
  EXPECT_EQ(ui::NormalPage::ExpandedHeight(0), 608);
  EXPECT_EQ(ui::NormalPage::ExpandedHeight(1), 900);
  EXPECT_EQ(ui::NormalPage::ExpandedHeight(2), 750);
}

TEST(CopyDataTest, ReadsWithinTheBlockAndOnlyForItsTag) {
  const char address[] = "https://ads.example/p?x=1";
  // The whole block.
  EXPECT_EQ(ui::ReceivedAdUrl(999, address, sizeof(address), false), L"https://ads.example/p?x=1");
  // A short block without a terminating zero: never read past its size.
  EXPECT_EQ(ui::ReceivedAdUrl(999, address, 9, false), L"https://a");
  // Nothing, or what is no web address, is no address: the next block's counts.
  EXPECT_EQ(ui::ReceivedAdUrl(999, address, 0, false), std::nullopt);
  EXPECT_EQ(ui::ReceivedAdUrl(999, address, 5, false), std::nullopt);
  // Another tag, or no block at all.
  EXPECT_EQ(ui::ReceivedAdUrl(998, address, sizeof(address), false), std::nullopt);
  EXPECT_EQ(ui::ReceivedAdUrl(999, nullptr, 100, false), std::nullopt);
  // Up to the first zero byte.
  const char two[] = "http://a\0http://b";
  EXPECT_EQ(ui::ReceivedAdUrl(999, two, sizeof(two), false), L"http://a");
  // At most 1023 bytes of a larger block.
  const std::string big = "http://" + std::string(5000, 'a');
  EXPECT_EQ(ui::ReceivedAdUrl(999, big.data(), 5000, false)->size(), 1023u);
  // The trial edition goes to the thank-you page, with the block's x-url piece.
  const char trial[] = "https://ads.example/?a=1&x-url=abc&b=2";
  EXPECT_EQ(ui::ReceivedAdUrl(999, trial, sizeof(trial), true),
            std::wstring(L"https://update.brimvale.example/thankyou/?linkid=5001&x-url=abc"));
  const char trial_end[] = "x-url=tail";
  EXPECT_EQ(ui::ReceivedAdUrl(999, trial_end, sizeof(trial_end), true),
            std::wstring(L"https://update.brimvale.example/thankyou/?linkid=5001&x-url=tail"));
  EXPECT_EQ(ui::ReceivedAdUrl(999, address, sizeof(address), true),
            std::wstring(L"https://update.brimvale.example/thankyou/?linkid=5001"));
}

TEST(ClickFilterTest, DragAndMinimizeRegionsSitSideBySideOnTheTopStrip) {
  const ui::ClickRegions regions{520, 40, 40, 30};
  const POINT origin{100, 200};
  struct Case {
    POINT point;
    ui::ClickAction expected;
  } cases[] = {
      {{100, 200}, ui::ClickAction::Drag},      // the corner
      {{619, 239}, ui::ClickAction::Drag},      // last pixel of the drag region
      {{620, 200}, ui::ClickAction::Minimize},  // first pixel beside it
      {{659, 229}, ui::ClickAction::Minimize},  // last pixel of the minimise region
      {{659, 230}, ui::ClickAction::None},      // below it (its height is 30)
      {{660, 200}, ui::ClickAction::None},      // right of it
      {{99, 200}, ui::ClickAction::None},       // left of the window
      {{300, 240}, ui::ClickAction::None},      // below the drag region
      {{300, 199}, ui::ClickAction::None},      // above the window
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ui::ClassifyClick(regions, origin, c.point), c.expected) << c.point.x << "," << c.point.y;
  }
  // Unset keys read as 0: no region at all.
  EXPECT_EQ(ui::ClassifyClick({}, origin, {100, 200}), ui::ClickAction::None);
}

TEST(ClickFilterTest, RegionsComeFromTheConfigurationAndNonNumbersReadAsZero) {
  ui_test::UiStores stores({{"InterceptWebEventX", "300"},
                            {"InterceptWebEventY", "x40"},
                            {"InterceptWebEventCloseX", "25"},
                            {"InterceptWebEventCloseY", "-5"}});
  const ui::ClickRegions regions = ui::ClickRegionsFromConfig();
  EXPECT_EQ(regions.drag_width, 300);
  EXPECT_EQ(regions.drag_height, 0);
  EXPECT_EQ(regions.minimize_width, 25);
  EXPECT_EQ(regions.minimize_height, 0);
}

TEST(WebAdsPanelTest, OnlyTheExactPrefixWithSomethingAfterItIsIntercepted) {
  struct Case {
    const wchar_t* url;
    std::optional<std::wstring> target;
  } cases[] = {
      {L"app:openWeb?url=https://a.example/x", L"https://a.example/x"},
      {L"app:openWeb?url=https://a.example/?q=1&r=2", L"https://a.example/?q=1&r=2"},  // "=" kept
      {L"app:openWeb?url=", std::nullopt},                    // nothing after it: navigates normally
      {L"APP:openWeb?url=https://a.example/", std::nullopt},  // another letter case
      {L"app:openweb?url=https://a.example/", std::nullopt},
      {L"https://a.example/app:openWeb?url=x", std::nullopt},
      {L"", std::nullopt},
      {L"app:openWeb?url=file:///C:/x.exe", L"file:///C:/x.exe"},  // intercepted, then refused to open
  };
  for (const Case& c : cases) EXPECT_EQ(ui::OpenWebTarget(c.url), c.target) << c.url;
}

TEST(FinishPageTest, ProgramFromDisplayIconCutsOnlyAnIconIndex) {
  struct Case {
    const wchar_t* icon;
    std::optional<std::wstring> program;
  } cases[] = {
      {L"C:\\Program Files\\Brimvale\\PhotoStudio.exe,0", L"C:\\Program Files\\Brimvale\\PhotoStudio.exe"},
      {L"C:\\Apps\\p.exe", L"C:\\Apps\\p.exe"},
      {L"\"C:\\Apps\\p.exe\",-101", L"C:\\Apps\\p.exe"},
      {L"\"C:\\Apps\\p.exe\"", L"C:\\Apps\\p.exe"},
      {L"C:\\A,B\\p.exe", L"C:\\A,B\\p.exe"},  // a comma in the path is no icon index
      {L"C:\\Apps\\P.EXE,1", L"C:\\Apps\\P.EXE"},
      {L"C:\\Apps\\p.ico", std::nullopt},  // an icon file is not the product
      {L",0", std::nullopt},
      {L"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::ProgramFromDisplayIcon(c.icon), c.program) << c.icon;
}

TEST(TransferRateTest, SpeedIsSmoothedAndShownOnlyOnceItMeansSomething) {
  ui::TransferRate rate;
  EXPECT_EQ(rate.BytesPerSecond(), std::nullopt);
  rate.Add(1000, 0, 10'000'000);
  rate.Add(1800, 800'000, 10'000'000);
  // Under two seconds of samples: withheld.
  EXPECT_EQ(rate.BytesPerSecond(), std::nullopt);
  EXPECT_EQ(rate.SecondsLeft(), std::nullopt);
  rate.Add(2600, 1'600'000, 10'000'000);
  rate.Add(3400, 2'400'000, 10'000'000);
  EXPECT_EQ(rate.BytesPerSecond(), 1'000'000u);
  EXPECT_EQ(rate.SecondsLeft(), 8u);  // 7.6 MB at 1 MB/s, rounded up
  // A burst is smoothed over the window, not taken as the speed.
  rate.Add(4200, 6'400'000, 10'000'000);
  EXPECT_EQ(rate.BytesPerSecond(), 6'400'000ull * 1000 / 3200);
  // Old samples leave the window: after a stall the speed falls to what the
  // last five seconds show, then has no figure at all.
  rate.Add(9000, 6'400'000, 10'000'000);
  rate.Add(9800, 6'400'000, 10'000'000);
  rate.Add(10600, 6'400'000, 10'000'000);
  EXPECT_EQ(rate.BytesPerSecond(), std::nullopt);
  // Fewer bytes than before: a new transfer, the history starts again.
  rate.Add(11000, 100, 10'000'000);
  EXPECT_EQ(rate.BytesPerSecond(), std::nullopt);
  // No total: a speed, but no time left.
  ui::TransferRate unknown_total;
  unknown_total.Add(0, 0, 0);
  unknown_total.Add(3000, 3000, 0);
  EXPECT_EQ(unknown_total.BytesPerSecond(), 1000u);
  EXPECT_EQ(unknown_total.SecondsLeft(), std::nullopt);
  // Longer than anyone waits: not shown.
  ui::TransferRate crawl;
  crawl.Add(0, 0, 1'000'000'000'000);
  crawl.Add(3000, 3, 1'000'000'000'000);
  EXPECT_EQ(crawl.SecondsLeft(), std::nullopt);
  EXPECT_EQ(ui::SpeedText(1'258'291), L"1.20MB/s");
}

TEST(TransferRateTest, TimeLeftReadsNaturallyInBothLanguages) {
  ui_test::UiStores stores;
  struct Case {
    uint64_t seconds;
    const wchar_t* english;
  } cases[] = {
      {0, L"About 5 s left"},          {3, L"About 5 s left"},           {6, L"About 10 s left"},
      {55, L"About 55 s left"},        {56, L"About 1 min left"},        {60, L"About 1 min left"},
      {61, L"About 2 min left"},       {3540, L"About 59 min left"},     {3541, L"About 1 h 0 min left"},
      {3600, L"About 1 h 0 min left"}, {5000, L"About 1 h 24 min left"},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::TimeLeftText(c.seconds), c.english) << c.seconds;
  startup::Strings().Load(stores.folder() + L"Chinese.ini");
  EXPECT_EQ(ui::TimeLeftText(5000), L"\x5269\x4f59\x7ea6 1 \x5c0f\x65f6 24 \x5206\x949f");
  EXPECT_EQ(ui::ReplaceMarks(L"%2 then %1", L"a", L"b"), L"b then a");
  EXPECT_EQ(ui::ReplaceMarks(L"%1 with %2", L"%2", L"x"), L"%2 with x");
}

TEST(InteractiveModeTest, VariantFollowsTheHomepageKey) {
  EXPECT_EQ(ui::VariantFromHomepage(L"qsHomePage").variant, 1);
  EXPECT_EQ(ui::VariantFromHomepage(L"qsHomePage").description, L"installQS.xml");
  EXPECT_EQ(ui::VariantFromHomepage(L"kdvHomePage").variant, 2);
  EXPECT_EQ(ui::VariantFromHomepage(L"kdvHomePage").description, L"installKDV.xml");
  for (const wchar_t* other : {L"", L"HomePage", L"QSHOMEPAGE", L"kdvHomePage "}) {
    EXPECT_EQ(ui::VariantFromHomepage(other).variant, 0) << other;
    EXPECT_EQ(ui::VariantFromHomepage(other).description, L"install.xml") << other;
  }
}

}  // namespace
