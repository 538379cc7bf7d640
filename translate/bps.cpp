// BPS patches and the CRC-32 they are checked by.
#include "bps.h"

#include <array>

namespace translate {

namespace {

// The actions of a BPS patch.
enum Action : unsigned {
  kSourceRead = 0,  // the source's bytes at the same offset
  kTargetRead = 1,  // bytes stored in the patch
  kSourceCopy = 2,  // the source's bytes at another offset
  kTargetCopy = 3,  // bytes the target already holds (a run, a repeat)
};

void PutNumber(std::uint64_t n, std::vector<unsigned char>* out) {
  for (;;) {
    const auto low = static_cast<unsigned char>(n & 0x7F);
    n >>= 7;
    if (n == 0) {
      out->push_back(0x80 | low);
      return;
    }
    out->push_back(low);
    --n;  // so that every number has one spelling
  }
}

// The bytes PutNumber spends on n.
std::size_t NumberSize(std::uint64_t n) {
  std::size_t size = 1;
  while ((n >>= 7) != 0) {
    --n;
    ++size;
  }
  return size;
}

void PutCrc(std::uint32_t crc, std::vector<unsigned char>* out) {
  for (int k = 0; k < 4; ++k)
    out->push_back(static_cast<unsigned char>(crc >> (8 * k)));
}

// A copy's offset, relative to where the last copy of its kind ended: the
// distance doubled, its lowest bit set when it goes back.
std::uint64_t Relative(std::size_t from, std::size_t last) {
  return from >= last ? std::uint64_t{from - last} << 1
                      : std::uint64_t{last - from} << 1 | 1;
}

// Copies are found through a hash of the kKey bytes at each offset (a
// shorter match would not pay for its offset), one offset remembered per
// bucket: up to 2^20 buckets a side, fewer for small images.
constexpr std::size_t kKey = 6;
constexpr std::uint64_t kKeyMask = (std::uint64_t{1} << (8 * kKey)) - 1;
constexpr unsigned kMostBits = 20;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

unsigned BitsFor(std::size_t size) {
  unsigned bits = 10;
  while (bits < kMostBits && (std::size_t{1} << bits) < size) ++bits;
  return bits;
}

// The patch's body, written from the start of the target to its end: at
// each offset, the action that covers the most bytes for what it costs,
// else the byte stored as it is.
class Writer {
 public:
  Writer(const std::vector<unsigned char>& source,
         const std::vector<unsigned char>& target,
         std::vector<unsigned char>* patch)
      : source_(source),
        target_(target),
        patch_(*patch),
        bits_(BitsFor(source.size() > target.size() ? source.size()
                                                    : target.size())),
        in_source_(std::size_t{1} << bits_, kNone),
        in_target_(std::size_t{1} << bits_, kNone) {
    // (Offsets are 32 bits: an image beyond 4 GiB gets no copies there.)
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < source.size() && i < kNone; ++i) {
      key = (key << 8 | source[i]) & kKeyMask;
      if (i + 1 >= kKey)
        in_source_[Bucket(key)] = static_cast<std::uint32_t>(i + 1 - kKey);
    }
  }

  void Run() {
    while (at_ < target_.size()) {
      Choice best{kTargetRead, 0, 0};
      std::int64_t gain = 1;  // a copy must beat storing the bytes, and the
                              // break it makes in a run of stored ones
      auto consider = [&](Action action, std::size_t from, std::size_t length,
                          std::size_t cost) {
        const auto g =
            static_cast<std::int64_t>(length) - static_cast<std::int64_t>(cost);
        if (g > gain) {
          gain = g;
          best = {action, from, length};
        }
      };
      consider(kSourceRead, at_, Same(source_, at_), 1);
      if (at_ + kKey <= target_.size()) {
        const std::uint32_t key = KeyAt(target_, at_);
        if (const std::uint32_t s = in_source_[key]; s != kNone)
          consider(kSourceCopy, s, Same(source_, s),
                   2 + NumberSize(Relative(s, source_last_)));
        if (const std::uint32_t t = in_target_[key]; t != kNone)
          consider(kTargetCopy, t, Same(target_, t),
                   2 + NumberSize(Relative(t, target_last_)));
      }
      if (best.length == 0) {
        Remember(at_);
        ++at_;
        continue;
      }
      Put(best);
    }
    FlushStored();
  }

