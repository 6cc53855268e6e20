// rpm's package database: the header of each installed package, as rpm keeps
// it in rpmdb.sqlite (4.16 and later: table Packages, one header blob a row),
// in Packages.db (its own "ndb" format) or in Packages (Berkeley DB hash,
// before 4.16). The files and the blob are decoded with every bound checked:
// a truncated or lying file or header gives fewer packages or fields, never a
// read past its bytes.
#pragma once

#include <cstdint>
#include <functional>
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

// Reads out.size() bytes of a database file at `offset`; false when the file
// ends before (or cannot be read).
using RpmReadAt = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)>;
// Called with a package's instance number (rpm's key for it) and its header blob.
using RpmEachBlob = std::function<void(std::uint32_t instance, std::span<const std::uint8_t> blob)>;

// Each value of a Berkeley DB hash database, either byte order, under its
// 4-byte key (instance 0, where rpm keeps its counter, left out): the buckets
// in order, each with its chain of pages, values on the page or on a chain of
// overflow pages. A page read twice, or past the last page the metadata
// names, ends the walk; so does any item that leaves its page.
void EachBdbValue(const RpmReadAt& read, const RpmEachBlob& fn);

// Each blob of rpm's ndb package file (Packages.db): the slots of its first
// pages name each instance's blocks; a blob whose frame or checksum does not
// match its slot is left out.
void EachNdbBlob(const RpmReadAt& read, const RpmEachBlob& fn);

// Reads a file of the database: a reader over bytes in memory (tests, fuzzing).
RpmReadAt RpmReadBytes(std::span<const std::uint8_t> bytes);

// Win32_Product instances of the packages in rpm's database, read-only, from
// the tree's /usr/lib/sysimage/rpm or else /var/lib/rpm (the first folder
// holding one of the three files is rpm's, and its newest format wins), in
// the order rpm added them; none without the database (nor from rpmdb.sqlite
// in a build without SQLite).
InstanceList RpmProducts(const ClassDef& def, Context& ctx);

}  // namespace wmi::lx
