#include "test_util.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testing_util {

TempDir::TempDir() {
  // A name no other test holds: create_directory fails on an existing one.
  std::random_device seed;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto name = base / ("zoltest." + std::to_string(seed()));
    if (std::filesystem::create_directory(name)) {
      path_ = name.string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory");
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

namespace {

bool WordByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

// Whether fact is in text as a whole word: no letter or digit against it.
bool HoldsWord(const std::string& text, const std::string& fact) {
  for (std::size_t at = text.find(fact); at != std::string::npos;
       at = text.find(fact, at + 1)) {
    const std::size_t end = at + fact.size();
    if ((at == 0 || !WordByte(text[at - 1]) || !WordByte(fact.front())) &&
        (end == text.size() || !WordByte(text[end]) || !WordByte(fact.back())))
      return true;
  }
  return false;
}

}  // namespace

testing::AssertionResult Says(const std::string& err,
                              const std::string& program,
                              const std::vector<Said>& said) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < err.size();) {
    std::size_t end = err.find('\n', at);
    if (end == std::string::npos) end = err.size();
    std::string line = err.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  if (lines.size() != said.size())
    return testing::AssertionFailure()
           << lines.size() << " lines, not " << said.size() << ":\n"
           << err;
  for (std::size_t i = 0; i < said.size(); ++i) {
    const std::string head = program + ": " + said[i].subject + ": ";
    if (lines[i].rfind(head, 0) != 0)
      return testing::AssertionFailure()
             << "line " << i + 1 << " is not about \"" << said[i].subject
             << "\": " << lines[i];
    for (const std::string& fact : said[i].facts)
      if (!HoldsWord(lines[i].substr(head.size()), fact))
        return testing::AssertionFailure()
               << "line " << i + 1 << " lacks \"" << fact << "\": " << lines[i];
  }
  return testing::AssertionSuccess();
}

std::string Command(const std::string& err, const std::string& start) {
  const std::size_t from = err.find(start);
  if (from == std::string::npos) return "";
  char quote = 0;  // the quote the scan is inside, or 0
  std::size_t at = from;
  for (; at < err.size(); ++at) {
    const char c = err[at];
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else if (c == '\\' && quote == '"')
        ++at;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '\\') {
      ++at;
    } else if (c == ',' || c == '\n' || c == '\r') {
      break;
    }
  }
  return err.substr(from, at - from);
}

std::vector<std::string> Glob(const std::string& dir,
                              const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

}  // namespace testing_util
