// An inserter as translation tools run one, to check that an Atlas script
// and its Thingy table give back the bytes they came from.  It takes the
// longest table text that matches, reads <$XX> as the raw byte XX, ignores
// line breaks and "//" lines, and runs "#" lines as commands (of which only
// #JMP, which says where the bytes go, matters here).
#ifndef ZOL_TESTS_ATLAS_INSERT_H
#define ZOL_TESTS_ATLAS_INSERT_H

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace atlas_insert {

struct Inserted {
  std::uint64_t first = 0, last = 0;  // #JMP's bounds, inclusive
  std::string bytes;                  // what the script inserts
};

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (const char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

inline bool HexByte(const std::string& s, std::size_t at, char* byte) {
  if (at + 2 > s.size() || !std::isxdigit(static_cast<unsigned char>(s[at])) ||
      !std::isxdigit(static_cast<unsigned char>(s[at + 1])))
    return false;
  *byte = static_cast<char>(std::stoi(s.substr(at, 2), nullptr, 16));
  return true;
}

// Inserts script with thingy into *out; false, with *why, if it cannot.
inline bool Insert(const std::string& script, const std::string& thingy,
                   Inserted* out, std::string* why) {
  std::map<std::string, std::string> table;  // text -> bytes
  std::size_t longest = 0;
  for (const std::string& line : Lines(thingy)) {
    const std::size_t eq = line.find('=');
    std::string bytes;
    char b = 0;
    for (std::size_t i = 0; eq != std::string::npos && i < eq; i += 2)
      if (HexByte(line, i, &b)) bytes += b;
    const std::string text = eq == std::string::npos ? "" : line.substr(eq + 1);
    if (bytes.size() * 2 != eq || text.empty() || table.count(text) != 0) {
      *why = "bad or repeated table line: " + line;
      return false;
    }
    table[text] = bytes;
    if (text.size() > longest) longest = text.size();
  }
  for (const std::string& line : Lines(script)) {
    if (line.rfind("//", 0) == 0) continue;
    if (line.rfind("#", 0) == 0) {
      unsigned long long first = 0, last = 0;
      if (std::sscanf(line.c_str(), "#JMP($%llx, $%llx)", &first, &last) == 2) {
        out->first = first;
        out->last = last;
      }
      continue;
    }
    for (std::size_t i = 0; i < line.size();) {
      char raw = 0;
      if (line.compare(i, 2, "<$") == 0 && HexByte(line, i + 2, &raw) &&
          i + 4 < line.size() && line[i + 4] == '>') {
        out->bytes += raw;
        i += 5;
        continue;
      }
      std::size_t n = longest < line.size() - i ? longest : line.size() - i;
      for (; n > 0 && table.count(line.substr(i, n)) == 0; --n) {
      }
      if (n == 0) {
        *why = "no table text matches at: " + line.substr(i);
        return false;
      }
      out->bytes += table[line.substr(i, n)];
      i += n;
    }
  }
  return true;
}

}  // namespace atlas_insert

#endif  // ZOL_TESTS_ATLAS_INSERT_H
