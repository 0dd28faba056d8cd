// The process-wide store of launch parameters: KEY=VALUE pieces of the
// command line separated by " ||| ", plus values the program derives or
// records while it runs, and the unattended flag.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

namespace startup {

class LaunchParameters {
 public:
  // Parses the text after the program name; the first occurrence of a key wins.
  void Parse(const wchar_t* command_line);

  [[nodiscard]] std::wstring Get(const std::string& key) const;
  // Adds the pair only when the key is absent.
  void Insert(const std::string& key, const std::wstring& value);
  // Replaces the value only when the key is present.
  void Replace(const std::string& key, const std::wstring& value);

  void SetUnattended(bool unattended) { unattended_ = unattended; }
  [[nodiscard]] bool IsUnattended() const { return unattended_; }

  // Edition tests on DOWNLOAD_VERSION, letter case ignored.
  [[nodiscard]] bool IsVexaEdition() const;
  [[nodiscard]] bool IsStandardEdition() const { return !IsVexaEdition(); }
  [[nodiscard]] bool IsTrialAdEdition() const;

  // Inserts exeNumber and inviteCode derived from EXENAME (command-line
  // values of the same keys win).
  void DeriveBuildIdentity();

  [[nodiscard]] size_t size() const;
  void Clear();

 private:
  [[nodiscard]] bool DownloadVersionContains(const std::wstring& word) const;

  // Pages on the UI thread insert while workers read: a lock keeps that sound.
  mutable std::mutex mutex_;
  std::map<std::string, std::wstring> values_;
  std::atomic<bool> unattended_{false};  // written by the entry point only
};

[[nodiscard]] LaunchParameters& Parameters();

// Rules of the build identity, from the EXENAME the launcher saw.
[[nodiscard]] std::wstring ExeNumberFromExeName(const std::wstring& exe_name);
[[nodiscard]] std::wstring InviteCodeFromExeName(const std::wstring& exe_name);

}  // namespace startup
