#include "toolkit/zip_archive.h"

#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/log.h"
#include "zip_builder.h"

namespace {

using toolkit::ZipArchive;
using toolkit::ZipError;
using toolkit_test::BuildZip;
using toolkit_test::ZipBuildMember;

std::string Repeated(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text.push_back(static_cast<char>('a' + (i * 7 + i / 13) % 26));
  return text;
}

TEST(ZipArchiveTest, ReadsStoredDeflatedAndDescriptorMembersByLooseName) {
  const std::string body = Repeated(5000);
  ZipArchive zip;
  ASSERT_EQ(zip.Open(BuildZip({{"install.xml", "<Window/>", false},
                               {"images/Button.PNG", body, true},
                               {"dir/", "", false},
                               {"img/late.bin", body, true, true},
                               {"empty.txt", "", true}})),
            ZipError::kNone);
  EXPECT_EQ(zip.members().size(), 4u);  // the folder entry is not a member
  std::string out;
  EXPECT_EQ(zip.Read(L"INSTALL.xml", &out), ZipError::kNone);
  EXPECT_EQ(out, "<Window/>");
  EXPECT_EQ(zip.Read(L"images\\button.png", &out), ZipError::kNone);
  EXPECT_EQ(out, body);
  EXPECT_EQ(zip.Read(L"/Images/Button.png", &out), ZipError::kNone);
  EXPECT_EQ(zip.Read(L"img/late.bin", &out), ZipError::kNone);
  EXPECT_EQ(out, body);
  EXPECT_EQ(zip.Read(L"empty.txt", &out), ZipError::kNone);
  EXPECT_EQ(out, "");
  EXPECT_EQ(zip.Read(L"missing.png", &out), ZipError::kNotFound);
  EXPECT_FALSE(zip.Contains(L"images"));
}

TEST(ZipArchiveTest, RefusesDamagedArchivesAsAWhole) {
  const std::string good = BuildZip({{"a.txt", Repeated(3000)}, {"b.txt", Repeated(2000)}});
  struct Case {
    const char* what;
    std::string bytes;
    ZipError expected;
  } cases[] = {
      {"empty", "", ZipError::kNoEndRecord},
      {"not a zip", std::string(4096, 'x'), ZipError::kNoEndRecord},
      {"cut at the end", good.substr(0, good.size() - 5), ZipError::kNoEndRecord},
      {"cut in the middle", good.substr(0, good.size() / 2), ZipError::kNoEndRecord},
      {"first byte missing", good.substr(1), ZipError::kBadDirectory},
      {"member points past the directory", BuildZip({{"a.txt", "abc", false, false, -1, 100000}}),
       ZipError::kTruncated},
      {"two members share data",
       BuildZip({{"a.txt", Repeated(100), false}, {"b.txt", Repeated(100), false, false, -1, 0}}), ZipError::kOverlap},
      {"encrypted", BuildZip({{"a.txt", "abc", false, false, -1, -1, 0x1}}), ZipError::kUnsupported},
  };
  for (const Case& c : cases) {
    ZipArchive zip;
    EXPECT_EQ(zip.Open(c.bytes), c.expected) << c.what;
    EXPECT_TRUE(zip.members().empty()) << c.what;
  }
  // Every possible truncation: refused or readable, never a crash.
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    ZipArchive zip;
    (void)zip.Open(good.substr(0, cut));  // any answer but a crash is fine
    std::string out;
    (void)zip.Read(L"a.txt", &out);
  }
}

