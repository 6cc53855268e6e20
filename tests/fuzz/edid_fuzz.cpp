// Fuzz target of the EDID decoder: any bytes decode without a read past the
// input, and what decodes stays within the format's ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "wmi/linux/edid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto e = wmi::lx::DecodeEdid(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!e) return 0;
  if (e->size != size) std::abort();
  if (e->manufacturer && e->manufacturer->size() != 3) std::abort();
  if (e->product_code && *e->product_code > 0xFFFF) std::abort();
  if (e->name && e->name->size() > 13) std::abort();
  for (const auto& t : e->texts)
    if (t.empty() || t.size() > 13) std::abort();
  if (e->preferred && (e->preferred->width < 0 || e->preferred->width > 4095 || e->preferred->refresh < 0))
    std::abort();
  if (auto id = e->PnpId(); id && id->size() != 7) std::abort();
  (void)e->ModelName();
  return 0;
}
