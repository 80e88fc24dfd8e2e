#include "support/files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/platform.h"

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("shrinkdir-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  if (test != nullptr && test->result()->Failed()) {
    std::cerr << "kept for inspection: " << path_.string() << std::endl;
    return;
  }
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::Prefix() const { return File(""); }

std::string TempDir::File(const std::string& name) const {
  std::string prefix = path_.string();
  prefix += static_cast<char>(fs::path::preferred_separator);
  return prefix + name;
}

void WriteFile(const std::string& path, const std::string& data) {
  // Narrow paths throughout: bytes on POSIX, the ANSI code page on Windows,
  // exactly as the program under test sees them.
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint64_t FileSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot open " + path);
  return static_cast<std::uint64_t>(static_cast<std::streamoff>(in.tellg()));
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::is_directory(fs::path(path), ignored) || std::ifstream(path).is_open();
}

void MakeDirectory(const std::string& path) { fs::create_directories(fs::path(path)); }

void CopyFile(const std::string& from, const std::string& to) { WriteFile(to, ReadFile(from)); }

std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  platform::DirectorySearch search(directory + "*");
  for (std::string name; search.Next(&name);) {
    if (name != "." && name != "..") names.push_back(name);
  }
  return names;
}

namespace {

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : data) {
    crc ^= static_cast<unsigned char>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::string& data) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char c : data) {
    a = (a + static_cast<unsigned char>(c)) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::string* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

void PutLittleEndian(std::string* out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

void PutChunk(std::string* png, const char* type, const std::string& data) {
  PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  *png += typed;
  PutBigEndian(png, Crc32(typed));
}

// Smooth gradients with a little noise: compressible, but not trivially.
unsigned char Pixel(unsigned x, unsigned y, unsigned channel, unsigned seed) {
  return static_cast<unsigned char>((x * (channel + 1) + y * (seed % 7 + 1) + seed * 31 +
                                     ((x * 131 + y * 71 + seed) % 3)) & 0xFF);
}

}  // namespace

std::string MakePng(unsigned width, unsigned height, unsigned seed) {
  std::string raw;
  for (unsigned y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter type: none
    for (unsigned x = 0; x < width; ++x) {
      for (unsigned c = 0; c < 3; ++c) raw.push_back(static_cast<char>(Pixel(x, y, c, seed)));
    }
  }
  // zlib stream of stored (uncompressed) deflate blocks.
  std::string zlib = "\x78\x01";
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    const bool last = at + length >= raw.size();
    zlib.push_back(last ? '\x01' : '\x00');
    PutLittleEndian(&zlib, static_cast<std::uint32_t>(length), 2);
    PutLittleEndian(&zlib, static_cast<std::uint32_t>(~length & 0xFFFF), 2);
    zlib += raw.substr(at, length);
    if (last) break;
  }
  PutBigEndian(&zlib, Adler32(raw));

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  PutBigEndian(&header, width);
  PutBigEndian(&header, height);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", zlib);
  PutChunk(&png, "IEND", "");
  return png;
}

std::string MakeBmp(unsigned width, unsigned height, unsigned seed) {
  const unsigned row = (width * 3 + 3) & ~3u;
  const std::uint32_t pixels = row * height;
  std::string bmp = "BM";
  PutLittleEndian(&bmp, 54 + pixels, 4);
  PutLittleEndian(&bmp, 0, 4);
  PutLittleEndian(&bmp, 54, 4);
  PutLittleEndian(&bmp, 40, 4);  // BITMAPINFOHEADER
  PutLittleEndian(&bmp, width, 4);
  PutLittleEndian(&bmp, height, 4);
  PutLittleEndian(&bmp, 1, 2);
  PutLittleEndian(&bmp, 24, 2);
  PutLittleEndian(&bmp, 0, 4);  // no compression
  PutLittleEndian(&bmp, pixels, 4);
  PutLittleEndian(&bmp, 2835, 4);
  PutLittleEndian(&bmp, 2835, 4);
  PutLittleEndian(&bmp, 0, 4);
  PutLittleEndian(&bmp, 0, 4);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) {
      for (unsigned c = 0; c < 3; ++c) bmp.push_back(static_cast<char>(Pixel(x, y, c, seed)));
    }
    bmp.append(row - width * 3, '\0');
  }
  return bmp;
}