TEST(ZipArchiveTest, RefusesOversizedBombLikeAndCorruptMembersOneByOne) {
  const std::string body = Repeated(4000);
  std::vector<ZipBuildMember> members = {
      {"ok.txt", "fine", false},
      {"bomb.bin", std::string(4000, '\0'), true, false, 10 << 20},  // claims 10 MiB from a few bytes
      {"huge.bin", "abc", false, false, (64 << 20) + 1},
      {"crc.bin", body, true, false, -1, -1, 0, 0xFFFF, true},
      {"method.bin", body, false, false, -1, -1, 0, 12},
      {"lies.bin", body, true, false, 3999},
      {"short.bin", "abcdef", false, false, 5},
  };
  ZipArchive zip;
  ASSERT_EQ(zip.Open(BuildZip(members)), ZipError::kNone);
  std::string out;
  EXPECT_EQ(zip.Read(L"ok.txt", &out), ZipError::kNone);
  EXPECT_EQ(zip.Read(L"bomb.bin", &out), ZipError::kRatio);
  EXPECT_EQ(zip.Read(L"huge.bin", &out), ZipError::kTooLarge);
  EXPECT_EQ(zip.Read(L"crc.bin", &out), ZipError::kChecksum);
  EXPECT_EQ(zip.Read(L"method.bin", &out), ZipError::kUnsupported);
  EXPECT_EQ(zip.Read(L"lies.bin", &out), ZipError::kCorrupt);
  EXPECT_EQ(zip.Read(L"short.bin", &out), ZipError::kCorrupt);
  EXPECT_TRUE(out.empty());
}

TEST(ZipArchiveTest, CorruptDeflateStreamsNeverCrash) {
  const std::string body = Repeated(20000);
  std::string archive = BuildZip({{"x.bin", body}});
  const size_t data_at = 30 + 5;
  const size_t data_size = toolkit_test::RawDeflate(body).size();
  for (size_t i = 0; i < 200; ++i) {
    std::string damaged = archive;
    damaged[data_at + (i * 37) % data_size] ^= static_cast<char>(1 + i % 255);
    ZipArchive zip;
    ASSERT_EQ(zip.Open(damaged), ZipError::kNone);
    std::string out;
    const ZipError error = zip.Read(L"x.bin", &out);
    if (error == ZipError::kNone) {
      EXPECT_EQ(out, body);  // only when the CRC agrees
    }
  }
}

std::vector<ZipBuildMember> NumberedMembers(size_t count) {
  std::vector<ZipBuildMember> members;
  members.reserve(count);
  for (size_t i = 0; i < count; ++i)
    members.push_back({"skin/m" + std::to_string(i) + ".xml", std::to_string(i), false});
  return members;
}

// Many members: each found by its loose name, and a later member whose name
// differs only in case or slashes still loses to the first (the time this
// takes is in tools/bench/skin_parsing.sh).
TEST(ZipArchiveTest, FindsEveryOneOfManyMembersAndTheFirstOfTwoNamesWins) {
  std::vector<ZipBuildMember> members = NumberedMembers(65532);
  members.push_back({"SKIN\\M17.XML", "second", false});
  members.push_back({"/skin/m65531.xml", "third", false});
  ZipArchive zip;
  ASSERT_EQ(zip.Open(BuildZip(members)), ZipError::kNone);
  EXPECT_EQ(zip.members().size(), 65532u);
  std::string out;
  for (size_t i = 0; i < 65532; i += 997) {
    ASSERT_EQ(zip.Read(L"Skin/M" + std::to_wstring(i) + L".xml", &out), ZipError::kNone) << i;
    EXPECT_EQ(out, std::to_string(i));
  }
  EXPECT_EQ(zip.Read(L"skin/m17.xml", &out), ZipError::kNone);
  EXPECT_EQ(out, "17");
  EXPECT_EQ(zip.Read(L"skin\\m65531.xml", &out), ZipError::kNone);
  EXPECT_EQ(out, "65531");
  EXPECT_FALSE(zip.Contains(L"skin/m65532.xml"));
}

