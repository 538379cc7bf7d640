// The inserter: an Atlas script into an image, as Atlas 1.12 puts it, with
// every number checked and the layout held to the lines it came from.
#include "insert.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <limits>
#include <map>
#include <string_view>
#include <utility>

#include "atlas.h"
#include "utf8.h"
#include "walk.h"
#include "window.h"

namespace translate {

namespace {

using Kind = Insertion::Kind;
using Problems = std::vector<Insertion::Problem>;

constexpr std::uint64_t kMax32 = 0xFFFFFFFF;

Insertion::Problem& Add(Problems* problems, int line, Kind kind,
                        std::string what, bool in_table = false) {
  Insertion::Problem p;
  p.line = line;
  p.in_table = in_table;
  p.what = std::move(what);
  p.kind = kind;
  problems->push_back(std::move(p));
  return problems->back();
}

std::string Num(std::uint64_t v) {
  char s[24];
  std::snprintf(s, sizeof s, "%llu", static_cast<unsigned long long>(v));
  return s;
}

// "1 byte", "2 bytes".
std::string Bytes(std::uint64_t v) {
  return Num(v) + (v == 1 ? " byte" : " bytes");
}

std::string Hex(std::uint64_t v) {
  char s[24];
  std::snprintf(s, sizeof s, "$%.6llX", static_cast<unsigned long long>(v));
  return s;
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ||
         (c >= 'a' && c <= 'f');
}

// A script's or a table's lines as Atlas reads them: split at LF, a CR
// before the LF dropped, a UTF-8 byte order mark skipped.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t at = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (at <= text.size()) {
    std::size_t lf = text.find('\n', at);
    if (lf == std::string_view::npos) lf = text.size();
    std::size_t end = lf;
    if (end > at && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(at, end - at));
    at = lf + 1;
  }
  return lines;
}

// Checks what every line of a file must be: UTF-8 (the first line that is
// not is named), and ended by LF or CR LF (a CR alone is named).
void CheckLines(const std::vector<std::string_view>& lines, bool in_table,
                bool as_atlas, Problems* problems) {
  const char* file = in_table ? "the table" : "the script";
  bool utf8_said = false;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string_view line = lines[k];
    const int number = static_cast<int>(k + 1);
    if (line.find('\r') != std::string_view::npos)
      Add(problems, number, Kind::kLineEnds,
          std::string(file) +
              " has a CR that ends no line: save it with LF or CR LF "
              "line ends",
          in_table);
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    for (std::size_t at = 0; !utf8_said && at < line.size();) {
      const char32_t u = utf8::Next(bytes, line.size(), &at);
      if (u == utf8::kBad || u == utf8::kCut) {
        utf8_said = true;
        Add(problems, number, Kind::kNotUtf8,
            std::string(file) + " is not UTF-8: save it as UTF-8", in_table)
            .warning = as_atlas;
      }
    }
  }
}

// A table as Atlas holds one: every text with its bytes, the first line
// of a text winning and the raw tokens first.  The table's texts are held
// reversed in a trie with the links of an Aho-Corasick automaton, so that
// one pass from a line's end to its start finds the longest text at every
// place: encoding takes time linear in the line, whatever the table.
class Table {
 public:
  // Adds a text, unless it is in the table already (once Ready).
  void Put(std::string_view text, std::string value) {
    texts_.emplace_back(std::string(text.rbegin(), text.rend()),
                        std::move(value));
  }

