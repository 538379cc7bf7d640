// msginsert: puts a translated Atlas script back into a copy of Zolvane's
// ROM image.
//
//   msginsert -o patched.sfc script.atlas.txt zol.sfc      the patched image
//   msginsert --bps zol-en.bps script.atlas.txt zol.sfc    a BPS patch
//   msginsert script.atlas.txt zol.sfc                     the report alone
//   msginsert --font 2bpp:0xC8000:0xCC000 --pairs english -o patched.sfc
//             script.atlas.txt zol.sfc     English in pairs, with its glyphs,
//                                          table and grids in english/
//
// Reads the script, the Thingy table its #ADDTBL names (or --table's) and
// the image; inserts with the inserter the page uses (translate/insert.h);
// says on standard error every line that was cut, padded or left short;
// and writes what was asked, never over an input.  Exit status: 0 when it
// was written (with nothing asked, when it would be), 1 when not.
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "arguments.h"
#include "file_io.h"
#include "message.h"
#include "options.h"
#include "output_file.h"
#include "pairs.h"
#include "platform.h"
#include "report.h"
#include "translate.h"

namespace {

// The separators of a path: '/', and '\\' where the system takes it too.
constexpr char kOwn = std::filesystem::path::preferred_separator;
constexpr char kSeparators[] = {'/', kOwn, '\0'};

// Where the file name in path starts: after its last separator, or at 0.
std::size_t NameAt(const std::string& path) {
  const std::size_t cut = path.find_last_of(kSeparators);
  return cut == std::string::npos ? 0 : cut + 1;
}

// The whole of the file path; false, said, if it cannot be read.
template <typename Bytes>
bool ReadAll(const std::string& path, Bytes* bytes) {
  const char* why = nullptr;
  platform::FileInfo info;
  const file_io::File in(platform::OpenInput(path.c_str(), &info, &why));
  std::size_t got = 0;
  if (in) bytes->resize(static_cast<std::size_t>(info.size));
  if (!in || !file_io::ReadUpTo(in.get(), bytes->data(), bytes->size(), &got)) {
    message::SayWhy(path, why);
    return false;
  }
  bytes->resize(got);
  return true;
}

// The table file the script's #ADDTBL lines name (whatever its line ends),
// relative to the script's folder; "" (said) if they name none, or more
// than one.
std::string TableOf(const std::string& script, const std::string& path) {
  std::string name;
  for (std::size_t at = 0; at < script.size();) {
    std::size_t end = script.find_first_of("\r\n", at);
    if (end == std::string::npos) end = script.size();
    const std::size_t first = script.find_first_not_of(" \t", at);
    if (first < end && script.compare(first, 8, "#ADDTBL(") == 0) {
      const std::size_t open = script.find('"', first);
      const std::size_t close =
          open < end ? script.find('"', open + 1) : std::string::npos;
      if (close < end) {
        const std::string named = script.substr(open + 1, close - open - 1);
        if (!name.empty() && named != name) {
          message::Say(path,
                       "its #ADDTBL lines name more than one table; "
                       "give the one to use with --table");
          return "";
        }
        name = named;
      }
    }
    at = end + 1;
  }
  if (name.empty()) {
    // (A UTF-16 script hides its #ADDTBL behind zero bytes.)
    message::Say(path, script.find('\0') != std::string::npos
                           ? "is not UTF-8 (UTF-16?): save it as UTF-8"
                           : "names no table (#ADDTBL); give one with --table");
    return "";
  }
  // Relative to the script's folder: its path up to its last separator
  // (unless it starts with one, or a drive's "C:" where '\\' is one).
  const bool absolute =
      std::string(kSeparators).find(name[0]) != std::string::npos ||
      (kOwn != '/' && name.size() > 1 && name[1] == ':');
  const std::size_t folder = NameAt(path);
  return absolute ? name : path.substr(0, folder) + name;
}

// Whether the paths a and b, neither of which names a file yet, name the
// same new file: one name in one folder (through any link).
bool SameNewFile(const std::string& a, const std::string& b) {
  const std::size_t name_a = NameAt(a);
  const std::size_t name_b = NameAt(b);
  if (a.compare(name_a, std::string::npos, b, name_b) != 0) return false;
  const std::string folder_a = name_a == 0 ? "." : a.substr(0, name_a);
  const std::string folder_b = name_b == 0 ? "." : b.substr(0, name_b);
  platform::FileInfo fa;
  platform::FileInfo fb;
  return platform::Stat(folder_a.c_str(), &fa) &&
         platform::Stat(folder_b.c_str(), &fb) && fa.Same(fb);
}

bool Run(const msginsert::Options& o, char** argv) {
  if (o.script == 0 || o.image == 0) {
    message::Say("command line",
                 "needs a script and an image; msginsert --help says more");
    return false;
  }
  const std::string script_path = platform::PathArgument(argv, o.script);
  const std::string image_path = platform::PathArgument(argv, o.image);
  std::string script;
  if (!ReadAll(script_path, &script)) return false;
  const std::string table_path = o.table != 0
                                     ? platform::PathArgument(argv, o.table)
                                     : TableOf(script, script_path);
  if (table_path.empty()) return false;
  font::Layout layout;
  if (o.font != 0) {
    font::LayoutError error;
    if (!font::ParseLayout(argv[o.font], &layout, &error)) {
      message::Say(argv[o.font],
                   message::Format("is no font layout (at character %zu); "
                                   "FORMAT:OFFSET[:KANJI], as "
                                   "2bpp:0xC8000:0xCC000",
                                   error.at + 1));
      return false;
    }
  }

  // Where the results go is settled before anything else is read.
  std::vector<output_file::Input> inputs = {
      {script_path, "the script being inserted"},
      {table_path, "the table being read"},
      {image_path, "the ROM image being read"}};
  platform::WriteTarget patched_target;
  platform::WriteTarget bps_target;
  std::string patched_path;
  std::string bps_path;
  // A new file two outputs would name is refused as an existing one is.
  std::vector<std::pair<std::string, const char*>> fresh;
  auto settle = [&](const std::string& path, const char* what,
                    platform::WriteTarget* target) {
    for (const auto& [earlier, its] : fresh)
      if (path == earlier || SameNewFile(path, earlier)) {
        message::Say(path, std::string("is ") + its + " too");
        return false;
      }
    if (!output_file::Resolve(path, inputs, target)) return false;
    if (target->Found() == nullptr) fresh.emplace_back(path, what);
    inputs.push_back({path, what});
    return true;
  };
  if (o.output != 0) {
    patched_path = platform::PathArgument(argv, o.output);
    if (!settle(patched_path, "the patched image being written",
                &patched_target))
      return false;
  }
  if (o.bps != 0) {
    bps_path = platform::PathArgument(argv, o.bps);
    if (!settle(bps_path, "the BPS patch being written", &bps_target))
      return false;
  }
  // With --pairs: the insertion table and the grids, in DIR.
  constexpr const char* kPairFiles[] = {"english.tbl", "zol_00.txt",
                                        "zol_01.txt"};
  platform::WriteTarget pair_targets[3];
  std::string pair_paths[3];
  if (o.pairs != 0) {
    std::string dir = platform::PathArgument(argv, o.pairs);
    if (!dir.empty() && NameAt(dir) != dir.size()) dir += '/';
    const char* const whats[] = {"the insertion table being written",
                                 "a grid being written",
                                 "a grid being written"};
    for (int k = 0; k < 3; ++k) {
      pair_paths[k] = dir + kPairFiles[k];
      if (!settle(pair_paths[k], whats[k], &pair_targets[k])) return false;
    }
  }

  std::string table;
  std::vector<unsigned char> original;
  std::vector<unsigned char> patched;
  if (!ReadAll(table_path, &table) || !ReadAll(image_path, &original))
    return false;
  const translate::InsertOptions options{o.fill, o.as_atlas};
  msginsert::Names names{script_path, table_path};
  translate::Fit pairs;
  bool went_in = false;
  if (o.pairs != 0) {
    pairs = translate::MakeFit(script, table, original, layout, options);
    msginsert::SayPairs(pairs, script_path);
    if (!pairs.original_table) names.table = pair_paths[0];
    went_in = msginsert::SayInsertion(pairs.insertion, pairs.inserted, names) &&
              msginsert::SayDrawn(pairs, layout, image_path, original.size());
    patched = std::move(pairs.patched);
  } else {
    went_in = msginsert::InsertAndReport(script, table, options, names,
                                         original, &patched);
  }
  if (!went_in) {
    message::Say(script_path, "nothing written");
    return false;
  }
  // Grids a translator made by hand are not written over.
  for (int k = 1; o.pairs != 0 && k < 3; ++k) {
    std::string old;
    if (pair_targets[k].Found() == nullptr) continue;
    if (!ReadAll(pair_paths[k], &old)) return false;
    const int lost = translate::LostCell(old, pairs.grid[k - 1]);
    if (lost >= 0) {
      message::Say(pair_paths[k],
                   message::Format("holds work this run would lose (line "
                                   "%d, cell %X); give --pairs another folder",
                                   lost / 16 + 1, lost % 16));
      return false;
    }
  }
  if (o.output == 0 && o.bps == 0 && o.pairs == 0) {
    message::Say(script_path,
                 "goes in; nothing written (no -o PATCHED or --bps PATCH)");
    return true;
  }
  // The image and the patch first, then the files that go with them; after
  // a failure, nothing more (what was written before it stays).
  std::vector<unsigned char> patch;
  if (o.bps != 0) patch = translate::MakeBps(original, patched);
  const bool done =
      (o.output == 0 || output_file::Write(patched_target, patched_path,
                                           patched.data(), patched.size())) &&
      (o.bps == 0 ||
       output_file::Write(bps_target, bps_path, patch.data(), patch.size()));
  if (!done) return false;
  for (int k = 0; o.pairs != 0 && k < 3; ++k) {
    const std::string& text = k == 0 ? pairs.table : pairs.grid[k - 1];
    if (!output_file::Write(pair_targets[k], pair_paths[k], text.data(),
                            text.size()))
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  return arguments::Main("msginsert", msginsert::kUsage, argc, argv,
                         msginsert::ParseOptions,
                         [](const msginsert::Options& o, char** args) {
                           return message::Finish(Run(o, args));
                         });
}
