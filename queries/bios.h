// BIOS characteristic codes and their descriptions.
#pragma once

#include <cstdint>
#include <string>

#include "wmi/value.h"

namespace queries {

// The description of one BiosCharacteristics code; the empty text for a code
// outside 0 to 39, negative ones included.
std::string GetBiosCharacteristics(const std::int32_t& lBiosChr);

// A value as a 32-bit signed integer code (integers, reals rounded half to
// even, decimal text). Throws wmi::Error(TypeMismatch) otherwise.
std::int32_t ToInt32(const wmi::Value& v);

}  // namespace queries
