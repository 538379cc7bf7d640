// The inserter: an Atlas script into an image, as Atlas 1.12 puts it.
#include "insert.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace translate {

namespace {

using Problems = std::vector<Insertion::Problem>;

void Add(Problems* problems, int line, std::string what,
         bool in_table = false) {
  problems->push_back({line, in_table, std::move(what)});
}

// The lines of a text file as Atlas reads them: split at LF, a CR before
// the LF dropped, a UTF-8 byte order mark skipped.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (at <= text.size()) {
    std::size_t lf = text.find('\n', at);
    if (lf == std::string::npos) lf = text.size();
    std::size_t end = lf;
    if (end > at && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(at, end - at));
    at = lf + 1;
  }
  return lines;
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ||
         (c >= 'a' && c <= 'f');
}

std::string Hex2(unsigned v, const char* format) {
  char s[8];
  std::snprintf(s, sizeof s, format, v);
  return s;
}

// A table as Atlas holds one: every text with its bytes (the first line of
// a text wins, and the raw tokens come first), and the longest text that
// starts with each byte.
struct Table {
  std::map<std::string, std::string> bytes;
  std::size_t longest[256] = {};

  void Put(const std::string& text, const std::string& value) {
    bytes.emplace(text, value);
    std::size_t& n = longest[static_cast<unsigned char>(text[0])];
    if (text.size() > n) n = text.size();
  }
};

// The raw tokens: <$XX> and ($XX) for every byte.  Atlas takes lower case
// only where a byte's last digit is a letter (<$1b>, <$ff>, not <$a0>), and
// in parentheses only for a last digit a (($0a), ($fa)).
void PutRawTokens(Table* t) {
  for (unsigned v = 0; v < 256; ++v) {
    const std::string b(1, static_cast<char>(v));
    t->Put("<$" + Hex2(v, "%02X") + ">", b);
    t->Put("($" + Hex2(v, "%02X") + ")", b);
    if ((v & 0x0F) >= 0x0A) t->Put("<$" + Hex2(v, "%02x") + ">", b);
    if ((v & 0x0F) == 0x0A) t->Put("($" + Hex2(v, "%02x") + ")", b);
  }
}

// Reads a Thingy table: HEX=text lines (and *HEX=text, an end-of-line
// entry); blank lines and bookmarks ( [ { $ ! @ are skipped.
bool ReadTable(const std::string& text, Table* t, Problems* problems) {
  static const Table raw = [] {
    Table r;
    PutRawTokens(&r);
    return r;
  }();
  *t = raw;
  const std::size_t before = problems->size();
  int number = 0;
  for (const std::string& raw : Lines(text)) {
    ++number;
    if (raw.empty() || std::string("([{$!@").find(raw[0]) != std::string::npos)
      continue;
    const std::string line = raw[0] == '*' ? raw.substr(1) : raw;
    std::size_t digits = 0;
    while (digits < line.size() && IsHex(line[digits])) ++digits;
    const std::size_t eq = line.find('=');
    if (raw[0] == '/') {
      Add(problems, number, "end tokens (/...) are not taken here", true);
    } else if (digits == 0 && raw[0] != '*') {
      Add(problems, number, "not a HEX=text line", true);
    } else if (digits % 2 != 0 || eq == std::string::npos ||
               eq + 1 == line.size()) {
      Add(problems, number,
          digits % 2 != 0 ? "an odd number of hex digits"
                          : "no text after HEX=",
          true);
    } else {
      std::string value;
      for (std::size_t k = 0; k < digits; k += 2)
        value += static_cast<char>(
            std::strtoul(line.substr(k, 2).c_str(), nullptr, 16));
      t->Put(line.substr(eq + 1), value);
    }
  }
  return problems->size() == before;
}

// Encodes text by the longest match at each byte; false, with *bad where
// nothing matches.
bool Encode(const Table& t, const std::string& text, std::string* out,
            std::size_t* bad) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t n = t.longest[static_cast<unsigned char>(text[at])];
    for (; n > 0; --n) {
      const auto it = t.bytes.find(text.substr(at, n));
      if (it == t.bytes.end()) continue;
      *out += it->second;
      at += n;
      break;
    }
    if (n == 0) {
      *bad = at;
      return false;
    }
  }
  return true;
}

// A command's parameter, typed as Atlas types it.
struct Param {
  enum Type { kInvalid, kVoid, kString, kVariable, kNumber, kDouble } type;
  std::string value;
};

Param::Type TypeOf(std::string* v) {
  const std::string& s = *v;
  if (s.empty()) return Param::kVoid;
  if (s[0] == '$')
    return s.find_first_not_of("0123456789ABCDEF", 1) == std::string::npos
               ? Param::kNumber
               : Param::kInvalid;  // lower-case hex is no number to Atlas
  if (s.find_first_not_of("0123456789") == std::string::npos)
    return Param::kNumber;
  if (s.find_first_not_of("0123456789.") == std::string::npos)
    return Param::kDouble;
  // (Atlas's letters lack an upper-case K.)
  constexpr char kFirst[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJLMNOPQRSTUVWXYZ_";
  if (std::string(kFirst).find(s[0]) != std::string::npos &&
      s.find_first_not_of(std::string(kFirst) + "0123456789") ==
          std::string::npos)
    return Param::kVariable;
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
    *v = s.substr(1, s.size() - 2);
    return Param::kString;
  }
  return Param::kInvalid;
}

