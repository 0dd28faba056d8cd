#include "toolkit/skin_resources.h"

#include <cwctype>
#include <set>

#include "platform/text.h"
#include "toolkit/com_owners.h"
#include "toolkit/gdiplus_session.h"
#include "toolkit/geometry.h"
#include "toolkit/log.h"
#include "toolkit/zip_archive.h"

namespace toolkit {
namespace {

uint32_t Be32(const std::string& b, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3]));
}
uint32_t Le16(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8);
}

// The image blocks of a GIF, found by walking its block structure (each
// frame is drawn at the full screen size, whatever its own size); a damaged
// or cut file counts the frames before the damage.
int CountGifFrames(const std::string& b) {
  auto byte = [&](size_t at) { return static_cast<uint8_t>(b[at]); };
  auto colour_table = [](uint8_t flags) { return (flags & 0x80) != 0 ? size_t{3} << ((flags & 7) + 1) : 0; };
  if (b.size() < 13) return 0;
  size_t at = 13 + colour_table(byte(10));
  int frames = 0;
  while (at < b.size()) {
    const uint8_t block = byte(at);
    if (block == 0x2C) {  // image descriptor, colour table, LZW code size
      if (at + 10 > b.size()) break;
      ++frames;
      at += 10 + colour_table(byte(at + 9)) + 1;
    } else if (block == 0x21) {  // extension: introducer and label
      at += 2;
    } else {
      break;  // the trailer, or damage
    }
    // Data sub-blocks, each led by its length, up to the empty one.
    while (at < b.size() && byte(at) != 0) at += 1 + size_t{byte(at)};
    ++at;
  }
  return frames;
}

// A stream over a copy of `bytes` (the stream owns the memory).
UniqueCom<IStream> StreamOver(const std::string& bytes) {
  UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
  if (!memory) return {};
  {
    const ScopedGlobalLock locked(memory.Get());
    if (locked.data() == nullptr) return {};
    memcpy(locked.data(), bytes.data(), bytes.size());
  }
  UniqueCom<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Receive()))) return {};
  (void)memory.Release();  // the stream frees it
  return stream;
}

// One frame as premultiplied 32-bit pixels, with `mask` made transparent.
std::unique_ptr<Gdiplus::Bitmap> CopyFrame(Gdiplus::Bitmap& source, int width, int height,
                                           const std::optional<Argb>& mask) {
  auto frame = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
  if (frame->GetLastStatus() != Gdiplus::Ok) return nullptr;
  {
    Gdiplus::Graphics graphics(frame.get());
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    graphics.DrawImage(&source, 0, 0, width, height);
  }
  if (mask) {
    Gdiplus::BitmapData data;
    Gdiplus::Rect all(0, 0, width, height);
    if (frame->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) ==
        Gdiplus::Ok) {
      for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(data.Scan0) + y * data.Stride);
        for (int x = 0; x < width; ++x) {
          if ((row[x] & 0x00FFFFFF) == (*mask & 0x00FFFFFF)) row[x] = 0;
        }
      }
      frame->UnlockBits(&data);
    }
  }
  // Premultiplied pixels draw several times faster.
  auto premultiplied = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
  if (premultiplied->GetLastStatus() != Gdiplus::Ok) return frame;
  Gdiplus::Graphics graphics(premultiplied.get());
  graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
  graphics.DrawImage(frame.get(), 0, 0, width, height);
  return premultiplied;
}

// An animation is decorative: at most this many frames are kept.
constexpr UINT kMaxFrames = 256;

uint64_t DecodedBytes(int width, int height, UINT frames) {
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 * std::min(frames, kMaxFrames);
}

std::wstring MemoryText(uint64_t bytes) {
  return bytes >= (1u << 20) ? platform::DecimalText(bytes >> 20) + L" MiB"
                             : platform::DecimalText(bytes >> 10) + L" KiB";
}

