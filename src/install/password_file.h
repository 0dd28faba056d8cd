// The account password on its way to the installer. A command line is
// readable by every process of the session and lands in logs, so the
// password goes into a file only the current user can open, inside the
// run's own private folder; the command line names the file. The owner
// overwrites and deletes the file when it goes (the last install attempt
// has ended, or the run stopped early).
#pragma once

#include <string>

namespace install {

class PasswordFile {
 public:
  PasswordFile() = default;
  ~PasswordFile() { Remove(); }
  PasswordFile(const PasswordFile&) = delete;
  PasswordFile& operator=(const PasswordFile&) = delete;

  // Writes `password` as UTF-8 (no terminator, no line end) to a new file
  // in `folder` (ending in a backslash). False, with nothing left behind,
  // when the file cannot be made exactly so.
  [[nodiscard]] bool Create(const std::wstring& folder, const std::wstring& password);
  // Overwrites the bytes, then deletes the file; nothing when there is none.
  void Remove();

  // Empty until Create succeeded and after Remove.
  [[nodiscard]] const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  size_t size_ = 0;
};

}  // namespace install
