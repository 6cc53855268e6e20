// The composite buttons: the base board read two ways (Command57), the USB
// devices through their controller associations (Command58) and the operating
// system listing (Command60). The battery button is a class dump and is run by
// the class browser.
#pragma once

#include <string>
#include <string_view>

#include "queries/buttons.h"
#include "queries/host.h"

namespace queries {

void RunBaseBoardAdapters(Host& host, const Button& button);  // Command57
void RunUsbDevices(Host& host, const Button& button);         // Command58
void RunOperatingSystem(Host& host, const Button& button);    // Command60

// The device id in an association's `Dependent` path, read as an object path
// quotes it: the key's value after the first "=", without its quotation
// marks, its escapes kept as written (backslashes still doubled, \" for a
// quotation mark) for DeviceQueryOf to resolve. Empty optional when the path
// holds no "=" or its quoted value does not end.
std::optional<std::string> DeviceIdOfDependent(std::string_view path);

// The query for the device of that id: the id's object-path escapes resolved
// (a backslash takes the next character as it is), then written as a WQL
// literal, so that quotes and backslashes in a device id reach the query
// intact.
std::string DeviceQueryOf(std::string_view dependent_id);

}  // namespace queries
