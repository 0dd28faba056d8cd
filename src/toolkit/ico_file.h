// Icons read from .ico files (a window's icon in the skin archive).
#pragma once

#include <string>

#include "toolkit/gdi_owners.h"

namespace toolkit {

// The image of the .ico file `bytes` nearest to `size` pixels square, or
// none when the bytes hold no usable icon.
[[nodiscard]] UniqueIcon IconFromIcoBytes(const std::string& bytes, int size);

}  // namespace toolkit
