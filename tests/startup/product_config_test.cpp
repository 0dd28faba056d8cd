#include "startup/product_config.h"

#include <gtest/gtest.h>

#include "startup/launch_parameters.h"
#include "test_support.h"

namespace {

using startup::Config;
using startup::Parameters;
using startup::ProductConfig;
using startup::Strings;
using test_support::TempFolder;
using test_support::WriteBytes;

class ProductConfigTest : public testing::Test {
 protected:
  void SetUp() override {
    Parameters().Clear();
    Config().Clear();
  }
  void TearDown() override {
    Parameters().Clear();
    Config().Clear();
  }
  TempFolder folder_;
};

TEST_F(ProductConfigTest, LanguagesAreListedInNameOrderAndMapped) {
  ASSERT_TRUE(WriteBytes(folder_.File(L"InitConfigure.ini"),
                         "[Product]\nProductName=Studio\n"
                         "[Language]\nSpanish=Espa\xC3\xB1ol\nEnglish=English\n"
                         "Chinese=\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\n"));
  ASSERT_TRUE(WriteBytes(folder_.File(L"LanguageTransfor.ini"),
                         "[Language]\nEnglish=en\n\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87=zh_CN\n"));
  ProductConfig config;
  config.LoadProduct(folder_.File(L"InitConfigure.ini"));
  config.LoadLanguageTransfer(folder_.File(L"LanguageTransfor.ini"));

  const std::vector<std::wstring> expected = {L"\u7b80\u4f53\u4e2d\u6587", L"English", L"Espa\u00f1ol"};
  EXPECT_EQ(config.LanguageDisplayList(), expected);
  EXPECT_EQ(config.LanguageByDisplay(L"Espa\u00f1ol"), "Spanish");
  EXPECT_EQ(config.LanguageByDisplay(L"english"), "");
  EXPECT_EQ(config.LanguageDisplay("English"), L"English");
  EXPECT_EQ(config.InstallerLanguage(L"English"), L"en");
  EXPECT_EQ(config.InstallerLanguage(L"\u7b80\u4f53\u4e2d\u6587"), L"zh_CN");
  EXPECT_EQ(config.InstallerLanguage(L"Klingon"), L"Klingon");
  EXPECT_EQ(config.Get("ProductName"), L"Studio");
  EXPECT_EQ(config.Get("Missing"), L"");
}

TEST_F(ProductConfigTest, EditionTwinsReplaceTheirPlainKeysOnlyInVexa) {
  ASSERT_TRUE(WriteBytes(folder_.File(L"c.ini"), "[Product]\nProductID=1\nProductIDVexa=2\nOnlyPlain=p\n"));
  Config().LoadProduct(folder_.File(L"c.ini"));
  EXPECT_EQ(Config().GetForEdition("ProductID"), L"1");
  Parameters().Insert("DOWNLOAD_VERSION", L"Pro-VEXA");
  EXPECT_EQ(Config().GetForEdition("ProductID"), L"2");
  EXPECT_EQ(Config().GetForEdition("OnlyPlain"), L"");
}

TEST_F(ProductConfigTest, StringsFormatAndVexaProductName) {
  ASSERT_TRUE(WriteBytes(folder_.File(L"English.ini"),
                         "[string]\nStartNow=Start %1 now\nProductName=Studio\nNoMark=plain\n"
                         "Twice=%1 and %1\n"));
  Strings().Load(folder_.File(L"English.ini"));
  EXPECT_EQ(Strings().Format("StartNow", "ProductName", L""), L"Start Studio now");
  EXPECT_EQ(Strings().Format("StartNow", "ProductName", L"2.0"), L"Start Studio 2.0 now");
  EXPECT_EQ(Strings().Format("NoMark", "ProductName", L"x"), L"plain");
  EXPECT_EQ(Strings().Format("Twice", "ProductName", L""), L"Studio and %1");
  Parameters().Insert("DOWNLOAD_VERSION", L"vexa");
  EXPECT_EQ(Strings().Get("ProductName"), L"");  // only the plain name exists
  // Load empties the map first.
  ASSERT_TRUE(WriteBytes(folder_.File(L"Other.ini"), "[string]\nOther=o\n"));
  Strings().Load(folder_.File(L"Other.ini"));
  EXPECT_EQ(Strings().Get("NoMark"), L"");
}

TEST_F(ProductConfigTest, StartupLanguageFallsBackToEnglish) {
  const std::string product = "[Product]\nInstallerName=x\n";
  ASSERT_TRUE(WriteBytes(folder_.File(L"English.ini"), "[string]\nHello=Hello\n"));
  ASSERT_TRUE(WriteBytes(folder_.File(L"Chinese.ini"), "[string]\nHello=\xE4\xBD\xA0\xE5\xA5\xBD\n"));

  // Chinese.ini present, but "Chinese" not offered.
  ASSERT_TRUE(WriteBytes(folder_.File(L"InitConfigure.ini"), product + "[Language]\nEnglish=English\n"));
  EXPECT_EQ(startup::LoadStartupConfiguration(folder_.path()), "English");
  EXPECT_EQ(Strings().Get("Hello"), L"Hello");

  // Offered and present.
  Config().Clear();
  ASSERT_TRUE(WriteBytes(folder_.File(L"InitConfigure.ini"), product + "[Language]\nEnglish=English\nChinese=Zh\n"));
  EXPECT_EQ(startup::LoadStartupConfiguration(folder_.path()), "Chinese");
  EXPECT_EQ(Strings().Get("Hello"), L"\u4f60\u597d");

  // Offered but the file is missing.
  Config().Clear();
  ::DeleteFileW(folder_.File(L"Chinese.ini").c_str());
  EXPECT_EQ(startup::LoadStartupConfiguration(folder_.path()), "English");

  // Nothing at all: every text and setting is empty, nothing fails.
  Config().Clear();
  TempFolder empty;
  EXPECT_EQ(startup::LoadStartupConfiguration(empty.path()), "English");
  EXPECT_EQ(Strings().Get("Hello"), L"");
  EXPECT_EQ(Config().Get("InstallerName"), L"");
}

// UseUserLanguage=1 starts in the user's interface language when it is
// offered and its file is there, else as without the key; without the key
// the user's language is never consulted.
TEST_F(ProductConfigTest, UserLanguageIsUsedOnlyWhenAskedForAndShipped) {
  constexpr LANGID kChineseTaiwan = 0x0404, kChineseChina = 0x0804, kEnglishUk = 0x0809, kGerman = 0x0407;
  constexpr LANGID kSpanishMexico = 0x080A, kNeutral = 0x0000;
  ASSERT_TRUE(WriteBytes(folder_.File(L"English.ini"), "[string]\nHello=Hello\n"));
  ASSERT_TRUE(WriteBytes(folder_.File(L"Chinese.ini"), "[string]\nHello=\xE4\xBD\xA0\xE5\xA5\xBD\n"));
  ASSERT_TRUE(WriteBytes(folder_.File(L"Spanish.ini"), "[string]\nHello=Hola\n"));
  const std::string languages = "[Language]\nEnglish=English\nChinese=Zh\nSpanish=Es\n";
  const auto start = [&](const std::string& product, LANGID user) {
    Config().Clear();
    EXPECT_TRUE(WriteBytes(folder_.File(L"InitConfigure.ini"), "[Product]\n" + product + languages));
    return startup::LoadStartupConfiguration(folder_.path(), user);
  };
  struct Case {
    const char* product;
    LANGID user;
    const char* expected;
  };
  const Case cases[] = {
      {"", kEnglishUk, "Chinese"},  // not set: as ever
      {"UseUserLanguage=0\n", kEnglishUk, "Chinese"},
      {"UseUserLanguage=1\n", kEnglishUk, "English"},
      {"UseUserLanguage=1\n", kChineseTaiwan, "Chinese"},
      {"UseUserLanguage=1\n", kChineseChina, "Chinese"},
      {"UseUserLanguage=1\n", kSpanishMexico, "Spanish"},
      {"UseUserLanguage=1\n", kGerman, "Chinese"},  // no German.ini
      {"UseUserLanguage=1\n", kNeutral, "Chinese"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(start(c.product, c.user), c.expected) << c.product << std::hex << c.user;
  }
  EXPECT_EQ(start("UseUserLanguage=1\n", kEnglishUk), "English");
  EXPECT_EQ(Strings().Get("Hello"), L"Hello");

  // Spanish.ini is there but Spanish not offered; then offered without its file.
  Config().Clear();
  ASSERT_TRUE(WriteBytes(folder_.File(L"InitConfigure.ini"),
                         "[Product]\nUseUserLanguage=1\n[Language]\nEnglish=English\nChinese=Zh\n"));
  EXPECT_EQ(startup::LoadStartupConfiguration(folder_.path(), kSpanishMexico), "Chinese");
  ::DeleteFileW(folder_.File(L"Spanish.ini").c_str());
  EXPECT_EQ(start("UseUserLanguage=1\n", kSpanishMexico), "Chinese");
  // The usual language's own fallback still applies.
  ::DeleteFileW(folder_.File(L"Chinese.ini").c_str());
  EXPECT_EQ(start("UseUserLanguage=1\n", kChineseChina), "English");
  EXPECT_EQ(start("UseUserLanguage=1\n", kEnglishUk), "English");
}

TEST_F(ProductConfigTest, ShippedSampleConfigurationIsCompleteAndCoherent) {
  const std::wstring dist = test_support::PathFromEnvironment("WEBINSTALLER_DIST_DIR") + L"\\";
  EXPECT_EQ(startup::LoadStartupConfiguration(dist), "Chinese");
  for (const char* key : {"InstallerName", "ProductProcess", "RegistryAddress", "RegistryName", "DownloadInfoUrl",
                          "DownloadThreadCount", "SetupLogName", "InstallIntervalTime", "UpdateEventUrl",
                          "OfflineDownloadUrl", "InstallPath", "ProductExtentPath", "UninstallKey"}) {
    EXPECT_FALSE(Config().Get(key).empty()) << key;
  }
  EXPECT_EQ(Config().LanguageDisplayList().size(), 2u);
  for (const std::wstring& display : Config().LanguageDisplayList()) {
    const std::string name = Config().LanguageByDisplay(display);
    EXPECT_NE(Config().InstallerLanguage(display), display) << name;
    startup::LanguageStrings strings;
    strings.Load(dist + std::wstring(name.begin(), name.end()) + L".ini");
    for (const char* key :
         {"ProductName", "InstallNow", "Retry", "InstallingPicTips3", "LicenseTps", "ProjectIsRunning", "Canncel"}) {
      EXPECT_FALSE(strings.Get(key).empty()) << name << " " << key;
    }
  }
}

}  // namespace
