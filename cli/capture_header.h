// What a capture says about itself (wmi::CaptureHeader): when it was made, by
// what, from where, of which machine, and the CIM type of every property.
#pragma once

#include <string>
#include <string_view>

#include "cli/cli.h"
#include "wmi/recorded/snapshot.h"

namespace cli {

// Fills in the CIM type of every property of every class that has none yet
// (a capture of a provider that reports types, the Windows backend's, has
// them already and keeps them): from the Linux backend's schema where this build has it and it knows the
// class, else from the values themselves (an integer as sint64, text that
// reads as a CIM datetime as datetime, ...). Types a class has are kept.
void FillTypes(wmi::Snapshot& snapshot);

// The CIM type of a property the schema of this build knows ("uint64",
// "string[]"), "" when it does not.
std::string SchemaType(std::string_view class_name, std::string_view property);

// A firmware UUID that identifies one machine: not all zeros, not all Fs, not
// one of the placeholders firmware ships with. Returns it in lower case, or ""
// when it is none of that.
std::string RealUuid(std::string_view text);

// The machine's stable id as the capture's data tell it: the real UUID of
// Win32_ComputerSystemProduct, else "" (the caller then asks the system).
std::string MachineIdFromData(const wmi::Snapshot& snapshot);

// The stable id of the machine the options read: the real firmware UUID
// (from the capture's data, or on Linux /sys/class/dmi/id/product_uuid of the
// tree), else the OS's own machine id (/etc/machine-id of the tree, Windows'
// MachineGuid); "" when nothing tells it.
std::string MachineIdOfSystem(const Options& options, const wmi::Snapshot& snapshot);

// The machine's name as the capture's data tell it: Win32_ComputerSystem.Name,
// else Win32_OperatingSystem.CSName, else "".
std::string MachineNameFromData(const wmi::Snapshot& snapshot);

// The time now, UTC, "YYYY-MM-DDThh:mm:ssZ".
std::string UtcNow();

// A CIM datetime ("20240131235959.000000+540") as ISO 8601 in UTC
// ("2024-01-31T14:59:59Z"); "" when the text is not one (an interval, a
// wildcard, anything else).
std::string CimDateTimeUtc(std::string_view text);

}  // namespace cli
