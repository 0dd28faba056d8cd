#include "wizard_driver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "platform/text.h"
#include "synthetic_input.h"
#include "startup/product_config.h"
#include "toolkit/control.h"
#include "toolkit/window_core.h"
#include "toolkit/window_description.h"
#include "toolkit/zip_archive.h"

namespace e2e_test {
namespace {

constexpr wchar_t kMainClass[] = L"ToolkitWindow";

struct WindowSearch {
  DWORD process_id;
  std::wstring class_name;
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || !::IsWindowVisible(window)) return TRUE;
  wchar_t text[256] = {};
  ::GetClassNameW(window, text, 256);
  if (_wcsicmp(text, search->class_name.c_str()) != 0) return TRUE;
  if (!search->caption.empty()) {
    ::GetWindowTextW(window, text, 256);
    if (search->caption != text) return TRUE;
  }
  search->found = window;
  return FALSE;
}

BOOL CALLBACK MatchEdit(HWND window, LPARAM data) {
  wchar_t name[32] = {};
  ::GetClassNameW(window, name, 32);
  if (_wcsicmp(name, L"Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &copied)) {
    return {};
  }
  return std::wstring(text, copied);
}

// The question that is open over `main`: another toolkit window of its process.
BOOL CALLBACK MatchQuestion(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(data);
  if (window == search->first || !::IsWindowVisible(window)) return TRUE;
  DWORD owner = 0;
  DWORD main_owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  ::GetWindowThreadProcessId(search->first, &main_owner);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (owner != main_owner || std::wstring(name) != kMainClass) return TRUE;
  search->second = window;
  return FALSE;
}

HWND FolderBrowser(const WizardRun& run) {
  HWND dialog = nullptr;
  (void)WaitFor([&] { return (dialog = FindProcessWindow(run.process().id(), L"#32770")) != nullptr; }, 30000);
  return dialog;
}

// Clicks the dialog's button until the dialog is gone: a loaded display
// can lose a synthetic click.
bool ClickDialogButtonUntilClosed(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  if (button == nullptr) {
    ADD_FAILURE() << "the folder browser has no button " << id;
    return false;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    ::SetForegroundWindow(dialog);
    RECT rect;
    ::GetWindowRect(button, &rect);
    test_support::ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    if (WaitFor([&] { return !::IsWindow(dialog); }, 5000)) return true;
  }
  return false;
}

// The folder browser's tree in setup.exe, read through a buffer placed in
// that process (a tree view's item texts come back through memory the
// caller names).
class RemoteTree {
 public:
  RemoteTree(HWND tree, DWORD process_id)
      : tree_(tree),
        process_(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id)) {
    if (process_ != nullptr) {
      buffer_ = ::VirtualAllocEx(process_, nullptr, kBufferBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteTree() {
    if (buffer_ != nullptr) ::VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
    if (process_ != nullptr) ::CloseHandle(process_);
  }
  RemoteTree(const RemoteTree&) = delete;
  RemoteTree& operator=(const RemoteTree&) = delete;

  [[nodiscard]] std::wstring Text(HTREEITEM item) const {
    if (buffer_ == nullptr) return {};
    auto* text_at = static_cast<char*>(buffer_) + sizeof(TVITEMW);
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = reinterpret_cast<wchar_t*>(text_at);
    query.cchTextMax = kTextChars;
    wchar_t text[kTextChars] = {};
    if (!::WriteProcessMemory(process_, buffer_, &query, sizeof(query), nullptr) ||
        !::SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer_)) ||
        !::ReadProcessMemory(process_, text_at, text, sizeof(text) - sizeof(wchar_t), nullptr)) {
      return {};
    }
    return text;
  }

  // The child of `parent` shown as `name` (letter case aside), expanded first.
  [[nodiscard]] HTREEITEM Child(HTREEITEM parent, const std::wstring& name) const {
    ::SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (HTREEITEM item = Next(TVGN_CHILD, parent); item != nullptr; item = Next(TVGN_NEXT, item)) {
      if (_wcsicmp(Text(item).c_str(), name.c_str()) == 0) return item;
    }
    return nullptr;
  }

  // The item of drive "C:" (shown as "C:" or with a label, "... (C:)"),
  // at most three levels down from the top.
  [[nodiscard]] HTREEITEM FindDrive(const std::wstring& drive) const {
    std::vector<HTREEITEM> level;
    for (HTREEITEM item = Next(TVGN_ROOT, nullptr); item != nullptr; item = Next(TVGN_NEXT, item)) {
      level.push_back(item);
    }
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
      std::vector<HTREEITEM> below;
      for (HTREEITEM item : level) {
        const std::wstring text = Text(item);
        if (text == drive || text.find(L"(" + drive + L")") != std::wstring::npos) return item;
        ::SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        for (HTREEITEM child = Next(TVGN_CHILD, item); child != nullptr; child = Next(TVGN_NEXT, child)) {
          below.push_back(child);
        }
      }
      level = std::move(below);
    }
    return nullptr;
  }

 private:
  static constexpr int kTextChars = 260;
  static constexpr size_t kBufferBytes = sizeof(TVITEMW) + kTextChars * sizeof(wchar_t);

  [[nodiscard]] HTREEITEM Next(UINT relation, HTREEITEM item) const {
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
  }

  HWND tree_;
  HANDLE process_;
  void* buffer_ = nullptr;
};

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD bound_ms) {
  const ULONGLONG end = ::GetTickCount64() + bound_ms;
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(50);
  }
  return true;
}

