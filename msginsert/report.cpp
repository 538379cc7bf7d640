// msginsert's report: the inserter's records in msginsert's words, one line
// per problem and per padded line.
#include "report.h"

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

// Where a block goes and its room: "$2EF800 (12 bytes): ".
std::string Where(std::uint64_t offset, std::uint64_t budget) {
  return Format("$%06llX", static_cast<unsigned long long>(offset)) +
         (budget == 0 ? std::string(" (no bound)")
                      : " (" + Bytes(budget) + ")") +
         ": ";
}

}  // namespace

bool InsertAndReport(const std::string& script, const std::string& table,
                     const translate::InsertOptions& options,
                     const Names& names,
                     const std::vector<unsigned char>& original,
                     std::vector<unsigned char>* patched) {
  *patched = original;
  Insertion report;
  const bool ok =
      translate::InsertScript(script, table, options, patched, &report);
  return SayInsertion(report, ok, names);
}

bool SayInsertion(const translate::Insertion& report, bool ok,
                  const Names& names) {
  for (const Insertion::Problem& p : report.problems)
    message::Say((p.in_table ? names.table : names.script) + ":" +
                     std::to_string(p.line),
                 (p.block >= 0 ? Where(p.offset, p.budget) : std::string()) +
                     (p.warning ? "warning: " : "") + p.what +
                     (p.kind == Insertion::Kind::kOutsideImage
                          ? " (the image holds " + Bytes(p.image_size) + ")"
                          : std::string()));
  if (!ok) return false;
  for (const Insertion::Block& b : report.blocks)
    if (b.padded > 0 && b.text > 0)  // (not a padding block of its own)
      message::Say(names.script + ":" + std::to_string(b.line),
                   Where(b.start, b.budget) + Bytes(b.text) +
                       " of text, padded with " + Bytes(b.padded) +
                       Format(" of $%02X", b.fill));
  return true;
}

}  // namespace msginsert
