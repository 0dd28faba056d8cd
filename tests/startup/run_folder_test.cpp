#include "startup/run_folder.h"

#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "platform/system_paths.h"
#include "platform/unique_resource.h"
#include "test_support.h"

namespace {

// A folder that looks like a run folder left by an earlier run, last
// touched `age_seconds` ago, with a file in it.
std::wstring MakeLeftRunFolder(const std::wstring& name, uint64_t age_seconds) {
  const std::wstring folder = startup::RunFoldersParent() + name;
  (void)::CreateDirectoryW(startup::RunFoldersParent().c_str(), nullptr);
  EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_TRUE(test_support::WriteBytes(folder + L"\\left.exe", "left behind"));
  platform::UniqueHandle handle(::CreateFileW(folder.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  EXPECT_TRUE(handle.IsValid());
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER then{};
  then.LowPart = now.dwLowDateTime;
  then.HighPart = now.dwHighDateTime;
  then.QuadPart -= age_seconds * 10000000ULL;
  const FILETIME touched{then.LowPart, then.HighPart};
  EXPECT_TRUE(::SetFileTime(handle.Get(), &touched, &touched, &touched));
  return folder;
}

TEST(RunFolderTest, IsPrivateHeldAgainstRenamingAndGoesWhenEmpty) {
  std::wstring path;
  {
    startup::RunFolder folder;
    ASSERT_TRUE(folder.Create());
    path = folder.path();
    EXPECT_EQ(path.rfind(platform::TempFolder() + L"Mediloom\\run-", 0), 0u);
    EXPECT_EQ(path.back(), L'\\');
    EXPECT_TRUE(folder.Create());
    EXPECT_EQ(folder.path(), path);  // made once per object
    // While it is used nobody can move it away and put a link in its place.
    const std::wstring bare = path.substr(0, path.size() - 1);
    EXPECT_FALSE(::MoveFileW(bare.c_str(), (bare + L"-moved").c_str()));
    EXPECT_FALSE(::RemoveDirectoryW(bare.c_str()));
    startup::RunFolder other;
    ASSERT_TRUE(other.Create());
    EXPECT_NE(other.path(), path);
  }
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  // A file left inside (a setup log for support) keeps the folder.
  {
    startup::RunFolder folder;
    ASSERT_TRUE(folder.Create());
    path = folder.path();
    ASSERT_TRUE(test_support::WriteBytes(path + L"setup.log", "kept"));
  }
  EXPECT_TRUE(platform::FileExists(path + L"setup.log"));
  ::DeleteFileW((path + L"setup.log").c_str());
  ::RemoveDirectoryW(path.c_str());
}

// A run that was killed (or whose installer still ran) leaves its folder:
// the next start of the program removes it once it is a day old.
TEST(RunFolderTest, TheNextStartRemovesStaleRunFoldersWithTheirFiles) {
  const std::wstring stale = MakeLeftRunFolder(test_support::UniqueName(L"run-stale"), 2 * 24 * 3600);
  const std::wstring recent = MakeLeftRunFolder(test_support::UniqueName(L"run-recent"), 3600);
  const std::wstring other = MakeLeftRunFolder(test_support::UniqueName(L"notrun"), 2 * 24 * 3600);
  test_support::SetupSandbox sandbox;
  const test_support::ProcessResult result = sandbox.Run(L"INSTALL_TYPE=2");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(::GetFileAttributesW(stale.c_str()), INVALID_FILE_ATTRIBUTES) << sandbox.MainLog();
  EXPECT_NE(sandbox.MainLog().find("Removed the stale run folder"), std::string::npos);
  EXPECT_TRUE(platform::FileExists(recent + L"\\left.exe"));
  EXPECT_TRUE(platform::FileExists(other + L"\\left.exe"));  // not a run folder: not ours
  for (const std::wstring& folder : {recent, other}) {
    ::DeleteFileW((folder + L"\\left.exe").c_str());
    ::RemoveDirectoryW(folder.c_str());
  }
}

}  // namespace
