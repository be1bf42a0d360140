// vxpe: the PE header's checksum, which Windows checks for drivers and which
// release tools report as invalid when it is left at 0.
//
//   vxpe checksum <program.exe>          writes the checksum into the header
//   vxpe checksum --check <program.exe>  exit 0 only when the header's is right
//
// The checksum is the file's 16-bit words summed with end-around carry, the
// checksum field itself left out, plus the file's length (as imagehlp's
// CheckSumMappedFile computes it).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace {

uint32_t ReadLittleEndian32(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

// Where the optional header's CheckSum lies; empty when this is no PE file.
std::optional<size_t> ChecksumOffset(const std::string& bytes) {
  if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return std::nullopt;
  const size_t header = ReadLittleEndian32(bytes, 0x3C);
  // "PE\0\0", the 20-byte file header, then CheckSum at offset 64 of the
  // optional header (the same for PE32 and PE32+).
  const size_t offset = header + 4 + 20 + 64;
  if (offset + 4 > bytes.size() || bytes.compare(header, 4, std::string_view("PE\0\0", 4)) != 0) {
    return std::nullopt;
  }
  return offset;
}

uint32_t PeChecksum(const std::string& bytes, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t at = 0; at < bytes.size(); at += 2) {
    if (at == checksumOffset || at == checksumOffset + 2) continue;
    uint32_t word = static_cast<uint8_t>(bytes[at]);
    if (at + 1 < bytes.size()) {
      word |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
    }
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + bytes.size());
}

int Fail(const std::string& message) {
  std::cerr << "vxpe: " << message << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 4 && std::string_view(argv[2]) == "--check";
  if ((argc != 3 && !check) || std::string_view(argv[1]) != "checksum") {
    std::cerr << "usage: vxpe checksum [--check] <program.exe>\n";
    return 2;
  }
  const std::string path = argv[argc - 1];
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(path + ": cannot be read");
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::optional<size_t> offset = ChecksumOffset(bytes);
  if (!offset) return Fail(path + ": not a PE file");
  const uint32_t computed = PeChecksum(bytes, *offset);
  const uint32_t stored = ReadLittleEndian32(bytes, *offset);
  char line[64];
  if (check) {
    std::snprintf(line, sizeof(line), "checksum %08x, computed %08x", stored,
                  computed);
    std::cout << path << ": " << line << (stored == computed ? "" : ": wrong") << "\n";
    return stored == computed ? 0 : 1;
  }
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(*offset));
  for (int i = 0; i < 4; ++i) out.put(static_cast<char>(computed >> (8 * i)));
  if (!out) return Fail(path + ": cannot be written");
  std::snprintf(line, sizeof(line), "checksum %08x", computed);
  std::cout << path << ": " << line << "\n";
  return 0;
}
