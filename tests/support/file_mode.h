// The permission bits of a path on POSIX, for tests of owner-only files.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

namespace tarnwick::testing {

// The mode of `path` itself (lstat: a link is not followed), permission bits only.
inline mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

}  // namespace tarnwick::testing