// Whether `frames` frames of the image fit the bounds of one image and of
// what the window has left; says why not, once per file.
bool FitsMemoryBounds(const std::wstring& file, int width, int height, UINT frames, uint64_t window_bytes_left) {
  const uint64_t bytes = DecodedBytes(width, height, frames);
  if (bytes > SkinResources::kMaxImageBytes) {
    LogOnce(L"image-memory:" + file, L"image \"" + file + L"\" refused: " + platform::DecimalText(frames) +
                                         L" frames of " + platform::DecimalText(width) + L"x" +
                                         platform::DecimalText(height) + L" pixels need " + MemoryText(bytes) +
                                         L", more than " + MemoryText(SkinResources::kMaxImageBytes) + L" per image");
    return false;
  }
  if (bytes > window_bytes_left) {
    LogOnce(L"image-window-memory:" + file, L"image \"" + file + L"\" refused: its " + MemoryText(bytes) +
                                                L" of decoded pixels exceed the " + MemoryText(window_bytes_left) +
                                                L" the window's images have left");
    return false;
  }
  return true;
}

std::unique_ptr<DecodedImage> Decode(const std::string& bytes, const std::wstring& file,
                                     const std::optional<Argb>& mask, uint64_t window_bytes_left) {
  ImageHeader header;
  if (!ReadImageHeader(bytes, &header)) {
    LogOnce(L"image-format:" + file, L"image \"" + file + L"\" cannot be decoded (not a PNG, JPEG, BMP or GIF)");
    return nullptr;
  }
  if (header.width <= 0 || header.height <= 0 || header.width > SkinResources::kMaxImageSide ||
      header.height > SkinResources::kMaxImageSide ||
      static_cast<long long>(header.width) * header.height > SkinResources::kMaxImagePixels) {
    LogOnce(L"image-size:" + file, L"image \"" + file + L"\" refused: " + platform::DecimalText(header.width) + L"x" +
                                       platform::DecimalText(header.height) + L" pixels is beyond the bound");
    return nullptr;
  }
  // Checked from the headers, before the decoder allocates anything.
  if (!FitsMemoryBounds(file, header.width, header.height, static_cast<UINT>(header.frames), window_bytes_left))
    return nullptr;
  if (!EnsureGdiplus()) return nullptr;
  auto stream = StreamOver(bytes);
  if (!stream) return nullptr;
  std::unique_ptr<Gdiplus::Bitmap> source(Gdiplus::Bitmap::FromStream(stream.Get()));
  if (!source || source->GetLastStatus() != Gdiplus::Ok) {
    LogOnce(L"image-decode:" + file, L"image \"" + file + L"\" cannot be decoded");
    return nullptr;
  }
  auto image = std::make_unique<DecodedImage>();
  image->width = static_cast<int>(source->GetWidth());
  image->height = static_cast<int>(source->GetHeight());
  if (image->width != header.width || image->height != header.height) return nullptr;

  GUID time_dimension = Gdiplus::FrameDimensionTime;
  UINT frames = source->GetFrameCount(&time_dimension);
  if (frames == 0) frames = 1;
  // The decoder may see frames the header walk did not (a damaged file).
  if (!FitsMemoryBounds(file, image->width, image->height, frames, window_bytes_left)) return nullptr;
  frames = std::min(frames, kMaxFrames);
  std::vector<int> delays(frames, 100);
  const UINT property_size = source->GetPropertyItemSize(PropertyTagFrameDelay);
  if (frames > 1 && property_size > 0 && property_size < (1u << 20)) {
    std::vector<uint8_t> buffer(property_size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
    if (source->GetPropertyItem(PropertyTagFrameDelay, property_size, item) == Gdiplus::Ok) {
      const auto* values = static_cast<const uint32_t*>(item->value);
      const UINT count = std::min<UINT>(frames, item->length / 4);
      for (UINT i = 0; i < count; ++i) delays[i] = std::max(20, static_cast<int>(values[i]) * 10);
    }
  }
  for (UINT i = 0; i < frames; ++i) {
    if (frames > 1) source->SelectActiveFrame(&time_dimension, i);
    auto frame = CopyFrame(*source, image->width, image->height, mask);
    if (!frame) return nullptr;
    image->frames.push_back(std::move(frame));
  }
  image->delays_ms = std::move(delays);
  return image;
}

bool IsImageName(const std::wstring& name) {
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos) return false;
  std::wstring extension = name.substr(dot + 1);
  for (wchar_t& c : extension) c = static_cast<wchar_t>(::towlower(c));
  return extension == L"png" || extension == L"gif" || extension == L"jpg" || extension == L"jpeg" ||
         extension == L"bmp";
}

}  // namespace

