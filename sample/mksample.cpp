// mksample: builds the sample ROM image from a scene written in the game's
// text codes, so the converter can be tried without the real cartridge, and
// inserts the sample's translation into it, as the page does.
//
//   mksample scene.txt sample.sfc
//   mksample --insert sample.sfc squeezed.atlas.txt english.tbl patched.sfc
#include <cstdio>
#include <string>
#include <vector>

#include "file_io.h"
#include "insert.h"
#include "message.h"
#include "output_file.h"
#include "platform.h"
#include "scene.h"

namespace {

// The whole of the file path; false, said, if it cannot be read.
bool ReadAll(const char* path, std::string* bytes) {
  const char* why = nullptr;
  platform::FileInfo info;
  const file_io::File in(platform::OpenInput(path, &info, &why));
  std::size_t got = 0;
  bytes->resize(static_cast<std::size_t>(info.size));
  if (!in || !file_io::ReadUpTo(in.get(), bytes->data(), bytes->size(), &got)) {
    message::SayWhy(path, why);
    return false;
  }
  bytes->resize(got);
  return true;
}

bool WriteAll(const char* path, const std::vector<unsigned char>& bytes) {
  platform::WriteTarget target;
  return output_file::Resolve(path, {}, &target) &&
         output_file::Write(target, path, bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  message::SetProgram("mksample");
  if (argc == 6 && std::string(argv[1]) == "--insert") {
    std::string image, script, table;
    if (!ReadAll(argv[2], &image) || !ReadAll(argv[3], &script) ||
        !ReadAll(argv[4], &table))
      return 1;
    std::vector<unsigned char> patched(image.begin(), image.end());
    translate::Insertion report;
    // As Atlas: the bytes Atlas 1.12 makes, whatever the layout says.
    const bool ok =
        translate::InsertScript(script, table, {-1, true}, &patched, &report);
    for (const translate::Insertion::Problem& p : report.problems)
      message::Say(std::string(p.in_table ? argv[4] : argv[3]) + ":" +
                       std::to_string(p.line),
                   p.what);
    return ok && WriteAll(argv[5], patched) ? 0 : 1;
  }
  if (argc != 3) {
    message::Say("usage", "mksample scene.txt image.sfc");
    return 1;
  }
  std::string text;
  if (!ReadAll(argv[1], &text)) return 1;
  std::string scene;
  if (!sample::ParseScene(text, &scene, &text)) {
    message::Say(argv[1], text);
    return 1;
  }
  return WriteAll(argv[2], sample::ImageOf(scene)) ? 0 : 1;
}
