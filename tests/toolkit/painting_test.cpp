#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "toolkit/label.h"

namespace {

using toolkit::Rect;
using toolkit_test::ColorNear;
using toolkit_test::OpenTestSkin;
using toolkit_test::OpenWindow;
using toolkit_test::Rgb;

toolkit::Point Centre(const Rect& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

int CountPixels(const toolkit::RenderedImage& image, const Rect& r, bool (*match)(uint32_t)) {
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) count += match(image.At(x, y)) ? 1 : 0;
  }
  return count;
}

TEST(PaintingTest, ColoursImagesAndNineSliceEdgesAt96And144Dpi) {
  auto archive = OpenTestSkin(L"gallery");
  for (int dpi : {96, 144}) {
    auto window = OpenWindow(archive, L"main.xml", dpi);
    ASSERT_TRUE(window);
    const toolkit::RenderedImage image = window->Render();
    ASSERT_EQ(image.width, 400 * dpi / 96);
    auto rect = [&](const wchar_t* name) { return window->FindControl(name)->rect(); };
    auto at = [&](toolkit::Point p) { return image.At(p.x, p.y); };
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"red"))), {255, 0, 0}));
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"stretch"))), {0, 255, 0}));
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"blue"))), {0, 0, 255}));
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"floater"))), {255, 0, 255}));
    // Padding around "blue" shows the layout's white background.
    EXPECT_TRUE(ColorNear(image.At(rect(L"blue").left - 2, rect(L"blue").bottom - 1), {255, 255, 255}));

    // Nine-slice: a 4-pixel frame (scaled with the DPI) around a stretched centre.
    const Rect nine = rect(L"nine");
    const int corner = 4 * dpi / 96;
    EXPECT_TRUE(ColorNear(image.At(nine.left, nine.top), {10, 10, 10}));
    EXPECT_TRUE(ColorNear(image.At(nine.left + corner - 1, nine.top + nine.height() / 2), {10, 10, 10}));
    EXPECT_TRUE(ColorNear(image.At(nine.left + corner + 1, nine.top + nine.height() / 2), {40, 120, 220}, 12));
    EXPECT_TRUE(ColorNear(image.At(nine.left + nine.width() / 2, nine.top + corner - 1), {10, 10, 10}));
    EXPECT_TRUE(ColorNear(image.At(nine.right - 1, nine.bottom - 1), {10, 10, 10}));
    // No seam between the stretched centre and the right and bottom edges.
    for (int x = nine.left; x < nine.right; ++x) {
      const uint32_t p = image.At(x, nine.top + nine.height() / 2);
      EXPECT_FALSE(ColorNear(p, {255, 255, 255})) << "seam at x=" << x - nine.left << " dpi " << dpi;
    }
    for (int y = nine.top; y < nine.bottom; ++y) {
      const uint32_t p = image.At(nine.left + nine.width() / 2, y);
      EXPECT_FALSE(ColorNear(p, {255, 255, 255})) << "seam at y=" << y - nine.top << " dpi " << dpi;
    }
    EXPECT_TRUE(ColorNear(at(Centre(nine)), {40, 120, 220}));

    // PNG alpha blends over white; JPEG and BMP decode; the GIF shows frame 0.
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"alpha"))), {127, 227, 127}, 4));
    const Rect photo = rect(L"photo");
    EXPECT_TRUE(ColorNear(image.At(photo.left + 3, photo.top + 3), {250, 200, 0}, 30));
    EXPECT_TRUE(ColorNear(image.At(photo.right - 3, photo.bottom - 3), {0, 0, 250}, 30));
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"logo"))), {200, 30, 30}));
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"spinner"))), {255, 0, 0}));

    // Progress at 50 %: the left half is the fore colour.
    const Rect progress = rect(L"progress");
    EXPECT_TRUE(ColorNear(image.At(progress.left + progress.width() / 4, progress.top + 3), {255, 0, 0}));
    EXPECT_TRUE(ColorNear(image.At(progress.right - progress.width() / 4, progress.top + 3), {0xDD, 0xDD, 0xDD}));
    EXPECT_TRUE(ColorNear(at(Centre(rect(L"tabs"))), {0x44, 0x55, 0x66}));
  }
}

