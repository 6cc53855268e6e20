// libFuzzer target over the readers of rpm's package files: the input is one
// whole file, walked as Berkeley DB hash (Packages) and as ndb (Packages.db);
// each blob found goes on to the header decoder. The seeds in
// seeds/rpm_files are the little-endian Packages and the Packages.db of
// tests/data/rpm.
#include <cstddef>
#include <cstdint>
#include <span>

#include "wmi/linux/rpm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto read = wmi::lx::RpmReadBytes(std::span<const std::uint8_t>(data, size));
  auto each = [&](std::uint32_t instance, std::span<const std::uint8_t> blob) {
    // Instance 0 is rpm's counter, never a package; no blob is longer than the file.
    if (instance == 0 || blob.size() > size) __builtin_trap();
    (void)wmi::lx::DecodeRpmHeader(blob);
  };
  wmi::lx::EachBdbValue(read, each);
  wmi::lx::EachNdbBlob(read, each);
  return 0;
}
