// rpm's Packages before rpm 4.16: a Berkeley DB hash database whose keys are
// the 4-byte instance numbers and whose values are the header blobs. Read
// here page by page, in the byte order the metadata page shows, without
// Berkeley DB: every offset and length is checked against its page, and each
// page is read at most once, so neither a lying item nor a looping chain of
// pages leads anywhere but to the end of the walk.
#include <cstring>
#include <unordered_set>
#include <vector>

#include "wmi/linux/rpm.h"

namespace wmi::lx {

namespace {

constexpr std::uint32_t kHashMagic = 0x061561;
// The page header: lsn, pgno (8), prev (12), next (16), entries (20), hf_offset (22), level, type (25).
constexpr std::size_t kPageHeader = 26, kOffNext = 16, kOffEntries = 20, kOffHfOffset = 22, kOffType = 25;
constexpr std::uint8_t kPageHashUnsorted = 2, kPageOverflow = 7, kPageHash = 13;
constexpr std::uint8_t kItemKeyData = 1, kItemOffPage = 3;
constexpr std::size_t kOffPageSize = 12;  // type, 3 unused, first overflow page, total length
constexpr std::uint32_t kMinPageSize = 512, kMaxPageSize = 65536;
constexpr std::uint32_t kMaxValue = 256u << 20;  // rpm refuses a longer header
constexpr std::size_t kSpares = 32;

class HashDb {
 public:
  explicit HashDb(const RpmReadAt& read) : read_(read) {}

  bool Open() {
    std::uint8_t meta[kMinPageSize];
    if (!read_(0, meta)) return false;
    // The magic number in the writer's byte order tells the order of every number after it.
    big_ = false;
    std::uint32_t magic = U32(meta, 12);
    if (magic != kHashMagic && __builtin_bswap32(magic) != kHashMagic) return false;
    big_ = magic != kHashMagic;
    std::uint32_t version = U32(meta, 16);
    page_size_ = U32(meta, 20);
    last_ = U32(meta, 32);
    max_bucket_ = U32(meta, 72);
    for (std::size_t i = 0; i < kSpares; ++i) spares_[i] = U32(meta, 96 + 4 * i);
    // Hash versions 8 to 10 are Berkeley DB 4.x and 5.x, the ones rpm used.
    return version >= 8 && version <= 10 && page_size_ >= kMinPageSize && page_size_ <= kMaxPageSize &&
           (page_size_ & (page_size_ - 1)) == 0;
  }

  void Walk(const RpmEachBlob& fn) {
    page_.resize(page_size_);
    for (std::uint64_t bucket = 0; bucket <= max_bucket_; ++bucket) {
      // Bucket b lives at b plus the spare pages before its split point (the bit length of b).
      std::size_t split = bucket == 0 ? 0 : 64 - __builtin_clzll(bucket);
      if (split >= kSpares) return;
      std::uint64_t pgno = bucket + spares_[split];
      while (pgno != 0) {
        if (!Page(pgno, page_)) return;
        if (page_[kOffType] != kPageHash && page_[kOffType] != kPageHashUnsorted) return;
        if (!Pairs(fn)) return;
        pgno = U32(page_.data(), kOffNext);
      }
    }
  }

 private:
  // Numbers of a page (or the metadata) in the database's byte order.
  std::uint16_t U16(const std::uint8_t* b, std::size_t at) const {
    return big_ ? static_cast<std::uint16_t>(b[at] << 8 | b[at + 1])
                : static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
  }
  std::uint32_t U32(const std::uint8_t* b, std::size_t at) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | b[at + (big_ ? i : 3 - i)];
    return v;
  }

  // Reads page `pgno` into `page`; false for a page past the last one, read
  // before, short, or whose header names another page.
  bool Page(std::uint64_t pgno, std::vector<std::uint8_t>& page) {
    if (pgno == 0 || pgno > last_ || !seen_.insert(pgno).second) return false;
    return read_(pgno * page_size_, page) && U32(page.data(), 8) == pgno;
  }

  // The key/value pairs of the hash page in page_; false when an item leaves the page.
  bool Pairs(const RpmEachBlob& fn) {
    const std::uint8_t* p = page_.data();
    std::size_t entries = U16(p, kOffEntries);
    std::size_t index_end = kPageHeader + 2 * entries;
    if (index_end > page_size_) return false;
    for (std::size_t i = 0; i + 1 < entries; i += 2) {
      std::size_t end = i == 0 ? page_size_ : U16(p, kPageHeader + 2 * (i - 1));
      std::size_t key = U16(p, kPageHeader + 2 * i), value = U16(p, kPageHeader + 2 * (i + 1));
      // Items grow down from the page's end: key above its value, each ending where the one before begins.
      if (value < index_end || key <= value || end <= key || end > page_size_) return false;
      if (page_[key] != kItemKeyData || end - key != 1 + 4) continue;  // not an instance number
      std::uint32_t instance = U32(p, key + 1);
      if (instance == 0) continue;  // rpm's counter of instances, no header
      std::span<const std::uint8_t> item(page_.data() + value, key - value);
      if (item[0] == kItemKeyData) {
        fn(instance, item.subspan(1));
      } else if (item[0] == kItemOffPage && item.size() == kOffPageSize) {
        std::uint32_t first = U32(p, value + 4), length = U32(p, value + 8);
        std::vector<std::uint8_t> blob;
        if (!Overflow(first, length, blob)) return false;
        fn(instance, blob);
      }
    }
    return true;
  }

  // The `length` bytes of the chain of overflow pages from `pgno`.
  bool Overflow(std::uint64_t pgno, std::uint32_t length, std::vector<std::uint8_t>& out) {
    if (length == 0 || length > kMaxValue) return false;
    std::vector<std::uint8_t> page(page_size_);
    while (out.size() < length) {
      if (!Page(pgno, page) || page[kOffType] != kPageOverflow) return false;
      std::size_t here = U16(page.data(), kOffHfOffset);  // the bytes this page holds
      if (here == 0 || here > page_size_ - kPageHeader || here > length - out.size()) return false;
      out.insert(out.end(), page.begin() + kPageHeader, page.begin() + kPageHeader + here);
      pgno = U32(page.data(), kOffNext);
    }
    return true;
  }

  const RpmReadAt& read_;
  bool big_ = false;
  std::uint32_t page_size_ = 0, last_ = 0, max_bucket_ = 0;
  std::uint32_t spares_[kSpares] = {};
  std::vector<std::uint8_t> page_;
  std::unordered_set<std::uint64_t> seen_;
};

}  // namespace

void EachBdbValue(const RpmReadAt& read, const RpmEachBlob& fn) {
  HashDb db(read);
  if (db.Open()) db.Walk(fn);
}

RpmReadAt RpmReadBytes(std::span<const std::uint8_t> bytes) {
  return [bytes](std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > bytes.size() || out.size() > bytes.size() - offset) return false;
    if (!out.empty()) std::memcpy(out.data(), bytes.data() + offset, out.size());
    return true;
  };
}

}  // namespace wmi::lx
