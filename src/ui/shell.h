// What the wizard asks of the desktop shell: open a web page in the user's
// browser, start a program, restart Windows. Pages reach it through this
// seam so tests record the calls instead of opening anything.
#pragma once

#include <string>

namespace ui {

class IShell {
 public:
  virtual ~IShell() = default;
  // Opens `url` with the "open" verb. Callers go through OpenWebAddress.
  virtual bool OpenUrl(const std::wstring& url) = 0;
  // Starts `program` (no parameters) in `folder` (may be empty).
  virtual bool StartProgram(const std::wstring& program, const std::wstring& folder) = 0;
  // Reboots (EWX_REBOOT | EWX_FORCEIFHUNG); false when not allowed.
  virtual bool RestartWindows() = 0;
};

// The real shell.
class SystemShell final : public IShell {
 public:
  bool OpenUrl(const std::wstring& url) override;
  bool StartProgram(const std::wstring& program, const std::wstring& folder) override;
  bool RestartWindows() override;
};

// The shell of a test run (the environment variable WEBINSTALLER_SHELL_DRY_RUN
// is "1"): web pages and restarts are only logged, so a test drives every
// page's buttons without a browser opening or Windows restarting; programs
// still start for real.
class DryRunShell final : public IShell {
 public:
  [[nodiscard]] static bool Requested();
  bool OpenUrl(const std::wstring& url) override;
  bool StartProgram(const std::wstring& program, const std::wstring& folder) override;
  bool RestartWindows() override;

 private:
  SystemShell system_;
};

// Opens `url` only when it is an http or https address with a host; anything
// else (a local file, another scheme, an empty text) is logged under `what`
// and not opened.
bool OpenWebAddress(IShell& shell, const std::wstring& url, const char* what);

// A path as the registry may hold it ("\"C:\\x\\a.exe\""), without the quotes.
[[nodiscard]] std::wstring WithoutQuotes(const std::wstring& path);

}  // namespace ui
