#include "wmi/linux/smbios.h"

#include <cstring>

namespace wmi::lx {

namespace {

constexpr std::uint8_t kInactive = 126;
constexpr std::uint8_t kEndOfTable = 127;
constexpr std::uint8_t kFirstOem = 128;
constexpr std::size_t kHeader = 4;  // type, length, handle

std::uint64_t Little(std::span<const std::uint8_t> b, std::size_t offset, std::size_t size) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < size; ++i) v |= static_cast<std::uint64_t>(b[offset + i]) << (8 * i);
  return v;
}

bool HasAnchor(std::span<const std::uint8_t> b, const char* anchor) {
  std::size_t n = std::strlen(anchor);
  return b.size() >= n && std::memcmp(b.data(), anchor, n) == 0;
}

}  // namespace

std::optional<std::uint8_t> SmbiosStructure::Byte(std::size_t offset) const {
  if (offset >= data.size()) return std::nullopt;
  return data[offset];
}
std::optional<std::uint16_t> SmbiosStructure::Word(std::size_t offset) const {
  if (offset > data.size() || data.size() - offset < 2) return std::nullopt;
  return static_cast<std::uint16_t>(Little(data, offset, 2));
}
std::optional<std::uint32_t> SmbiosStructure::Dword(std::size_t offset) const {
  if (offset > data.size() || data.size() - offset < 4) return std::nullopt;
  return static_cast<std::uint32_t>(Little(data, offset, 4));
}
std::optional<std::uint64_t> SmbiosStructure::Qword(std::size_t offset) const {
  if (offset > data.size() || data.size() - offset < 8) return std::nullopt;
  return Little(data, offset, 8);
}
std::optional<std::string> SmbiosStructure::String(std::size_t offset) const {
  auto n = Byte(offset);
  if (!n || *n == 0 || *n > strings.size()) return std::nullopt;
  return strings[*n - 1];
}

std::vector<const SmbiosStructure*> SmbiosTable::OfType(std::uint8_t type) const {
  std::vector<const SmbiosStructure*> out;
  for (const SmbiosStructure& s : structures)
    if (s.type == type) out.push_back(&s);
  return out;
}
const SmbiosStructure* SmbiosTable::First(std::uint8_t type) const {
  for (const SmbiosStructure& s : structures)
    if (s.type == type) return &s;
  return nullptr;
}
const SmbiosStructure* SmbiosTable::ByHandle(std::uint16_t handle) const {
  for (const SmbiosStructure& s : structures)
    if (s.handle == handle) return &s;
  return nullptr;
}

std::optional<SmbiosEntryPoint> ParseSmbiosEntryPoint(std::span<const std::uint8_t> e) {
  SmbiosEntryPoint ep;
  if (HasAnchor(e, "_SM3_")) {
    if (e.size() < 0x18) return std::nullopt;
    ep.v3 = true;
    ep.major = e[7];
    ep.minor = e[8];
    ep.table_length = Little(e, 0x0C, 4);
    return ep;
  }
  if (HasAnchor(e, "_SM_")) {
    // The 2.x entry point carries the legacy one ("_DMI_") at offset 0x10.
    if (e.size() < 0x1F) return std::nullopt;
    ep.major = e[6];
    ep.minor = e[7];
    ep.table_length = Little(e, 0x16, 2);
    ep.structure_count = static_cast<std::uint32_t>(Little(e, 0x1C, 2));
    return ep;
  }
  if (HasAnchor(e, "_DMI_")) {
    if (e.size() < 0x0F) return std::nullopt;
    ep.major = e[0x0E] >> 4;
    ep.minor = e[0x0E] & 0x0F;
    ep.table_length = Little(e, 0x06, 2);
    ep.structure_count = static_cast<std::uint32_t>(Little(e, 0x0C, 2));
    return ep;
  }
  return std::nullopt;
}

SmbiosTable ParseSmbios(std::span<const std::uint8_t> entry, std::span<const std::uint8_t> table) {
  SmbiosTable out;
  std::uint32_t count_limit = 0;
  if (auto ep = ParseSmbiosEntryPoint(entry)) {
    out.present = true;
    out.major = ep->major;
    out.minor = ep->minor;
    count_limit = ep->structure_count;
    // A table longer than the entry point says is cut to the stated length;
    // a shorter one is walked as far as it goes.
    if (ep->table_length > 0 && ep->table_length < table.size()) table = table.first(ep->table_length);
  }
  // The structures view one copy of the table.
  auto bytes = std::make_shared<const std::vector<std::uint8_t>>(table.begin(), table.end());
  out.bytes = bytes;
  table = std::span<const std::uint8_t>(*bytes);
  std::size_t pos = 0;
  std::uint32_t seen = 0;
  while (table.size() - pos >= kHeader && (count_limit == 0 || seen < count_limit) &&
         seen < SmbiosTable::kMaxStructures) {
    std::uint8_t type = table[pos];
    std::uint8_t length = table[pos + 1];
    // A structure shorter than its header (length 0 above all) leaves no way
    // to find the next one: the walk ends, as the kernel's does.
    if (length < kHeader || length > table.size() - pos) break;
    // The string set: NUL-terminated strings, ended by an empty one. A set
    // that does not end inside the table makes the structure unusable.
    std::size_t s = pos + length;
    std::vector<std::string> strings;
    bool ended = false;
    if (table.size() - s >= 2 && table[s] == 0 && table[s + 1] == 0) {
      s += 2;
      ended = true;
    } else {
      while (s < table.size()) {
        std::size_t start = s;
        while (s < table.size() && table[s] != 0) ++s;
        if (s >= table.size()) break;
        strings.emplace_back(reinterpret_cast<const char*>(table.data() + start), s - start);
        ++s;  // the string's NUL
        if (s < table.size() && table[s] == 0) {
          ++s;  // the set's final NUL
          ended = true;
          break;
        }
      }
    }
    if (!ended) break;
    ++seen;
    if (type == kEndOfTable) break;
    if (type != kInactive && type < kFirstOem) {
      SmbiosStructure st;
      st.type = type;
      st.handle = static_cast<std::uint16_t>(Little(table, pos + 2, 2));
      st.data = table.subspan(pos, length);
      st.strings = std::move(strings);
      out.structures.push_back(std::move(st));
    }
    pos = s;
  }
  return out;
}

}  // namespace wmi::lx
