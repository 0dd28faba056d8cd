#include "toolkit/common_controls.h"

#include "platform/system_paths.h"
#include "toolkit/log.h"

namespace toolkit {

const CommonControls& LoadCommonControls() {
  static const CommonControls loaded = [] {
    // Never freed: windows of its classes live until the process ends.
    HMODULE module = ::LoadLibraryW(L"comctl32.dll");
    if (module == nullptr) LogLine(L"the common controls library cannot be loaded");
    CommonControls functions;
    functions.init = platform::FunctionOf<CommonControls::InitFunction>(module, "InitCommonControlsEx");
    functions.set_subclass = platform::FunctionOf<CommonControls::SetSubclassFunction>(module, "SetWindowSubclass");
    functions.remove_subclass =
        platform::FunctionOf<CommonControls::RemoveSubclassFunction>(module, "RemoveWindowSubclass");
    functions.def_subclass_proc = platform::FunctionOf<CommonControls::DefSubclassFunction>(module, "DefSubclassProc");
    return functions;
  }();
  return loaded;
}

}  // namespace toolkit
