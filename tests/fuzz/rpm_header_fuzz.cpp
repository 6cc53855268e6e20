// libFuzzer target over the header decoder of rpm's package database. The
// input is one header blob as a row of rpmdb.sqlite holds it (the seed in
// seeds/rpm_header is one installed package's fields, built by hand).
#include <cstddef>
#include <cstdint>
#include <span>

#include "wmi/linux/rpm.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (auto p = wmi::lx::DecodeRpmHeader(std::span<const std::uint8_t>(data, size))) {
    // Each string and its terminator lie inside the input.
    for (const auto* field : {&p->name, &p->version, &p->release, &p->summary, &p->vendor, &p->url, &p->arch})
      if (*field && (*field)->size() >= size) __builtin_trap();
  }
  return 0;
}