// From 144 DPI an image's "@2x" variant is drawn in the same logical
// rectangle, with source rectangles and corners still in 1x pixels; below it,
// and for images without a usable variant, the 1x image as always.
TEST(PaintingTest, HighDpiWindowsDrawTheDoubleResolutionVariant) {
  auto archive = OpenTestSkin(L"gallery");
  struct Colours {
    Rgb left, right, frame, centre;
  };
  const Colours one_x{{255, 128, 0}, {0, 128, 128}, {10, 10, 10}, {40, 120, 220}};
  const Colours two_x{{128, 0, 255}, {255, 255, 0}, {120, 0, 0}, {0, 160, 80}};
  for (int dpi : {96, 120, 144, 192}) {
    auto window = OpenWindow(archive, L"crisp.xml", dpi);
    ASSERT_TRUE(window);
    const toolkit::RenderedImage image = window->Render();
    const Colours& expected = dpi >= 144 ? two_x : one_x;
    auto rect = [&](const wchar_t* name) { return window->FindControl(name)->rect(); };
    const Rect whole = rect(L"whole");
    const int middle = whole.top + whole.height() / 2;
    EXPECT_TRUE(ColorNear(image.At(whole.left + whole.width() / 4, middle), expected.left)) << dpi;
    EXPECT_TRUE(ColorNear(image.At(whole.right - whole.width() / 4, middle), expected.right)) << dpi;
    const Rect half = rect(L"right_half");
    EXPECT_TRUE(ColorNear(image.At(half.left + 2, middle), expected.right)) << dpi;
    EXPECT_TRUE(ColorNear(image.At(half.right - 3, middle), expected.right)) << dpi;
    // Corners keep 4 logical pixels: 6 device pixels at 144 DPI, drawn from
    // the 8-pixel frame of the @2x image.
    const Rect frame = rect(L"frame");
    const int corner = 4 * dpi / 96;
    EXPECT_TRUE(ColorNear(image.At(frame.left + corner / 2, middle), expected.frame)) << dpi;
    EXPECT_TRUE(ColorNear(image.At(frame.left + corner + 2, middle), expected.centre, 12)) << dpi;
    EXPECT_TRUE(ColorNear(image.At(frame.right - 1, frame.bottom - 1), expected.frame)) << dpi;
    EXPECT_TRUE(ColorNear(image.At(frame.left + frame.width() / 2, frame.top + frame.height() / 2), expected.centre))
        << dpi;
    EXPECT_TRUE(ColorNear(image.At(rect(L"plain").left + 10, middle), {200, 30, 30})) << dpi;
    EXPECT_TRUE(ColorNear(image.At(rect(L"fallback").left + 10, middle), {0, 90, 200})) << dpi;
  }
}

TEST(PaintingTest, ButtonImagesFollowHotPushedAndDisabledStates) {
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"main.xml", 96);
  ASSERT_TRUE(window);
  window->LayoutIfNeeded();
  const toolkit::Point centre = Centre(window->FindControl(L"nine")->rect());
  struct Step {
    const char* what;
    std::function<void()> act;
    Rgb expected;
  } steps[] = {
      {"normal", [] {}, {40, 120, 220}},
      {"hot", [&] { window->MouseMove(centre); }, {80, 160, 255}},
      {"pushed", [&] { window->ButtonDown(centre); }, {20, 60, 140}},
      {"released", [&] { window->ButtonUp(centre); }, {80, 160, 255}},
      {"left",
       [&] {
         window->MouseMove({1, 299});
       },
       {40, 120, 220}},
      {"disabled", [&] { (void)window->SetAttribute(L"nine", L"enabled", L"false"); }, {150, 150, 150}},
  };
  for (const Step& step : steps) {
    step.act();
    const toolkit::RenderedImage image = window->Render();
    EXPECT_TRUE(ColorNear(image.At(centre.x, centre.y), step.expected)) << step.what;
  }
}