 private:
  struct Choice {
    Action action;
    std::size_t from;
    std::size_t length;
  };

  // The bucket of a key: kKey bytes, the first the highest.
  [[nodiscard]] std::uint32_t Bucket(std::uint64_t key) const {
    return static_cast<std::uint32_t>((key * 0x9E3779B97F4A7C15ULL) >>
                                      (64 - bits_));
  }

  // The bucket of the kKey bytes of data at at.
  [[nodiscard]] std::uint32_t KeyAt(const std::vector<unsigned char>& data,
                                    std::size_t at) const {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < kKey; ++i) key = key << 8 | data[at + i];
    return Bucket(key);
  }

  // How many bytes from from on in data match the target's from at_ on.
  // (A target copy may overlap what it writes, as a run does.)
  [[nodiscard]] std::size_t Same(const std::vector<unsigned char>& data,
                                 std::size_t from) const {
    std::size_t n = 0;
    while (from + n < data.size() && at_ + n < target_.size() &&
           data[from + n] == target_[at_ + n])
      ++n;
    return n;
  }

  void Remember(std::size_t at) {
    if (at + kKey <= target_.size() && at < kNone)
      in_target_[KeyAt(target_, at)] = static_cast<std::uint32_t>(at);
  }

  void Header(Action action, std::size_t length) {
    PutNumber((std::uint64_t{length} - 1) << 2 | action, &patch_);
  }

  // The bytes passed over since the last action, stored as they are.
  void FlushStored() {
    if (stored_ == at_) return;
    Header(kTargetRead, at_ - stored_);
    patch_.insert(patch_.end(),
                  target_.begin() + static_cast<std::ptrdiff_t>(stored_),
                  target_.begin() + static_cast<std::ptrdiff_t>(at_));
    stored_ = at_;
  }

  void Put(const Choice& c) {
    FlushStored();
    Header(c.action, c.length);
    if (c.action == kSourceCopy) {
      PutNumber(Relative(c.from, source_last_), &patch_);
      source_last_ = c.from + c.length;
    } else if (c.action == kTargetCopy) {
      PutNumber(Relative(c.from, target_last_), &patch_);
      target_last_ = c.from + c.length;
    }
    // (What is read from the source where it stands is found there.)
    if (c.action != kSourceRead)
      for (std::size_t i = 0; i < c.length; ++i) Remember(at_ + i);
    at_ += c.length;
    stored_ = at_;
  }

  const std::vector<unsigned char>& source_;
  const std::vector<unsigned char>& target_;
  std::vector<unsigned char>& patch_;
  unsigned bits_;
  std::vector<std::uint32_t> in_source_;  // by key: an offset in the source
  std::vector<std::uint32_t> in_target_;  // and one in the target, before at_
  std::size_t at_ = 0;      // the target's bytes before it are covered
  std::size_t stored_ = 0;  // from here to at_, bytes to store
  std::size_t source_last_ = 0;
  std::size_t target_last_ = 0;
};

}  // namespace

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) != 0 ? 0xEDB88320 ^ c >> 1 : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ crc >> 8;
  return crc ^ 0xFFFFFFFF;
}

std::vector<unsigned char> MakeBps(const std::vector<unsigned char>& source,
                                   const std::vector<unsigned char>& target) {
  std::vector<unsigned char> patch = {'B', 'P', 'S', '1'};
  PutNumber(source.size(), &patch);
  PutNumber(target.size(), &patch);
  PutNumber(0, &patch);  // no metadata
  Writer(source, target, &patch).Run();
  PutCrc(Crc32(source.data(), source.size()), &patch);
  PutCrc(Crc32(target.data(), target.size()), &patch);
  PutCrc(Crc32(patch.data(), patch.size()), &patch);
  return patch;
}

}  // namespace translate