std::uint64_t NumberOf(const std::string& s) {
  return s[0] == '$' ? std::strtoull(s.c_str() + 1, nullptr, 16)
                     : std::strtoull(s.c_str(), nullptr, 10);
}

struct Command {
  int line = 0;
  std::string name;
  std::vector<Param> params;
  [[nodiscard]] std::string Types() const {  // e.g. "NN" for two numbers
    std::string t;
    for (const Param& p : params) t += "?VSVND"[p.type];
    return t;
  }
};

// A block as Atlas groups a script: commands, then the text after them.
struct Block {
  std::vector<Command> commands;
  std::vector<std::pair<int, std::string>> text;
};

// "#NAME(a, b)" as Atlas splits it: the name up to '(', parameters at
// commas up to ')', blanks around them dropped.
Command ParseCommand(const std::string& line, int number) {
  Command c;
  c.line = number;
  std::size_t at = 1;
  while (at < line.size() && line[at] != '(') c.name += line[at++];
  Param p{Param::kVoid, ""};
  auto push = [&] {
    const std::size_t last = p.value.find_last_not_of(" \t");
    p.value.erase(last == std::string::npos ? 0 : last + 1);
    p.type = TypeOf(&p.value);
    c.params.push_back(p);
    p.value.clear();
  };
  at = line.find_first_not_of(" \t", at + 1);
  for (; at < line.size() && line[at] != ')'; ++at) {
    if (line[at] != ',') {
      p.value += line[at];
      continue;
    }
    push();
    at = line.find_first_not_of(" \t", at + 1) - 1;
  }
  push();
  return c;
}

// Checks a command as Atlas's parser does: a known name, parameters of
// the right kinds, variables declared (TABLE ones for the tables).
void Check(const Command& c, std::map<std::string, std::string>* vars,
           Problems* problems) {
  const std::string types = c.Types();
  auto table_var = [&](std::size_t k) {
    const auto it = vars->find(c.params[k].value);
    if (it == vars->end())
      Add(problems, c.line, "undefined variable " + c.params[k].value);
    else if (it->second != "TABLE")
      Add(problems, c.line, c.params[k].value + " is no TABLE");
  };
  for (std::size_t k = 0; k < c.params.size(); ++k)
    if (c.params[k].type == Param::kInvalid)
      Add(problems, c.line,
          "#" + c.name + ": \"" + c.params[k].value +
              "\" is no number, string or name (hex digits are upper case)");
  if (types.find('?') != std::string::npos) return;
  if (c.name == "JMP") {
    if (types != "N" && types != "NN" && types != "NS" && types != "NNS")
      Add(problems, c.line, "#JMP takes an address and a last byte");
    else if (types[1] == 'N' &&
             NumberOf(c.params[1].value) + 1 < NumberOf(c.params[0].value))
      Add(problems, c.line, "#JMP's last byte comes before its first");
  } else if (c.name == "FILL") {
    if (types != "N" && types != "NN")
      Add(problems, c.line, "#FILL takes a byte, as $XX");
  } else if (c.name == "VAR") {
    if (types != "VV")
      Add(problems, c.line, "#VAR takes a name and a type");
    else
      (*vars)[c.params[0].value] = c.params[1].value;
  } else if (c.name == "ADDTBL") {
    if (types != "SV")
      Add(problems, c.line, "#ADDTBL takes a file name and a name");
    else
      table_var(1);
  } else if (c.name == "ACTIVETBL") {
    if (types != "V")
      Add(problems, c.line, "#ACTIVETBL takes a name");
    else
      table_var(0);
  } else {
    Add(problems, c.line,
        "#" + c.name +
            " is not taken here (only #VAR, #ADDTBL, "
            "#ACTIVETBL, #JMP and #FILL)");
  }
}

// Splits a script into Atlas's blocks, checking every command.
std::vector<Block> Parse(const std::string& script, Problems* problems) {
  std::vector<Block> blocks(1);
  std::map<std::string, std::string> vars;
  int number = 0;
  for (const std::string& line : Lines(script)) {
    ++number;
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
      blocks.back().text.emplace_back(number, "");  // inserts nothing
    } else if (line[first] == '#') {
      if (!blocks.back().text.empty()) blocks.emplace_back();
      blocks.back().commands.push_back(
          ParseCommand(line.substr(first), number));
      Check(blocks.back().commands.back(), &vars, problems);
    } else if (line.compare(first, 2, "//") != 0) {
      blocks.back().text.emplace_back(number, line);
    }
  }
  return blocks;
}

