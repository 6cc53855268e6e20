// Recorded snapshots: the instances of a machine's WMI classes captured in a
// JSON file, answered as a provider. Format:
//   {"capture": {"format": "pcinfo-capture", "version": 1,
//                "captured": "2026-01-15T00:30:00Z", "program": "pcinfo-cli 1.0.0",
//                "source": "linux", "machine_id": "4c4c4544-...",
//                "types": {"root\\cimv2": {"Win32_DiskDrive": {"Size": "uint64", ...}}}},
//    "namespaces": {"root\\cimv2": {"Win32_DiskDrive": [ {"Caption": "Disk 0", ...} ],
//                                   "Win32_Fan": []}}}
// The "capture" header is optional: files written before it existed hold the
// namespaces alone and load as before. Its types are CIM type names (string,
// uint8 ... uint64, sint8 ... sint64, real32, real64, boolean, datetime,
// reference, object), "[]" appended for arrays.
// Namespace and class names match without regard to case. A class listed with
// [] exists with no instances; a class not listed does not exist; a namespace
// not listed cannot be connected to. Property order is the file's order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wmi/provider.h"

namespace wmi {

struct RecordedClass {
  std::string name;
  std::vector<Instance> instances;
  // The CIM type of each property, when the capture says; in any order.
  std::vector<std::pair<std::string, std::string>> types = {};

  // The property's CIM type ("uint64", "string[]"), case ignored; "" when not known.
  const std::string& TypeOf(std::string_view property) const;
};

struct RecordedNamespace {
  std::string name;  // e.g. "root\cimv2"
  std::vector<RecordedClass> classes;
};

// What a capture says about itself.
struct CaptureHeader {
  static constexpr const char* kFormat = "pcinfo-capture";
  static constexpr int kVersion = 1;
  std::string captured;    // the time of capture, UTC, "YYYY-MM-DDThh:mm:ssZ"
  std::string program;     // "pcinfo-cli 1.0.0"
  std::string source;      // "wmi", "linux", "tree" or "capture" (a capture of a capture)
  std::string machine_id;  // the firmware UUID where real, else the OS's machine id
};

struct Snapshot {
  std::optional<CaptureHeader> header;  // none in captures made before headers
  std::vector<RecordedNamespace> namespaces;

  const RecordedNamespace* FindNamespace(std::string_view name) const;
  const RecordedClass* FindClass(std::string_view ns, std::string_view cls) const;
};

// A snapshot file that cannot be read or parsed. what() names the file and the
// position (line and column, or the place in the document).
class SnapshotError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The most a snapshot file may hold: far above any machine's capture, and a
// bound on what a mistaken path (a device, a log) can make the reader take in.
inline constexpr std::uintmax_t kMaxSnapshotBytes = 256u << 20;

// Every failure, the JSON reader's included, is a SnapshotError naming the
// source.
Snapshot ParseSnapshot(std::string_view json_text, const std::string& source_name);
// Reads `path`: a regular file of at most kMaxSnapshotBytes (a directory, a
// pipe or a device is refused without reading from it).
std::string ReadSnapshotText(const std::string& path);
Snapshot LoadSnapshotFile(const std::string& path);

// The snapshot as JSON text, in the format above (two-space indented).
std::string SerializeSnapshot(const Snapshot& snapshot);

class RecordedProvider : public Provider {
 public:
  explicit RecordedProvider(std::shared_ptr<const Snapshot> snapshot) : snapshot_(std::move(snapshot)) {}
  static std::unique_ptr<RecordedProvider> FromFile(const std::string& path);

  const Snapshot& snapshot() const { return *snapshot_; }

 protected:
  std::unique_ptr<Connection> ConnectNamespace(const std::string& ns) override;

 private:
  std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace wmi
