// The desktop shell's functions as the program loads them on first use:
// every one is found in the real library (a misspelt name would leave a
// feature silently dead), and a missing library or one without them gives
// nullptr for each instead of a crash.
#include "platform/shell_library.h"

#include <gtest/gtest.h>

namespace {

TEST(ShellLibraryTest, RealShellHasEveryFunctionAndOthersHaveNone) {
  const platform::ShellLibrary& shell = platform::LoadShellLibrary();
  EXPECT_EQ(&shell, &platform::LoadShellLibrary());  // loaded once
  EXPECT_NE(shell.execute, nullptr);
  EXPECT_NE(shell.folder_path, nullptr);
  EXPECT_NE(shell.browse_for_folder, nullptr);
  EXPECT_NE(shell.path_from_list, nullptr);
  EXPECT_NE(shell.special_folder, nullptr);
  wchar_t path[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(shell.folder_path(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path)));
  EXPECT_NE(::GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << "Program Files exists";

  for (const wchar_t* name : {L"no-such-shell-library.dll", L"version.dll"}) {
    const platform::ShellLibrary other = platform::ShellLibraryFrom(name);
    EXPECT_EQ(other.execute, nullptr) << name;
    EXPECT_EQ(other.folder_path, nullptr) << name;
    EXPECT_EQ(other.browse_for_folder, nullptr) << name;
    EXPECT_EQ(other.path_from_list, nullptr) << name;
    EXPECT_EQ(other.special_folder, nullptr) << name;
  }
}

// The shell's "instance" answer is an error code at or below 32: a refused
// open must read as a failure, not as opened.
TEST(ShellLibraryTest, OpenWithShellReportsARefusedTarget) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_GT(::GetTempPathW(MAX_PATH, folder), 0u);
  EXPECT_FALSE(platform::OpenWithShell(std::wstring(folder) + L"no-such-document-4711.txt"));
  EXPECT_FALSE(platform::OpenWithShell(L""));
}

}  // namespace
