// The shipped folder's setup.exe carries its version information and its
// application manifest (execution level, supported systems, DPI awareness).
#include <gtest/gtest.h>

#include <vector>

#include "platform/unique_resource.h"
#include "test_support.h"

namespace {

std::wstring SetupExe() { return test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\setup.exe"; }

TEST(SetupBinaryTest, CarriesVersionInformation) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(SetupExe().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(SetupExe().c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  wchar_t* name = nullptr;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &length));
  EXPECT_STREQ(name, L"setup.exe");
}

TEST(SetupBinaryTest, CarriesTheApplicationManifest) {
  platform::UniqueModule image(::LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(image.IsValid());
  HRSRC resource = ::FindResourceW(image.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(resource, nullptr);
  const DWORD size = ::SizeofResource(image.Get(), resource);
  const char* text = static_cast<const char*>(::LockResource(::LoadResource(image.Get(), resource)));
  ASSERT_NE(text, nullptr);
  const std::string manifest(text, size);
  for (const char* needed :
       {"requireAdministrator", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
        "Microsoft.Windows.Common-Controls", "PerMonitorV2"}) {
    EXPECT_NE(manifest.find(needed), std::string::npos) << needed;
  }
}

}  // namespace
