// Measures the wizard from outside, as a user meets it: how long from the
// start of setup.exe until its first frame is on the screen (against a bare
// window program started the same way, as the reference), and the longest
// the wizard's UI thread leaves a message unanswered during a whole
// download and install (a probe sends it messages every few milliseconds).
// Prints figures; asserts nothing. See wizard.sh for the set-up.
// Usage: wizard_bench <folder with setup.exe> <caption> <parameters> <runs>
//        wizard_bench --bare-window   (the reference child)
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "platform/windows_api.h"
#include "process_measures.h"

namespace {

constexpr COLORREF kBareColor = RGB(0x33, 0x66, 0xCC);
constexpr int kWidth = 800, kHeight = 500;    // the wizard's size at 96 DPI
constexpr POINT kInstallButton = {400, 308};  // its centre, client coordinates
constexpr DWORD kPipelineBoundMs = 180000;

LRESULT CALLBACK BareProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd, &paint);
    HBRUSH brush = ::CreateSolidBrush(kBareColor);
    ::FillRect(dc, &paint.rcPaint, brush);
    ::DeleteObject(brush);
    ::EndPaint(hwnd, &paint);
    return 0;
  }
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

// The reference: a window of the wizard's size, one colour, nothing else.
int BareWindow() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = BareProc;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"WizardBenchBare";
  ::RegisterClassW(&window_class);
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  ::CreateWindowExW(0, window_class.lpszClassName, L"WizardBenchBare", WS_POPUP | WS_VISIBLE, x, y, kWidth, kHeight,
                    nullptr, nullptr, window_class.hInstance, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}

struct Child {
  platform::UniqueHandle process;
  double started = 0;
};

Child Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder) {
  std::wstring command = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  Child child;
  child.started = bench::MillisecondsNow();
  if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    std::printf("cannot start %ls (%lu)\n", program.c_str(), ::GetLastError());
    return child;
  }
  ::CloseHandle(info.hThread);
  child.process = platform::UniqueHandle(info.hProcess);
  return child;
}

void End(Child& child) {
  if (!child.process.IsValid()) return;
  ::TerminateProcess(child.process.Get(), 0);
  ::WaitForSingleObject(child.process.Get(), 10000);
}

HWND WaitForWindow(const wchar_t* caption, const Child& child, DWORD bound_ms) {
  const double end = bench::MillisecondsNow() + bound_ms;
  while (bench::MillisecondsNow() < end && ::WaitForSingleObject(child.process.Get(), 0) == WAIT_TIMEOUT) {
    HWND window = ::FindWindowW(nullptr, caption);
    if (window != nullptr && ::IsWindowVisible(window)) return window;
    ::Sleep(1);
  }
  return nullptr;
}

// The screen's colour at a point of the window's client area.
COLORREF PixelOf(HWND window, POINT client) {
  ::ClientToScreen(window, &client);
  HDC screen = ::GetDC(nullptr);
  const COLORREF pixel = ::GetPixel(screen, client.x, client.y);
  ::ReleaseDC(nullptr, screen);
  return pixel;
}

// Milliseconds from the start until `painted` holds for the pixel at `point`,
// or a negative number.
double FirstFrame(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
                  const wchar_t* caption, POINT point, bool (*painted)(COLORREF)) {
  Child child = Start(program, arguments, folder);
  if (!child.process.IsValid()) return -1;
  double frame = -1;
  if (HWND window = WaitForWindow(caption, child, 20000)) {
    const double end = bench::MillisecondsNow() + 20000;
    while (bench::MillisecondsNow() < end) {
      if (painted(PixelOf(window, point))) {
        frame = bench::MillisecondsNow() - child.started;
        break;
      }
      ::Sleep(1);
    }
  }
  End(child);
  return frame;
}

bool IsBareColor(COLORREF pixel) { return pixel == kBareColor; }

// The Install button is drawn in the brand colour: neither grey, black nor white.
bool IsColoured(COLORREF pixel) {
  const int r = GetRValue(pixel), g = GetGValue(pixel), b = GetBValue(pixel);
  return std::max({r, g, b}) - std::min({r, g, b}) > 40;
}

bool LogHas(const std::wstring& log, const char* line) {
  const std::optional<std::string> text = platform::ReadFileLimited(log, 8 << 20);
  return text && text->find(line) != std::string::npos;
}

