#include "synthetic_input.h"

#include <vector>

namespace test_support {
namespace {

INPUT KeyInput(WORD key, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = flags;
  return input;
}

void Send(std::vector<INPUT>& inputs) { ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)); }

}  // namespace

void ClickAt(POINT screen_point) {
  ::SetCursorPos(screen_point.x, screen_point.y);
  INPUT inputs[3] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].type = INPUT_MOUSE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(3, inputs, sizeof(INPUT));
}

void PressKey(WORD key, bool shift) {
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, 0));
  inputs.push_back(KeyInput(key, 0));
  inputs.push_back(KeyInput(key, KEYEVENTF_KEYUP));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, KEYEVENTF_KEYUP));
  Send(inputs);
}

void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) inputs.push_back(KeyInput(key, 0));
  for (auto key = keys.end(); key != keys.begin();) inputs.push_back(KeyInput(*--key, KEYEVENTF_KEYUP));
  Send(inputs);
}

void TypeText(const std::wstring& text) {
  for (wchar_t c : text) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = c;
      input.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    ::SendInput(2, inputs, sizeof(INPUT));
  }
}

}  // namespace test_support
