// Sanitized captures: what identifies a machine or a person (serial numbers,
// UUIDs, MAC and IP addresses, host, domain and user names, SIDs, processor
// IDs, volume serials, device instance ids, print jobs, free text) masked
// before a capture is shared.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "wmi/recorded/snapshot.h"

namespace cli {

// The identifying properties, in whatever class they occur: plain names apply
// to every class, "Class.Property" entries to that class alone (where the
// name alone, such as Name, identifies nothing elsewhere). Their values are
// masked, and found and masked inside every other text too.
const std::vector<std::string_view>& SanitizedProperties();

// Names of things (volume labels) masked where they stand and wherever they
// are a whole component of a path (/media/user/LABEL).
const std::vector<std::string_view>& SanitizedNames();

// Free text (comments, locations, descriptions a person wrote, document names,
// share names): masked where it stands, text values only.
const std::vector<std::string_view>& SanitizedFreeText();

// A new random key: masks made with it link to nothing else.
std::string RandomKey();

// The site key kept in `path`, made (a random key, readable by its owner
// alone) when the file is missing. Throws UsageError when it cannot be read
// or made.
std::string SiteKey(const std::string& path);

// Masks what identifies. A mask is keyed: the same value (case and the
// padding around it aside) under the same key gets the same mask in every
// capture, and nothing can be told from a mask without the key. MAC addresses
// become locally administered addresses, IPv4 and IPv6 addresses documentation
// addresses (192.0.2.x, 2001:db8::x), the rest "masked-" and ten hex digits.
// Found and masked inside all text as well: the serials inside device instance
// ids (USB\VID_3923&PID_7241\01A2B3C4) and the object paths that name them,
// user names in home folders (/home/NAME, /media/NAME, C:\Users\NAME), the
// host of a UNC path (\\PC1\...), the user, password and address of a URL.
// The header's machine id is masked like the UUID it comes from.
void Sanitize(wmi::Snapshot& snapshot, std::string_view key);
// With a random key.
void Sanitize(wmi::Snapshot& snapshot);

}  // namespace cli
