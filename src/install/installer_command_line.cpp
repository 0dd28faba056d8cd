#include "install/installer_command_line.h"

#include <algorithm>

#include "startup/log.h"

namespace install {
namespace {

bool IsBlank(wchar_t c) {
  switch (c) {
    case L' ':
    case L'\t':
    case L'\n':
    case L'\v':
    case L'\f':
    case L'\r':
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000: return true;
    default: return c >= 0x2000 && c <= 0x200A;
  }
}

bool IsControl(wchar_t c) { return c < 0x20 || c == 0x7F; }

// Option keys become "key=" pieces: plain names only, never a switch.
bool IsSafeOptionKey(const std::string& key) {
  if (key.empty() || key.size() > 64) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum || c == '_' || (i > 0 && (c == '-' || c == '.'))) continue;
    return false;
  }
  return true;
}

bool IsDriveAbsolute(const std::wstring& folder) {
  const wchar_t d = folder.size() >= 3 ? folder[0] : 0;
  const bool letter = (d >= L'a' && d <= L'z') || (d >= L'A' && d <= L'Z');
  return letter && folder[1] == L':' && folder[2] == L'\\';
}

bool IsUncAbsolute(const std::wstring& folder) {
  return folder.size() > 2 && folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'\\' && folder[2] != L'?' &&
         folder[2] != L'.';
}

// Appends "name=value " when the value is safe; logs and drops it otherwise.
void AppendValue(std::wstring& text, const wchar_t* name, const std::wstring& value) {
  if (!IsSafeInsertedValue(value)) {
    startup::Log("Installer parameter %s dropped: unsafe value\n", name);
    return;
  }
  text += name;
  text += L"=";
  text += value;
  text += L" ";
}

// "C:\\Apps\\" would end in \\" inside the quotes, which many command-line
// parsers read as an escaped quote; the drive root keeps its backslash.
std::wstring WithoutTrailingBackslash(std::wstring folder) {
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// "key=value ", or "key="value" " when the value holds blanks; a value that
// cannot be passed intact is logged and dropped (the pages refuse it first).
void AppendOption(std::wstring& text, const std::wstring& key, const std::wstring& value) {
  if (const std::wstring problem = OptionValueProblem(value); !problem.empty()) {
    startup::Log("Installer option %s dropped: %s\n", key, problem);
    return;
  }
  if (!std::any_of(value.begin(), value.end(), IsBlank)) {
    text += key + L"=" + value + L" ";
    return;
  }
  text += key + L"=\"" + WithoutTrailingBackslash(value) + L"\" ";
}

}  // namespace

std::wstring OptionValueProblem(const std::wstring& value) {
  if (value.size() > kMaxOptionValueUnits) return L"too long";
  for (wchar_t c : value) {
    if (c == L'"') return L"contains a double quote";
    if (IsControl(c)) return L"contains a control character";
  }
  if (value.find(L"|||") != std::wstring::npos) return L"contains \"|||\"";
  return {};
}

bool IsSafeInsertedValue(const std::wstring& value) {
  for (wchar_t c : value) {
    if (IsBlank(c) || IsControl(c) || c == L'"') return false;
  }
  return value.find(L"|||") == std::wstring::npos;
}

std::wstring InstallFolderProblem(const std::wstring& folder) {
  if (folder.empty()) return L"empty";
  if (folder.size() > kMaxInstallFolderUnits) return L"too long";
  for (wchar_t c : folder) {
    if (c == L'"') return L"contains a double quote";
    if (IsControl(c)) return L"contains a control character";
  }
  if (!IsDriveAbsolute(folder) && !IsUncAbsolute(folder)) return L"not an absolute path";
  return {};
}

bool WantsPlayerDownload(const std::wstring& install_player) { return install_player == L"true"; }

InstallerCommandLine BuildInstallerCommandLine(const InstallerInputs& inputs) {
  InstallerCommandLine result;
  std::wstring text = L" " + inputs.base_switches + L" ";
  // std::map walks its keys in byte order, which is the order the installer expects.
  for (const auto& [key, value] : inputs.options) {
    if (key == "recommendChk") continue;
    if (key == "DIR") {
      const std::wstring problem = InstallFolderProblem(value);
      if (!problem.empty()) {
        startup::Log("Install folder refused (%s): %s\n", problem, value);
        result.error = L"The install folder is not usable (" + problem + L"): " + value;
        return result;
      }
      text += L"/DIR=\"" + WithoutTrailingBackslash(value) + L"\" ";
      continue;
    }
    if (key == "LANG") {
      if (IsSafeInsertedValue(value)) {
        text += L"/LANG=" + value + L" ";
      } else {
        startup::Log("Installer parameter LANG dropped: unsafe value\n");
      }
      continue;
    }
    if (key == kPasswordOption) continue;  // travels in its own file, below
    if (!IsSafeOptionKey(key)) {
      startup::Log("Installer option dropped: unsafe key %s\n", key);
      continue;
    }
    AppendOption(text, std::wstring(key.begin(), key.end()), value);  // checked: ASCII only
  }
  if (!inputs.password_file.empty()) {
    if (InstallFolderProblem(inputs.password_file).empty()) {
      text += L"KDVPasswordFile=\"" + inputs.password_file + L"\" ";
    } else {
      startup::Log("Password file path dropped: %s\n", inputs.password_file);
    }
  }
  AppendValue(text, L"GUID", inputs.guid);
  if (!inputs.exe_number.empty()) AppendValue(text, L"xurlID", inputs.exe_number);
  if (!inputs.setup_log_path.empty()) {
    if (InstallFolderProblem(inputs.setup_log_path).empty()) {
      text += L"/LOG=\"" + inputs.setup_log_path + L"\" ";
    } else {
      startup::Log("Setup log path dropped: %s\n", inputs.setup_log_path);
    }
  }
  AppendValue(text, L"installLumaviewer", inputs.install_player);
  AppendValue(text, L"LumaPlayerDownloadURL",
              WantsPlayerDownload(inputs.install_player) ? inputs.player_download_url : std::wstring());
  if (!inputs.invite_code.empty()) AppendValue(text, L"inviteCode", inputs.invite_code);
  result.ok = true;
  result.text = std::move(text);
  return result;
}

}  // namespace install
