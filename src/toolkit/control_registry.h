// Every control class a window description may name, listed in one place
// (no self-registering statics, which static linking could drop).
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "toolkit/control.h"

namespace toolkit {

// A new control of `class_name`, or nullptr for an unknown class.
[[nodiscard]] std::unique_ptr<Control> CreateControl(std::wstring_view class_name);
[[nodiscard]] const std::vector<std::wstring_view>& RegisteredClassNames();

}  // namespace toolkit
