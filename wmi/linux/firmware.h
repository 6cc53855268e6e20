// What the builders of SMBIOS classes share (firmware.cpp, memory.cpp,
// cpu.cpp): typed fields of a structure and code tables as data.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace wmi::lx {

class Builder;
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

}  // namespace wmi::lx
