// What one window's controls share: the skin archive, decoded images (GDI+),
// the description's fonts per DPI, per-class default attributes, named
// images and language texts.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows_api.h"
#include "toolkit/attribute_values.h"
#include "toolkit/gdi_owners.h"
#include "toolkit/image_prefetch.h"

namespace Gdiplus {
class Bitmap;
}

namespace toolkit {

class ZipArchive;

struct FontDescription {
  std::wstring face = L"Tahoma";
  int size = 12;  // pixels at 96 DPI
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

// A decoded image: one frame, or the frames of an animated GIF, each
// converted to premultiplied 32-bit pixels for fast drawing.
struct DecodedImage {
  int width = 0;
  int height = 0;
  // Image pixels per pixel of the skin's coordinates (source rectangles,
  // corners): 2 for the "name@2x" variant chosen on high-DPI windows.
  int scale = 1;
  std::vector<std::unique_ptr<Gdiplus::Bitmap>> frames;
  std::vector<int> delays_ms;  // one per frame
  // The frames as premultiplied GDI bitmaps, made on first use by the
  // painter for exact piecewise copies (nine-slice).
  mutable std::vector<UniqueGdiObject> gdi_frames;
  DecodedImage();
  ~DecodedImage();
};

class SkinResources {
 public:
  static constexpr int kMaxImageSide = 8192;
  static constexpr long long kMaxImagePixels = 16ll << 20;
  // Decoded memory (frames x width x height x 4 bytes) of one image, and by
  // default of all images of one window: an animation is decorative.
  static constexpr uint64_t kMaxImageBytes = 64ull << 20;
  // Descriptions are written for 96 DPI; from 144 DPI (150 %) on, a
  // "name@2x.png" beside "name.png" is drawn instead when the skin has one.
  static constexpr int kBaseDpi = 96;
  static constexpr int kHighDpi = 144;

  explicit SkinResources(std::shared_ptr<const ZipArchive> archive, uint64_t max_image_bytes = kMaxImageBytes);
  ~SkinResources();
  SkinResources(const SkinResources&) = delete;
  SkinResources& operator=(const SkinResources&) = delete;

  [[nodiscard]] const ZipArchive* archive() const { return archive_.get(); }

  // The image named by `description` (with its mask applied) for a window at
  // `dpi`, decoded once: from kHighDpi its @2x variant when the skin has a
  // usable one. nullptr when missing, undecodable or beyond the memory
  // bounds (logged once per file).
  [[nodiscard]] const DecodedImage* Image(const ImageDescription& description, int dpi = kBaseDpi);
  // Starts decoding, on a helper thread, the images a window at `dpi` may
  // draw: the files in `first` (what shows first), then those in `next`
  // (what may show soon), then every other image in the archive, each as
  // Image() would choose it (the @2x variant from
  // kHighDpi when there is one). Image() takes them from there and decodes
  // only what is not done yet. Once per resources; the images decoded
  // ahead count against the same memory bound. The others wait for
  // ContinueDecodingAhead() (the first frame is up).
  void DecodeAhead(int dpi, const std::vector<std::wstring>& first, const std::vector<std::wstring>& next);
  // Starts DecodeAhead()'s helper early: it starts the decoders while the
  // caller makes its window, before the images to decode are known.
  void BeginDecodingAhead();
  void ContinueDecodingAhead() { prefetch_.Continue(); }

  void AddFont(int id, const FontDescription& font, bool is_default);
  // The font for `id` (the default font for unknown ids) at `dpi`.
  [[nodiscard]] HFONT Font(int id, int dpi);
  // The same font with extra bold, italic or underline (label mark-up).
  [[nodiscard]] HFONT FontVariant(int id, int dpi, bool bold, bool italic, bool underline);
  [[nodiscard]] const FontDescription& FontInfo(int id) const;

  void SetDefaultAttributes(const std::wstring& class_name, const std::wstring& attributes);
  [[nodiscard]] const std::wstring* DefaultAttributes(const std::wstring& class_name) const;

  void AddNamedImage(const std::wstring& name, const std::wstring& description);
  // The description of a named <Image>, or nullptr.
  [[nodiscard]] const std::wstring* NamedImage(const std::wstring& name) const;

  void AddLanguageText(const std::wstring& id, const std::wstring& text);
  // Replaces "%[id]" with the language text of that id.
  [[nodiscard]] std::wstring Translate(const std::wstring& text) const;

 private:
  [[nodiscard]] const DecodedImage* Load(const std::wstring& file, const ImageDescription& description, int scale);
  [[nodiscard]] std::unique_ptr<DecodedImage> TakeDecodedAhead(const std::wstring& key);
  [[nodiscard]] std::unique_ptr<DecodedImage> ReadAndDecode(const std::wstring& file,
                                                            const ImageDescription& description);

  std::shared_ptr<const ZipArchive> archive_;
  std::map<std::wstring, std::unique_ptr<DecodedImage>> images_;  // null: failed once
  uint64_t max_image_bytes_;
  uint64_t image_bytes_ = 0;  // decoded so far, all images together
  std::map<int, FontDescription> fonts_;
  int default_font_ = -1;
  std::map<std::pair<int, int>, UniqueGdiObject> font_cache_;  // (id, dpi * 8 + style bits)
  std::map<std::wstring, std::wstring> defaults_;
  std::map<std::wstring, std::wstring> named_images_;
  std::map<std::wstring, std::wstring> language_;
  ImagePrefetch prefetch_;  // last: its helper reads the archive and the bounds above
};

// Width, height and frames from an image file's headers, read without
// decoding it.
struct ImageHeader {
  int width = 0;
  int height = 0;
  int frames = 1;  // a GIF's image blocks, counted without decoding them
};
[[nodiscard]] bool ReadImageHeader(const std::string& bytes, ImageHeader* header);

// "images/button.png" -> "images/button@2x.png": the same picture drawn with
// twice the pixels, for high-DPI windows.
[[nodiscard]] std::wstring DoubleResolutionName(const std::wstring& file);

}  // namespace toolkit