TEST(PaintingTest, TextFitsAndLinksAreColoured) {
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"main.xml", 96);
  ASSERT_TRUE(window);
  const toolkit::RenderedImage image = window->Render();
  const Rect hello = window->FindControl(L"hello")->rect();
  const int dark = CountPixels(image, hello, [](uint32_t p) { return ((p >> 8) & 0xFF) < 128; });
  EXPECT_GT(dark, 10) << "the language text %[greeting] was not drawn";
  auto* links = dynamic_cast<toolkit::Label*>(window->FindControl(L"links"));
  ASSERT_EQ(links->link_rects().size(), 2u);
  EXPECT_EQ(links->markup().links[0], L"licence.html");
  const Rect first_link = links->link_rects()[0].second;
  const int blue =
      CountPixels(image, first_link, [](uint32_t p) { return (p & 0xFF) > 200 && ((p >> 16) & 0xFF) < 150; });
  EXPECT_GT(blue, 5) << "the coloured link was not drawn in its colour";
  EXPECT_LE(first_link.right, links->rect().right);
  // The check box shows its checked image once selected.
  const Rect check = window->FindControl(L"chk")->rect();
  EXPECT_TRUE(ColorNear(image.At(check.left + 8, check.top + 12), {255, 255, 255}));
  (void)window->SetAttribute(L"chk", L"selected", L"true");
  const toolkit::RenderedImage checked = window->Render();
  EXPECT_TRUE(ColorNear(checked.At(check.left + 8, check.top + 12), {0, 0, 0}));
}

TEST(PaintingTest, AnimatedGifAdvancesThroughItsFrames) {
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"main.xml", 96);
  ASSERT_TRUE(window);
  (void)window->Render();
  toolkit::Control* spinner = window->FindControl(L"spinner");
  const toolkit::Point centre = Centre(spinner->rect());
  const Rgb frames[] = {{0, 255, 0}, {0, 0, 255}, {255, 0, 0}};
  for (const Rgb& expected : frames) {
    spinner->OnTimer(1);
    EXPECT_TRUE(ColorNear(window->Render().At(centre.x, centre.y), expected));
  }
}

TEST(PaintingTest, PartialRepaintTouchesOnlyTheDirtyRectangle) {
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"main.xml", 96);
  ASSERT_TRUE(window);
  (void)window->Render();
  (void)window->SetAttribute(L"red", L"bkcolor", L"#FF123456");
  const Rect dirty = window->TakeDirty();
  EXPECT_EQ(dirty, window->FindControl(L"red")->rect());
  EXPECT_TRUE(window->TakeDirty().empty());
}

}  // namespace

namespace {

TEST(PaintingEffectsTest, MaskFadeRoundedCornersBordersAndDestination) {
  auto window = OpenWindow(OpenTestSkin(L"gallery"), L"all_classes.xml", 96);
  ASSERT_TRUE(window);
  const toolkit::RenderedImage image = window->Render();
  auto rect = [&](const wchar_t* name) { return window->FindControl(name)->rect(); };
  const Rect masked = rect(L"masked");
  EXPECT_TRUE(ColorNear(image.At(masked.left + 1, masked.top + 1), {255, 255, 255})) << "mask colour not transparent";
  EXPECT_TRUE(ColorNear(image.At(masked.left + 16, masked.top + 16), {0, 0, 0}));
  // Red (200,30,30) at half strength over white.
  EXPECT_TRUE(ColorNear(image.At(rect(L"faded").left + 16, rect(L"faded").top + 16), {227, 142, 142}, 6));
  const Rect rounded = rect(L"rounded");
  EXPECT_TRUE(ColorNear(image.At(rounded.left, rounded.top), {255, 255, 255})) << "corner not rounded";
  EXPECT_TRUE(ColorNear(image.At(rounded.left + 16, rounded.top + 16), {0, 0, 255}));
  const Rect bordered = rect(L"bordered");
  EXPECT_TRUE(ColorNear(image.At(bordered.left + 1, bordered.top + 10), {255, 0, 0}));
  EXPECT_TRUE(ColorNear(image.At(bordered.left + 3, bordered.top + 10), {255, 255, 255}));
  const Rect placed = rect(L"placed");
  EXPECT_TRUE(ColorNear(image.At(placed.left + 4, placed.top + 4), {255, 255, 255}));
  EXPECT_TRUE(ColorNear(image.At(placed.left + 16, placed.top + 16), {200, 30, 30}));
}

}  // namespace
