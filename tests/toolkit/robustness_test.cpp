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
  for (int i = 0; i < 10000; ++i)
    many += "<Button name=\"b" + std::to_string(i) + "\" bkcolor=\"#FF0000FF\" text=\"x\"/>";
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
  auto archive =
      ArchiveOf({{"main.xml",
                  "<Window size=\"100,100\"><VerticalLayout>\n"
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
    for (const auto& line : log.lines())
      bound_lines += line.find(L"more than 256 included files") != std::wstring::npos;
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
  EXPECT_NE(built.error.find(L"main.xml: more than 50 bytes"), std::wstring::npos)
      << testing::PrintToString(built.error);
}

// Decoded memory is bounded per image before the decoder runs (a GIF of a few
// kilobytes whose 256 frames are each 4096 x 4096), and per window.
TEST(RobustnessTest, ImagesBeyondTheDecodedMemoryBoundsAreRefusedAndSaySo) {
  const std::string bomb = ImageFromTestSkin(L"images/frames_bomb.gif");
  ASSERT_LT(bomb.size(), 8000u);
  toolkit::ImageHeader header;
  ASSERT_TRUE(toolkit::ReadImageHeader(bomb, &header));
  EXPECT_EQ(header.frames, 256);
  ASSERT_TRUE(toolkit::ReadImageHeader(ImageFromTestSkin(L"images/spinner.gif"), &header));
  EXPECT_EQ(header.frames, 3);
  for (size_t cut = 10; cut < bomb.size(); cut += 7) {  // a cut file counts the frames it holds
    ASSERT_TRUE(toolkit::ReadImageHeader(bomb.substr(0, cut), &header));
    EXPECT_LE(header.frames, 256);
  }
  {
    LogCapture log;
    auto archive = ArchiveOf({{"main.xml",
                               "<Window size=\"60,30\"><HorizontalLayout bkcolor=\"#FF00FF00\">"
                               "<GifAnim name=\"bomb\" width=\"30\" bkimage=\"bomb.gif\"/>"
                               "<GifAnim name=\"spinner\" width=\"30\" bkimage=\"spinner.gif\"/>"
                               "</HorizontalLayout></Window>"},
                              {"bomb.gif", bomb},
                              {"spinner.gif", ImageFromTestSkin(L"images/spinner.gif")}});
    auto window = toolkit_test::OpenWindow(archive, L"main.xml", 96);
    ASSERT_TRUE(window);
    const toolkit::RenderedImage image = window->Render();
    EXPECT_TRUE(toolkit_test::ColorNear(image.At(15, 15), {0, 255, 0}));
    EXPECT_TRUE(toolkit_test::ColorNear(image.At(45, 15), {255, 0, 0}));  // the small animation still plays
    EXPECT_TRUE(log.Contains(
        L"\"bomb.gif\" refused: 256 frames of 4096x4096 pixels need 16384 MiB, more than 64 MiB per image"));
  }
  // The window's bound: the 160 x 20 button (12.5 KiB decoded) fits, the
  // check box after it (2 KiB) no longer does.
  LogCapture log;
  auto archive = ArchiveOf({{"main.xml",
                             "<Window size=\"60,20\"><HorizontalLayout bkcolor=\"#FF00FF00\">"
                             "<Control width=\"30\" bkimage=\"file='button.png' source='4,4,36,16'\"/>"
                             "<Control width=\"30\" bkimage=\"file='check.png' source='16,0,32,16'\"/>"
                             "</HorizontalLayout></Window>"},
                            {"button.png", ImageFromTestSkin(L"images/button.png")},
                            {"check.png", ImageFromTestSkin(L"images/check.png")}});
  toolkit::BuildLimits limits;
  limits.max_image_bytes = 14000;
  toolkit::DescriptionResult built = toolkit::BuildWindowDescription(archive, L"main.xml", limits);
  ASSERT_TRUE(built.description);
  toolkit::WindowCore window(std::move(built.description), 96);
  const toolkit::RenderedImage image = window.Render();
  EXPECT_TRUE(toolkit_test::ColorNear(image.At(15, 10), {40, 120, 220}));
  EXPECT_TRUE(toolkit_test::ColorNear(image.At(45, 10), {0, 255, 0}));
  EXPECT_TRUE(log.Contains(
      L"\"check.png\" refused: its 2 KiB of decoded pixels exceed the 1 KiB the window's images have left"));
}

TEST(RobustnessTest, IncludesThatIncludeThemselvesStopAtTheBound) {
  LogCapture log;
  auto archive =
      ArchiveOf({{"main.xml",
                  "<Window size=\"100,100\"><VerticalLayout><Include source=\"loop.xml\"/></VerticalLayout></Window>"},
                 {"loop.xml", "<VerticalLayout><Button/><Include source=\"loop.xml\"/></VerticalLayout>"}});
  auto window = toolkit_test::OpenWindow(archive, L"main.xml", 96);
  ASSERT_TRUE(window);
  EXPECT_TRUE(log.Contains(L"includes nested more than 8 deep"));
  EXPECT_LE(window->description().control_count, 20u);
}

}  // namespace
