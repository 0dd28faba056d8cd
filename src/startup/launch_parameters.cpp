#include "startup/launch_parameters.h"

#include "platform/text.h"
#include "startup/log.h"

namespace startup {
namespace {

constexpr std::wstring_view kSeparator = L" ||| ";
constexpr wchar_t kDefaultExeNumber[] = L"999999";

// EXENAME without a final ".exe" in any letter case.
std::wstring WithoutExeSuffix(const std::wstring& name) {
  if (name.size() >= 4 && platform::AsciiLower(name.substr(name.size() - 4)) == L".exe") {
    return name.substr(0, name.size() - 4);
  }
  return name;
}

}  // namespace

void LaunchParameters::Parse(const wchar_t* command_line) {
  if (command_line == nullptr) return;
  std::wstring given = command_line;
  Log("ParseCmdLine param=%s\n", given);
  // Launchers that pass the text as one argument (a shell needs quotes around
  // the bars) wrap it in quotes; those are not part of the first key.
  if (given.size() >= 2 && given.front() == L'"' && given.back() == L'"' && given.find(L'"', 1) == given.size() - 1) {
    given = given.substr(1, given.size() - 2);
  }
  const std::wstring text = given + std::wstring(kSeparator);

  size_t start = 0;
  for (size_t found; (found = text.find(kSeparator, start)) != std::wstring::npos; start = found + kSeparator.size()) {
    const std::wstring piece = text.substr(start, found - start);
    const size_t equals = piece.find(L'=');
    if (equals == std::wstring::npos || equals == 0 || equals + 1 == piece.size()) continue;
    Insert(platform::WideToAnsi(piece.substr(0, equals)), piece.substr(equals + 1));
  }
}

std::wstring LaunchParameters::Get(const std::string& key) const {
  std::lock_guard guard(mutex_);
  const auto it = values_.find(key);
  return it == values_.end() ? std::wstring() : it->second;
}

void LaunchParameters::Insert(const std::string& key, const std::wstring& value) {
  std::lock_guard guard(mutex_);
  values_.emplace(key, value);
}

void LaunchParameters::Replace(const std::string& key, const std::wstring& value) {
  std::lock_guard guard(mutex_);
  const auto it = values_.find(key);
  if (it != values_.end()) it->second = value;
}

bool LaunchParameters::DownloadVersionContains(const std::wstring& word) const {
  return platform::AsciiLower(Get("DOWNLOAD_VERSION")).find(word) != std::wstring::npos;
}

bool LaunchParameters::IsVexaEdition() const { return DownloadVersionContains(L"vexa"); }
bool LaunchParameters::IsTrialAdEdition() const { return DownloadVersionContains(L"trialad"); }

void LaunchParameters::DeriveBuildIdentity() {
  const std::wstring exe_name = Get("EXENAME");
  Insert("exeNumber", ExeNumberFromExeName(exe_name));
  Insert("inviteCode", InviteCodeFromExeName(exe_name));
}

size_t LaunchParameters::size() const {
  std::lock_guard guard(mutex_);
  return values_.size();
}

void LaunchParameters::Clear() {
  std::lock_guard guard(mutex_);
  values_.clear();
  unattended_ = false;
}

LaunchParameters& Parameters() {
  static LaunchParameters parameters;
  return parameters;
}

std::wstring ExeNumberFromExeName(const std::wstring& exe_name) {
  const std::wstring base = WithoutExeSuffix(exe_name);
  const size_t dot = base.rfind(L'.');
  if (dot == std::wstring::npos || dot + 1 == base.size()) return kDefaultExeNumber;
  return base.substr(dot + 1);
}

std::wstring InviteCodeFromExeName(const std::wstring& exe_name) {
  const size_t open = exe_name.find(L'[');
  if (open == std::wstring::npos) return {};
  const size_t close = exe_name.find(L']', open);
  if (close == std::wstring::npos) return {};
  return exe_name.substr(open + 1, close - open - 1);
}

}  // namespace startup
