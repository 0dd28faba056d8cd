// The shipped skin as the program meets it: dist/skin.zip, every window
// description built without a complaint from the toolkit, every control the
// pages address present with the class they drive it as (on the right page
// of the wizard), every picture there at 1x and at 2x, and the pages laid
// out within the window at 96 and 144 DPI with their texts fitting.
#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"
#include "toolkit/button.h"
#include "toolkit/combo.h"
#include "toolkit/edit.h"
#include "toolkit/label.h"
#include "toolkit/log.h"
#include "toolkit/painter.h"
#include "toolkit/skin_resources.h"
#include "toolkit/tab_layout.h"
#include "toolkit/window_core.h"
#include "toolkit/window_description.h"
#include "toolkit/zip_archive.h"

namespace toolkit {
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
inline void PrintTo(const Size& s, std::ostream* os) { *os << "{" << s.cx << "," << s.cy << "}"; }
}  // namespace toolkit

namespace {

using toolkit::Control;
using toolkit::Rect;

constexpr int kAnyPage = -1;

struct Expected {
  const wchar_t* name;
  const wchar_t* class_name;
  int page = kAnyPage;  // item of "wizardTab" holding the control
};

struct Description {
  const wchar_t* file;
  toolkit::Size size;
  std::vector<Expected> controls;
};

// The controls the wizard's pages and the message dialog address, by window.
const std::vector<Expected> kDialogControls = {
    {L"dialogName", L"Label"},
    {L"btn_ok", L"Button"},
    {L"btn_close", L"Button"},
    {L"btn_ClosePic", L"Button"},
    {L"lb_TipsText", L"Label"},
    {L"lb_TipsDetailText", L"Label"},
    {L"layoutPadding", L"HorizontalLayout"},
};

// The options page's controls, in every product window.
const std::vector<Expected> kHomeControls = {{L"homePage_Title", L"Label", 0},
                                             {L"language_Label", L"Label", 0},
                                             {L"language_Combo", L"Combo", 0},
                                             {L"intallPath", L"Label", 0},
                                             {L"editDir", L"Edit", 0},
                                             {L"Btn_open_file", L"Button", 0},
                                             {L"btn_ShowMore", L"Button", 0},
                                             {L"btn_HideMore", L"Button", 0},
                                             {L"moreconfiginfo", L"VerticalLayout", 0},
                                             {L"btn_Agreement", L"Label", 0},
                                             {L"btn_Install", L"Button", 0},
                                             {L"btn_Close", L"Button", 0},
                                             {L"recommend_ChkAgree", L"CheckBox", 0},
                                             {L"text_recommend_ChkAgree", L"Label", 0},
                                             {L"logo_ico", L"Control", 0}};

// The edition comparison (tab 5), in every product window.
const std::vector<Expected> kComparisonControls = {{L"lb_contrastiveTitle", L"Label", 5},
                                                   {L"contrastiveTips", L"Label", 5},
                                                   {L"lb_contrastiveFeature", L"Label", 5},
                                                   {L"lb_contrastiveOne", L"Label", 5},
                                                   {L"lb_contrastiveTwo", L"Label", 5},
                                                   {L"lb_contrastiveThree", L"Label", 5},
                                                   {L"lb_contrastiveFour", L"Label", 5},
                                                   {L"lb_contrastiveFive", L"Label", 5},
                                                   {L"lb_contrastiveSix", L"Label", 5},
                                                   {L"lb_contrastiveSeven", L"Label", 5},
                                                   {L"lb_contrastiveEight", L"Label", 5},
                                                   {L"lb_ProductName", L"Label", 5},
                                                   {L"lb_contrastiveFree", L"Label", 5},
                                                   {L"lb_contrastivePro", L"Label", 5},
                                                   {L"btn_buy", L"Button", 5},
                                                   {L"btn_tryPro", L"Button", 5},
                                                   {L"btn_contrastiveNext", L"Button", 5},
                                                   {L"btn_contrastiveCancel", L"Button", 5},
                                                   {L"btn_contrastiveClose", L"Button", 5}};

// `own` followed by each of `shared`.
std::vector<Expected> Join(std::vector<Expected> own, std::initializer_list<const std::vector<Expected>*> shared) {
  for (const std::vector<Expected>* part : shared) own.insert(own.end(), part->begin(), part->end());
  return own;
}

const std::vector<Description>& Descriptions() {
  static const std::vector<Description> descriptions = {
      {L"install.xml",
       {800, 500},
       Join(
           {
               {L"wizardTab", L"TabLayout"},
               {L"minimize", L"Button"},
               // 0: home and options.
               {L"homePage_Title", L"Label", 0},
               {L"language_Label", L"Label", 0},
               {L"language_Combo", L"Combo", 0},
               {L"intallPath", L"Label", 0},
               {L"editDir", L"Edit", 0},
               {L"Btn_open_file", L"Button", 0},
               {L"btn_ShowMore", L"Button", 0},
               {L"btn_HideMore", L"Button", 0},
               {L"moreconfiginfo", L"VerticalLayout", 0},
               {L"btn_Agreement", L"Label", 0},
               {L"btn_Install", L"Button", 0},
               {L"btn_Close", L"Button", 0},
               {L"recommend_ChkAgree", L"CheckBox", 0},
               {L"text_recommend_ChkAgree", L"Label", 0},
               {L"chk_install_lumaviewer", L"CheckBox", 0},
               {L"btn_install_lumaviewer", L"Button", 0},
               {L"logo_ico", L"Control", 0},
               {L"linker_Latest", L"Label", 0},
               {L"app_logo_home", L"Label", 0},
               // 1: download and install.
               {L"progressTip", L"Label", 1},
               {L"progressValue", L"Label", 1},
               {L"progressSpeed", L"Label", 1},
               {L"progressTimeLeft", L"Label", 1},
               {L"slrProgress", L"Progress", 1},
               {L"adsBrowser", L"WebBrowser", 1},
               {L"loadingLayout", L"Container", 1},
               {L"loadingLayout2", L"Container", 1},
               {L"loadingLayout3", L"Container", 1},
               {L"adsImg", L"Control", 1},
               {L"adsImg2", L"Control", 1},
               {L"adsTip", L"Label", 1},
               {L"adsTip2", L"Label", 1},
               {L"adsIdx", L"Label", 1},
               {L"adsIdx2", L"Label", 1},
               {L"app_logo_install", L"Label", 1},
               {L"btn_CloseProgress", L"Button", 1},
               // 2: download failure.
               {L"downloadFailedTitle", L"Label", 2},
               {L"downloadFailedMsg", L"Label", 2},
               {L"downloadRetry", L"Button", 2},
               {L"downloadOffline", L"Button", 2},
               {L"downloadErrBtnClose", L"Button", 2},
               {L"app_logo_download_error", L"Label", 2},
               // 3: install failure.
               {L"installFailedTitle", L"Label", 3},
               {L"installFailedMsg", L"Label", 3},
               {L"installRetry", L"Button", 3},
               {L"installOffline", L"Button", 3},
               {L"installErrBtnClose", L"Button", 3},
               {L"installErrorMsg", L"Label", 3},
               {L"installErrorFirst", L"Label", 3},
               {L"installErrorSecond", L"Label", 3},
               {L"installErrorThird", L"Label", 3},
               {L"installErrorFouth", L"Label", 3},
               {L"installErrorFifth", L"Label", 3},
               {L"installErrorSixth", L"Label", 3},
               {L"installErrIco", L"Control", 3},
               {L"app_logo_install_error", L"Label", 3},
               // 4: finish.
               {L"complete_title", L"Label", 4},
               {L"complete_tips", L"Label", 4},
               {L"manager_title", L"Label", 4},
               {L"manager_tips", L"Label", 4},
               {L"transfer_title", L"Label", 4},
               {L"transfer_tips", L"Label", 4},
               {L"downloader_title", L"Label", 4},
               {L"downloader_tips", L"Label", 4},
               {L"btn_Run", L"Button", 4},
               {L"btn_CloseInstalls", L"Button", 4},
               {L"app_logo_finish", L"Label", 4},
           },
           {&kComparisonControls})},
      {L"installKDV.xml",
       {800, 500},
       Join(
           {
               {L"wizardTab", L"TabLayout"},
               {L"minimize", L"Button"},
               {L"KDVInstallation_Combo", L"Combo", 0},
               {L"lb_KDVInstallation", L"Label", 0},
               {L"lb_KDVComponents", L"Label", 0},
               {L"chk_KDVServer", L"CheckBox", 0},
               {L"chk_KDVConsole", L"CheckBox", 0},
               // 1 to 4 come from the same file as in install.xml.
               {L"slrProgress", L"Progress", 1},
               {L"downloadRetry", L"Button", 2},
               {L"installRetry", L"Button", 3},
               {L"btn_Run", L"Button", 4},
           },
           {&kHomeControls, &kComparisonControls})},
      {L"installQS.xml",
       {800, 500},
       Join(
           {
               {L"wizardTab", L"TabLayout"},
               {L"minimize", L"Button"},
               {L"backupPath", L"Label", 0},
               {L"backUpeditDir", L"Edit", 0},
               {L"Btn_backup_file", L"Button", 0},
               {L"chk_managementComponent", L"CheckBox", 0},
               {L"chk_createAccount", L"CheckBox", 0},
               {L"lb_userName", L"Label", 0},
               {L"ed_userName", L"Edit", 0},
               {L"lb_password", L"Label", 0},
               {L"ed_Password", L"Edit", 0},
               {L"lb_confirmPassword", L"Label", 0},
               {L"ed_confirmPassword", L"Edit", 0},
               {L"slrProgress", L"Progress", 1},
               {L"downloadRetry", L"Button", 2},
               {L"installRetry", L"Button", 3},
               {L"btn_Run", L"Button", 4},
           },
           {&kHomeControls, &kComparisonControls})},
      {L"QuitInstallDialog.xml", {440, 224}, kDialogControls},
      {L"StartRunDialog.xml", {440, 224}, kDialogControls},
      {L"ProductRunningDialog.xml", {440, 224}, kDialogControls},
      {L"CoverInstallDialog.xml", {440, 224}, kDialogControls},
  };
  return descriptions;
}

// Pictures the pages set at run time rather than the descriptions.
const wchar_t* const kRuntimeImages[] = {L"startup1.png", L"startup2.png", L"startup3.png", L"logo_vexa.png",
                                         L"ico_empty_vexa.png"};

constexpr int kWizardPages = 6;

std::shared_ptr<toolkit::ZipArchive> OpenShippedSkin() {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  const std::wstring path = test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\skin.zip";
  EXPECT_EQ(archive->OpenFile(path), toolkit::ZipError::kNone) << testing::PrintToString(path);
  return archive;
}

std::unique_ptr<toolkit::WindowCore> Open(const std::shared_ptr<toolkit::ZipArchive>& archive, const std::wstring& file,
                                          int dpi) {
  toolkit::DescriptionResult built = toolkit::BuildWindowDescription(archive, file);
  EXPECT_TRUE(built.description) << testing::PrintToString(built.error);
  if (!built.description) return nullptr;
  return std::make_unique<toolkit::WindowCore>(std::move(built.description), dpi);
}

std::vector<Control*> AllControls(Control* root) {
  std::vector<Control*> all, pending{root};
  while (!pending.empty()) {
    Control* control = pending.back();
    pending.pop_back();
    all.push_back(control);
    for (size_t i = 0; i < control->child_count(); ++i) pending.push_back(control->child(i));
  }
  return all;
}

// The item of "wizardTab" that holds `control`, or kAnyPage outside it.
int PageOf(const Control* control) {
  for (const Control* c = control; c->parent() != nullptr; c = c->parent()) {
    if (c->parent()->name() == L"wizardTab") {
      for (size_t i = 0; i < c->parent()->child_count(); ++i) {
        if (c->parent()->child(i) == c) return static_cast<int>(i);
      }
    }
  }
  return kAnyPage;
}

// The part of `control` its ancestors let show.
Rect Shown(const Control* control) {
  Rect shown = control->rect();
  for (const Control* c = control->parent(); c != nullptr; c = c->parent()) shown = shown.Intersect(c->rect());
  return shown;
}

std::wstring At2x(const std::wstring& file) {
  const size_t dot = file.rfind(L'.');
  return dot == std::wstring::npos ? file + L"@2x" : file.substr(0, dot) + L"@2x" + file.substr(dot);
}

class LogCapture {
 public:
  LogCapture() {
    toolkit::SetLogSink([this](const std::wstring& line) { lines_.push_back(line); });
  }
  ~LogCapture() { toolkit::SetLogSink(nullptr); }
  [[nodiscard]] const std::vector<std::wstring>& lines() const { return lines_; }

