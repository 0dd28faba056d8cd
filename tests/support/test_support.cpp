#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "platform/file_io.h"
#include "platform/system_paths.h"
#include "platform/text.h"

namespace test_support {
namespace {

constexpr wchar_t kTestRoot[] = L"SOFTWARE\\WebInstallerTests\\";

void DeleteFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = folder + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteFolderTree(full + L"\\");
      } else {
        ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::wstring UniqueName(const std::wstring& prefix) {
  static std::atomic<unsigned> counter{0};
  return prefix + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(::GetTickCount64() % 100000) +
         L"_" + std::to_wstring(++counter);
}

CountingWindow::CountingWindow(UINT message) : message_(message) {
  static const bool registered = [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = Procedure;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"TestCountingWindow";
    return ::RegisterClassW(&window_class) != 0;
  }();
  (void)registered;
  window_ = ::CreateWindowW(L"TestCountingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            ::GetModuleHandleW(nullptr), nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CountingWindow::~CountingWindow() { ::DestroyWindow(window_); }

LRESULT CALLBACK CountingWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<CountingWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && message == self->message_) {
    ++self->count_;
    return 0;
  }
  return ::DefWindowProcW(window, message, w, l);
}

std::optional<WPARAM> TakeQueuedQuit() {
  MSG message;
  if (!::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return std::nullopt;
  return message.wParam;
}

TempFolder::TempFolder() {
  path_ = platform::TempFolder() + UniqueName(L"wit_") + L"\\";
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { DeleteFolderTree(path_); }

TestRegistryKey::TestRegistryKey(const std::wstring& relative_path, platform::RegistryView view)
    : path_(kTestRoot + relative_path), view_(view) {
  (void)platform::RegistryKey::Create(HKEY_LOCAL_MACHINE, path_, view_);
}

TestRegistryKey::~TestRegistryKey() { (void)platform::DeleteRegistryTree(HKEY_LOCAL_MACHINE, path_, view_); }

platform::RegistryKey TestRegistryKey::Open() const {
  return platform::RegistryKey::Open(HKEY_LOCAL_MACHINE, path_, view_, KEY_ALL_ACCESS);
}

void TestRegistryKey::CreateSubkey(const std::wstring& name) const {
  (void)platform::RegistryKey::Create(HKEY_LOCAL_MACHINE, path_ + L"\\" + name, view_);
}

std::wstring HostPathToWindows(const std::string& host_path) {
  std::wstring path = platform::Utf8ToWide(host_path);
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

std::wstring PathFromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr ? std::wstring() : HostPathToWindows(value);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  ::DeleteFileW(path.c_str());
  return platform::AppendToFile(path, bytes);
}

std::string ReadBytes(const std::wstring& path) { return platform::ReadFileLimited(path, 64u << 20).value_or(""); }

bool CopyOneFile(const std::wstring& from, const std::wstring& to) {
  return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

namespace {

// The wizard's windows (and the error box a broken skin shows): their
// thread gets a quit request, which ends an interactive run.
BOOL CALLBACK QuitWizardWindowsOf(HWND window, LPARAM process_id) {
  DWORD owner = 0;
  const DWORD thread = ::GetWindowThreadProcessId(window, &owner);
  if (owner != static_cast<DWORD>(process_id)) return TRUE;
  wchar_t class_name[64] = {};
  ::GetClassNameW(window, class_name, 64);
  if (std::wstring(class_name) == L"ToolkitWindow" || std::wstring(class_name) == L"#32770") {
    ::PostThreadMessageW(thread, WM_QUIT, 0, 0);
  }
  return TRUE;
}

ProcessResult RunChild(const std::wstring& application, const std::wstring& arguments,
                       const std::wstring& working_folder, DWORD timeout_ms, bool quit_wizard) {
  ProcessResult result;
  std::wstring command_line = L"\"" + application + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &info)) {
    return result;
  }
  result.started = true;
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  DWORD wait = WAIT_TIMEOUT;
  while ((wait = ::WaitForSingleObject(info.hProcess, quit_wizard ? 100 : timeout_ms)) == WAIT_TIMEOUT && quit_wizard &&
         ::GetTickCount64() < deadline) {
    ::EnumWindows(QuitWizardWindowsOf, static_cast<LPARAM>(info.dwProcessId));
  }
  if (wait == WAIT_OBJECT_0) {
    result.finished = true;
    ::GetExitCodeProcess(info.hProcess, &result.exit_code);
  } else {
    ::TerminateProcess(info.hProcess, 255);
    ::WaitForSingleObject(info.hProcess, 5000);
  }
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return result;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& application, const std::wstring& arguments,
                         const std::wstring& working_folder, DWORD timeout_ms) {
  return RunChild(application, arguments, working_folder, timeout_ms, false);
}

BackgroundProcess::BackgroundProcess(const std::wstring& application, const std::wstring& arguments,
                                     const std::wstring& working_folder) {
  std::wstring command_line = L"\"" + application + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &info)) {
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
  }
}

BackgroundProcess::~BackgroundProcess() {
  if (process_ == nullptr) return;
  if (IsRunning()) ::TerminateProcess(process_, 255);
  ::WaitForSingleObject(process_, 5000);
  ::CloseHandle(process_);
}

bool BackgroundProcess::IsRunning() const {
  return process_ != nullptr && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> BackgroundProcess::WaitForExit(DWORD timeout_ms) const {
  if (process_ == nullptr || ::WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

bool BackgroundProcess::Terminate() const {
  return IsRunning() && ::TerminateProcess(process_, 255) && ::WaitForSingleObject(process_, 10000) == WAIT_OBJECT_0;
}

SetupSandbox::SetupSandbox() {
  const std::wstring dist = PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\";
  (void)CopyOneFile(dist + L"setup.exe", folder_.File(L"setup.exe"));
  for (const wchar_t* name : {L"InitConfigure.ini", L"LanguageTransfor.ini", L"English.ini", L"Chinese.ini"}) {
    (void)CopyOneFile(dist + name, folder_.File(name));
  }
  // Test traffic stays on loopback: every address of the sample
  // configuration (release service, report, downloads) points at a closed
  // local port instead of the sample hosts.
  const std::wstring config = folder_.File(L"InitConfigure.ini");
  std::string text = ReadBytes(config);
  for (size_t at = 0; (at = text.find("=http", at)) != std::string::npos;) {
    const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    text.replace(at + 1, end - at - 1, "http://127.0.0.1:9/");
    at += 1;
  }
  (void)WriteBytes(config, text);
  // The shipped skin when the build packs one, else the wizard's test skin.
  if (!CopyOneFile(dist + L"skin.zip", folder_.File(L"skin.zip"))) {
    (void)CopyOneFile(PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\skins\\wizard.zip",
                      folder_.File(L"skin.zip"));
  }
}

void SetupSandbox::WriteConfig(const std::wstring& name, const std::string& bytes) const {
  (void)WriteBytes(folder_.File(name), bytes);
}

void SetupSandbox::RemoveConfig(const std::wstring& name) const { ::DeleteFileW(folder_.File(name).c_str()); }

ProcessResult SetupSandbox::Run(const std::wstring& parameter_text, DWORD timeout_ms) const {
  return RunChild(folder_.File(L"setup.exe"), parameter_text, folder_.path(), timeout_ms, true);
}

std::string SetupSandbox::MainLog() const { return ReadBytes(folder_.File(L"Brimvale_Log.log")); }

}  // namespace test_support