SkinLayout::SkinLayout(const Scene& scene, const std::wstring& description) {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  EXPECT_EQ(archive->OpenFile(scene.sandbox().folder().File(L"skin.zip")), toolkit::ZipError::kNone);
  toolkit::DescriptionResult built = toolkit::BuildWindowDescription(archive, description);
  EXPECT_NE(built.description, nullptr) << platform::WideToUtf8(built.error);
  if (built.description == nullptr) return;
  core_ = std::make_unique<toolkit::WindowCore>(std::move(built.description), 96);
  core_->Resize(core_->PreferredClientSize());
}

SkinLayout::~SkinLayout() = default;

void SkinLayout::Select(const std::wstring& tab, int index) {
  if (core_) (void)core_->SelectItem(tab, index);
}

void SkinLayout::SetAttribute(const std::wstring& name, const std::wstring& attribute, const std::wstring& value) {
  if (core_) (void)core_->SetAttribute(name, attribute, value);
}

void SkinLayout::Resize(int width, int height) {
  if (core_) core_->Resize({width, height});
}

POINT SkinLayout::CenterOf(const std::wstring& name) {
  if (!core_) return {};
  core_->LayoutIfNeeded();
  const toolkit::Control* control = core_->FindControl(name);
  EXPECT_NE(control, nullptr) << platform::WideToUtf8(name);
  if (control == nullptr) return {};
  const toolkit::Rect& rect = control->rect();
  EXPECT_FALSE(rect.empty()) << platform::WideToUtf8(name) << " is not laid out";
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

RECT SkinLayout::RectOf(const std::wstring& name) {
  if (!core_) return {};
  core_->LayoutIfNeeded();
  const toolkit::Control* control = core_->FindControl(name);
  if (control == nullptr) return {};
  const toolkit::Rect& rect = control->rect();
  return {rect.left, rect.top, rect.right, rect.bottom};
}

std::vector<uint32_t> SkinLayout::Paint(const RECT& rect) {
  if (!core_) return {};
  const toolkit::RenderedImage image = core_->Render();
  std::vector<uint32_t> pixels;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) pixels.push_back(image.At(x, y));
  }
  return pixels;
}

std::vector<uint32_t> ScreenPixels(HWND window, const RECT& rect) {
  POINT origin{rect.left, rect.top};
  ::ClientToScreen(window, &origin);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint32_t> pixels;
  if (memory != nullptr && bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    const auto* data = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) pixels.push_back(data[i] & 0xFFFFFF);
    ::SelectObject(memory, old);
  }
  if (bitmap != nullptr) ::DeleteObject(bitmap);
  if (memory != nullptr) ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

size_t DifferentPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  if (a.size() != b.size()) return std::max(a.size(), b.size());
  size_t different = 0;
  for (size_t i = 0; i < a.size(); ++i) different += a[i] != b[i] ? 1 : 0;
  return different;
}

bool ShowsText(HWND window, SkinLayout& layout, const std::wstring& name, const std::wstring& shown,
               const std::wstring& other) {
  const RECT rect = layout.RectOf(name);
  layout.SetAttribute(name, L"text", shown);
  const std::vector<uint32_t> with_shown = layout.Paint(rect);
  layout.SetAttribute(name, L"text", other);
  const std::vector<uint32_t> with_other = layout.Paint(rect);
  EXPECT_GT(DifferentPixels(with_shown, with_other), 0u) << "the two texts look alike";
  return WaitFor(
      [&] {
        const std::vector<uint32_t> screen = ScreenPixels(window, rect);
        return DifferentPixels(screen, with_shown) < DifferentPixels(screen, with_other);
      },
      10000);
}

