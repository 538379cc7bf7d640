// mksample: builds a sample ROM image from a scene written in the game's
// text codes, so the converter can be tried without the real cartridge.
//
//   mksample scene.txt sample.sfc
//
// The scene is hexadecimal bytes separated by blanks, '#' starting a
// comment.  The image is sparse: nothing but a hole before the text window,
// the scene's bytes from the window's first offset, and its end right after
// them, so a dump of it closes with "[EOF]".
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "file_io.h"
#include "message.h"
#include "window.h"

namespace {

constexpr char kProgram[] = "mksample";

// Parses the scene's bytes; on a bad token says where and returns false.
bool ParseScene(const char* name, std::FILE* in, std::string* bytes) {
  int line = 1;
  int c = std::fgetc(in);
  while (c != EOF) {
    if (c == '#') {
      while (c != EOF && c != '\n') c = std::fgetc(in);
    } else if (c == '\n') {
      ++line;
      c = std::fgetc(in);
    } else if (std::isspace(c)) {
      c = std::fgetc(in);
    } else {
      std::string token;
      while (c != EOF && !std::isspace(c) && c != '#') {
        token += static_cast<char>(c);
        c = std::fgetc(in);
      }
      const auto hex = [](char h) {
        return std::isxdigit(static_cast<unsigned char>(h)) != 0;
      };
      if (token.size() != 2 || !hex(token[0]) || !hex(token[1])) {
        message::Say(std::string(name) + ":" + std::to_string(line),
                     "'" + token + "' is not a two-digit hex byte");
        return false;
      }
      *bytes += static_cast<char>(std::strtoul(token.c_str(), nullptr, 16));
    }
  }
  if (std::ferror(in)) {
    message::SayErrno(name, errno != 0 ? errno : EIO);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  message::SetProgram(kProgram);
  if (argc != 3) {
    message::Say("usage", "mksample scene.txt image.sfc");
    return 1;
  }
  std::string scene;
  {
    file_io::File in = file_io::Open(argv[1], "rb");
    if (!in) {
      message::SayErrno(argv[1], errno);
      return 1;
    }
    if (!ParseScene(argv[1], in.get(), &scene)) return 1;
  }
  file_io::File out = file_io::Open(argv[2], "wb");
  if (!out) {
    message::SayErrno(argv[2], errno);
    return 1;
  }
  // Seeking past the end of a new file leaves a hole: the image takes
  // almost no disk space although it is over 3 MB long.
  if (std::fseek(out.get(), static_cast<long>(msgdump::kWindowStart),
                 SEEK_SET) != 0 ||
      !file_io::WriteAll(out.get(), scene.data(), scene.size()) ||
      !file_io::CloseWritten(out)) {
    message::SayErrno(argv[2], errno);
    return 1;
  }
  return 0;
}
