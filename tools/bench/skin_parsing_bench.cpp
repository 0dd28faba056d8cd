// Parsing cost of hostile skin shapes, built natively (see skin_parsing.sh):
// one tag with very many attributes, and a zip with very many members. Each
// figure is compared with the same shape a tenth the size, measured in the
// same run: a cost per item near 1x the smaller one's means linear time.
// Times are the process's CPU time, so a busy machine does not inflate them.
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "../../tests/toolkit/zip_builder.h"
#include "toolkit/xml_reader.h"
#include "toolkit/zip_archive.h"

namespace {

double Milliseconds(const std::function<void()>& work) {
  const std::clock_t start = std::clock();
  work();
  return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

std::string TagWithAttributes(size_t count) {
  std::string xml = "<Window";
  for (size_t i = 0; i < count; ++i) xml += " a" + std::to_string(i) + "=\"value\"";
  return xml + "/>";
}

double ParseTag(size_t count) {
  const std::string xml = TagWithAttributes(count);
  bool parsed = false;
  const double ms = Milliseconds([&] { parsed = toolkit::ParseXml(xml).root != nullptr; });
  if (!parsed) std::printf("  (the tag with %zu attributes was refused)\n", count);
  return ms;
}

struct ZipFigures {
  double open_ms, read_ms;
};

ZipFigures OpenAndReadAll(size_t count) {
  std::vector<toolkit_test::ZipBuildMember> members;
  members.reserve(count);
  for (size_t i = 0; i < count; ++i) members.push_back({"skin/m" + std::to_string(i) + ".xml", "<a/>", false});
  const std::string bytes = toolkit_test::BuildZip(members);
  toolkit::ZipArchive zip;
  bool opened = false;
  ZipFigures figures{};
  figures.open_ms = Milliseconds([&] { opened = zip.Open(bytes) == toolkit::ZipError::kNone; });
  size_t read = 0;
  figures.read_ms = Milliseconds([&] {
    std::string out;
    for (size_t i = 0; i < count; ++i)
      read += zip.Read(L"Skin/M" + std::to_wstring(i) + L".XML", &out) == toolkit::ZipError::kNone;
  });
  if (!opened || read != count) std::printf("  (%zu members: opened %d, read %zu)\n", count, opened, read);
  return figures;
}

}  // namespace

int main() {
  const double small_tag = ParseTag(20000);
  const double big_tag = ParseTag(200000);
  std::printf("xml: one tag with 200000 attributes parsed in %.0f ms CPU; per attribute %.1fx the cost at 20000\n",
              big_tag, big_tag / small_tag / 10);
  const ZipFigures small_zip = OpenAndReadAll(6553);
  const ZipFigures big_zip = OpenAndReadAll(65534);
  std::printf(
      "zip: 65534 members opened in %.0f ms CPU, all read in %.0f ms; per member %.1fx and %.1fx the cost at 6553\n",
      big_zip.open_ms, big_zip.read_ms, big_zip.open_ms / small_zip.open_ms / 10,
      big_zip.read_ms / small_zip.read_ms / 10);
  return 0;
}
