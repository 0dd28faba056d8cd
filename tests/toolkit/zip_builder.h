// Builds zip archives in memory for the reader's tests, including damaged
// ones: each member's stored sizes, method and flags can be overridden.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace toolkit_test {

struct ZipBuildMember {
  std::string name;
  std::string data;
  bool deflate = true;
  bool data_descriptor = false;        // sizes in a trailing descriptor, zero in the local header
  int64_t declared_size = -1;          // overrides the uncompressed size in the directory
  int64_t declared_local_offset = -1;  // overrides the directory's pointer to the local header
  uint16_t flags = 0;
  uint16_t method_override = 0xFFFF;
  bool corrupt_crc = false;
};

inline void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline std::string RawDeflate(const std::string& data) {
  z_stream s{};
  deflateInit2(&s, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, static_cast<uLong>(data.size())) + 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

inline std::string BuildZip(const std::vector<ZipBuildMember>& members) {
  std::string file, directory;
  for (const ZipBuildMember& m : members) {
    const std::string packed = m.deflate ? RawDeflate(m.data) : m.data;
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size())));
    if (m.corrupt_crc) crc ^= 0x1234;
    const uint16_t method = m.method_override != 0xFFFF ? m.method_override : (m.deflate ? 8 : 0);
    const uint16_t flags = static_cast<uint16_t>(m.flags | (m.data_descriptor ? 0x8 : 0));
    const uint32_t size =
        m.declared_size >= 0 ? static_cast<uint32_t>(m.declared_size) : static_cast<uint32_t>(m.data.size());
    const uint32_t offset = m.declared_local_offset >= 0 ? static_cast<uint32_t>(m.declared_local_offset)
                                                         : static_cast<uint32_t>(file.size());
    Put32(file, 0x04034b50);
    Put16(file, 20);
    Put16(file, flags);
    Put16(file, method);
    Put16(file, 0);
    Put16(file, 0x21);
    Put32(file, m.data_descriptor ? 0 : crc);
    Put32(file, m.data_descriptor ? 0 : static_cast<uint32_t>(packed.size()));
    Put32(file, m.data_descriptor ? 0 : size);
    Put16(file, static_cast<uint32_t>(m.name.size()));
    Put16(file, 0);
    file += m.name;
    file += packed;
    if (m.data_descriptor) {
      Put32(file, 0x08074b50);
      Put32(file, crc);
      Put32(file, static_cast<uint32_t>(packed.size()));
      Put32(file, size);
    }
    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, flags);
    Put16(directory, method);
    Put16(directory, 0);
    Put16(directory, 0x21);
    Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(packed.size()));
    Put32(directory, size);
    Put16(directory, static_cast<uint32_t>(m.name.size()));
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0);
    Put32(directory, offset);
    directory += m.name;
  }
  const uint32_t directory_at = static_cast<uint32_t>(file.size());
  file += directory;
  Put32(file, 0x06054b50);
  Put16(file, 0);
  Put16(file, 0);
  Put16(file, static_cast<uint32_t>(members.size()));
  Put16(file, static_cast<uint32_t>(members.size()));
  Put32(file, static_cast<uint32_t>(directory.size()));
  Put32(file, directory_at);
  Put16(file, 0);
  return file;
}

}  // namespace toolkit_test