DecodedImage::DecodedImage() = default;
DecodedImage::~DecodedImage() = default;

bool ReadImageHeader(const std::string& b, ImageHeader* header) {
  if (b.size() >= 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
    if (b.compare(12, 4, "IHDR") != 0) return false;
    header->width = static_cast<int>(std::min<uint32_t>(Be32(b, 16), 1u << 30));
    header->height = static_cast<int>(std::min<uint32_t>(Be32(b, 20), 1u << 30));
    return true;
  }
  if (b.size() >= 10 && (b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0)) {
    header->width = static_cast<int>(Le16(b, 6));
    header->height = static_cast<int>(Le16(b, 8));
    header->frames = std::max(1, CountGifFrames(b));
    return true;
  }
  if (b.size() >= 26 && b.compare(0, 2, "BM") == 0) {
    const int32_t width = static_cast<int32_t>(Le16(b, 18) | (Le16(b, 20) << 16));
    const int32_t height = static_cast<int32_t>(Le16(b, 22) | (Le16(b, 24) << 16));
    header->width = width < 0 ? -1 : width;
    header->height = height == INT32_MIN ? -1 : (height < 0 ? -height : height);
    return true;
  }
  if (b.size() >= 4 && static_cast<uint8_t>(b[0]) == 0xFF && static_cast<uint8_t>(b[1]) == 0xD8) {
    size_t at = 2;
    while (at + 9 < b.size()) {
      if (static_cast<uint8_t>(b[at]) != 0xFF) return false;
      const uint8_t marker = static_cast<uint8_t>(b[at + 1]);
      if (marker == 0xFF) {
        ++at;
        continue;
      }
      const size_t length = (static_cast<uint8_t>(b[at + 2]) << 8) | static_cast<uint8_t>(b[at + 3]);
      const bool start_of_frame =
          marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
      if (start_of_frame) {
        header->height = static_cast<int>((static_cast<uint8_t>(b[at + 5]) << 8) | static_cast<uint8_t>(b[at + 6]));
        header->width = static_cast<int>((static_cast<uint8_t>(b[at + 7]) << 8) | static_cast<uint8_t>(b[at + 8]));
        return true;
      }
      if (length < 2) return false;
      at += 2 + length;
    }
    return false;
  }
  return false;
}

SkinResources::SkinResources(std::shared_ptr<const ZipArchive> archive, uint64_t max_image_bytes)
    : archive_(std::move(archive)), max_image_bytes_(max_image_bytes) {}
SkinResources::~SkinResources() = default;

const DecodedImage* SkinResources::Image(const ImageDescription& description, int dpi) {
  if (description.file.empty()) return nullptr;
  if (dpi >= kHighDpi && archive_ != nullptr) {
    // A variant that cannot be used (damaged, beyond the bounds) leaves the 1x image.
    const std::wstring sharp = DoubleResolutionName(description.file);
    if (archive_->Contains(sharp)) {
      if (const DecodedImage* image = Load(sharp, description, 2)) return image;
    }
  }
  return Load(description.file, description, 1);
}