// 65 535 in the end record's count is an ordinary count unless a zip64
// locator stands before the record.
TEST(ZipArchiveTest, OpensExactly65535MembersAndRefusesZip64) {
  const std::string bytes = BuildZip(NumberedMembers(65535));
  ZipArchive zip;
  ASSERT_EQ(zip.Open(bytes), ZipError::kNone);
  EXPECT_EQ(zip.members().size(), 65535u);
  std::string out;
  EXPECT_EQ(zip.Read(L"skin/m65534.xml", &out), ZipError::kNone);
  EXPECT_EQ(out, "65534");

  std::string zip64 = BuildZip({{"a.txt", "abc", false}});
  std::string locator;
  // Signature, disk of the zip64 end record, its offset (low, high), disks.
  for (uint32_t field : {0x07064b50u, 0u, 0u, 0u, 1u}) toolkit_test::Put32(locator, field);
  zip64.insert(zip64.size() - 22, locator);
  EXPECT_EQ(zip.Open(zip64), ZipError::kUnsupported);
}

// Members that claim 64 MiB each (compressed at a ratio under the bound):
// once 256 MiB have been unpacked from the archive, further members are
// refused before any work; members already unpacked can be read again.
TEST(ZipArchiveTest, UnpacksAtMost256MiBFromOneArchive) {
  std::vector<ZipBuildMember> members = {{"ok.txt", Repeated(5000), true}};
  // 0xFF starts a block of an invalid type: inflating it fails at once, but
  // only after the member has been charged its declared size.
  for (int i = 0; i < 5; ++i)
    members.push_back(
        {"big" + std::to_string(i) + ".bin", std::string(70000, '\xFF'), false, false, 64 << 20, -1, 0, 8});
  members.push_back({"late.txt", "small", false});
  ZipArchive zip;
  ASSERT_EQ(zip.Open(BuildZip(members)), ZipError::kNone);
  std::vector<std::wstring> lines;
  toolkit::SetLogSink([&](const std::wstring& line) { lines.push_back(line); });
  std::string out;
  EXPECT_EQ(zip.Read(L"ok.txt", &out), ZipError::kNone);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(zip.Read(L"big" + std::to_wstring(i) + L".bin", &out), ZipError::kCorrupt) << i;
  EXPECT_EQ(zip.Read(L"big3.bin", &out), ZipError::kUnpackBudget);  // 5000 bytes + 4 x 64 MiB > 256 MiB
  EXPECT_EQ(zip.Read(L"big4.bin", &out), ZipError::kUnpackBudget);
  EXPECT_EQ(zip.Read(L"big0.bin", &out), ZipError::kCorrupt);  // already charged
  EXPECT_EQ(zip.Read(L"ok.txt", &out), ZipError::kNone);
  EXPECT_EQ(zip.Read(L"late.txt", &out), ZipError::kNone);
  toolkit::SetLogSink(nullptr);
  bool logged = false;
  for (const auto& line : lines)
    logged |= line.find(L"\"big3.bin\" refused: more than 256 MiB unpacked") != std::wstring::npos;
  EXPECT_TRUE(logged);
  // A new archive in the same object starts a new count.
  ASSERT_EQ(zip.Open(BuildZip(members)), ZipError::kNone);
  EXPECT_EQ(zip.Read(L"big3.bin", &out), ZipError::kCorrupt);
}

TEST(ZipArchiveTest, LogsAClearLineWhenRefusing) {
  std::vector<std::wstring> lines;
  toolkit::SetLogSink([&](const std::wstring& line) { lines.push_back(line); });
  ZipArchive zip;
  EXPECT_EQ(zip.OpenFile(L"C:\\no\\such\\skin.zip"), ZipError::kUnreadable);
  toolkit::SetLogSink(nullptr);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(L"skin.zip"), std::wstring::npos);
}

TEST(ZipArchiveTest, ReadsTheArchiveThatTheBuildPacked) {
  ZipArchive zip;
  ASSERT_EQ(zip.OpenFile(test_support::PathFromEnvironment("WEBINSTALLER_FIXTURE_DIR") + L"\\skins\\basic.zip"),
            ZipError::kNone);
  std::string out;
  EXPECT_EQ(zip.Read(L"main.xml", &out), ZipError::kNone);
  EXPECT_NE(out.find("<Window"), std::string::npos);
  EXPECT_EQ(zip.Read(L"images/button.png", &out), ZipError::kNone);
  EXPECT_EQ(out.substr(1, 3), "PNG");
}

}  // namespace
