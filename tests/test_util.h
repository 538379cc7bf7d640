// Helpers for tests that write files and run the built programs.
#ifndef ZOL_TESTS_TEST_UTIL_H
#define ZOL_TESTS_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace testing_util {

// Byte-exact comparison that stays fast and readable for long outputs: on a
// mismatch it names the first differing offset and shows a little of each.
testing::AssertionResult SameBytes(const std::string& actual,
                                   const std::string& expected);

// A fresh directory under TMPDIR, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
// Writes bytes at offset of path, creating it; the file is then truncated
// or extended (sparsely) to size.
void WriteSparse(const std::string& path, std::uint64_t offset,
                 const std::string& bytes, std::uint64_t size);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

struct RunResult {
  int status = -1;  // exit status, or -1 if the program did not exit
  std::string out;
  std::string err;
};

// Runs "program args" with the shell in dir, standard output and error
// captured into files (or stdout sent to redirect_out, e.g. /dev/full).
RunResult Run(const std::string& dir, const std::string& command,
              const std::string& redirect_out = "");

// Quotes s for the shell.
std::string Quote(const std::string& s);

}  // namespace testing_util

#endif  // ZOL_TESTS_TEST_UTIL_H
