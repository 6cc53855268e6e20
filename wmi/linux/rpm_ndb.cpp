// rpm's own "ndb" package file, Packages.db (openSUSE since 15.3): all
// little-endian. A 32-byte header ("RpmP", version 0, generation, number of
// slot pages, next instance) shares the first of the 4 KB slot pages with the
// slots; a slot ("Slot", instance, first block, block count) places one blob
// in 16-byte blocks after the slot pages: a head ("BlbS", instance, time,
// length), the header blob, padding, and a tail (Adler-32 of all before it,
// length, "BlbE"). A blob is read only when its frame agrees with its slot
// and its checksum holds; slots that overlap an earlier blob are left out, so
// no byte of the file is read for two packages.
#include <algorithm>
#include <vector>

#include "wmi/linux/rpm.h"

namespace wmi::lx {

namespace {

constexpr std::uint32_t kFileMagic = 'R' | 'p' << 8 | 'm' << 16 | 'P' << 24;
constexpr std::uint32_t kSlotMagic = 'S' | 'l' << 8 | 'o' << 16 | 't' << 24;
constexpr std::uint32_t kHeadMagic = 'B' | 'l' << 8 | 'b' << 16 | 'S' << 24;
constexpr std::uint32_t kTailMagic = 'B' | 'l' << 8 | 'b' << 16 | 'E' << 24;
constexpr std::uint64_t kPage = 4096, kBlock = 16, kSlot = 16, kFileHeader = 32, kHead = 16, kTail = 12;
constexpr std::uint32_t kMaxBlob = 256u << 20;  // rpm refuses a longer header
constexpr std::uint32_t kMaxSlotPages = 1u << 16;

std::uint32_t Le32(const std::uint8_t* b) {
  return static_cast<std::uint32_t>(b[0]) | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::uint32_t Adler32(std::span<const std::uint8_t> bytes) {
  std::uint32_t a = 1, b = 0;
  while (!bytes.empty()) {
    auto run = bytes.first(std::min<std::size_t>(bytes.size(), 5552));  // the longest run b cannot overflow in
    for (std::uint8_t c : run) {
      a += c;
      b += a;
    }
    a %= 65521;
    b %= 65521;
    bytes = bytes.subspan(run.size());
  }
  return b << 16 | a;
}

struct Slot {
  std::uint32_t instance;
  std::uint64_t block, count;
};

}  // namespace

void EachNdbBlob(const RpmReadAt& read, const RpmEachBlob& fn) {
  std::uint8_t header[kFileHeader];
  if (!read(0, header) || Le32(header) != kFileMagic || Le32(header + 4) != 0) return;
  std::uint32_t slot_pages = Le32(header + 12);
  if (slot_pages == 0 || slot_pages > kMaxSlotPages) return;

  std::vector<Slot> slots;
  std::vector<std::uint8_t> page(kPage);
  for (std::uint64_t p = 0; p < slot_pages; ++p) {
    if (!read(p * kPage, page)) return;
    for (std::uint64_t at = p == 0 ? kFileHeader : 0; at < kPage; at += kSlot) {
      const std::uint8_t* s = page.data() + at;
      if (Le32(s) != kSlotMagic) return;  // not a slot page: rpm refuses the file
      Slot slot{Le32(s + 4), Le32(s + 8), Le32(s + 12)};
      // A free slot has no block; a used one lies past the slot pages.
      if (slot.block != 0 && slot.instance != 0 && slot.count != 0 && slot.block >= slot_pages * kPage / kBlock)
        slots.push_back(slot);
    }
  }
  std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.block < b.block; });

  std::uint64_t free_from = 0;  // the first block no earlier blob takes
  for (const Slot& slot : slots) {
    if (slot.block < free_from) continue;
    free_from = slot.block + slot.count;
    std::uint64_t at = slot.block * kBlock, size = slot.count * kBlock;
    std::uint8_t head[kHead], tail[kTail];
    if (!read(at, head) || Le32(head) != kHeadMagic || Le32(head + 4) != slot.instance) continue;
    std::uint32_t length = Le32(head + 12);
    if (length > kMaxBlob || (kHead + length + kTail + kBlock - 1) / kBlock != slot.count) continue;
    if (!read(at + size - kTail, tail) || Le32(tail + 4) != length || Le32(tail + 8) != kTailMagic) continue;
    std::vector<std::uint8_t> blob(size - kTail);  // the frame holds: the file is this long
    if (!read(at, blob) || Adler32(blob) != Le32(tail)) continue;
    fn(slot.instance, std::span<const std::uint8_t>(blob).subspan(kHead, length));
  }
}

}  // namespace wmi::lx
