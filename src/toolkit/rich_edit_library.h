// Which native window class hosts a RichEdit control. The newest rich edit
// is loaded from System32 by its full path, then the older one; without
// either the plain multi-line EDIT stands in. A loaded library stays for the
// life of the process: its windows' class lives in it.
#pragma once

#include <functional>
#include <string>

namespace toolkit {

struct RichEditClass {
  const wchar_t* window_class;  // never null
  const wchar_t* library;       // the DLL that registered it; empty for EDIT
  [[nodiscard]] bool rich() const { return library[0] != L'\0'; }
};

// Picks the class with `load` (true when the named System32 DLL loaded).
[[nodiscard]] RichEditClass PickRichEditClass(const std::function<bool(const std::wstring& library)>& load);

// The class for this process: chosen once, logged once.
[[nodiscard]] const RichEditClass& SystemRichEditClass();

}  // namespace toolkit
