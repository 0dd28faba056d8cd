// libFuzzer entry for the skin archive reader, built natively with clang from
// the same source file as the product (scripts/fuzz.sh zip): any bytes are
// opened as an archive and every member is read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "toolkit/zip_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  toolkit::ZipArchive zip;
  if (zip.Open(std::string(reinterpret_cast<const char*>(data), size)) != toolkit::ZipError::kNone) return 0;
  std::string out;
  for (const toolkit::ZipMember& member : zip.members()) {
    (void)zip.Read(member.name, &out);  // refusals are answers too; only crashes and hangs count
    (void)zip.Contains(member.name);
  }
  return 0;
}
