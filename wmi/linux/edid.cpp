#include "wmi/linux/edid.h"

#include <cstdio>

namespace wmi::lx {

namespace {

constexpr unsigned char kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::size_t kBlock = 128;

class Bytes {
 public:
  explicit Bytes(std::string_view s) : s_(s) {}
  bool Has(std::size_t at, std::size_t n = 1) const { return at <= s_.size() && n <= s_.size() - at; }
  unsigned At(std::size_t i) const { return static_cast<unsigned char>(s_[i]); }
  std::size_t size() const { return s_.size(); }

 private:
  std::string_view s_;
};

// The 13 text bytes of a display descriptor: up to the line feed, printable ASCII only, blanks trimmed.
std::optional<std::string> DescriptorText(const Bytes& b, std::size_t at) {
  std::string out;
  for (std::size_t i = at; i < at + 13 && b.Has(i); ++i) {
    unsigned c = b.At(i);
    if (c == 0x0A || c == 0x00) break;
    if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  std::size_t lead = out.find_first_not_of(' ');
  if (lead == std::string::npos) return std::nullopt;
  return out.substr(lead);
}

void DetailedTiming(const Bytes& b, std::size_t at, Edid& e) {
  unsigned clock = b.At(at) | b.At(at + 1) << 8;  // 10 kHz units
  EdidTiming t;
  unsigned hblank = b.At(at + 3) | (b.At(at + 4) & 0x0F) << 8;
  unsigned vblank = b.At(at + 6) | (b.At(at + 7) & 0x0F) << 8;
  t.width = static_cast<int>(b.At(at + 2) | (b.At(at + 4) & 0xF0) << 4);
  t.height = static_cast<int>(b.At(at + 5) | (b.At(at + 7) & 0xF0) << 4);
  t.width_mm = static_cast<int>(b.At(at + 12) | (b.At(at + 14) & 0xF0) << 4);
  t.height_mm = static_cast<int>(b.At(at + 13) | (b.At(at + 14) & 0x0F) << 8);
  t.interlaced = (b.At(at + 17) & 0x80) != 0;
  double htotal = t.width + static_cast<double>(hblank);
  double vtotal = t.height + static_cast<double>(vblank);
  if (t.interlaced) {
    // The active and blanking lines of a field: a frame holds two.
    t.height *= 2;
    vtotal = vtotal * 2 + 1;
  }
  if (clock && htotal > 0 && vtotal > 0) t.refresh = clock * 10000.0 / (htotal * vtotal) * (t.interlaced ? 2 : 1);
  e.preferred = t;
}

void Descriptor(const Bytes& b, std::size_t at, bool first, Edid& e) {
  if (!b.Has(at, 18)) return;
  if (b.At(at) || b.At(at + 1)) {
    if (first) DetailedTiming(b, at, e);
    return;
  }
  switch (b.At(at + 3)) {
    case 0xFC:
      if (!e.name) e.name = DescriptorText(b, at + 5);
      break;
    case 0xFF:
      if (!e.serial_text) e.serial_text = DescriptorText(b, at + 5);
      break;
    case 0xFE:
      if (auto t = DescriptorText(b, at + 5)) e.texts.push_back(*t);
      break;
    case 0xFD: {
      // Offsets of the range limits: with EDID 1.4 the low bits of byte 4 add 255 to a maximum.
      unsigned flags = b.At(at + 4);
      int vmin = static_cast<int>(b.At(at + 5)) + ((flags & 0x01) ? 255 : 0);
      int vmax = static_cast<int>(b.At(at + 6)) + ((flags & 0x02) ? 255 : 0);
      if (vmin) e.min_vertical_hz = vmin;
      if (vmax) e.max_vertical_hz = vmax;
      if (b.At(at + 9)) e.max_pixel_clock_mhz = static_cast<int>(b.At(at + 9)) * 10;
      break;
    }
    default:
      break;
  }
}

}  // namespace

std::optional<Edid> DecodeEdid(std::string_view bytes) {
  Bytes b(bytes);
  if (!b.Has(0, sizeof kHeader)) return std::nullopt;
  for (std::size_t i = 0; i < sizeof kHeader; ++i)
    if (b.At(i) != kHeader[i]) return std::nullopt;
  Edid e;
  e.size = b.size();
  if (b.Has(0, kBlock)) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) sum += b.At(i);
    e.checksum_ok = (sum & 0xFF) == 0;
  }
  if (b.Has(8, 2)) {
    unsigned id = b.At(8) << 8 | b.At(9);
    char m[3] = {static_cast<char>('@' + (id >> 10 & 0x1F)), static_cast<char>('@' + (id >> 5 & 0x1F)),
                 static_cast<char>('@' + (id & 0x1F))};
    bool letters = true;
    for (char c : m) letters = letters && c >= 'A' && c <= 'Z';
    if (letters) e.manufacturer = std::string(m, 3);
  }
  if (b.Has(10, 2)) e.product_code = b.At(10) | b.At(11) << 8;
  if (b.Has(12, 4)) {
    std::uint32_t s = b.At(12) | b.At(13) << 8 | b.At(14) << 16 | static_cast<std::uint32_t>(b.At(15)) << 24;
    if (s) e.serial_number = s;
  }
  if (b.Has(16, 2)) {
    unsigned week = b.At(16), year = b.At(17);
    if (week >= 1 && week <= 54) e.week = static_cast<int>(week);
    if (year) e.year = 1990 + static_cast<int>(year);
  }
  if (b.Has(18, 2)) {
    e.version = static_cast<int>(b.At(18));
    e.revision = static_cast<int>(b.At(19));
  }
  if (b.Has(20)) e.digital = (b.At(20) & 0x80) != 0;
  if (b.Has(21, 2)) {
    if (b.At(21)) e.width_cm = static_cast<int>(b.At(21));
    if (b.At(22)) e.height_cm = static_cast<int>(b.At(22));
  }
  for (int d = 0; d < 4; ++d) Descriptor(b, 54 + 18 * static_cast<std::size_t>(d), d == 0, e);
  if (b.Has(126)) e.extensions = static_cast<int>(b.At(126));
  return e;
}

std::optional<std::string> Edid::PnpId() const {
  if (!manufacturer || !product_code) return std::nullopt;
  char code[8];
  std::snprintf(code, sizeof code, "%04X", *product_code & 0xFFFF);
  return *manufacturer + code;
}

std::optional<std::string> Edid::ModelName() const {
  if (name) return name;
  if (!texts.empty()) return texts.back();
  return std::nullopt;
}

}  // namespace wmi::lx
