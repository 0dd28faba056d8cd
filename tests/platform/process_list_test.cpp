#include "platform/process_list.h"

#include <gtest/gtest.h>

#include "platform/system_paths.h"

namespace {

TEST(ProcessListTest, FindsThisProcessUnderItsFileName) {
  const std::wstring own_name = platform::FileNameOf(platform::ExecutablePath());
  bool found = false;
  ASSERT_TRUE(platform::ForEachProcess([&](const platform::ProcessEntry& process) {
    if (process.id == ::GetCurrentProcessId()) {
      found = process.exe_name == own_name;
      return platform::Walk::Stop;
    }
    return platform::Walk::Continue;
  }));
  EXPECT_TRUE(found);
  EXPECT_EQ(platform::FileNameOf(platform::ProcessImagePath(::GetCurrentProcess())), own_name);
}

TEST(ProcessListTest, PathHelpersEndInBackslash) {
  for (const std::wstring& folder :
       {platform::ExecutableFolder(), platform::System32Folder(), platform::TempFolder()}) {
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
  }
  EXPECT_EQ(platform::FileNameOf(L"C:\\a\\b.exe"), L"b.exe");
  EXPECT_EQ(platform::FileNameOf(L"b.exe"), L"b.exe");
  EXPECT_TRUE(platform::LoadSystemLibrary(L"wininet.dll").IsValid());
  EXPECT_FALSE(platform::LoadSystemLibrary(L"no-such-library.dll").IsValid());
}

}  // namespace
