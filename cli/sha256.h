// SHA-256 and HMAC-SHA-256 (FIPS 180-4, RFC 2104), for the keyed masks of
// sanitized captures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

using Digest = std::array<std::uint8_t, 32>;

Digest Sha256(std::string_view data);
Digest HmacSha256(std::string_view key, std::string_view data);

// The digest as lower-case hex.
std::string Hex(const Digest& digest);

}  // namespace cli
