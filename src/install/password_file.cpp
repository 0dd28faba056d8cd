#include "install/password_file.h"

#include <vector>

#include "platform/private_folder.h"
#include "platform/text.h"
#include "platform/unique_resource.h"
#include "startup/log.h"

namespace install {
namespace {

constexpr wchar_t kFileName[] = L"account.key";
constexpr size_t kMaxPasswordBytes = 4096;

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && ::FlushFileBuffers(file);
}

}  // namespace

bool PasswordFile::Create(const std::wstring& folder, const std::wstring& password) {
  Remove();
  if (folder.empty()) return false;
  const std::string bytes = platform::WideToUtf8(password);
  if (bytes.size() > kMaxPasswordBytes) {
    startup::Log("The account password is longer than %u bytes: not passed on\n",
                 static_cast<unsigned>(kMaxPasswordBytes));
    return false;
  }
  std::vector<BYTE> descriptor = platform::UserOnlyFileSecurity();
  if (descriptor.empty()) {
    startup::Log("No access list for the password file: %u\n", ::GetLastError());
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.data(), FALSE};
  const std::wstring path = folder + kFileName;
  // CREATE_NEW: never through a file or link somebody else placed there.
  platform::UniqueHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!file.IsValid()) {
    startup::Log("The password file cannot be created: %u\n", ::GetLastError());
    return false;
  }
  path_ = path;
  size_ = bytes.size();
  if (!WriteAll(file.Get(), bytes)) {
    startup::Log("The password file cannot be written: %u\n", ::GetLastError());
    file.Reset();
    Remove();
    return false;
  }
  return true;
}

void PasswordFile::Remove() {
  if (path_.empty()) return;
  {
    platform::UniqueHandle file(
        ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // The deletion below is what matters; a file still open elsewhere keeps its bytes.
    if (file.IsValid()) (void)WriteAll(file.Get(), std::string(size_, '\0'));
  }
  if (!::DeleteFileW(path_.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    startup::Log("The password file %s cannot be deleted: %u\n", path_, ::GetLastError());
  }
  path_.clear();
  size_ = 0;
}

}  // namespace install
