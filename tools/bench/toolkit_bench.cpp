// Measures the toolkit on a real window: time to the first painted frame,
// full repaint time, the longest UI-thread stall during hover and click
// sequences, and memory per window. Prints figures; asserts nothing.
// Usage: toolkit_bench skin.zip description.xml
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <psapi.h>

#include "process_measures.h"
#include "toolkit/edit.h"
#include "toolkit/dpi.h"
#include "toolkit/window.h"
#include "toolkit/zip_archive.h"

namespace {

double MsSinceProcessCreation() {
  FILETIME created, exited, kernel, user, now;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  ::GetSystemTimeAsFileTime(&now);
  const auto to64 = [](FILETIME t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(to64(now) - to64(created)) / 10000.0;
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
  // Wine leaves PrivateUsage at zero; the committed page-file figure is the same quantity there.
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

size_t WorkingSet() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
  return counters.WorkingSetSize;
}

void CollectControls(toolkit::Control* control, std::vector<toolkit::Control*>* out) {
  out->push_back(control);
  for (size_t i = 0; i < control->child_count(); ++i) CollectControls(control->child(i), out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const double main_entered = bench::MillisecondsNow();
  const double since_creation_at_main = MsSinceProcessCreation();
  if (argc < 3) {
    std::fprintf(stderr, "usage: toolkit_bench skin.zip description.xml\n");
    return 2;
  }
  (void)toolkit::EnableDpiAwareness();
  auto archive = std::make_shared<toolkit::ZipArchive>();
  if (archive->OpenFile(argv[1]) != toolkit::ZipError::kNone) return 1;

  toolkit::Window window;
  std::wstring error;
  if (!window.Create(archive, argv[2], {}, &error)) {
    std::fwprintf(stderr, L"cannot build: %ls\n", error.c_str());
    return 1;
  }
  window.ShowModeless();
  ::UpdateWindow(window.hwnd());  // paints synchronously
  const double first_frame_from_main = bench::MillisecondsNow() - main_entered;
  const double first_frame_from_creation = MsSinceProcessCreation();
  std::vector<toolkit::Control*> controls;
  CollectControls(window.core().root(), &controls);
  Pump();

  // Full repaints of the whole client area, painted at once.
  std::vector<double> repaints;
  for (int i = 0; i < 200; ++i) {
    const double start = bench::MillisecondsNow();
    ::RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    repaints.push_back(bench::MillisecondsNow() - start);
  }
  std::sort(repaints.begin(), repaints.end());

  // Hover and click over every control, each message handled and painted.
  double worst = 0;
  double total = 0;
  int events = 0;
  for (int round = 0; round < 5; ++round) {
    for (toolkit::Control* control : controls) {
      const toolkit::Rect r = control->rect();
      if (r.empty() || !control->IsVisibleInTree()) continue;
      const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      for (UINT message :
           {static_cast<UINT>(WM_MOUSEMOVE), static_cast<UINT>(WM_LBUTTONDOWN), static_cast<UINT>(WM_LBUTTONUP)}) {
        if (message != WM_MOUSEMOVE && dynamic_cast<toolkit::Edit*>(control) == nullptr &&
            control->class_name() == L"Combo")
          continue;  // a combo's drop-down is a modal menu: not part of this sequence
        const double start = bench::MillisecondsNow();
        ::SendMessageW(window.hwnd(), message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON, at);
        ::UpdateWindow(window.hwnd());
        const double spent = bench::MillisecondsNow() - start;
        worst = std::max(worst, spent);
        total += spent;
        ++events;
      }
    }
  }
  Pump();

  // Memory: twenty more windows of the same description, shown and painted.
  const size_t before = PrivateBytes();
  const size_t working_before = WorkingSet();
  {
    std::vector<std::unique_ptr<toolkit::Window>> windows;
    for (int i = 0; i < 20; ++i) {
      auto extra = std::make_unique<toolkit::Window>();
      if (!extra->Create(archive, argv[2], {}, &error)) break;
      extra->ShowModeless();
      ::UpdateWindow(extra->hwnd());
      windows.push_back(std::move(extra));
    }
    Pump();
    const size_t after = PrivateBytes();
    const size_t working_after = WorkingSet();
    std::printf("controls in the window:            %zu\n", controls.size());
    std::printf("process creation to main():        %.1f ms (Wine's own start)\n", since_creation_at_main);
    std::printf("main() to first painted frame:      %.1f ms (target <= 150)\n", first_frame_from_main);
    std::printf("process creation to first frame:   %.1f ms (includes Wine's start)\n", first_frame_from_creation);
    std::printf("full repaint: median %.2f ms, 95th %.2f ms, max %.2f ms (target <= 8)\n",
                repaints[repaints.size() / 2], repaints[repaints.size() * 95 / 100], repaints.back());
    std::printf("hover/click: %d messages, mean %.2f ms, longest %.2f ms (target < 50)\n", events,
                events ? total / events : 0.0, worst);
    std::printf(
        "memory per window: %.1f KiB committed, %.1f KiB working set (mean of 20 windows)\n",
        after > before ? static_cast<double>(after - before) / 20.0 / 1024.0 : 0.0,
        working_after > working_before ? static_cast<double>(working_after - working_before) / 20.0 / 1024.0 : 0.0);
  }
  return 0;
}
