// The sample's scene read, and its image made.
#include "scene.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "window.h"

namespace sample {

bool ParseScene(const std::string& text, std::string* bytes, std::string* why) {
  int line = 1;
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c == '#') {
      while (at < text.size() && text[at] != '\n') ++at;
    } else if (c == '\n' || std::isspace(c) != 0) {
      line += c == '\n' ? 1 : 0;
      ++at;
    } else {
      std::size_t end = at;
      while (end < text.size() &&
             std::isspace(static_cast<unsigned char>(text[end])) == 0 &&
             text[end] != '#')
        ++end;
      const std::string token = text.substr(at, end - at);
      if (token.size() != 2 ||
          std::isxdigit(static_cast<unsigned char>(token[0])) == 0 ||
          std::isxdigit(static_cast<unsigned char>(token[1])) == 0) {
        *why = "line " + std::to_string(line) + ": '" + token +
               "' is not a two-digit hex byte";
        return false;
      }
      *bytes += static_cast<char>(std::strtoul(token.c_str(), nullptr, 16));
      at = end;
    }
  }
  return true;
}

std::vector<unsigned char> ImageOf(const std::string& scene) {
  constexpr std::size_t kSize = 3 << 20;
  constexpr unsigned char kPadding = 0x08;
  std::vector<unsigned char> image(kSize, 0);
  const std::size_t start = decoder::kWindowStart;
  const std::size_t end = decoder::kWindowEnd;
  std::fill(image.begin() + start, image.begin() + end + 1, kPadding);
  std::copy_n(scene.begin(), std::min(scene.size(), end + 1 - start),
              image.begin() + start);
  return image;
}

}  // namespace sample
