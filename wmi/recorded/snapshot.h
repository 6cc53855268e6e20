// Recorded snapshots: the instances of a machine's WMI classes captured in a
// JSON file, answered as a provider. Format:
//   {"namespaces": {"root\\cimv2": {"Win32_DiskDrive": [ {"Caption": "Disk 0", ...} ],
//                                   "Win32_Fan": []}}}
// Namespace and class names match without regard to case. A class listed with
// [] exists with no instances; a class not listed does not exist; a namespace
// not listed cannot be connected to. Property order is the file's order.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "wmi/provider.h"

namespace wmi {

struct RecordedClass {
  std::string name;
  std::vector<Instance> instances;
};

struct RecordedNamespace {
  std::string name;  // e.g. "root\cimv2"
  std::vector<RecordedClass> classes;
};

struct Snapshot {
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
