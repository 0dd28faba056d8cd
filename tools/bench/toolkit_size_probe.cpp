// Linked into a copy of setup.exe to measure what the toolkit adds to the
// shipped program: a static object that would open a window, kept alive by
// a condition the linker cannot decide (an environment variable nobody sets).
#include <memory>

#include "platform/windows_api.h"
#include "toolkit/window.h"
#include "toolkit/zip_archive.h"

namespace {

struct ToolkitUser {
  ToolkitUser() {
    wchar_t value[4];
    if (::GetEnvironmentVariableW(L"TOOLKIT_SIZE_PROBE_RUN", value, 4) == 0) return;
    auto archive = std::make_shared<toolkit::ZipArchive>();
    (void)archive->OpenFile(L"skin.zip");
    toolkit::Window window;
    if (window.CreateOrExit(archive, L"install.xml", {})) {
      (void)window.SelectItem(L"wizardTab", 1);
      (void)window.RunModal();
    }
  }
} toolkit_user;

}  // namespace