// Runs the blocks on the image as Atlas's core does.
class Inserter {
 public:
  Inserter(const Table& table, int fill, std::vector<unsigned char>* image,
           Insertion* report)
      : table_(table), image_(*image), report_(*report) {
    fill_on_ = fill >= 0;
    fill_ = static_cast<unsigned char>(fill);
  }

  void Run(const std::vector<Block>& blocks) {
    for (const Block& block : blocks) {
      Flush();
      for (const Command& c : block.commands) Execute(c);
      for (const auto& [line, text] : block.text) Text(line, text);
    }
    Flush();
    PadToBound();
  }

  bool failed = false;

 private:
  void Execute(const Command& c) {
    if (failed) return;
    const auto number = [&](std::size_t k) {
      return NumberOf(c.params[k].value);
    };
    if (c.name == "JMP") {
      PadToBound();
      at_ = number(0);
      bound_ = c.Types().substr(0, 2) == "NN"
                   ? static_cast<std::int64_t>(number(1))
                   : -1;
      report_.blocks.push_back(
          {c.line, static_cast<std::uint32_t>(at_), bound_});
    } else if (c.name == "FILL" && c.params.size() == 1) {
      fill_on_ = true;
      fill_ = static_cast<unsigned char>(number(0));
    } else if (c.name == "FILL") {
      Put(std::string(number(1), static_cast<char>(number(0))));
    } else if (c.name == "ADDTBL") {
      tables_.push_back(c.params[1].value);
    } else if (c.name == "ACTIVETBL") {
      Flush();
      active_ = false;
      for (const std::string& t : tables_)
        active_ = active_ || t == c.params[0].value;
      if (!active_)
        Stop(c.line,
             "table " + c.params[0].value + " is used before #ADDTBL loads it");
    }
  }

  void Text(int line, const std::string& text) {
    if (text.empty()) return;
    if (report_.blocks.empty()) return Stop(line, "text before the first #JMP");
    if (!active_) return Stop(line, "text before #ACTIVETBL");
    Insertion::Block& block = report_.blocks.back();
    if (block.text == 0 && pending_.empty()) block.line = line;
    std::size_t bad = 0;
    std::string bytes;
    if (!Encode(table_, text, &bytes, &bad)) {
      std::size_t n = 1;  // the whole UTF-8 character
      while (bad + n < text.size() &&
             (static_cast<unsigned char>(text[bad + n]) & 0xC0) == 0x80)
        ++n;
      return Stop(line, "\"" + text.substr(bad, n) + "\" is not in the table");
    }
    if (!failed) pending_ += bytes;
  }

  // Writes the text encoded so far, up to the block's bound.
  void Flush() {
    if (pending_.empty() || report_.blocks.empty()) return;
    Insertion::Block& block = report_.blocks.back();
    std::size_t room = pending_.size();
    if (bound_ >= 0)
      room = at_ > static_cast<std::uint64_t>(bound_)
                 ? 0
                 : static_cast<std::size_t>(bound_ + 1 -
                                            static_cast<std::int64_t>(at_));
    const std::size_t n = room < pending_.size() ? room : pending_.size();
    block.text += pending_.size();
    block.written += n;
    Put(pending_.substr(0, n));
    pending_.clear();
  }

  // With #FILL in force, pads the block from its text to its bound.
  void PadToBound() {
    if (!fill_on_ || bound_ < 0 || report_.blocks.empty() ||
        at_ > static_cast<std::uint64_t>(bound_))
      return;
    const auto n =
        static_cast<std::size_t>(bound_ + 1 - static_cast<std::int64_t>(at_));
    report_.blocks.back().padded += n;
    report_.blocks.back().fill = fill_;
    Put(std::string(n, static_cast<char>(fill_)));
  }

  void Put(const std::string& bytes) {
    if (failed || bytes.empty()) return;
    if (image_.size() < at_ + bytes.size()) image_.resize(at_ + bytes.size());
    std::copy(bytes.begin(), bytes.end(),
              image_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ += bytes.size();
  }

  // Text or a command that stops Atlas: nothing after it is written, but
  // the lines after it are still checked.
  void Stop(int line, std::string what) {
    Add(&report_.problems, line, std::move(what));
    report_.problems.back().block = static_cast<int>(report_.blocks.size()) - 1;
    failed = true;
    pending_.clear();
  }

  const Table& table_;
  std::vector<unsigned char>& image_;
  Insertion& report_;
  std::uint64_t at_ = 0;
  std::int64_t bound_ = -1;
  bool fill_on_ = false;
  unsigned char fill_ = 0;
  bool active_ = false;
  std::vector<std::string> tables_;
  std::string pending_;
};

}  // namespace

bool InsertScript(const std::string& script, const std::string& table, int fill,
                  std::vector<unsigned char>* image, Insertion* report) {
  *report = Insertion{};
  Table t;
  ReadTable(table, &t, &report->problems);
  const std::vector<Block> blocks = Parse(script, &report->problems);
  if (!report->problems.empty()) return false;
  Inserter inserter(t, fill, image, report);
  inserter.Run(blocks);
  return !inserter.failed;
}

}  // namespace translate
