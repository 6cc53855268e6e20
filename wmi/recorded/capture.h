// Capture of a live WMI service into a recorded snapshot, so that what the
// service answered can be replayed by the recorded backend on any platform.
#pragma once

#include <string>
#include <vector>

#include "wmi/provider.h"
#include "wmi/recorded/snapshot.h"

namespace wmi {

// Runs "Select * from <class>" (flags 48) on namespace `ns` (e.g. "root\cimv2")
// for each class in turn and records the instances in the order delivered. A
// class whose query or first enumeration step fails is left out, so that the
// snapshot answers it as the service did (no such class); one that fails
// later keeps the instances delivered before the failure. A class named twice
// is recorded once. The CIM types the provider reports with the properties
// (Property::type) become the class's types. Throws Error(ConnectFailed) when `ns` cannot be connected.
RecordedNamespace CaptureNamespace(Provider& provider, const std::string& ns, const std::vector<std::string>& classes);

// The snapshot of one namespace, ready for SerializeSnapshot.
Snapshot CaptureSnapshot(Provider& provider, const std::string& ns, const std::vector<std::string>& classes);

}  // namespace wmi
