// BPS patches and the CRC-32 they are checked by.
#include "bps.h"

#include <algorithm>
#include <array>
#include <cstring>

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
constexpr std::size_t kStep = 4;
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
    // Every kStep-th offset is enough: a copy from between them is found
    // a few bytes on.  (Within a run of one byte, its first offset stands
    // for all.)
    const std::size_t end = std::min<std::size_t>(source.size(), kNone);
    std::uint64_t last = ~std::uint64_t{0};
    for (std::size_t at = 0; at + kKey <= end; at += kStep) {
      const std::uint64_t key = KeyAt(source, at);
      if (key != last) in_source_[Bucket(key)] = static_cast<std::uint32_t>(at);
      last = key;
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
        const std::uint32_t key = Bucket(KeyAt(target_, at_));
        if (const std::uint32_t s = in_source_[key]; s != kNone && s != at_)
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

  // The bucket of a key.
  [[nodiscard]] std::uint32_t Bucket(std::uint64_t key) const {
    return static_cast<std::uint32_t>((key * 0x9E3779B97F4A7C15ULL) >>
                                      (64 - bits_));
  }

  // The key of the kKey bytes of data at at: the first the lowest (so
  // that a patch is the same on every system).
  static std::uint64_t KeyAt(const std::vector<unsigned char>& data,
                             std::size_t at) {
    static_assert(kKey == 6, "the key is six bytes");
    const unsigned char* p = data.data() + at;
    return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 |
           std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24 |
           std::uint64_t{p[4]} << 32 | std::uint64_t{p[5]} << 40;
  }

  // How many bytes from from on in data match the target's from at_ on.
  // (A target copy may overlap what it writes, as a run does.)
  [[nodiscard]] std::size_t Same(const std::vector<unsigned char>& data,
                                 std::size_t from) const {
    if (from >= data.size()) return 0;
    const std::size_t most = std::min(data.size() - from, target_.size() - at_);
    const unsigned char* a = data.data() + from;
    const unsigned char* b = target_.data() + at_;
    std::size_t n = 0;
    while (n + 8 <= most && std::memcmp(a + n, b + n, 8) == 0) n += 8;
    while (n < most && a[n] == b[n]) ++n;
    return n;
  }

  void Remember(std::size_t at) {
    if (at + kKey <= target_.size() && at < kNone)
      in_target_[Bucket(KeyAt(target_, at))] = static_cast<std::uint32_t>(at);
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
  // Eight bytes a step: table k holds the CRC of a byte followed by k zero
  // bytes, so the eight lookups of a step are independent.
  static const auto tables = [] {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) != 0 ? 0xEDB88320 ^ c >> 1 : c >> 1;
      t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
      for (std::size_t i = 0; i < 256; ++i)
        t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ t[k - 1][i] >> 8;
    return t;
  }();
  const auto& t = tables;
  std::uint32_t crc = 0xFFFFFFFF;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const std::uint32_t low =
        crc ^
        (std::uint32_t{data[i]} | std::uint32_t{data[i + 1]} << 8 |
         std::uint32_t{data[i + 2]} << 16 | std::uint32_t{data[i + 3]} << 24);
    crc = t[7][low & 0xFF] ^ t[6][low >> 8 & 0xFF] ^ t[5][low >> 16 & 0xFF] ^
          t[4][low >> 24] ^ t[3][data[i + 4]] ^ t[2][data[i + 5]] ^
          t[1][data[i + 6]] ^ t[0][data[i + 7]];
  }
  for (; i < size; ++i) crc = t[0][(crc ^ data[i]) & 0xFF] ^ crc >> 8;
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