 private:
  std::vector<std::wstring> lines_;
};

TEST(SkinTest, EveryDescriptionBuildsCleanlyWithEveryControlThePagesUse) {
  auto archive = OpenShippedSkin();
  for (const Description& description : Descriptions()) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(description.file)));
    LogCapture log;  // an unknown class or attribute would be logged and skipped
    auto window = Open(archive, description.file, 96);
    ASSERT_TRUE(window);
    EXPECT_TRUE(log.lines().empty()) << testing::PrintToString(log.lines());
    EXPECT_EQ(window->description().size, description.size);
    EXPECT_GT(window->description().caption.bottom, 0) << "no band to drag the window by";
    for (const Expected& expected : description.controls) {
      Control* control = window->FindControl(expected.name);
      ASSERT_NE(control, nullptr) << testing::PrintToString(std::wstring(expected.name));
      EXPECT_EQ(control->class_name(), expected.class_name) << testing::PrintToString(std::wstring(expected.name));
      if (expected.page != kAnyPage) {
        EXPECT_EQ(PageOf(control), expected.page) << testing::PrintToString(std::wstring(expected.name));
      }
    }
    // Names are unique: a second control of the same name would never be found.
    std::set<std::wstring> names;
    for (Control* control : AllControls(window->root())) {
      if (!control->name().empty()) {
        EXPECT_TRUE(names.insert(control->name()).second) << testing::PrintToString(control->name());
      }
    }
  }
}

