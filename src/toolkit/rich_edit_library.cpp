#include "toolkit/rich_edit_library.h"

#include <vector>

#include "platform/system_paths.h"
#include "toolkit/log.h"

namespace toolkit {

RichEditClass PickRichEditClass(const std::function<bool(const std::wstring& library)>& load) {
  static constexpr RichEditClass kChoices[] = {
      {L"RICHEDIT50W", L"msftedit.dll"},
      {L"RichEdit20W", L"riched20.dll"},
  };
  for (const RichEditClass& choice : kChoices) {
    if (load(choice.library)) return choice;
  }
  return {L"EDIT", L""};
}

const RichEditClass& SystemRichEditClass() {
  // Only the UI thread makes windows, so the first call comes from there.
  static std::vector<platform::UniqueModule> loaded;
  static const RichEditClass chosen = [] {
    const RichEditClass choice = PickRichEditClass([](const std::wstring& library) {
      platform::UniqueModule module = platform::LoadSystemLibrary(library);
      if (!module.IsValid()) return false;
      loaded.push_back(std::move(module));
      return true;
    });
    LogLine(choice.rich() ? std::wstring(L"rich edit controls use ") + choice.window_class + L" from " + choice.library
                          : std::wstring(L"no rich edit library loads; rich edit controls are plain multi-line edits"));
    return choice;
  }();
  return chosen;
}

}  // namespace toolkit
