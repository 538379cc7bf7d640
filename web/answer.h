// What a call of the page's C API answers: bytes the page reads from the
// module's memory, kept until that same call is made again.
#ifndef ZOL_WEB_ANSWER_H
#define ZOL_WEB_ANSWER_H

#include <cstdint>
#include <utility>

namespace web {

// A call's bytes, and how many.
struct Result {
  const void* data;
  std::uint32_t size;
};

// One call's answer, kept for the page to read until that call is made
// again.
template <typename Bytes>
class Kept {
 public:
  const Result* operator()(Bytes bytes) {
    bytes_ = std::move(bytes);
    result_.data = bytes_.data();
    result_.size =
        static_cast<std::uint32_t>(bytes_.size() * sizeof(*bytes_.data()));
    return &result_;
  }

 private:
  Bytes bytes_;
  Result result_{};
};

}  // namespace web

#endif  // ZOL_WEB_ANSWER_H
