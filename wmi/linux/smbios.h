// The SMBIOS table walk: the entry point (2.x "_SM_", legacy "_DMI_", 3.x
// "_SM3_") and the structures of the table, each with its formatted area and
// its string set. Every read is bounds-checked: a truncated, lying or
// string-less table gives fewer structures or fields, never a read past the
// buffer. What the structures mean is decoded beside the builders that use
// them (firmware.cpp, memory.cpp, cpu.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace wmi::lx {

// One structure: its header, formatted area (header included) and strings.
// Lean, for tables of many structures: the formatted area is a view into the
// table's bytes, which the table holds, and a structure without strings holds
// no memory of its own.
struct SmbiosStructure {
  std::uint8_t type = 0;
  std::uint16_t handle = 0;
  std::span<const std::uint8_t> data;  // the formatted area, `length` bytes
  std::vector<std::string> strings;    // string 1 is strings[0]

  // The field at `offset` (from the start of the structure); nullopt past the formatted area.
  std::optional<std::uint8_t> Byte(std::size_t offset) const;
  std::optional<std::uint16_t> Word(std::size_t offset) const;
  std::optional<std::uint32_t> Dword(std::size_t offset) const;
  std::optional<std::uint64_t> Qword(std::size_t offset) const;
  // The string whose number is the byte at `offset`; nullopt for number 0,
  // a number past the string set or an offset past the formatted area.
  // Trailing and leading blanks are kept: firmware's text as it is.
  std::optional<std::string> String(std::size_t offset) const;
};

struct SmbiosTable {
  bool present = false;  // an entry point was recognised
  int major = 0, minor = 0;
  std::vector<SmbiosStructure> structures;                 // active ones, in table order (126 and 128-255 left out)
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;  // what `data` views; copies of the table share it

  // Each structure has a handle of its own, 0 to 0FEFFh: no table holds more
  // structures than that, and a walk stops there.
  static constexpr std::uint32_t kMaxStructures = 0xFF00;

  std::vector<const SmbiosStructure*> OfType(std::uint8_t type) const;
  const SmbiosStructure* First(std::uint8_t type) const;
  const SmbiosStructure* ByHandle(std::uint16_t handle) const;
  // The version as one number, major * 100 + minor (2.7 -> 207, 3.2 -> 302).
  int Version() const { return major * 100 + minor; }
};

struct SmbiosEntryPoint {
  int major = 0, minor = 0;
  std::uint64_t table_length = 0;     // 2.x: exact length; 3.x: maximum size
  std::uint32_t structure_count = 0;  // 2.x only; 0 when not given
  bool v3 = false;
};

std::optional<SmbiosEntryPoint> ParseSmbiosEntryPoint(std::span<const std::uint8_t> entry);
// The structures of `table` as the entry point describes it. Without a
// recognised entry point the table is still walked (up to its own end) with
// version 0.0 and `present` false.
SmbiosTable ParseSmbios(std::span<const std::uint8_t> entry, std::span<const std::uint8_t> table);

}  // namespace wmi::lx