const DecodedImage* SkinResources::Load(const std::wstring& file, const ImageDescription& description, int scale) {
  std::wstring key = ZipArchive::NormalizeName(file);
  if (description.mask) key += L"|" + platform::DecimalText(*description.mask);
  auto found = images_.find(key);
  if (found != images_.end()) return found->second.get();
  std::unique_ptr<DecodedImage> image = description.mask ? nullptr : TakeDecodedAhead(key);
  if (!image) image = ReadAndDecode(file, description);
  if (image) {
    image->scale = scale;
    image_bytes_ += DecodedBytes(image->width, image->height, static_cast<UINT>(image->frames.size()));
  }
  const DecodedImage* result = image.get();
  images_.emplace(std::move(key), std::move(image));
  return result;
}

std::unique_ptr<DecodedImage> SkinResources::TakeDecodedAhead(const std::wstring& key) {
  std::unique_ptr<DecodedImage> image = prefetch_.Take(key);
  // Beyond what the window has left: decoded (and refused, logged) as ever.
  if (image && DecodedBytes(image->width, image->height, static_cast<UINT>(image->frames.size())) >
                   max_image_bytes_ - image_bytes_)
    image.reset();
  return image;
}

std::unique_ptr<DecodedImage> SkinResources::ReadAndDecode(const std::wstring& file,
                                                           const ImageDescription& description) {
  std::string bytes;
  if (archive_ == nullptr || archive_->Read(file, &bytes) != ZipError::kNone) {
    LogOnce(L"image-missing:" + file, L"image \"" + file + L"\" is not in the skin archive");
    return nullptr;
  }
  auto image = Decode(bytes, file, description.mask, max_image_bytes_ - image_bytes_);
  return image;
}

void SkinResources::BeginDecodingAhead() {
  if (archive_ != nullptr) prefetch_.Begin([] { (void)EnsureGdiplus(); });
}

void SkinResources::DecodeAhead(int dpi, const std::vector<std::wstring>& first,
                                const std::vector<std::wstring>& next) {
  if (archive_ == nullptr) return;
  std::set<std::wstring> sharp_names;  // keys of the @2x variants the archive holds
  for (const ZipMember& member : archive_->members()) {
    if (!IsImageName(member.name)) continue;
    const std::wstring sharp = DoubleResolutionName(member.name);
    if (archive_->Contains(sharp)) sharp_names.insert(ZipArchive::NormalizeName(sharp));
  }
  std::vector<ImagePrefetch::Job> jobs;
  std::set<std::wstring> queued;
  const auto add = [&](const std::wstring& file) {
    std::wstring chosen = file;
    int scale = 1;
    if (sharp_names.contains(ZipArchive::NormalizeName(file))) {
      if (dpi < kHighDpi) return;  // a variant only high-DPI windows draw
      scale = 2;
    } else if (dpi >= kHighDpi && sharp_names.contains(ZipArchive::NormalizeName(DoubleResolutionName(file)))) {
      chosen = DoubleResolutionName(file);
      scale = 2;
    }
    std::wstring key = ZipArchive::NormalizeName(chosen);
    if (!archive_->Contains(chosen) || images_.contains(key) || !queued.insert(key).second) return;
    jobs.push_back({std::move(key), std::move(chosen), scale});
  };
  for (const std::wstring& file : first) add(file);
  const size_t urgent = jobs.size();
  for (const std::wstring& file : next) add(file);
  for (const ZipMember& member : archive_->members()) {
    if (IsImageName(member.name)) add(member.name);
  }
  // The helper's own account of the bound: what it decodes may all be drawn.
  prefetch_.Start(std::move(jobs), urgent, [this, used = uint64_t{0}](const ImagePrefetch::Job& job) mutable {
    std::string bytes;
    if (archive_->Read(job.file, &bytes) != ZipError::kNone) return std::unique_ptr<DecodedImage>();
    std::unique_ptr<DecodedImage> image = Decode(bytes, job.file, std::nullopt, max_image_bytes_ - used);
    if (image) {
      image->scale = job.scale;
      used += DecodedBytes(image->width, image->height, static_cast<UINT>(image->frames.size()));
    }
    return image;
  });
}

