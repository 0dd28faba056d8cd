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
      {"member points past the directory",
       BuildZip({{"a.txt", "abc", false, false, -1, 100000}}), ZipError::kTruncated},
      {"two members share data",
       BuildZip({{"a.txt", Repeated(100), false}, {"b.txt", Repeated(100), false, false, -1, 0}}),
       ZipError::kOverlap},
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
