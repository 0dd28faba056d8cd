// Every tab and every question of the wizard as the user sees it: the real
// main window, pages and question dialog over the shipped skin.zip, in
// English and Chinese, at the prefix's DPI (96 here, 144 in the 150 %
// prefix). Each screen is checked (every text fits its control, no two
// laid-out siblings overlap, nothing sticks out of its parent or the window)
// and saved as a PNG under <build>/screens/<dpi>/ for review.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "message_pumping.h"
#include "net/file_digest.h"
#include "platform/text.h"
#include "recording_window.h"
#include "startup/product_config.h"
#include "synthetic_input.h"
#include "test_support.h"
#include "toolkit/control.h"
#include "toolkit/dpi.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/gdiplus_session.h"
#include "toolkit/markup.h"
#include "toolkit/skin_resources.h"
#include "toolkit/zip_archive.h"
#include "ui/message_dialog.h"
#include "ui/transfer_rate.h"
#include "ui/wizard.h"
#include "ui_stores.h"

namespace {

using test_support::ClickAt;
using test_support::PumpFor;
using test_support::PumpUntil;
using toolkit::Control;
using toolkit::Rect;

std::shared_ptr<toolkit::ZipArchive> ShippedSkin() {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  const std::wstring path = test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\skin.zip";
  EXPECT_EQ(archive->OpenFile(path), toolkit::ZipError::kNone) << testing::PrintToString(path);
  return archive;
}

void ClickControl(toolkit::Window& window, const wchar_t* name) {
  const Control* control = window.FindControl(name);
  ASSERT_NE(control, nullptr);
  POINT p{(control->rect().left + control->rect().right) / 2, (control->rect().top + control->rect().bottom) / 2};
  ::ClientToScreen(window.hwnd(), &p);
  ClickAt(p);
}

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }

std::string Describe(const Control& control) {
  std::ostringstream out;
  out << Utf8(control.name().empty() ? control.class_name() : control.name()) << " [" << control.rect().left << ","
      << control.rect().top << "," << control.rect().right << "," << control.rect().bottom << "]";
  return out.str();
}

// Inside a float control: moved through its parent on purpose (slides)
// and shown only within it.
bool InsideFloat(const Control& control) {
  for (const Control* c = &control; c != nullptr; c = c->parent()) {
    if (c->is_float()) return true;
  }
  return false;
}

bool IsLinearLayout(const Control& control) {
  const std::wstring& kind = control.class_name();
  return kind == L"VerticalLayout" || kind == L"HorizontalLayout" || kind == L"VBox" || kind == L"HBox";
}

// What a user would call broken on this screen, one line each.
std::vector<std::string> FitProblems(toolkit::Window& window) {
  toolkit::WindowCore& core = window.core();
  core.LayoutIfNeeded();
  const int dpi = core.dpi();
  const Rect client{0, 0, core.client_size().cx, core.client_size().cy};
  std::vector<std::string> problems;
  const toolkit::ScopedWindowDc screen(nullptr);
  toolkit::WalkTree(*core.root(), [&](Control& control) {
    if (!control.visible()) return toolkit::Walk::kPastChildren;
    const Rect& rect = control.rect();
    if (rect.empty()) return toolkit::Walk::kIntoChildren;
    if (!InsideFloat(control) && control.parent() != nullptr && client.Intersect(rect) != rect) {
      problems.push_back(Describe(control) + " sticks out of the window");
    }
    if (!control.is_float() && control.parent() != nullptr && IsLinearLayout(*control.parent()) &&
        control.parent()->rect().Intersect(rect) != rect) {
      problems.push_back(Describe(control) + " sticks out of its parent " + Describe(*control.parent()));
    }
    if (IsLinearLayout(control)) {
      for (size_t i = 0; i < control.child_count(); ++i) {
        const Control* a = control.child(i);
        if (!a->visible() || a->is_float() || a->rect().empty()) continue;
        for (size_t j = i + 1; j < control.child_count(); ++j) {
          const Control* b = control.child(j);
          if (!b->visible() || b->is_float() || b->rect().empty()) continue;
          if (a->rect().Intersects(b->rect())) problems.push_back(Describe(*a) + " overlaps " + Describe(*b));
        }
      }
    }
    const bool edits = control.class_name() == L"Edit" || control.class_name().find(L"RichEdit") != std::wstring::npos;
    if (control.text().empty() || edits) return toolkit::Walk::kIntoChildren;
    const std::wstring plain =
        toolkit::HasMarkup(control.text()) ? toolkit::PlainText(toolkit::ParseMarkup(control.text())) : control.text();
    const Rect area = rect.Deflate(toolkit::ScaleBy(control.style().text_padding, dpi));
    const toolkit::ScopedSelectObject select(screen.Get(), core.resources().Font(control.style().font, dpi));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen.Get(), &metrics);
    if (toolkit::HasFlag(control.style().text_flags, toolkit::TextFlags::kMultiLine)) {
      RECT needed{0, 0, area.width(), 0};
      ::DrawTextW(screen.Get(), plain.c_str(), static_cast<int>(plain.size()), &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      if (needed.bottom > area.height()) {
        problems.push_back(Describe(control) + " \"" + Utf8(plain) + "\" needs " + std::to_string(needed.bottom) +
                           " px of height, has " + std::to_string(area.height()));
      }
    } else {
      SIZE extent{};
      ::GetTextExtentPoint32W(screen.Get(), plain.c_str(), static_cast<int>(plain.size()), &extent);
      if (extent.cx > area.width()) {
        problems.push_back(Describe(control) + " \"" + Utf8(plain) + "\" needs " + std::to_string(extent.cx) +
                           " px, has " + std::to_string(area.width()));
      }
      // A line cut at the top or bottom (descenders, CJK glyphs).
      if (metrics.tmHeight > rect.height()) {
        problems.push_back(Describe(control) + " \"" + Utf8(plain) + "\" is " + std::to_string(metrics.tmHeight) +
                           " px tall, has " + std::to_string(rect.height()));
      }
    }
    return toolkit::Walk::kIntoChildren;
  });
  return problems;
}

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<char> buffer(bytes);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

