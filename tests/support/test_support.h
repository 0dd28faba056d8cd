// Shared helpers of the test binaries: temporary folders, registry keys in
// either view, paths handed over from the build, and child processes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_key.h"

namespace test_support {

// A fresh folder under %TEMP%, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, ending in a backslash.
  [[nodiscard]] const std::wstring& path() const { return path_; }
  [[nodiscard]] std::wstring File(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

// A registry key created for a test under HKLM\SOFTWARE\WebInstallerTests\…
// in the given view, deleted with its subkeys at the end.
class TestRegistryKey {
 public:
  TestRegistryKey(const std::wstring& relative_path, platform::RegistryView view);
  ~TestRegistryKey();
  TestRegistryKey(const TestRegistryKey&) = delete;
  TestRegistryKey& operator=(const TestRegistryKey&) = delete;

  [[nodiscard]] const std::wstring& path() const { return path_; }  // below HKLM
  [[nodiscard]] platform::RegistryKey Open() const;
  void CreateSubkey(const std::wstring& name) const;

 private:
  std::wstring path_;
  platform::RegistryView view_;
};

// A message-only window that counts the `message` messages dispatched to it,
// to see whether a wait keeps dispatching.
class CountingWindow {
 public:
  explicit CountingWindow(UINT message);
  ~CountingWindow();
  CountingWindow(const CountingWindow&) = delete;
  CountingWindow& operator=(const CountingWindow&) = delete;

  [[nodiscard]] HWND hwnd() const { return window_; }
  [[nodiscard]] int count() const { return count_; }
  void Post() const { ::PostMessageW(window_, message_, 0, 0); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  UINT message_;
  int count_ = 0;  // written on the thread that owns the window
  HWND window_ = nullptr;
};

// Removes a WM_QUIT waiting in this thread's queue (a wait that saw it must
// have posted it again) and returns its exit code; nullopt when none waits.
[[nodiscard]] std::optional<WPARAM> TakeQueuedQuit();

// A unique text for names of keys, mutexes and files.
[[nodiscard]] std::wstring UniqueName(const std::wstring& prefix);

// "/work/build/x" (a path of the build machine) as Wine sees it: "Z:\work\build\x".
[[nodiscard]] std::wstring HostPathToWindows(const std::string& host_path);
// A host path handed over in an environment variable by the build, converted.
[[nodiscard]] std::wstring PathFromEnvironment(const char* variable);

[[nodiscard]] bool WriteBytes(const std::wstring& path, const std::string& bytes);
[[nodiscard]] std::string ReadBytes(const std::wstring& path);
[[nodiscard]] bool CopyOneFile(const std::wstring& from, const std::wstring& to);

struct ProcessResult {
  bool started = false;
  bool finished = false;  // false: killed after the time-out
  DWORD exit_code = 0;
};

// Runs `application` with `arguments` (the text after the program name) in
// `working_folder`, waiting at most `timeout_ms`.
[[nodiscard]] ProcessResult RunProcess(const std::wstring& application, const std::wstring& arguments,
                                       const std::wstring& working_folder, DWORD timeout_ms = 30000);

// A process left running for the test and ended (and waited for) at the end.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::wstring& application, const std::wstring& arguments,
                    const std::wstring& working_folder = std::wstring());
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  [[nodiscard]] bool IsRunning() const;
  [[nodiscard]] DWORD id() const { return id_; }
  // Waits up to `timeout_ms` for the exit; nullopt while it still runs.
  [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeout_ms) const;
  // Ends it at once, as a crash or the task manager would, and waits for
  // the end; false when it had already ended or would not end.
  [[nodiscard]] bool Terminate() const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// A copy of setup.exe in its own folder with the configuration files and the
// skin of the test, started as a real child process.
class SetupSandbox {
 public:
  SetupSandbox();  // copies setup.exe and the sample configuration
  [[nodiscard]] const TempFolder& folder() const { return folder_; }
  void WriteConfig(const std::wstring& name, const std::string& bytes) const;
  void RemoveConfig(const std::wstring& name) const;
  // An interactive run's wizard is asked to quit (WM_QUIT to its thread)
  // as soon as its window exists, so the run ends with the mode's exit code.
  [[nodiscard]] ProcessResult Run(const std::wstring& parameter_text, DWORD timeout_ms = 30000) const;
  // The main log written in the sandbox (the child's current folder).
  [[nodiscard]] std::string MainLog() const;

 private:
  TempFolder folder_;
};

}  // namespace test_support