TEST(SkinTest, TheMainWindowHasTheWizardsSixPagesAndTheDialogsRoundCorners) {
  auto archive = OpenShippedSkin();
  auto main_window = Open(archive, L"install.xml", 96);
  ASSERT_TRUE(main_window);
  auto* tab = dynamic_cast<toolkit::TabLayout*>(main_window->FindControl(L"wizardTab"));
  ASSERT_NE(tab, nullptr);
  EXPECT_EQ(tab->child_count(), static_cast<size_t>(kWizardPages));
  EXPECT_EQ(tab->selected(), 0);
  // Hidden at start: what the pages show only when it applies.
  for (const wchar_t* name : {L"moreconfiginfo", L"btn_HideMore", L"adsBrowser", L"linker_Latest", L"progressSpeed",
                              L"progressTimeLeft", L"chk_install_lumaviewer", L"btn_install_lumaviewer"}) {
    EXPECT_FALSE(main_window->FindControl(name)->visible()) << testing::PrintToString(std::wstring(name));
  }
  // The carousel's slots float so the pages can slide them; one shows at start.
  for (const wchar_t* name : {L"loadingLayout", L"loadingLayout2", L"loadingLayout3"}) {
    EXPECT_TRUE(main_window->FindControl(name)->is_float()) << testing::PrintToString(std::wstring(name));
  }
  for (const Description& description : Descriptions()) {
    if (std::wcsncmp(description.file, L"install", 7) == 0) {
      // Every product window has the same six pages.
      auto window = Open(archive, description.file, 96);
      ASSERT_TRUE(window);
      EXPECT_EQ(window->FindControl(L"wizardTab")->child_count(), static_cast<size_t>(kWizardPages));
      continue;
    }
    auto dialog = Open(archive, description.file, 96);
    ASSERT_TRUE(dialog);
    EXPECT_GT(dialog->description().round_corner, 0) << testing::PrintToString(std::wstring(description.file));
  }
}

