// The ACPI tables the kernel shows below /sys/firmware/acpi: a table's
// header (its OEM id and revision, which Windows reports as the BIOS's
// version) and the FADT's preferred power management profile (which Windows
// reports as the PC system type). The tables are root only; pm_profile is
// readable by everyone.
#include <cstring>

#include "wmi/linux/firmware.h"
#include "wmi/linux/tree.h"

namespace wmi::lx {

namespace {

constexpr std::size_t kHeaderSize = 36;  // the header every ACPI system description table starts with

std::uint32_t Le32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

// The table, when it holds at least its header, says it is `signature` and is no longer than the file.
std::optional<std::string> ReadTable(const Tree& tree, const std::string& signature) {
  auto table = tree.Read("/sys/firmware/acpi/tables/" + signature);
  if (!table || table->size() < kHeaderSize || signature.size() != 4 || table->compare(0, 4, signature) != 0)
    return std::nullopt;
  std::uint32_t length = Le32(*table, 4);
  if (length < kHeaderSize || length > table->size()) return std::nullopt;
  table->resize(length);
  return table;
}

}  // namespace

std::optional<AcpiHeader> ReadAcpiHeader(const Tree& tree, const std::string& signature) {
  auto table = ReadTable(tree, signature);
  if (!table) return std::nullopt;
  AcpiHeader h;
  h.oem_id = table->substr(10, 6);
  // The id is six bytes padded with blanks; a firmware that pads with NULs ends it there.
  if (auto nul = h.oem_id.find('\0'); nul != std::string::npos) h.oem_id.resize(nul);
  h.oem_revision = Le32(*table, 24);
  return h;
}

std::optional<std::int64_t> AcpiPmProfile(const Tree& tree) {
  if (auto profile = tree.Number("/sys/firmware/acpi/pm_profile", 0, 255)) return profile;
  // The FADT's byte 45, from ACPI 2.0 on.
  auto fadt = ReadTable(tree, "FACP");
  if (!fadt || fadt->size() <= 45) return std::nullopt;
  return static_cast<unsigned char>((*fadt)[45]);
}

}  // namespace wmi::lx
