// A BPS patcher of the tests' own, written from the format's description
// alone, to hold the patch writer (and msginsert --bps) to what any
// patcher makes of a patch.
#ifndef ZOL_TESTS_BPS_APPLY_H
#define ZOL_TESTS_BPS_APPLY_H

#include <string>
#include <vector>

namespace testing_util {

// Applies patch to source into *target; false, with *why, when the patch
// is malformed or a size or CRC-32 (source, target, patch) does not match.
bool ApplyBps(const std::vector<unsigned char>& patch,
              const std::vector<unsigned char>& source,
              std::vector<unsigned char>* target, std::string* why);

}  // namespace testing_util

#endif  // ZOL_TESTS_BPS_APPLY_H
