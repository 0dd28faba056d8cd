#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "zip_builder.h"

namespace {

using toolkit_test::BuildZip;
using toolkit_test::LogCapture;

std::shared_ptr<toolkit::ZipArchive> ArchiveOf(const std::vector<toolkit_test::ZipBuildMember>& members) {
  auto archive = std::make_shared<toolkit::ZipArchive>();
  EXPECT_EQ(archive->Open(BuildZip(members)), toolkit::ZipError::kNone);
  return archive;
}

std::string ImageFromTestSkin(const wchar_t* name) {
  toolkit::ZipArchive gallery;
  EXPECT_EQ(gallery.OpenFile(toolkit_test::TestSkinPath(L"gallery")), toolkit::ZipError::kNone);
  std::string bytes;
  EXPECT_EQ(gallery.Read(name, &bytes), toolkit::ZipError::kNone);
  return bytes;
}

TEST(RobustnessTest, UnbuildableDescriptionsAreErrorsWithFileAndLine) {
  struct Case {
    const char* xml;
    const wchar_t* words;
  } cases[] = {
      {"<Window>\n<Label text=\"x\">\n</Window>", L"main.xml line 3"},
      {"<Dialog/>", L"root element must be <Window>"},
      {"", L"no root"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    auto built = toolkit::BuildWindowDescription(ArchiveOf({{"main.xml", c.xml}}), L"main.xml");
    EXPECT_FALSE(built.description);
    EXPECT_NE(built.error.find(c.words), std::wstring::npos) << testing::PrintToString(built.error);
    EXPECT_TRUE(log.Contains(L"window description refused"));
  }
  auto missing = toolkit::BuildWindowDescription(ArchiveOf({{"other.xml", "<Window/>"}}), L"main.xml");
  EXPECT_NE(missing.error.find(L"member not found"), std::wstring::npos);
  auto no_archive = toolkit::BuildWindowDescription(nullptr, L"main.xml");
  EXPECT_FALSE(no_archive.description);
}

TEST(RobustnessTest, UnknownClassesAndAttributesAreLoggedOnceAndSkipped) {
  LogCapture log;
  auto archive = ArchiveOf({{"main.xml",
                             "<Window size=\"100,100\"><VerticalLayout>"
                             "<Marquee name=\"m1\"><Button name=\"inside\"/></Marquee><Marquee name=\"m2\"/>"
                             "<Button name=\"b\" sparkle=\"yes\"/><Button name=\"c\" sparkle=\"no\"/>"
                             "<Label name=\"l\"><Button name=\"orphan\"/></Label>"
                             "</VerticalLayout></Window>"}});
  auto window = toolkit_test::OpenWindow(archive, L"main.xml", 96);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->FindControl(L"m1"), nullptr);
  EXPECT_EQ(window->FindControl(L"inside"), nullptr);
  EXPECT_NE(window->FindControl(L"b"), nullptr);
  EXPECT_EQ(window->FindControl(L"orphan"), nullptr);
  int marquee = 0, sparkle = 0;
  for (const auto& line : log.lines()) {
    marquee += line.find(L"unknown class <Marquee>") != std::wstring::npos;
    sparkle += line.find(L"\"sparkle\"") != std::wstring::npos;
  }
  EXPECT_EQ(marquee, 1);
  EXPECT_EQ(sparkle, 1);
  EXPECT_TRUE(log.Contains(L"line 1"));
}

TEST(RobustnessTest, MissingBrokenAndAbsurdImagesDrawNothingAndSayWhy) {
  LogCapture log;
  auto archive = ArchiveOf({{"main.xml",
                             "<Window size=\"90,30\"><HorizontalLayout bkcolor=\"#FF00FF00\">"
                             "<Control width=\"30\" bkimage=\"missing.png\"/>"
                             "<Control width=\"30\" bkimage=\"broken.png\"/>"
                             "<Control width=\"30\" bkimage=\"absurd.png\"/>"
                             "</HorizontalLayout></Window>"},
                            {"broken.png", ImageFromTestSkin(L"images/broken.png")},
                            {"absurd.png", ImageFromTestSkin(L"images/absurd.png")}});
  auto window = toolkit_test::OpenWindow(archive, L"main.xml", 96);
  ASSERT_TRUE(window);
  const toolkit::RenderedImage image = window->Render();
  for (int x : {15, 45, 75}) EXPECT_TRUE(toolkit_test::ColorNear(image.At(x, 15), {0, 255, 0})) << x;
  EXPECT_TRUE(log.Contains(L"\"missing.png\" is not in the skin archive"));
  EXPECT_TRUE(log.Contains(L"\"broken.png\" cannot be decoded"));
  EXPECT_TRUE(log.Contains(L"100000x100000 pixels is beyond the bound"));
  // Each failure is reported once, not once per paint.
  const size_t lines = log.lines().size();
  (void)window->Render();
  EXPECT_EQ(log.lines().size(), lines);
}

TEST(RobustnessTest, DeepNestingIsBoundedAndTenThousandControlsWork) {
  std::string deep = "<Window size=\"100,100\">";
  for (int i = 0; i < 300; ++i) deep += "<Container>";
  for (int i = 0; i < 300; ++i) deep += "</Container>";
  deep += "</Window>";
  LogCapture log;
  auto refused = toolkit::BuildWindowDescription(ArchiveOf({{"main.xml", deep}}), L"main.xml");
  EXPECT_FALSE(refused.description);
  EXPECT_NE(refused.error.find(L"nested too deeply"), std::wstring::npos);

  std::string nested = "<Window size=\"100,100\">";
  for (int i = 0; i < 200; ++i) nested += "<HorizontalLayout>";
  nested += "<Button name=\"deepest\" bkcolor=\"#FFFF0000\"/>";
  for (int i = 0; i < 200; ++i) nested += "</HorizontalLayout>";
  nested += "</Window>";
  auto deep_window = toolkit_test::OpenWindow(ArchiveOf({{"main.xml", nested}}), L"main.xml", 96);
  ASSERT_TRUE(deep_window);
  EXPECT_TRUE(toolkit_test::ColorNear(deep_window->Render().At(50, 50), {255, 0, 0}));

  std::string many = "<Window size=\"400,300\"><TileLayout columns=\"100\" vscrollbar=\"true\" itemsize=\"0,4\">";
  for (int i = 0; i < 10000; ++i) many += "<Button name=\"b" + std::to_string(i) + "\" bkcolor=\"#FF0000FF\" text=\"x\"/>";
  many += "</TileLayout></Window>";
  auto big = toolkit_test::OpenWindow(ArchiveOf({{"main.xml", many}}), L"main.xml", 96);
  ASSERT_TRUE(big);
  EXPECT_EQ(big->description().control_count, 10001u);
  EXPECT_NE(big->FindControl(L"b9999"), nullptr);
  EXPECT_TRUE(toolkit_test::ColorNear(big->Render().At(1, 1), {0, 0, 255}));
  for (int i = 0; i < 5; ++i) (void)big->KeyDown(VK_TAB, false);
  EXPECT_EQ(big->focused()->name(), L"b4");

  // Past the control bound the description is refused, not half built.
  toolkit::BuildLimits limits;
  limits.max_controls = 5000;
  auto limited = toolkit::BuildWindowDescription(ArchiveOf({{"main.xml", many}}), L"main.xml", limits);
  EXPECT_FALSE(limited.description);
  EXPECT_NE(limited.error.find(L"more than 5000 controls"), std::wstring::npos);
}

// Includes repeated and nested (100 x 100 files) stop at 256 included files
// per window, logged once with the element that asked; a smaller byte bound
// stops them sooner.
TEST(RobustnessTest, IncludeFanOutStopsAtTheFileAndByteBounds) {
  auto archive = ArchiveOf({{"main.xml", "<Window size=\"100,100\"><VerticalLayout>\n"
                                         "<Include source=\"rows.xml\" count=\"100\"/></VerticalLayout></Window>"},
                            {"rows.xml", "<HorizontalLayout><Include source=\"cell.xml\" count=\"100\"/></HorizontalLayout>"},
                            {"cell.xml", "<Button/>"}});
  {
    LogCapture log;
    auto window = toolkit_test::OpenWindow(archive, L"main.xml", 96);
    ASSERT_TRUE(window);
    // 256 files: 1 row, its 100 cells, the next row, ... and nothing after.
    EXPECT_LE(window->description().control_count, 260u);
    int bound_lines = 0;
    for (const auto& line : log.lines()) bound_lines += line.find(L"more than 256 included files") != std::wstring::npos;
    EXPECT_EQ(bound_lines, 1);
    EXPECT_TRUE(log.Contains(L"rows.xml line 1: include of \"cell.xml\" skipped"));
  }
  LogCapture log;
  toolkit::BuildLimits limits;
  limits.max_parsed_bytes = 400;  // the window's file, one row and a few cells
  auto built = toolkit::BuildWindowDescription(archive, L"main.xml", limits);
  ASSERT_TRUE(built.description);
  EXPECT_GT(built.description->control_count, 10u);
  EXPECT_LT(built.description->control_count, 40u);
  EXPECT_TRUE(log.Contains(L"more than 400 bytes of descriptions in one window"));
  limits.max_parsed_bytes = 50;  // not even the window's own file fits
  built = toolkit::BuildWindowDescription(archive, L"main.xml", limits);
  EXPECT_FALSE(built.description);
  EXPECT_NE(built.error.find(L"main.xml: more than 50 bytes"), std::wstring::npos) << testing::PrintToString(built.error);
}

TEST(RobustnessTest, IncludesThatIncludeThemselvesStopAtTheBound) {
  LogCapture log;
  auto archive = ArchiveOf({{"main.xml", "<Window size=\"100,100\"><VerticalLayout><Include source=\"loop.xml\"/></VerticalLayout></Window>"},
                            {"loop.xml", "<VerticalLayout><Button/><Include source=\"loop.xml\"/></VerticalLayout>"}});
  auto window = toolkit_test::OpenWindow(archive, L"main.xml", 96);
  ASSERT_TRUE(window);
  EXPECT_TRUE(log.Contains(L"includes nested more than 8 deep"));
  EXPECT_LE(window->description().control_count, 20u);
}

}  // namespace
