// The UI boundary as the page tests see it: a window that records what the
// pages set, answers reads from that record, queues posted work until the
// test runs it, answers questions from a script, and a shell that records
// what would have been opened or started.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/shell.h"
#include "ui/window_operations.h"

namespace ui_test {

class RecordingWindow final : public ui::IWindowOperations {
 public:
  // Controls exist unless named here (reads answer "", sets do nothing).
  std::set<std::wstring> missing;
  // Answers of ShowDialog in turn; kDialogClosed once they run out.
  std::deque<int> dialog_answers;
  // Runs while a question is "open" (before it answers), like the handlers
  // a real modal loop would dispatch.
  std::function<void(const ui::DialogTexts&)> during_dialog;
  std::vector<ui::DialogTexts> dialogs;
  std::wstring browse_result;
  bool web_content_loads = true;
  std::vector<std::wstring> web_content;  // addresses loaded
  bool intercept = false;
  std::vector<std::pair<int, int>> resizes;
  std::set<UINT> timers;
  // What the taskbar button showed, in turn (repeats included).
  std::vector<std::pair<toolkit::TaskbarState, int>> taskbar;
  int quits = 0;
  int catch_ups = 0;
  std::function<void()> during_catch_up;
  int minimizes = 0;
  // Every control name the pages set, read, select, fill, measure or
  // handle, to hold against the shipped skin.
  mutable std::set<std::wstring, std::less<>> names_used;

  void SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) override;
  void SelectItem(std::wstring_view name, int index) override;
  [[nodiscard]] std::wstring ReadState(std::wstring_view name, std::wstring_view attribute) const override;
  void FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                 const std::wstring& selected_text) override;
  void RegisterHandler(const std::wstring& name, ui::ControlHandler handler) override;
  [[nodiscard]] int FittingWidth(std::wstring_view name, const std::wstring& text) const override;
  void Resize(int width, int height) override { resizes.emplace_back(width, height); }
  void Minimize() override { ++minimizes; }
  void Quit() override { ++quits; }
  void SetTimer(UINT id, UINT elapse_ms) override;
  void KillTimer(UINT id) override { timers.erase(id); }
  void SetTaskbarProgress(toolkit::TaskbarState state, int percent) override { taskbar.emplace_back(state, percent); }
  void PostToUiThread(std::function<void()> work) override { posted_.push_back(std::move(work)); }
  // Counts the catch-ups and runs `during_catch_up` as the messages a real
  // one dispatches; false once Quit was called.
  [[nodiscard]] bool CatchUp() override {
    ++catch_ups;
    if (during_catch_up) during_catch_up();
    return quits == 0;
  }
  [[nodiscard]] int ShowDialog(const ui::DialogTexts& texts) override;
  [[nodiscard]] std::wstring BrowseForFolder() override { return browse_result; }
  [[nodiscard]] bool LoadWebContent(const std::wstring& name, const std::wstring& url,
                                    toolkit::IWebBrowserEvents* events) override;
  void SetInterceptWebEvents(bool on) override { intercept = on; }

  // The test's hand on the controls.
  void Click(const std::wstring& name);
  void Link(const std::wstring& name, const std::wstring& target);
  void ChooseInCombo(const std::wstring& name, const std::wstring& text);
  // Runs the posted work (and what it posts) in order; the count run.
  size_t RunPosted();
  [[nodiscard]] std::wstring Get(const std::wstring& name, const std::wstring& attribute) const {
    return ReadState(name, attribute);
  }

 private:
  std::map<std::wstring, std::map<std::wstring, std::wstring>, std::less<>> controls_;
  std::map<std::wstring, std::vector<std::wstring>, std::less<>> combo_items_;
  std::map<std::wstring, ui::ControlHandler> handlers_;
  std::deque<std::function<void()>> posted_;
};

class RecordingShell final : public ui::IShell {
 public:
  std::vector<std::wstring> opened;
  std::vector<std::pair<std::wstring, std::wstring>> started;  // program, folder
  int restarts = 0;

  bool OpenUrl(const std::wstring& url) override {
    opened.push_back(url);
    return true;
  }
  bool StartProgram(const std::wstring& program, const std::wstring& folder) override {
    started.emplace_back(program, folder);
    return true;
  }
  bool RestartWindows() override {
    ++restarts;
    return true;
  }
};

}  // namespace ui_test
