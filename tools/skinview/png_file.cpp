#include "png_file.h"

#include <zlib.h>

#include <cstdint>

#include "platform/unique_resource.h"
#include "platform/windows_api.h"

namespace {

void AppendBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void AppendChunk(std::string& out, const char (&type)[5], const std::string& data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.append(type, 4);
  out += data;
  const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
  AppendBigEndian(out, static_cast<uint32_t>(::crc32(0, bytes, static_cast<uInt>(out.size() - start))));
}

}  // namespace

std::string EncodePng(const toolkit::RenderedImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
    return {};
  }
  // Each row: filter byte 0, then R, G, B.
  std::string raw;
  raw.reserve(static_cast<size_t>(image.height) * (1 + static_cast<size_t>(image.width) * 3));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back('\0');
    for (int x = 0; x < image.width; ++x) {
      const uint32_t pixel = image.At(x, y);
      raw.push_back(static_cast<char>((pixel >> 16) & 0xFF));
      raw.push_back(static_cast<char>((pixel >> 8) & 0xFF));
      raw.push_back(static_cast<char>(pixel & 0xFF));
    }
  }
  uLongf packed_size = ::compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  if (::compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packed_size);

  std::string header;
  AppendBigEndian(header, static_cast<uint32_t>(image.width));
  AppendBigEndian(header, static_cast<uint32_t>(image.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter choice, no interlace
  std::string png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", packed);
  AppendChunk(png, "IEND", std::string());
  return png;
}

bool WritePngFile(const std::wstring& path, const toolkit::RenderedImage& image) {
  const std::string png = EncodePng(image);
  if (png.empty() || png.size() > MAXDWORD) return false;
  platform::UniqueHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  DWORD written = 0;
  if (::WriteFile(file.Get(), png.data(), static_cast<DWORD>(png.size()), &written, nullptr) != FALSE &&
      written == png.size()) {
    return true;
  }
  file.Reset();
  (void)::DeleteFileW(path.c_str());  // a cut PNG would only mislead; the failure is reported
  return false;
}
