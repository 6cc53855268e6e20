// A small decoder of the EDID a monitor hands its graphics card (the base
// block and the count of extension blocks). Every byte is read only where the
// input holds it: a short, truncated or corrupted EDID gives fewer fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wmi::lx {

struct EdidTiming {
  int width = 0, height = 0;  // active pixels (height per frame)
  double refresh = 0;         // Hz, 0 when the pixel clock or the totals are 0
  bool interlaced = false;
  int width_mm = 0, height_mm = 0;  // image size, 0 when not given
};

struct Edid {
  bool checksum_ok = false;                    // the 128 bytes of the base block sum to 0 (false when it is short)
  std::size_t size = 0;                        // bytes given
  std::optional<std::string> manufacturer;     // PnP ID, three letters "DEL"
  std::optional<unsigned> product_code;        // little-endian word at 10
  std::optional<std::uint32_t> serial_number;  // 0 is left out
  std::optional<int> week, year;               // year of manufacture (or model year when week is 0xFF)
  std::optional<int> version, revision;        // 1, 3 for EDID 1.3
  std::optional<bool> digital;
  std::optional<int> width_cm, height_cm;  // maximum image size
  std::optional<std::string> name;         // display product name (descriptor 0xFC)
  std::optional<std::string> serial_text;  // display product serial (0xFF)
  std::vector<std::string> texts;          // unspecified texts (0xFE), as laptop panels carry: maker, then model
  std::optional<EdidTiming> preferred;     // the first detailed timing
  std::optional<int> min_vertical_hz, max_vertical_hz, max_pixel_clock_mhz;  // range limits (0xFD)
  std::optional<int> extensions;                                             // extension blocks announced at byte 126

  // "DEL40A6": the PnP ID and the product code in four upper-case hex digits.
  std::optional<std::string> PnpId() const;
  // The model as users know it: the product name, else the panel's last text, else nullopt.
  std::optional<std::string> ModelName() const;
};

// nullopt when the input is shorter than the 8-byte header or does not start with it.
std::optional<Edid> DecodeEdid(std::string_view bytes);

}  // namespace wmi::lx