TEST(SkinTest, EveryPictureIsInTheArchiveAtOneAndTwoTimesItsSize) {
  auto archive = OpenShippedSkin();
  std::set<std::wstring> files(std::begin(kRuntimeImages), std::end(kRuntimeImages));
  for (const Description& description : Descriptions()) {
    auto window = Open(archive, description.file, 96);
    ASSERT_TRUE(window);
    for (Control* c : AllControls(window->root())) {
      const toolkit::ControlStyle& look = c->style();
      for (const toolkit::ImageDescription* image :
           {&look.bk_image, &look.fore_image, &look.normal_image, &look.hot_image, &look.pushed_image,
            &look.focused_image, &look.disabled_image, &look.selected_image, &look.selected_hot_image,
            &look.selected_pushed_image, &look.selected_disabled_image}) {
        if (!image->empty()) files.insert(image->file);
      }
    }
  }
  EXPECT_GT(files.size(), 30u) << "the descriptions' pictures were not found";
  for (const std::wstring& file : files) {
    SCOPED_TRACE(testing::PrintToString(file));
    std::string one, two;
    ASSERT_EQ(archive->Read(file, &one), toolkit::ZipError::kNone);
    ASSERT_EQ(archive->Read(At2x(file), &two), toolkit::ZipError::kNone);
    toolkit::ImageHeader one_size, two_size;
    ASSERT_TRUE(toolkit::ReadImageHeader(one, &one_size));
    ASSERT_TRUE(toolkit::ReadImageHeader(two, &two_size));
    EXPECT_EQ(two_size.width, 2 * one_size.width);
    EXPECT_EQ(two_size.height, 2 * one_size.height);
  }
  // The window icon carries the sizes Windows asks for.
  std::string icon;
  ASSERT_EQ(archive->Read(L"downloader.ico", &icon), toolkit::ZipError::kNone);
  ASSERT_GE(icon.size(), 6u);
  std::set<int> sizes;
  const int count = static_cast<uint8_t>(icon[4]) | (static_cast<uint8_t>(icon[5]) << 8);
  for (int i = 0; i < count && 6 + 16 * (i + 1) <= static_cast<int>(icon.size()); ++i) {
    const int side = static_cast<uint8_t>(icon[6 + 16 * i]);
    sizes.insert(side == 0 ? 256 : side);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

// Each page (and the home page opened to its taller size) at both scales:
// what shows lies inside the window, the clickable controls do not overlap,
// and single-line texts fit their controls.
TEST(SkinTest, PagesAndDialogsLayOutWithinTheWindowAndTheirTextsFitAt96And144Dpi) {
  struct View {
    const wchar_t* file;
    int page;            // -1: a dialog
    int height;          // client height in 96-DPI units
    bool expanded_home;  // the custom-install area open
  } views[] = {
      {L"install.xml", 0, 500, false},
      {L"install.xml", 0, 608, true},
      {L"install.xml", 1, 500, false},
      {L"install.xml", 2, 500, false},
      {L"install.xml", 3, 500, false},
      {L"install.xml", 4, 500, false},
      {L"install.xml", 5, 500, false},
      {L"installKDV.xml", 0, 500, false},
      {L"installKDV.xml", 0, 750, true},
      {L"installKDV.xml", 5, 500, false},
      {L"installQS.xml", 0, 500, false},
      {L"installQS.xml", 0, 900, true},
      {L"installQS.xml", 5, 500, false},
      {L"QuitInstallDialog.xml", -1, 224, false},
      {L"StartRunDialog.xml", -1, 224, false},
      {L"ProductRunningDialog.xml", -1, 224, false},
      {L"CoverInstallDialog.xml", -1, 224, false},
  };
  auto archive = OpenShippedSkin();
  for (int dpi : {96, 144}) {
    for (const View& view : views) {
      SCOPED_TRACE(testing::PrintToString(std::wstring(view.file)) + " page " + std::to_string(view.page) + " at " +
                   std::to_string(dpi) + (view.expanded_home ? " expanded" : ""));
      auto window = Open(archive, view.file, dpi);
      ASSERT_TRUE(window);
      if (view.page >= 0) {
        ASSERT_TRUE(window->SelectItem(L"wizardTab", view.page));
      }
      if (view.expanded_home) {
        ASSERT_TRUE(window->SetAttribute(L"moreconfiginfo", L"visible", L"true"));
        ASSERT_TRUE(window->SetAttribute(L"btn_HideMore", L"visible", L"true"));
        ASSERT_TRUE(window->SetAttribute(L"btn_ShowMore", L"visible", L"false"));
      }
      const toolkit::Size client{toolkit::ScaleBy(800, dpi), toolkit::ScaleBy(view.height, dpi)};
      if (view.page >= 0) window->Resize(client);
      window->LayoutIfNeeded();
      const Rect bounds{0, 0, window->client_size().cx, window->client_size().cy};
      std::vector<Control*> clickable;
      for (Control* c : AllControls(window->root())) {
        if (!c->IsVisibleInTree() || Shown(c).empty()) continue;  // a parked slide is clipped away
        const std::string label = testing::PrintToString(c->name());
        EXPECT_EQ(c->rect().Intersect(bounds), c->rect()) << label << " leaves the window";
        if (dynamic_cast<toolkit::Button*>(c) != nullptr || dynamic_cast<toolkit::Combo*>(c) != nullptr ||
            dynamic_cast<toolkit::Edit*>(c) != nullptr) {
          clickable.push_back(c);
        }
        auto* text_control = dynamic_cast<toolkit::Label*>(c);
        if (text_control == nullptr || dynamic_cast<toolkit::Edit*>(c) != nullptr || c->text().empty()) continue;
        const std::wstring shown =
            text_control->markup().runs.empty() ? c->text() : toolkit::PlainText(text_control->markup());
        const Rect room = c->rect().Deflate(toolkit::ScaleBy(c->style().text_padding, dpi));
        // Wrapping text must fit in its lines, a single line in its width.
        const bool wraps = toolkit::HasFlag(c->style().text_flags, toolkit::TextFlags::kMultiLine);
        const toolkit::Size text =
            toolkit::MeasureTextForLayout(window->resources(), dpi, shown, c->style().font, wraps ? room.width() : 0,
                                          wraps ? toolkit::TextFlags::kMultiLine : toolkit::TextFlags::kNone);
        EXPECT_LE(text.cx, room.width()) << label << " cuts its text";
        EXPECT_LE(text.cy, room.height()) << label << " cuts its text";
      }
      for (size_t i = 0; i < clickable.size(); ++i) {
        for (size_t j = i + 1; j < clickable.size(); ++j) {
          EXPECT_FALSE(clickable[i]->rect().Intersects(clickable[j]->rect()))
              << testing::PrintToString(clickable[i]->name()) << " overlaps "
              << testing::PrintToString(clickable[j]->name());
        }
      }
    }
  }
}

}  // namespace
