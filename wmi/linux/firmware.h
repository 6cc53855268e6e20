// What the builders of SMBIOS classes share (firmware.cpp, memory.cpp,
// cpu.cpp): typed fields of a structure and code tables as data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace wmi::lx {

class Builder;
class Context;
class Tree;
struct SmbiosStructure;

// One row of a code table: an SMBIOS code and the WMI value map's code for the same thing.
struct CodeMap {
  std::int64_t smbios;
  std::int64_t wmi;
};

// The 1, 2 or 4-byte field at `offset`; nullopt past the formatted area.
std::optional<std::int64_t> Field(const SmbiosStructure& s, std::size_t offset, int size);
// The WMI code of an SMBIOS code; nullopt for a code the table lacks.
std::optional<std::int64_t> MapCode(std::span<const CodeMap> table, std::optional<std::int64_t> code);
// Caption, Description and Name `caption`, and the Tag, of a CIM_PhysicalElement.
void PhysicalElement(Builder& b, const std::string& caption, const std::string& tag);

// The physical processors and logical processors of the machine: the kernel's, else the firmware's
// populated sockets and their threads (cpu.cpp).
struct ProcessorCount {
  std::optional<std::int64_t> packages, logical;
};
ProcessorCount CountProcessors(Context& ctx);

// The header of an ACPI table the kernel shows (/sys/firmware/acpi/tables, root only), and the
// firmware's preferred power management profile (acpi.cpp).
struct AcpiHeader {
  std::string oem_id;  // six bytes, as the firmware pads them
  std::uint32_t oem_revision = 0;
};
std::optional<AcpiHeader> ReadAcpiHeader(const Tree& tree, const std::string& signature);
// The FADT's preferred PM profile (0 Unspecified, 1 Desktop, 2 Mobile ... 8 Tablet); nullopt where unreadable.
std::optional<std::int64_t> AcpiPmProfile(const Tree& tree);

}  // namespace wmi::lx