std::wstring DoubleResolutionName(const std::wstring& file) {
  const size_t folder_end = file.find_last_of(L"/\\");
  const size_t dot = file.rfind(L'.');
  const bool has_extension = dot != std::wstring::npos && (folder_end == std::wstring::npos || dot > folder_end);
  std::wstring name = file;
  name.insert(has_extension ? dot : name.size(), L"@2x");
  return name;
}

void SkinResources::AddFont(int id, const FontDescription& font, bool is_default) {
  fonts_[id] = font;
  if (is_default || default_font_ < 0) default_font_ = id;
  for (auto it = font_cache_.begin(); it != font_cache_.end();) {
    it = it->first.first == id ? font_cache_.erase(it) : std::next(it);
  }
}

const FontDescription& SkinResources::FontInfo(int id) const {
  static const FontDescription fallback;
  auto found = fonts_.find(id);
  if (found == fonts_.end()) found = fonts_.find(default_font_);
  return found == fonts_.end() ? fallback : found->second;
}

HFONT SkinResources::Font(int id, int dpi) { return FontVariant(id, dpi, false, false, false); }

HFONT SkinResources::FontVariant(int id, int dpi, bool bold, bool italic, bool underline) {
  if (fonts_.find(id) == fonts_.end()) id = default_font_;
  auto key = std::make_pair(id, dpi * 8 + (bold ? 1 : 0) + (italic ? 2 : 0) + (underline ? 4 : 0));
  auto found = font_cache_.find(key);
  if (found != font_cache_.end()) return static_cast<HFONT>(found->second.Get());
  const FontDescription& info = FontInfo(id);
  LOGFONTW log_font{};
  log_font.lfHeight = -ScaleBy(info.size, dpi);
  log_font.lfWeight = info.bold || bold ? FW_BOLD : FW_NORMAL;
  log_font.lfItalic = info.italic || italic ? TRUE : FALSE;
  log_font.lfUnderline = info.underline || underline ? TRUE : FALSE;
  log_font.lfCharSet = DEFAULT_CHARSET;
  log_font.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynW(log_font.lfFaceName, info.face.c_str(), LF_FACESIZE);
  UniqueGdiObject font(::CreateFontIndirectW(&log_font));
  HFONT result = static_cast<HFONT>(font.Get());
  font_cache_.emplace(key, std::move(font));
  return result;
}

void SkinResources::SetDefaultAttributes(const std::wstring& class_name, const std::wstring& attributes) {
  defaults_[ZipArchive::NormalizeName(class_name)] = attributes;
}

const std::wstring* SkinResources::DefaultAttributes(const std::wstring& class_name) const {
  auto found = defaults_.find(ZipArchive::NormalizeName(class_name));
  return found == defaults_.end() ? nullptr : &found->second;
}

void SkinResources::AddNamedImage(const std::wstring& name, const std::wstring& description) {
  named_images_[name] = description;
}

const std::wstring* SkinResources::NamedImage(const std::wstring& name) const {
  auto found = named_images_.find(name);
  return found == named_images_.end() ? nullptr : &found->second;
}

void SkinResources::AddLanguageText(const std::wstring& id, const std::wstring& text) { language_[id] = text; }

std::wstring SkinResources::Translate(const std::wstring& text) const {
  if (language_.empty() || text.find(L"%[") == std::wstring::npos) return text;
  std::wstring result;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find(L"%[", pos);
    const size_t close = open == std::wstring::npos ? open : text.find(L']', open);
    if (close == std::wstring::npos) break;
    result.append(text, pos, open - pos);
    auto found = language_.find(text.substr(open + 2, close - open - 2));
    result += found == language_.end() ? text.substr(open, close - open + 1) : found->second;
    pos = close + 1;
  }
  result.append(text, std::min(pos, text.size()), std::wstring::npos);
  return result;
}

}  // namespace toolkit
