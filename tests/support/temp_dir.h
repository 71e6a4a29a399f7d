// A temporary folder that is removed with everything in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "common/utf8_path.h"

namespace tarnwick::testing {

class TempDir {
 public:
  TempDir() {
    // A random name created exclusively (create_directory fails when it exists), on every platform.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const auto candidate =
          std::filesystem::temp_directory_path() / ("tarnwick-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
        return;
      }
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return Utf8FromPath(path_ / PathFromUtf8(name));
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace tarnwick::testing
