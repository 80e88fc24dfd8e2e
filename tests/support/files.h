// Files for tests: a fresh temporary directory per test, and small real
// PNG and BMP images.
#ifndef SHRINKDIR_TESTS_SUPPORT_FILES_H_
#define SHRINKDIR_TESTS_SUPPORT_FILES_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A new empty directory, removed with everything in it on destruction
// unless the test failed (then it is kept, and its path printed, to look at).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The directory as a prefix for shrinkdir: its path and a trailing separator.
  std::string Prefix() const;
  // The byte-string path of an entry of the directory.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Byte-string paths, so that names of any bytes survive.
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
std::uint64_t FileSize(const std::string& path);
bool Exists(const std::string& path);
void MakeDirectory(const std::string& path);
void CopyFile(const std::string& from, const std::string& to);
// Every name in the directory, in the order the system lists them.
std::vector<std::string> ListNames(const std::string& directory);

// A valid, poorly compressed (stored deflate) RGB PNG that the optimiser can
// shrink; `seed` varies the pixels.
std::string MakePng(unsigned width, unsigned height, unsigned seed);
// A valid 24-bit uncompressed BMP.
std::string MakeBmp(unsigned width, unsigned height, unsigned seed);

#endif  // SHRINKDIR_TESTS_SUPPORT_FILES_H_
