// The installer's parameter text: configured switches, the user's options,
// the identity values and the setup log. Every inserted value is checked so
// that no value can add a switch of its own.
#pragma once

#include <map>
#include <string>

namespace install {

// Longest install folder accepted, in UTF-16 units (the classic path limit
// less room for the product's own files below it).
inline constexpr size_t kMaxInstallFolderUnits = 200;

// Longest option value the pages hand on, in UTF-16 units.
inline constexpr size_t kMaxOptionValueUnits = 260;

// The account password of the option map: never on a command line. The
// installer reads it from the file named by "KDVPasswordFile=".
inline constexpr char kPasswordOption[] = "KDVPassword";

struct InstallerInputs {
  std::wstring base_switches;                   // InstallParamStr or SilentInstallParamStr
  std::map<std::string, std::wstring> options;  // "DIR", "LANG" (already the installer's code), …
  std::wstring guid;
  std::wstring exe_number;
  std::wstring invite_code;
  std::wstring install_player;       // "installLumaviewer" as given
  std::wstring player_download_url;  // first URL of the player's release record
  std::wstring setup_log_path;       // empty: no "/LOG="
  std::wstring password_file;        // empty: no "KDVPasswordFile="
};

struct InstallerCommandLine {
  bool ok = false;
  std::wstring text;   // begins and ends with a blank when ok
  std::wstring error;  // why it was refused
};

// Builds the text; refuses (ok false) when the install folder is invalid.
// Unsafe values are dropped and logged, never inserted.
[[nodiscard]] InstallerCommandLine BuildInstallerCommandLine(const InstallerInputs& inputs);

// Absolute ("C:\…" or "\\server\share\…"), bounded, without quotes or
// control characters. Empty `reason` when valid.
[[nodiscard]] std::wstring InstallFolderProblem(const std::wstring& folder);

// Why an option value cannot reach the installer intact (a double quote, a
// control character, the parameter separator "|||", too long); empty when
// it can. Values with blanks are fine: they are quoted.
[[nodiscard]] std::wstring OptionValueProblem(const std::wstring& value);

// A value inserted after "key=": no blank of any kind, no quote, no control
// character and no parameter separator "|||".
[[nodiscard]] bool IsSafeInsertedValue(const std::wstring& value);

// The player's download address is wanted only when the user asked for it.
[[nodiscard]] bool WantsPlayerDownload(const std::wstring& install_player);

}  // namespace install
