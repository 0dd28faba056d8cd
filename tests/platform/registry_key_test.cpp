#include "platform/registry_key.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using platform::RegistryKey;
using platform::RegistryView;
using test_support::TestRegistryKey;

TEST(RegistryKeyTest, ViewsAreSeparateAndEachReadsItsOwnValue) {
  const std::wstring name = test_support::UniqueName(L"views_");
  TestRegistryKey key32(name, RegistryView::Bits32);
  TestRegistryKey key64(name, RegistryView::Bits64);
  ASSERT_TRUE(key32.Open().WriteString(L"Where", L"thirty-two"));
  ASSERT_TRUE(key64.Open().WriteString(L"Where", L"sixty-four"));

  EXPECT_EQ(
      RegistryKey::Open(HKEY_LOCAL_MACHINE, key32.path(), RegistryView::Bits32).ReadString(L"Where").value_or(L""),
      L"thirty-two");
  EXPECT_EQ(
      RegistryKey::Open(HKEY_LOCAL_MACHINE, key64.path(), RegistryView::Bits64).ReadString(L"Where").value_or(L""),
      L"sixty-four");
}

TEST(RegistryKeyTest, ReadStringRefusesOtherTypesAndMissingValues) {
  TestRegistryKey key(test_support::UniqueName(L"types_"), RegistryView::Bits64);
  const RegistryKey open = key.Open();
  ASSERT_TRUE(open.WriteDword(L"Number", 7));
  ASSERT_TRUE(open.WriteString(L"Empty", L""));
  const std::wstring long_value(5000, L'\u7b80');
  ASSERT_TRUE(open.WriteString(L"Long", long_value));

  EXPECT_FALSE(open.ReadString(L"Number").has_value());
  EXPECT_FALSE(open.ReadString(L"Missing").has_value());
  EXPECT_EQ(open.ReadString(L"Empty").value_or(L"?"), L"");
  EXPECT_EQ(open.ReadString(L"Long").value_or(L""), long_value);
  EXPECT_FALSE(RegistryKey().ReadString(L"x").has_value());
  EXPECT_FALSE(RegistryKey().WriteString(L"x", L"y"));
}

TEST(RegistryKeyTest, ValueWithoutTerminatorIsReadWithoutGarbage) {
  TestRegistryKey key(test_support::UniqueName(L"raw_"), RegistryView::Bits64);
  const wchar_t raw[] = {L'a', L'b', L'c'};  // stored without a terminating zero
  ASSERT_EQ(::RegSetValueExW(key.Open().Get(), L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof(raw)),
            ERROR_SUCCESS);
  EXPECT_EQ(key.Open().ReadString(L"Raw").value_or(L""), L"abc");
}

TEST(RegistryKeyTest, SubkeysAreListedAndTreesDeleted) {
  const std::wstring name = test_support::UniqueName(L"tree_");
  {
    TestRegistryKey key(name, RegistryView::Bits32);
    key.CreateSubkey(L"First");
    key.CreateSubkey(L"Second\\Deeper");
    const std::vector<std::wstring> names = key.Open().SubkeyNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], L"First");
    EXPECT_EQ(names[1], L"Second");
  }
  EXPECT_FALSE(
      RegistryKey::Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WebInstallerTests\\" + name, RegistryView::Bits32).IsValid());
  EXPECT_TRUE(RegistryKey().SubkeyNames().empty());
}

}  // namespace