// The window as the screen shows it (native children included), as a PNG.
void SavePng(HWND window, const std::wstring& file) {
  RECT client;
  ::GetClientRect(window, &client);
  ASSERT_TRUE(toolkit::EnsureGdiplus());
  CLSID png{};
  ASSERT_TRUE(PngEncoder(&png));
  toolkit::ScopedWindowDc window_dc(window);
  toolkit::UniqueGdiObject bitmap(::CreateCompatibleBitmap(window_dc.Get(), client.right, client.bottom));
  toolkit::UniqueMemoryDc dc(::CreateCompatibleDC(window_dc.Get()));
  {
    toolkit::ScopedSelectObject select(dc.Get(), bitmap.Get());
    ::BitBlt(dc.Get(), 0, 0, client.right, client.bottom, window_dc.Get(), 0, 0, SRCCOPY);
  }
  Gdiplus::Bitmap image(static_cast<HBITMAP>(bitmap.Get()), nullptr);
  EXPECT_EQ(image.Save(file.c_str(), &png, nullptr), Gdiplus::Ok) << Utf8(file);
}

std::wstring ScreensFolder(int dpi) {
  const std::wstring relative =
      test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\..\\screens\\" + platform::DecimalText(dpi);
  wchar_t full[MAX_PATH] = {};
  ::GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  const std::wstring parent = std::wstring(full).substr(0, std::wstring(full).rfind(L'\\'));
  ::CreateDirectoryW(parent.c_str(), nullptr);
  ::CreateDirectoryW(full, nullptr);
  return full;
}

// One screen: saved, and what does not fit reported under its name.
void Check(toolkit::Window& window, const std::wstring& folder, const std::wstring& name) {
  ::UpdateWindow(window.hwnd());
  PumpFor(150);
  SavePng(window.hwnd(), folder + L"\\" + name + L".png");
  const std::vector<std::string> problems = FitProblems(window);
  EXPECT_TRUE(problems.empty()) << Utf8(name) << ":\n  " << testing::PrintToString(problems);
}

// Release statuses the pages meet: an answer, an empty reply (2).
const net::ReleaseStatus kAnswered = net::ReleaseStatus::Answered();
const net::ReleaseStatus kEmptyReply =
    net::ReleaseStatus::Failed(net::ReleaseStage::Reply, net::ReleaseCause::EmptyReply);

net::ReleaseInfo Release(const net::ReleaseStatus& status) {
  net::ReleaseInfo info;
  info.status = status;
  info.productVersion = "3.1.0";
  return info;
}

// Each question as the pages ask it, answered by closing once it is checked.
struct Question {
  const wchar_t* name;
  ui::DialogTexts texts;
};

std::vector<Question> Questions() {
  const startup::LanguageStrings& s = startup::Strings();
  const std::wstring product = s.Get("ProductName");
  auto with_product = [](const char* key) { return ui::TextWith(key, "ProductName"); };
  return {
      {L"dialog_quit",
       {ui::kQuitDialog, product, s.Get("Quit"), s.Get("Canncel"), s.Get("QuitTips"), s.Get("QuitTipsDetail")}},
      {L"dialog_start_run",
       {ui::kStartRunDialog, product, s.Get("StartNow"), s.Get("Later"), with_product("StartNowTips"),
        with_product("StartNowTipsDetail")}},
      {L"dialog_product_running",
       {ui::kProductRunningDialog, product, s.Get("Continue"), s.Get("Canncel"), with_product("ProjectIsRunning"),
        s.Get("ProjectIsRunningSolve")}},
      {L"dialog_cover_install",
       {ui::kCoverInstallDialog, product, s.Get("Reinstall"), s.Get("RunLatest"), with_product("ReinstallTips"),
        s.Format("AlreadyInstallTips", "ProductName", L"3.1.0")}},
  };
}

