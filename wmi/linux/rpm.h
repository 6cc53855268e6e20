// rpm's package database: the header of each installed package, as rpm 4.16
// and later keep it in rpmdb.sqlite (table Packages, one header blob a row).
// The blob is decoded with every bound checked: a truncated or lying header
// gives fewer fields, never a read past its bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "wmi/linux/backend.h"

namespace wmi::lx {

// The fields of an installed package's header that Win32_Product shows.
struct RpmPackage {
  std::optional<std::string> name, version, release, summary, vendor, url, arch;
  std::optional<std::uint32_t> epoch, install_time;  // install time in seconds since the epoch
};

// Decodes a header as the database stores it: index count and data length
// (big-endian 32-bit), the 16-byte index entries (tag, type, offset, count),
// then the data store. nullopt when the intro and index do not fit the blob;
// an entry whose value leaves the store (or a string without its terminator)
// is left out.
std::optional<RpmPackage> DecodeRpmHeader(std::span<const std::uint8_t> blob);

// Win32_Product instances of the packages in rpm's database, read-only, from
// the tree's /usr/lib/sysimage/rpm or /var/lib/rpm; none without the database
// (or in a build without SQLite).
InstanceList RpmProducts(const ClassDef& def, Context& ctx);

}  // namespace wmi::lx
