#include "recording_window.h"

namespace ui_test {
namespace {

std::wstring DefaultOf(std::wstring_view attribute) {
  if (attribute == L"visible" || attribute == L"enabled") return L"true";
  if (attribute == L"selected") return L"false";
  if (attribute == L"index") return L"0";
  return {};
}

}  // namespace

void RecordingWindow::SetAttribute(std::wstring_view name, std::wstring_view attribute, const std::wstring& value) {
  names_used.emplace(name);
  if (missing.count(std::wstring(name)) != 0) return;
  controls_[std::wstring(name)][std::wstring(attribute)] = value;
}

void RecordingWindow::SelectItem(std::wstring_view name, int index) {
  names_used.emplace(name);
  if (missing.count(std::wstring(name)) != 0) return;
  const auto items = combo_items_.find(name);
  if (items != combo_items_.end()) {
    if (index < 0 || static_cast<size_t>(index) >= items->second.size()) return;
    controls_[std::wstring(name)][L"text"] = items->second[static_cast<size_t>(index)];
  }
  controls_[std::wstring(name)][L"index"] = std::to_wstring(index);
}

std::wstring RecordingWindow::ReadState(std::wstring_view name, std::wstring_view attribute) const {
  names_used.emplace(name);
  if (missing.count(std::wstring(name)) != 0) return {};
  const auto control = controls_.find(name);
  if (control != controls_.end()) {
    const auto value = control->second.find(std::wstring(attribute));
    if (value != control->second.end()) return value->second;
  }
  return DefaultOf(attribute);
}

void RecordingWindow::FillCombo(std::wstring_view name, const std::vector<std::wstring>& items,
                                const std::wstring& selected_text) {
  names_used.emplace(name);
  if (missing.count(std::wstring(name)) != 0) return;
  combo_items_[std::wstring(name)] = items;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == selected_text) SelectItem(name, static_cast<int>(i));
  }
}

void RecordingWindow::RegisterHandler(const std::wstring& name, ui::ControlHandler handler) {
  names_used.emplace(name);
  handlers_[name] = std::move(handler);
}

int RecordingWindow::FittingWidth(std::wstring_view name, const std::wstring& text) const {
  names_used.emplace(name);
  return 7 * static_cast<int>(text.size()) + 10;
}

void RecordingWindow::SetTimer(UINT id, UINT) { timers.insert(id); }

int RecordingWindow::ShowDialog(const ui::DialogTexts& texts) {
  dialogs.push_back(texts);
  if (during_dialog) during_dialog(texts);
  if (dialog_answers.empty()) return ui::kDialogClosed;
  const int answer = dialog_answers.front();
  dialog_answers.pop_front();
  return answer;
}

bool RecordingWindow::LoadWebContent(const std::wstring& name, const std::wstring& url, toolkit::IWebBrowserEvents*) {
  names_used.emplace(name);
  if (!web_content_loads || missing.count(name) != 0) return false;
  web_content.push_back(url);
  return true;
}

void RecordingWindow::Click(const std::wstring& name) {
  const auto handler = handlers_.find(name);
  if (handler != handlers_.end()) handler->second({L"click", name, 0, {}});
}

void RecordingWindow::Link(const std::wstring& name, const std::wstring& target) {
  const auto handler = handlers_.find(name);
  if (handler != handlers_.end()) handler->second({L"link", name, 0, target});
}

void RecordingWindow::ChooseInCombo(const std::wstring& name, const std::wstring& text) {
  const auto& items = combo_items_[name];
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) SelectItem(name, static_cast<int>(i));
  }
  const auto handler = handlers_.find(name);
  if (handler != handlers_.end()) handler->second({L"itemselect", name, 0, {}});
}

size_t RecordingWindow::RunPosted() {
  size_t count = 0;
  while (!posted_.empty()) {
    std::function<void()> work = std::move(posted_.front());
    posted_.pop_front();
    work();
    ++count;
  }
  return count;
}

}  // namespace ui_test