std::wstring LanguageText(const Scene& scene, const std::wstring& language, const char* key) {
  startup::LanguageStrings strings;
  strings.Load(scene.sandbox().folder().File(language + L".ini"));
  return strings.Get(key);
}

std::wstring LanguageTextWith(const Scene& scene, const std::wstring& language, const char* key,
                              const char* argument_key) {
  startup::LanguageStrings strings;
  strings.Load(scene.sandbox().folder().File(language + L".ini"));
  return strings.Format(key, argument_key, std::wstring());
}

void ClickIn(HWND window, POINT client_point) {
  ::SetForegroundWindow(window);
  POINT screen = client_point;
  ::ClientToScreen(window, &screen);
  test_support::ClickAt(screen);
}

HWND FindProcessWindow(DWORD process_id, const std::wstring& class_name, const std::wstring& caption) {
  WindowSearch search{process_id, class_name, caption};
  ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

WizardRun::WizardRun(const Scene& scene) : scene_(scene), process_(scene.StartSetup(L"")) {
  const std::wstring caption(scene.key().begin(), scene.key().end());
  EXPECT_TRUE(WaitFor([&] { return (window_ = FindProcessWindow(process_->id(), kMainClass, caption)) != nullptr; }));
}

bool WizardRun::LogSays(const std::string& text, DWORD bound_ms) const {
  return WaitFor([&] { return Contains(scene_.Log(), text); }, bound_ms);
}

bool WizardRun::LogSaysTimes(const std::string& text, int count, DWORD bound_ms) const {
  return WaitFor([&] { return Count(scene_.Log(), text) >= count; }, bound_ms);
}

void WizardRun::Click(SkinLayout& layout, const std::wstring& name) const {
  EXPECT_TRUE(WaitFor([&] { return ::IsWindowEnabled(window_) != FALSE; }, 10000)) << "the window takes no input";
  ClickIn(window_, layout.CenterOf(name));
}

HWND WizardRun::Question(DWORD bound_ms) const {
  std::pair<HWND, HWND> search{window_, nullptr};
  (void)WaitFor(
      [&] {
        search.second = nullptr;
        ::EnumWindows(MatchQuestion, reinterpret_cast<LPARAM>(&search));
        return search.second != nullptr;
      },
      bound_ms);
  return search.second;
}

void WizardRun::Answer(const std::wstring& dialog, const std::wstring& language, const char* confirm_key,
                       const char* dismiss_key, const std::wstring& button) const {
  HWND question = Question();
  ASSERT_NE(question, nullptr) << "no question shows";
  SkinLayout layout(scene_, dialog);
  layout.SetAttribute(L"btn_ok", L"text", LanguageText(scene_, language, confirm_key));
  layout.SetAttribute(L"btn_close", L"text", LanguageText(scene_, language, dismiss_key));
  ClickIn(question, layout.CenterOf(button));
}

HWND WizardRun::FolderEdit() const {
  HWND edit = nullptr;
  ::EnumChildWindows(window_, MatchEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

HWND WizardRun::KeyboardFocus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window_, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::wstring WizardRun::FolderText() const {
  HWND edit = FolderEdit();
  return edit == nullptr ? std::wstring() : WindowText(edit);
}

bool ChooseInFolderBrowser(const WizardRun& run, const std::wstring& folder) {
  HWND dialog = FolderBrowser(run);
  if (dialog == nullptr) return false;
  HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
  if (tree == nullptr) return false;
  RemoteTree remote(tree, run.process().id());
  // The drive, then each folder below it by its shown name.
  HTREEITEM item = remote.FindDrive(folder.substr(0, 2));
  for (size_t start = 3; item != nullptr && start < folder.size();) {
    size_t end = folder.find(L'\\', start);
    if (end == std::wstring::npos) end = folder.size();
    item = remote.Child(item, folder.substr(start, end - start));
    start = end + 1;
  }
  if (item == nullptr) {
    ADD_FAILURE() << "the folder browser does not show " << platform::WideToUtf8(folder);
    return false;
  }
  ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  return ClickDialogButtonUntilClosed(dialog, IDOK);
}

bool CancelFolderBrowser(const WizardRun& run) {
  HWND dialog = FolderBrowser(run);
  if (dialog == nullptr) return false;
  return ClickDialogButtonUntilClosed(dialog, IDCANCEL);
}

}  // namespace e2e_test