  // Builds the trie from the texts in order, with each node's failure link
  // (its longest proper suffix in the trie) and the longest text among its
  // suffixes.
  void Ready() {
    // Sorted (equal texts in the order they came), a text shares its path
    // with the one before up to their common prefix: the path is a stack.
    std::vector<std::pair<std::string, unsigned>> sorted;
    for (std::size_t k = 0; k < texts_.size(); ++k)
      sorted.emplace_back(texts_[k].first, static_cast<unsigned>(k));
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::uint32_t> path = {0};
    const std::string* before = nullptr;
    for (const auto& [text, k] : sorted) {
      std::size_t common = 0;
      while (before != nullptr && common < text.size() &&
             common < before->size() && text[common] == (*before)[common])
        ++common;
      path.resize(common + 1);
      for (std::size_t d = common; d < text.size(); ++d) {
        const auto node = static_cast<std::uint32_t>(depth_.size());
        edges_.emplace_back(Edge(path.back(), text[d]), node);
        depth_.push_back(d + 1);
        parent_.push_back(path.back());
        byte_.push_back(text[d]);
        value_of_.push_back(-1);
        path.push_back(node);
      }
      if (value_of_[path.back()] < 0)
        value_of_[path.back()] = static_cast<std::int64_t>(k);
      before = &text;
    }
    std::sort(edges_.begin(), edges_.end());
    // Breadth first (by depth), a node's link is worked out after its
    // parent's.
    std::vector<std::size_t> first(depth_.size() + 1, 0);
    for (const std::size_t d : depth_) ++first[d + 1];
    for (std::size_t d = 1; d < first.size(); ++d) first[d] += first[d - 1];
    std::vector<std::uint32_t> nodes(depth_.size());
    for (std::uint32_t k = 0; k < nodes.size(); ++k)
      nodes[first[depth_[k]]++] = k;
    fail_.assign(nodes.size(), 0);
    longest_.assign(nodes.size(), -1);
    for (const std::uint32_t node : nodes) {
      if (node != 0 && parent_[node] != 0)
        fail_[node] = Next(fail_[parent_[node]], byte_[node]);
      longest_[node] = value_of_[node] >= 0 ? static_cast<std::int64_t>(node)
                       : node == 0          ? -1
                                            : longest_[fail_[node]];
    }
  }

  struct Match {
    std::size_t size = 0;  // 0 for none
    const std::string* bytes = nullptr;
  };

  // The longest text at each place of s.
  void Longest(std::string_view s, std::vector<Match>* at) const {
    // The raw tokens, which come first: all are 5 bytes long.
    static const std::vector<std::pair<std::string, unsigned>> raw = [] {
      std::vector<std::pair<std::string, unsigned>> r;
      for (const RawToken& t : RawTokens()) r.emplace_back(t.text, t.byte);
      std::sort(r.begin(), r.end());
      return r;
    }();
    static const std::vector<std::string> raw_bytes = [] {
      std::vector<std::string> b(raw.size());
      for (std::size_t k = 0; k < raw.size(); ++k)
        b[k] = std::string(1, static_cast<char>(raw[k].second));
      return b;
    }();
    at->assign(s.size(), Match{});
    std::uint32_t node = 0;
    for (std::size_t k = s.size(); k-- > 0;) {
      node = Next(node, s[k]);
      const std::int64_t found = longest_[node];
      if (found >= 0) {
        const auto n = static_cast<std::size_t>(found);
        (*at)[k] = {depth_[n],
                    &texts_[static_cast<std::size_t>(value_of_[n])].second};
      }
      const std::pair<std::string, unsigned> token{s.substr(k, 5), 0};
      const auto it = std::lower_bound(raw.begin(), raw.end(), token);
      if (it != raw.end() && it->first == token.first && (*at)[k].size <= 5)
        (*at)[k] = {5, &raw_bytes[static_cast<std::size_t>(it - raw.begin())]};
    }
  }

 private:
  static std::uint64_t Edge(std::uint32_t node, char c) {
    return std::uint64_t{node} << 8 | static_cast<unsigned char>(c);
  }
  // The node after node and c: its child, or its suffix's.
  [[nodiscard]] std::uint32_t Next(std::uint32_t node, char c) const {
    for (;;) {
      const std::pair<std::uint64_t, std::uint32_t> key{Edge(node, c), 0};
      const auto it = std::lower_bound(edges_.begin(), edges_.end(), key);
      if (it != edges_.end() && it->first == key.first) return it->second;
      if (node == 0) return 0;
      node = fail_[node];
    }
  }

  std::vector<std::pair<std::string, std::string>> texts_;      // reversed
  std::vector<std::pair<std::uint64_t, std::uint32_t>> edges_;  // sorted
  // By node (0 the root):
  std::vector<std::int64_t> value_of_ = {-1};  // an index of texts_, or -1
  std::vector<std::size_t> depth_ = {0};
  std::vector<std::uint32_t> parent_ = {0};
  std::vector<char> byte_ = {0};
  std::vector<std::uint32_t> fail_;
  std::vector<std::int64_t> longest_;  // the node of its longest text
};

