#include "test_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_util {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ =
      std::string(base && *base ? base : "/tmp") + "/zoltest.XXXXXX";
  if (mkdtemp(templ.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

void WriteSparse(const std::string& path, std::uint64_t offset,
                 const std::string& bytes, std::uint64_t size) {
  std::FILE* f = std::fopen(path.c_str(), Exists(path) ? "r+b" : "w+b");
  if (f == nullptr) throw std::runtime_error("cannot open " + path);
  std::fseek(f, static_cast<long>(offset), SEEK_SET);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  std::filesystem::resize_file(path, size);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f),
                     std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

testing::AssertionResult SameBytes(const std::string& actual,
                                   const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
    ++i;
  const std::size_t from = i < 16 ? 0 : i - 16;
  return testing::AssertionFailure()
         << "sizes " << actual.size() << " and " << expected.size()
         << ", first difference at byte " << i
         << "\n  actual:   " << testing::PrintToString(actual.substr(from, 48))
         << "\n  expected: "
         << testing::PrintToString(expected.substr(from, 48));
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

RunResult Run(const std::string& dir, const std::string& command,
              const std::string& redirect_out) {
  TempDir capture;
  const std::string out = capture / "out";
  const std::string err = capture / "err";
  const std::string line = "cd " + Quote(dir) + " && " + command + " >" +
                           Quote(redirect_out.empty() ? out : redirect_out) +
                           " 2>" + Quote(err) + " </dev/null";
  // bash for process substitution in the pipe tests.
  const std::string shell = "bash -c " + Quote(line);
  const int raw = std::system(shell.c_str());
  RunResult r;
  if (raw != -1 && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

}  // namespace testing_util