void CheckQuestions(ui::MainWindow& main, const std::shared_ptr<toolkit::ZipArchive>& archive,
                    const std::wstring& folder, const std::wstring& suffix) {
  for (const Question& question : Questions()) {
    ui::MessageDialog dialog(question.texts);
    bool checked = false;
    main.PostToUiThread([&] {
      Check(dialog, folder, question.name + suffix);
      checked = true;
      ::PostMessageW(dialog.hwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(dialog.Run(archive, main.hwnd()), ui::kDialogClosed);
    EXPECT_TRUE(checked) << Utf8(question.name);
  }
}

TEST(WizardScreensTest, EveryTabAndQuestionFitsInEnglishAndChinese) {
  (void)toolkit::EnableDpiAwareness();
  toolkit::SetFatalErrorHandler([](const std::wstring& message) { ADD_FAILURE() << Utf8(message); });
  for (const std::string language : {"English", "Chinese"}) {
    SCOPED_TRACE(language);
    ui_test::UiStores stores;
    startup::Strings().Load(stores.folder() + L"\\" + platform::Utf8ToWide(language) + L".ini");
    const std::wstring suffix = language == "English" ? L"" : L"_zh";
    auto archive = ShippedSkin();
    ui::MainWindow main;
    ASSERT_TRUE(main.Open(archive, L"install.xml", L"Wizard screens"));
    ui_test::RecordingShell shell;
    ui::WizardSettings settings;
    settings.language = language;
    settings.language_folder = stores.folder();
    settings.check_release = [](const std::string&) { return Release(kEmptyReply); };
    ui::Wizard wizard(main, shell, settings);
    main.SetHooks({[] {}, [&](UINT id) { wizard.OnTimer(id); }, nullptr});
    main.toolkit_window().ShowModeless();
    ::SetForegroundWindow(main.hwnd());
    const std::wstring folder = ScreensFolder(main.toolkit_window().core().dpi());
    toolkit::Window& window = main.toolkit_window();

    // 0: home, ready to install; then the options opened by a real click.
    wizard.home()->SetRelease(Release(kAnswered));
    wizard.home()->EnableControls(true);
    wizard.home()->UpdateInstallButton();
    Check(window, folder, L"tab0_home" + suffix);
    ClickControl(window, L"btn_ShowMore");
    ASSERT_TRUE(PumpUntil([&] { return main.ReadState(L"moreconfiginfo", L"visible") == L"true"; }));
    // Grown, the window stays whole on the screen.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(main.hwnd(), MONITOR_DEFAULTTONEAREST), &monitor));
    RECT frame;
    ::GetWindowRect(main.hwnd(), &frame);
    EXPECT_LE(frame.bottom, monitor.rcWork.bottom);
    EXPECT_GE(frame.top, monitor.rcWork.top);
    Check(window, folder, L"tab0_options_expanded" + suffix);
    ClickControl(window, L"btn_HideMore");
    ASSERT_TRUE(PumpUntil([&] { return main.ReadState(L"moreconfiginfo", L"visible") == L"false"; }));
    Check(window, folder, L"tab0_options_collapsed" + suffix);

    // 1: the progress tab with a slide, then mid-change, with the widest
    // figures the transfer can show.
    main.SelectItem(ui::kWizardTab, ui::kProgressTab);
    wizard.progress().AdvanceCarousel(0, 0);
    main.SetText(L"progressTip", startup::Strings().Get("Downloading") + L":" + net::FormatSizeText(40265318) + L"/" +
                                     net::FormatSizeText(90439680));
    main.SetAttribute(L"slrProgress", L"value", L"44");
    main.SetText(L"progressValue", L"100%");
    main.SetText(L"progressSpeed", ui::SpeedText(1048575));
    main.SetText(L"progressTimeLeft", ui::TimeLeftText(ui::TransferRate::kMaxSecondsLeft - 60));
    main.SetVisible(L"progressSpeed", true);
    main.SetVisible(L"progressTimeLeft", true);
    Check(window, folder, L"tab1_progress" + suffix);
    wizard.progress().AdvanceCarousel(8, ui::AdsCarousel::kFrames);
    Check(window, folder, L"tab1_progress_sliding" + suffix);

    // 2: a failed release query ends on the download failure tab.
    wizard.home()->SetRelease(Release(kEmptyReply));
    wizard.home()->StartInstall(ui::StartMode::SkipChecks);
    ASSERT_TRUE(PumpUntil([&] { return main.CurrentIndex(ui::kWizardTab) == ui::kDownloadFailureTab; }));
    Check(window, folder, L"tab2_download_failure" + suffix);

    // 3 and 4.
    main.SelectItem(ui::kWizardTab, ui::kInstallFailureTab);
    Check(window, folder, L"tab3_install_failure" + suffix);
    wizard.finish().Activate();
    ASSERT_EQ(main.CurrentIndex(ui::kWizardTab), ui::kFinishTab);
    Check(window, folder, L"tab4_finish" + suffix);

    CheckQuestions(main, archive, folder, suffix);
    main.ClearHooks();
  }
}

}  // namespace
