// Builds a control tree from a window description in a skin archive: the
// root <Window> with its window attributes, <Font>, <Image>, <Default>,
// <Include> and <MultiLanguage>, then nested controls. Unknown classes and
// attributes are logged once and skipped; a description that cannot be read
// is an error naming the file and line.
#pragma once

#include <memory>
#include <string>

#include "toolkit/control.h"
#include "toolkit/skin_resources.h"

namespace toolkit {

class ZipArchive;

struct WindowDescription {
  std::unique_ptr<Control> root;
  std::shared_ptr<SkinResources> resources;
  Size size{400, 300};  // client size, 96-DPI units
  Size min_size;
  Size max_size;
  Edges caption;  // caption area: top rows of the client (bottom = height)
  Edges size_box;
  std::wstring title;
  int round_corner = 0;
  size_t control_count = 0;
};

struct DescriptionResult {
  std::unique_ptr<WindowDescription> description;  // null on error
  std::wstring error;
};

struct BuildLimits {
  size_t max_controls = 20000;
  int max_include_depth = 8;
  // Includes repeat (count="100") and nest: without a total, a few small
  // files would make the window read and parse files exponentially often.
  size_t max_included_files = 256;
  size_t max_parsed_bytes = 32u << 20;  // the description and all its includes
  // Decoded pixels (frames x width x height x 4) of all the window's images.
  uint64_t max_image_bytes = SkinResources::kMaxImageBytes;
};

[[nodiscard]] DescriptionResult BuildWindowDescription(std::shared_ptr<const ZipArchive> archive,
                                                       const std::wstring& file_name, const BuildLimits& limits = {});

}  // namespace toolkit
