// msginsert's report: one line per problem and per block that matters.
#include "report.h"

#include <algorithm>
#include <cstdint>

#include "message.h"

namespace msginsert {

namespace {

using message::Format;
using translate::Insertion;

std::string Bytes(std::uint64_t n) {
  return Format("%llu byte%s", static_cast<unsigned long long>(n),
                n == 1 ? "" : "s");
}

// Where a block goes and its room: "$2EF800 (12 bytes)".
std::string Where(const Insertion::Block& b) {
  return Format("$%06llX", static_cast<unsigned long long>(b.start)) +
         (b.bound < 0
              ? std::string(" (no bound)")
              : " (" +
                    Bytes(static_cast<std::uint64_t>(b.bound) - b.start + 1) +
                    ")");
}

// Whether the block's bytes in image are all as they were in before.
bool Unchanged(const Insertion::Block& b,
               const std::vector<unsigned char>& before,
               const std::vector<unsigned char>& image) {
  if (b.bound < 0) return false;
  const auto end = static_cast<std::size_t>(b.bound) + 1;
  if (end > before.size() || end > image.size()) return false;
  return std::equal(before.data() + b.start, before.data() + end,
                    image.data() + b.start);
}

}  // namespace

bool InsertAndReport(const std::string& script, const std::string& table,
                     const translate::InsertOptions& options,
                     const Names& names,
                     const std::vector<unsigned char>& original,
                     std::vector<unsigned char>* patched) {
  *patched = original;
  Insertion report;
  bool ok = translate::InsertScript(script, table, options, patched, &report);
  for (const Insertion::Problem& p : report.problems) {
    const Insertion::Block* b =
        p.block >= 0 && static_cast<std::size_t>(p.block) < report.blocks.size()
            ? &report.blocks[static_cast<std::size_t>(p.block)]
            : nullptr;
    message::Say((p.in_table ? names.table : names.script) + ":" +
                     std::to_string(p.line),
                 (b != nullptr ? Where(*b) + ": " : std::string()) + p.what);
  }
  if (!ok) return false;
  for (const Insertion::Block& b : report.blocks) {
    if (b.bound < 0) continue;
    const std::uint64_t budget =
        static_cast<std::uint64_t>(b.bound) - b.start + 1;
    const std::string subject = names.script + ":" + std::to_string(b.line);
    const std::string text = Bytes(b.text) + " of text";
    if (b.text <= budget && Unchanged(b, original, *patched)) continue;
    if (b.text > budget) {  // (even where what went in is the original)
      // (The inserter will refuse a cut itself; until then it is refused
      // here, where the report says it.)
      if (!options.as_atlas) ok = false;
      message::Say(subject, Where(b) + ": " + text + ", the last " +
                                Bytes(b.text - b.written) + " cut");
    } else if (b.padded > 0) {
      message::Say(subject, Where(b) + ": " + text + ", padded with " +
                                Bytes(b.padded) + Format(" of $%02X", b.fill));
    } else if (b.text < budget) {
      message::Say(subject, Where(b) + ": " + text +
                                " and no fill, leaving the original's last " +
                                Bytes(budget - b.text) + " after it");
    }
  }
  return ok;
}

}  // namespace msginsert