void Responsiveness(const std::wstring& setup, const std::wstring& folder, const wchar_t* caption,
                    const std::wstring& parameters) {
  const std::wstring log = folder + L"\\Brimvale_Log.log";
  ::DeleteFileW(log.c_str());
  Child child = Start(setup, parameters, folder);
  HWND window = child.process.IsValid() ? WaitForWindow(caption, child, 20000) : nullptr;
  if (window == nullptr) {
    std::printf("responsiveness: the wizard's window did not show\n");
    End(child);
    return;
  }
  double end = bench::MillisecondsNow() + 30000;
  while (bench::MillisecondsNow() < end && !LogHas(log, "Release check done")) ::Sleep(20);
  std::atomic<bool> done{false};
  std::vector<double> answers;  // probe thread until joined
  double longest = 0, longest_at = 0;
  const double install_clicked = bench::MillisecondsNow();
  std::thread probe([&] {
    while (!done) {
      const double sent = bench::MillisecondsNow();
      DWORD_PTR result = 0;
      if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) break;
      const double took = bench::MillisecondsNow() - sent;
      if (took > longest) {
        longest = took;
        longest_at = sent - install_clicked;
      }
      answers.push_back(took);
      ::Sleep(5);
    }
  });
  // A click on Install, as the pointer would give it.
  const LPARAM at = MAKELPARAM(kInstallButton.x, kInstallButton.y);
  ::PostMessageW(window, WM_MOUSEMOVE, 0, at);
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(window, WM_LBUTTONUP, 0, at);
  end = bench::MillisecondsNow() + kPipelineBoundMs;
  while (bench::MillisecondsNow() < end && !LogHas(log, "Pipeline ended") &&
         ::WaitForSingleObject(child.process.Get(), 0) == WAIT_TIMEOUT)
    ::Sleep(50);
  const double pipeline_ms = bench::MillisecondsNow() - install_clicked;
  const bool installed = LogHas(log, "Pipeline ended: installed");
  done = true;
  probe.join();
  End(child);
  if (answers.empty()) {
    std::printf("responsiveness: no answers\n");
    return;
  }
  std::vector<double> sorted = answers;
  std::sort(sorted.begin(), sorted.end());
  std::printf("UI thread during download and install (%s, %.1f s, %zu probes):\n",
              installed ? "installed" : "NOT installed", pipeline_ms / 1000, sorted.size());
  std::printf("  longest unanswered: %7.1f ms (%.1f s after Install; target < 50 ms)\n", sorted.back(),
              longest_at / 1000);
  std::printf("  99th percentile:    %7.1f ms\n", sorted[sorted.size() * 99 / 100]);
  std::printf("  median:             %7.1f ms\n", sorted[sorted.size() / 2]);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"--bare-window") return BareWindow();
  if (argc != 5) {
    std::printf("usage: wizard_bench <folder with setup.exe> <caption> <parameters> <runs>\n");
    return 2;
  }
  const std::wstring folder = argv[1], caption = argv[2], parameters = argv[3];
  const int runs = std::max(1, _wtoi(argv[4]));
  const std::wstring setup = folder + L"\\setup.exe";
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::vector<double> bare, wizard;
  for (int run = 0; run < runs; ++run) {
    bare.push_back(
        FirstFrame(self, L"--bare-window", std::wstring(), L"WizardBenchBare", {kWidth / 2, kHeight / 2}, IsBareColor));
    wizard.push_back(
        FirstFrame(setup, L"\"" + parameters + L"\"", folder, caption.c_str(), kInstallButton, IsColoured));
  }
  // Each run's pair starts moments apart, so its difference is steadier
  // than the difference of two medians when the machine's pace drifts.
  std::vector<double> beyond;
  for (size_t i = 0; i < bare.size(); ++i) {
    if (bare[i] >= 0 && wizard[i] >= 0) beyond.push_back(wizard[i] - bare[i]);
  }
  std::sort(beyond.begin(), beyond.end());
  std::sort(bare.begin(), bare.end());
  std::sort(wizard.begin(), wizard.end());
  std::printf("Start to first painted frame, median of %d (min .. max):\n", runs);
  std::printf("  bare window (reference): %7.1f ms (%.1f .. %.1f)\n", bare[bare.size() / 2], bare.front(), bare.back());
  std::printf("  setup.exe with its skin: %7.1f ms (%.1f .. %.1f); target <= 150 ms\n", wizard[wizard.size() / 2],
              wizard.front(), wizard.back());
  std::printf("  setup.exe beyond the reference: %.1f ms (difference of the medians)\n",
              wizard[wizard.size() / 2] - bare[bare.size() / 2]);
  if (!beyond.empty()) {
    std::printf("  setup.exe beyond the reference: %.1f ms (median of %zu paired runs; %.1f .. %.1f)\n",
                beyond[beyond.size() / 2], beyond.size(), beyond.front(), beyond.back());
  }
  Responsiveness(setup, folder, caption.c_str(), L"\"" + parameters + L"\"");
  return 0;
}
