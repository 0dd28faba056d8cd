// Every question the wizard asks: a frameless modal dialog over the main
// window, built from one of the skin's dialog descriptions and filled with
// five texts. It answers which way it was closed (see DialogResult): its two
// buttons, its close picture, or anything else (keyboard, Alt+F4, a quit).
#pragma once

#include <memory>

#include "toolkit/window.h"
#include "ui/window_operations.h"

namespace toolkit {
class ZipArchive;
}

namespace ui {

class MessageDialog final : public toolkit::Window {
 public:
  explicit MessageDialog(DialogTexts texts) : texts_(std::move(texts)) {}

  // Builds the dialog over `owner`, runs it modally and answers the result;
  // kDialogNoOwner without an owner or when the description cannot be built.
  [[nodiscard]] int Run(std::shared_ptr<const toolkit::ZipArchive> archive, HWND owner);

 protected:
  void OnNotify(const toolkit::Notification& notification) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

 private:
  void ApplyTexts();
  void ApplyRoundCorners();

  DialogTexts texts_;
};

// The window icon of every window of the wizard, in the skin archive.
inline constexpr wchar_t kWindowIcon[] = L"downloader.ico";

}  // namespace ui
