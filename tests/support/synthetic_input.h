// Input as a person makes it, through the system's input queue: a click
// where the pointer is placed, keys with their releases, typed characters.
// The window under the pointer or with the focus receives it.
#pragma once

#include "platform/windows_api.h"

#include <initializer_list>
#include <string>

namespace test_support {

// The pointer is placed first; the button then acts where it is.
void ClickAt(POINT screen_point);
void PressKey(WORD key, bool shift = false);
// A chord: the keys pressed in order, then released in reverse (Alt+F4).
void PressKeys(std::initializer_list<WORD> keys);
// Each character as a Unicode key press, whatever the keyboard layout.
void TypeText(const std::wstring& text);

}  // namespace test_support