// The length of the raw token in lower case that text starts with ("<0a>"
// for <0A>), or 0.
std::size_t LowerCaseToken(const Table& raw, std::string_view text) {
  const char close = text.empty()     ? '\0'
                     : text[0] == '<' ? '>'
                     : text[0] == '(' ? ')'
                                      : '\0';
  const std::size_t end = close != 0 ? text.find(close) : 0;
  if (close == 0 || end == std::string_view::npos || end >= 16) return 0;
  std::string upper(text.substr(0, end + 1));
  for (char& c : upper) c = static_cast<char>(std::toupper(c));
  std::vector<Table::Match> m;
  raw.Longest(upper, &m);
  return upper != text.substr(0, end + 1) && m[0].size == upper.size()
             ? upper.size()
             : 0;
}

// Reads a Thingy table: HEX=text lines (and *HEX=text, an end-of-line
// entry); blank lines and bookmarks ( [ { $ ! @ are skipped.
void ReadTable(const std::vector<std::string_view>& lines, Table* t,
               Problems* problems) {
  int number = 0;
  for (const std::string_view raw_line : lines) {
    ++number;
    if (raw_line.empty() ||
        std::string_view("([{$!@").find(raw_line[0]) != std::string_view::npos)
      continue;
    const std::string_view line =
        raw_line[0] == '*' ? raw_line.substr(1) : raw_line;
    std::size_t digits = 0;
    while (digits < line.size() && IsHex(line[digits])) ++digits;
    const std::size_t eq = line.find('=');
    if (raw_line[0] == '/') {
      Add(problems, number, Kind::kSyntax,
          "end tokens (/...) are not taken here", true);
    } else if (digits == 0 && raw_line[0] != '*') {
      Add(problems, number, Kind::kSyntax, "not a HEX=text line", true);
    } else if (digits % 2 != 0 || eq == std::string_view::npos ||
               eq + 1 == line.size()) {
      Add(problems, number, Kind::kSyntax,
          digits % 2 != 0 ? "an odd number of hex digits"
                          : "no text after HEX=",
          true);
    } else {
      std::string value;
      auto digit = [](char c) {
        return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      };
      for (std::size_t k = 0; k < digits; k += 2)
        value += static_cast<char>(digit(line[k]) << 4 | digit(line[k + 1]));
      t->Put(line.substr(eq + 1), std::move(value));
    }
  }
  t->Ready();
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

// A number as Atlas writes one ($hex or decimal), or kMax32 + 1 for one
// above 32 bits.
std::uint64_t NumberOf(const std::string& s) {
  const bool hex = s[0] == '$';
  std::uint64_t n = 0;
  for (std::size_t k = hex ? 1 : 0; k < s.size() && n <= kMax32; ++k) {
    const int digit = s[k] <= '9' ? s[k] - '0' : std::toupper(s[k]) - 'A' + 10;
    n = n * (hex ? 16 : 10) + static_cast<unsigned>(digit);
  }
  return std::min(n, kMax32 + 1);
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
  [[nodiscard]] std::uint64_t Number(std::size_t k) const {
    return NumberOf(params[k].value);
  }
};

// A block as Atlas groups a script: commands, then the text after them.
struct Block {
  std::vector<Command> commands;
  std::vector<std::pair<int, std::string_view>> text;
};

// "#NAME(a, b)" as Atlas splits it: the name up to '(', parameters at
// commas up to ')', blanks around them dropped.
Command ParseCommand(std::string_view line, int number) {
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

// Checks a command as Atlas's parser does (a known name, parameters of the
// right kinds, variables declared, TABLE ones for the tables), and its
// numbers against the image.
void Check(const Command& c, std::uint64_t image_size,
           std::map<std::string, std::string>* vars, Problems* problems) {
  const std::string types = c.Types();
  auto say = [&](Kind kind, const std::string& what) -> Insertion::Problem& {
    return Add(problems, c.line, kind, what);
  };
  auto table_var = [&](std::size_t k) {
    const auto it = vars->find(c.params[k].value);
    if (it == vars->end())
      say(Kind::kSyntax, "undefined variable " + c.params[k].value);
    else if (it->second != "TABLE")
      say(Kind::kSyntax, c.params[k].value + " is no TABLE");
  };
  // A number that must be 32 bits, and within the image where it is an
  // address.
  auto number = [&](std::size_t k, const char* what, bool address) {
    const std::uint64_t n = c.Number(k);
    if (n > kMax32) {
      say(Kind::kBadNumber, std::string("#") + c.name + "'s " + what + " " +
                                c.params[k].value + " is above 32 bits");
      return false;
    }
    if (address && n >= image_size) {
      say(Kind::kOutsideImage, std::string("#") + c.name + "'s " + what + " " +
                                   Hex(n) + " is past the image's end")
          .image_size = image_size;
      return false;
    }
    return true;
  };
  for (std::size_t k = 0; k < c.params.size(); ++k)
    if (c.params[k].type == Param::kInvalid) {
      const std::string& v = c.params[k].value;
      const bool lower = !v.empty() && v[0] == '$' &&
                         std::all_of(v.begin() + 1, v.end(), IsHex);
      say(lower ? Kind::kLowerCaseToken : Kind::kSyntax,
          "#" + c.name + ": \"" + v +
              "\" is no number, string or name (hex digits are upper case)");
    }
  if (types.find('?') != std::string::npos) return;
  if (c.name == "JMP") {
    if (types != "N" && types != "NN" && types != "NS" && types != "NNS") {
      say(Kind::kSyntax, "#JMP takes an address and a last byte");
    } else if (number(0, "address", true) &&
               (types[1] != 'N' || number(1, "last byte", true)) &&
               types[1] == 'N' && c.Number(1) + 1 < c.Number(0)) {
      say(Kind::kSyntax, "#JMP's last byte comes before its first");
    }
  } else if (c.name == "FILL") {
    if (types != "N" && types != "NN") {
      say(Kind::kSyntax, "#FILL takes a byte, as $XX");
    } else if (c.Number(0) > 0xFF) {
      say(Kind::kBadNumber, "#FILL's byte " + c.params[0].value +
                                " is more than one byte ($00 to $FF)");
    } else if (types == "NN") {
      number(1, "count", false);
    }
  } else if (c.name == "VAR") {
    if (types != "VV")
      say(Kind::kSyntax, "#VAR takes a name and a type");
    else
      (*vars)[c.params[0].value] = c.params[1].value;
  } else if (c.name == "ADDTBL") {
    if (types != "SV")
      say(Kind::kSyntax, "#ADDTBL takes a file name and a name");
    else
      table_var(1);
  } else if (c.name == "ACTIVETBL") {
    if (types != "V")
      say(Kind::kSyntax, "#ACTIVETBL takes a name");
    else
      table_var(0);
  } else {
    say(Kind::kSyntax, "#" + c.name +
                           " is not taken here (only #VAR, #ADDTBL, "
                           "#ACTIVETBL, #JMP and #FILL)");
  }
}

// Splits a script into Atlas's blocks, checking every command.
std::vector<Block> Parse(const std::vector<std::string_view>& lines,
                         std::uint64_t image_size, Problems* problems) {
  std::vector<Block> blocks(1);
  std::map<std::string, std::string> vars;
  int number = 0;
  bool jmp = false;
  for (const std::string_view line : lines) {
    ++number;
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
      blocks.back().text.emplace_back(number, "");  // inserts nothing
    } else if (line[first] == '#') {
      if (!blocks.back().text.empty()) blocks.emplace_back();
      blocks.back().commands.push_back(
          ParseCommand(line.substr(first), number));
      Check(blocks.back().commands.back(), image_size, &vars, problems);
      jmp = jmp || blocks.back().commands.back().name == "JMP";
    } else if (line.compare(first, 2, "//") != 0) {
      blocks.back().text.emplace_back(number, line);
    }
  }
  if (!jmp) Add(problems, 0, Kind::kNoBlock, "the script has no #JMP");
  return blocks;
}

// Whether code c takes two bytes (its own and the next).
bool TwoBytes(unsigned char c) { return c == 0x05 || c == 0x0B || c == 0xFF; }

// Where the last code of bytes starts, walking from the first; a two-byte
// code cut by the end counts as one.
std::size_t LastCode(std::string_view bytes) {
  std::size_t at = 0;
  std::size_t last = 0;
  while (at < bytes.size()) {
    last = at;
    at += TwoBytes(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
  }
  return last;
}

bool IsBreak(unsigned char c) { return c <= 0x02 || c == 0x0B; }

// Runs the blocks as Atlas's core does.  Without an image to write to, it
// only works out the report: every block with its own problems.
class Inserter {
 public:
  Inserter(const Table& table, const InsertOptions& options,
           const std::vector<unsigned char>& original,
           std::vector<unsigned char>* out, Insertion* report)
      : table_(table),
        options_(options),
        original_(original),
        out_(out),
        report_(*report) {
    fill_on_ = options.fill >= 0;
    fill_ = static_cast<unsigned char>(options.fill);
  }

  void Run(const std::vector<Block>& blocks) {
    for (const Block& block : blocks) {
      Flush();
      for (const Command& c : block.commands) Execute(c);
      for (const auto& [line, text] : block.text) Text(line, text);
    }
    Close();
  }

 private:
  [[nodiscard]] std::uint64_t Room() const {
    if (bounded_) return bound_ + 1 - at_;  // the bound is never passed
    return original_.size() - at_;
  }

  void Execute(const Command& c) {
    if (c.name == "JMP") {
      Close();
      at_ = c.Number(0);
      bounded_ = c.Types().substr(0, 2) == "NN";
      bound_ = bounded_ ? c.Number(1) : 0;
      Insertion::Block b;
      b.line = c.line;
      b.start = static_cast<std::uint32_t>(at_);
      b.bound = bounded_ ? static_cast<std::int64_t>(bound_) : -1;
      b.budget = bounded_ ? bound_ + 1 - at_ : 0;
      report_.blocks.push_back(b);
      content_.clear();
      broken_ = false;
    } else if (c.name == "FILL" && c.params.size() == 1) {
      fill_on_ = true;
      fill_ = static_cast<unsigned char>(c.Number(0));
      if (report_.fill_line == 0) {
        report_.fill_line = c.line;
        report_.fill = fill_;
      }
    } else if (c.name == "FILL") {
      if (report_.blocks.empty())  // (Atlas would write at offset 0)
        return Problem(c.line, Kind::kNoBlock, "#FILL before the first #JMP");
      const std::uint64_t n = c.Number(1);
      if (n > Room()) {
        Problem(c.line, bounded_ ? Kind::kFillBeyond : Kind::kOutsideImage,
                "#FILL's " + Bytes(n) + " are more than the " + Num(Room()) +
                    " left in its block");
        return;
      }
      Put(static_cast<unsigned char>(c.Number(0)), n);
    } else if (c.name == "ADDTBL") {
      tables_.push_back(c.params[1].value);
    } else if (c.name == "ACTIVETBL") {
      Flush();
      active_ = false;
      for (const std::string& t : tables_)
        active_ = active_ || t == c.params[0].value;
      if (!active_)
        Problem(
            c.line, Kind::kSyntax,
            "table " + c.params[0].value + " is used before #ADDTBL loads it");
    }
  }

  void Text(int line, std::string_view text) {
    if (text.empty()) return;
    if (report_.blocks.empty())
      return Problem(line, Kind::kNoBlock, "text before the first #JMP");
    if (!active_) return Problem(line, Kind::kSyntax, "text before #ACTIVETBL");
    Insertion::Block& block = report_.blocks.back();
    if (block.text == 0 && pending_text_ == 0) block.line = line;
    const std::size_t before = pending_.size();
    const std::uint64_t room = Room();
    std::uint64_t size = 0;
    table_.Longest(text, &matches_);
    for (std::size_t at = 0; at < text.size();) {
      const Table::Match& m = matches_[at];
      if (m.size == 0) {
        pending_.resize(before);
        return NotEncodable(line, text.substr(at));
      }
      // Only what can go in is kept; the rest is counted.
      for (const char b : *m.bytes)
        if (pending_.size() < room) pending_ += b;
      size += m.bytes->size();
      at += m.size;
    }
    pending_text_ += size;
  }

  void NotEncodable(int line, std::string_view rest) {
    // A token in lower case, if its upper-case form is in the table.
    if (const std::size_t n = LowerCaseToken(table_, rest); n > 0) {
      std::string upper(rest.substr(0, n));
      for (char& c : upper) c = static_cast<char>(std::toupper(c));
      return Problem(line, Kind::kLowerCaseToken,
                     "\"" + std::string(rest.substr(0, n)) +
                         "\" is no token: tokens are upper case (" + upper +
                         ")");
    }
    std::size_t n = 0;  // the whole UTF-8 character
    utf8::Next(reinterpret_cast<const unsigned char*>(rest.data()), rest.size(),
               &n);
    Problem(line, Kind::kNotEncodable,
            "\"" + std::string(rest.substr(0, n)) + "\" is not in the table");
  }

  // Writes the text encoded so far, up to the block's bound.
  void Flush() {
    if (report_.blocks.empty()) return;
    Insertion::Block& block = report_.blocks.back();
    if (!bounded_ && pending_text_ > Room())
      Problem(block.line, Kind::kOutsideImage,
              "its text runs " + Bytes(pending_text_ - Room()) +
                  " past the image's end");
    block.text += pending_text_;
    block.written += pending_.size();
    Put(pending_);
    pending_.clear();
    pending_text_ = 0;
  }

  // Ends the block: pads it to its bound where #FILL is in force (so Atlas
  // does at each #JMP and at the end), then checks what it became.
  void Close() {
    Flush();
    if (report_.blocks.empty()) return;
    Insertion::Block& block = report_.blocks.back();
    if (fill_on_ && bounded_) {
      block.padded += Room();
      block.fill = fill_;
      Put(fill_, Room());
    }
    if (out_ != nullptr) return;  // checked already
    if (bounded_ && !broken_) CheckLayout();
    const std::uint64_t last =
        bounded_ ? bound_ : std::max<std::uint64_t>(at_, block.start + 1) - 1;
    if (block.start < decoder::kWindowStart || last > decoder::kWindowEnd)
      Problem(block.line, Kind::kOutsideWindow,
              "outside the text window (" + Hex(decoder::kWindowStart) +
                  " to " + Hex(decoder::kWindowEnd) + ")",
              true);
    content_.clear();
  }

  // A bounded block's text against the line it replaces.
  void CheckLayout() {
    Insertion::Block& block = report_.blocks.back();
    const std::uint64_t budget = block.budget;
    const std::uint64_t used = at_ - block.start;
    if (block.text > block.written)
      Problem(block.line, Kind::kCut,
              "its text is " + Bytes(block.text - block.written) +
                  " too long for its " + Num(budget) +
                  ": the rest would be dropped",
              true);
    if (used < budget) {
      block.left = budget - used;
      Problem(block.line, Kind::kShorterLeft,
              Bytes(used) + " of its " + Num(budget) +
                  " with no #FILL: the original's last " + Num(block.left) +
                  " stay",
              true);
    }
    if (used == 0) return;  // the original stays whole
    const auto line = std::string_view(
        reinterpret_cast<const char*>(original_.data()) + block.start, budget);
    // A run of one byte, 16 or more, is padding, not a line.
    const bool padding =
        budget >= 16 && line.find_first_not_of(line[0]) == std::string::npos;
    bool text = false;
    for (std::size_t at = 0; at < line.size();
         at += TwoBytes(static_cast<unsigned char>(line[at])) ? 2 : 1)
      text = text || !IsBreak(static_cast<unsigned char>(line[at]));
    if (block.text == 0 && text && !padding)
      Problem(block.line, Kind::kNoText, "the line is left with no text", true);
    const std::size_t was = LastCode(line);
    if (!IsBreak(static_cast<unsigned char>(line[was]))) return;
    const std::string now = content_ + std::string(line.substr(used));
    if (LastCode(now) != was ||
        now.compare(was, std::string::npos, line, was, std::string::npos) != 0)
      Problem(block.line, Kind::kLostBreak,
              "the line no longer ends with its break (at " +
                  Hex(block.start + was) + ")",
              true);
  }

  void Put(const std::string& bytes) {
    if (bytes.empty()) return;
    if (out_ != nullptr)
      std::copy(bytes.begin(), bytes.end(),
                out_->begin() + static_cast<std::ptrdiff_t>(at_));
    else if (bounded_)
      content_ += bytes;
    at_ += bytes.size();
  }

  void Put(unsigned char byte, std::uint64_t n) {
    if (n == 0) return;
    if (out_ != nullptr)
      std::fill_n(out_->begin() + static_cast<std::ptrdiff_t>(at_), n, byte);
    else if (bounded_)
      content_.append(n, static_cast<char>(byte));
    at_ += n;
  }

  // Names a problem with the block it is in.  One that is no warning
  // stops the insertion; later lines are still checked, each in its own
  // block.
  void Problem(int line, Kind kind, std::string what, bool layout = false) {
    Insertion::Problem& p = Add(&report_.problems, line, kind, std::move(what));
    p.warning = layout && options_.as_atlas;
    if (!report_.blocks.empty()) {
      const Insertion::Block& b = report_.blocks.back();
      p.block = static_cast<int>(report_.blocks.size()) - 1;
      p.offset = b.start;
      p.budget = b.budget;
    }
    if (kind == Kind::kOutsideImage) p.image_size = original_.size();
    if (!layout) broken_ = true;  // not what was meant: not checked
  }

  const Table& table_;
  const InsertOptions& options_;
  const std::vector<unsigned char>& original_;
  std::vector<unsigned char>* out_;
  Insertion& report_;
  std::uint64_t at_ = 0;
  bool bounded_ = false;
  std::uint64_t bound_ = 0;
  bool fill_on_ = false;
  unsigned char fill_ = 0;
  bool active_ = false;
  std::vector<std::string> tables_;
  std::string pending_;             // the text's bytes that fit
  std::uint64_t pending_text_ = 0;  // and how many it makes in all
  std::string content_;             // what the block's bytes have become so far
  std::vector<Table::Match> matches_;  // the longest text at each place
  bool broken_ = false;  // its text could not be encoded: not checked
};

// Names, on the later of each pair, blocks that share bytes.
void CheckOverlaps(const InsertOptions& options, Insertion* report) {
  const auto last = [&](std::size_t k) {  // a block's last byte
    const Insertion::Block& b = report->blocks[k];
    return b.bound >= 0 ? static_cast<std::uint64_t>(b.bound)
                        : std::uint64_t{b.start} + b.written - 1;
  };
  std::vector<std::pair<std::uint64_t, std::uint32_t>> starts;  // and blocks
  for (std::size_t k = 0; k < report->blocks.size(); ++k) {
    const Insertion::Block& b = report->blocks[k];
    if (b.bound >= static_cast<std::int64_t>(b.start) ||
        (b.bound < 0 && b.written > 0))
      starts.emplace_back(b.start, static_cast<std::uint32_t>(k));
  }
  std::sort(starts.begin(), starts.end());
  bool any = false;
  std::size_t reach = 0;  // the block reaching furthest so far
  for (const auto& [first, k] : starts) {
    if (any && first <= last(reach)) {
      const std::size_t later = std::max<std::size_t>(k, reach);
      const std::size_t other = std::min<std::size_t>(k, reach);
      const Insertion::Block& b = report->blocks[later];
      Insertion::Problem& p =
          Add(&report->problems, b.line, Kind::kOverlap,
              "its bytes overlap those of the block at line " +
                  Num(report->blocks[other].line));
      p.warning = options.as_atlas;
      p.block = static_cast<int>(later);
      p.offset = b.start;
      p.budget = b.budget;
    }
    if (!any || last(k) > last(reach)) reach = k;
    any = true;
  }
}

}  // namespace

bool InsertScript(const std::string& script, const std::string& table,
                  const InsertOptions& options,
                  std::vector<unsigned char>* image, Insertion* report) {
  *report = Insertion{};
  Problems& problems = report->problems;
  const std::vector<std::string_view> table_lines = Lines(table);
  const std::vector<std::string_view> script_lines = Lines(script);
  CheckLines(table_lines, true, options.as_atlas, &problems);
  CheckLines(script_lines, false, options.as_atlas, &problems);
  if (std::any_of(problems.begin(), problems.end(),
                  [](const Insertion::Problem& p) {
                    return p.kind == Kind::kLineEnds;
                  }))
    return false;  // its lines are not what they seem
  if (options.fill > 0xFF)
    Add(&problems, 0, Kind::kBadNumber, "the fill byte is more than $FF");
  Table t;
  ReadTable(table_lines, &t, &problems);
  const std::vector<Block> blocks =
      Parse(script_lines, image->size(), &problems);
  const auto stops = [&] {
    return std::any_of(problems.begin(), problems.end(),
                       [](const Insertion::Problem& p) { return !p.warning; });
  };
  if (stops()) return false;
  {
    Inserter dry(t, options, *image, nullptr, report);
    dry.Run(blocks);
  }
  CheckOverlaps(options, report);
  if (stops()) return false;
  // Nothing stops it: the same run again, writing.
  Insertion again;
  Inserter writer(t, options, *image, image, &again);
  writer.Run(blocks);
  return true;
}

std::vector<Insertion::Problem> TableFileProblems(const std::string& table,
                                                  bool as_atlas) {
  Problems problems;
  CheckLines(Lines(table), true, as_atlas, &problems);
  return problems;
}

ThingyTable ReadThingy(const std::string& table) {
  ThingyTable thingy;
  for (const std::string_view line : Lines(table)) {
    const std::size_t eq = line.find('=');
    if (eq != 2 && eq != 4) continue;
    unsigned index = 0;
    bool hex = true;
    for (std::size_t k = 0; k < eq; ++k) {
      hex = hex && IsHex(line[k]);
      const int digit =
          line[k] <= '9' ? line[k] - '0' : (line[k] | 0x20) - 'a' + 10;
      index = index << 4 | static_cast<unsigned>(digit);
    }
    if (!hex || eq + 1 == line.size() || (eq == 4 && index >> 8 != 0xFF))
      continue;
    if (eq == 4) index = 0x100 + (index & 0xFF);
    std::string& text = thingy.text[index];
    if (text.empty()) text = std::string(line.substr(eq + 1));
  }
  return thingy;
}

std::vector<PairLine> PairLinesOf(const std::string& script,
                                  const ThingyTable& table, CodeSet* fills) {
  Table raw;
  for (unsigned i = 0; i < glyph_table::kCodes; ++i) {
    const std::string& text = table.text[i];
    if (text.empty() || (glyph_table::EntryOfCode(i) >= 0 &&
                         static_cast<unsigned char>(text[0]) >= 0x20 &&
                         static_cast<unsigned char>(text[0]) <= 0x7E))
      continue;
    std::string bytes;
    if (i >= 0x100) bytes += static_cast<char>(glyph_table::kKanjiPrefix);
    bytes += static_cast<char>(i & 0xFF);
    raw.Put(text, bytes);
  }
  raw.Ready();
  Problems ignored;  // (InsertScript says them)
  const std::vector<Block> blocks = Parse(Lines(script), kMax32 + 1, &ignored);
  std::vector<PairLine> lines;
  std::vector<Table::Match> matches;
  for (const Block& block : blocks) {
    const Command* jmp = nullptr;
    for (const Command& c : block.commands) {
      if (c.name == "JMP") jmp = &c;
      if (c.name == "FILL" && c.Types().substr(0, 1) == "N" &&
          c.Number(0) <= 0xFF && fills != nullptr)
        fills->set(static_cast<std::size_t>(c.Number(0)));
    }
    if (jmp == nullptr || jmp->Types().substr(0, 2) != "NN" ||
        jmp->Number(0) > kMax32 || jmp->Number(1) > kMax32 ||
        jmp->Number(1) + 1 < jmp->Number(0))
      continue;
    PairLine line;
    line.offset = static_cast<std::uint32_t>(jmp->Number(0));
    line.budget = static_cast<std::size_t>(jmp->Number(1) + 1 - line.offset);
    for (const auto& [number, text] : block.text) {
      if (text.empty()) continue;
      if (line.pieces.empty()) line.line = number;
      raw.Longest(text, &matches);
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t token = LowerCaseToken(raw, text.substr(at));
        if (token > 0) {  // (no English: the insertion names it)
          at += token;
          continue;
        }
        const bool is_raw = matches[at].size > 0;
        if (at == 0 || line.pieces.back().raw != is_raw)
          line.pieces.push_back({"", is_raw});  // each line's own pieces
        PairLine::Piece& piece = line.pieces.back();
        if (is_raw) {
          piece.text += *matches[at].bytes;
          at += matches[at].size;
        } else {
          piece.text += text[at++];
        }
      }
    }
    if (!line.pieces.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

CodeSet CodesOutside(const std::vector<unsigned char>& image,
                     const std::vector<PairLine>& lines) {
  std::vector<std::pair<std::uint32_t, std::uint64_t>> spans;
  spans.reserve(lines.size());
  for (const PairLine& l : lines)
    spans.emplace_back(l.offset, std::uint64_t{l.offset} + l.budget);
  std::sort(spans.begin(), spans.end());
  CodeSet used;
  const decoder::Window w = decoder::WindowOf(
      image.data(), image.size(), decoder::kWindowStart, decoder::kWindowEnd);
  decoder::MsgConv(w, [&](const decoder::Code& c) {
    const auto it = std::upper_bound(
        spans.begin(), spans.end(),
        std::make_pair(c.offset, std::numeric_limits<std::uint64_t>::max()));
    if (it != spans.begin() && c.offset < std::prev(it)->second) return;
    if (glyph_table::EntryOfCode(c.index) >= 0) used.set(c.index);
  });
  return used;
}

}  // namespace translate
