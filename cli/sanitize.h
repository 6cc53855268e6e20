// Sanitized captures: what identifies a machine or a person (serial numbers,
// UUIDs, MAC and IP addresses, host, domain and user names, SIDs, processor
// IDs, volume serials) masked before a capture is shared.
#pragma once

#include <string_view>
#include <vector>

#include "wmi/recorded/snapshot.h"

namespace cli {

// The properties masked, in whatever class they occur: plain names apply to
// every class, "Class.Property" entries to that class alone (where the name
// alone, such as Name, identifies nothing elsewhere).
const std::vector<std::string_view>& SanitizedProperties();

// Masks every value of those properties (text, numbers and the elements of
// arrays; Null, booleans and empty text stay). One value gets one mask
// throughout the snapshot, so relations between classes still hold: MAC
// addresses become locally administered addresses, IPv4 and IPv6 addresses
// documentation addresses (192.0.2.x, 2001:db8::x), the rest "masked-N".
// Then every other occurrence of a masked value of four or more characters in
// any text (a host name inside a caption, a user name inside a path) is
// replaced by its mask too.
void Sanitize(wmi::Snapshot& snapshot);

}  // namespace cli
