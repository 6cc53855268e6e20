// The few live calls the backend makes besides reading files (getifaddrs,
// statvfs, uname, sysinfo, the clock and the local time zone) and the ID
// databases for PCI and USB names. The real implementation calls the system;
// the tree implementation answers from `<root>/live.json` so tests run on
// captured trees.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wmi::lx {

struct InterfaceAddress {
  std::string interface;  // "eth0"
  bool ipv6 = false;
  std::string address;  // "192.0.2.2", "fe80::1"
  int prefix = 0;       // prefix length of the netmask
};

struct FileSystemStats {
  std::uint64_t size = 0;             // bytes
  std::uint64_t available = 0;        // bytes an unprivileged user can use (f_bavail)
  std::optional<std::uint64_t> free;  // bytes free in all, the blocks reserved for root included (f_bfree)
  std::uint64_t block_size = 0;
  std::uint64_t name_max = 0;
};

struct UnameInfo {
  std::string sysname, nodename, release, version, machine;
};

struct SysInfo {
  std::int64_t uptime = 0;                                                   // seconds
  std::uint64_t total_ram = 0, free_ram = 0, total_swap = 0, free_swap = 0;  // bytes
  int processes = 0;
};

// The four registers one CPUID query answers.
struct CpuidRegs {
  std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

struct IdNames {
  std::optional<std::string> vendor;
  std::optional<std::string> device;
};

// What a print server tells of its queues and jobs: IPP attributes by name, each with its values as text
// (integers and enums in decimal, booleans "true"/"false", resolutions "600x600").
using IppAttributes = std::map<std::string, std::vector<std::string>>;
struct PrintServerState {
  std::vector<IppAttributes> printers;
  std::vector<IppAttributes> jobs;  // the unfinished jobs of every user, where the server tells them
  std::optional<std::string> default_printer;
};

class System {
 public:
  virtual ~System() = default;
  virtual std::vector<InterfaceAddress> InterfaceAddresses() = 0;
  virtual std::optional<FileSystemStats> FileSystem(const std::string& mount_point) = 0;
  virtual std::optional<UnameInfo> Uname() = 0;
  virtual std::optional<SysInfo> Sysinfo() = 0;
  // Seconds since the epoch (nullopt where there is no clock to read: a tree
  // without a recorded time), and the local time zone's offset from UTC in minutes at `t`.
  virtual std::optional<std::int64_t> Now() = 0;
  virtual int UtcOffsetMinutes(std::int64_t t) = 0;
  // Names from the ID databases; nullopt parts where the database has no entry.
  virtual IdNames PciNames(unsigned vendor, unsigned device) = 0;
  virtual std::optional<std::string> PciClassName(unsigned class_code) = 0;  // 0xCCSSPP
  virtual IdNames UsbNames(unsigned vendor, unsigned product) = 0;
  // This process's locale name ("ja_JP.UTF-8"): LC_ALL, LC_CTYPE or LANG of its environment.
  virtual std::optional<std::string> ProcessLocale() { return std::nullopt; }
  // The CPUID instruction of the processor this runs on, for a leaf (EAX) and
  // subleaf (ECX) within the processor's range; nullopt off x86 or past the range.
  virtual std::optional<CpuidRegs> Cpuid(std::uint32_t /*leaf*/, std::uint32_t /*subleaf*/) { return std::nullopt; }
  // The maker of a three-letter PnP ID ("DEL"), as monitors name themselves in their EDID.
  virtual std::optional<std::string> PnpVendorName(const std::string& /*pnp_id*/) { return std::nullopt; }
  // The local print server's queues and jobs; nullopt when there is none or it does not answer in time.
  virtual std::optional<PrintServerState> PrintServer() { return std::nullopt; }
};

// The print server CUPS's client settings name (CUPS_SERVER, client.conf, its local socket), asked
// over IPP with a short timeout (cups.cpp).
std::optional<PrintServerState> QueryCups();

// The live machine: libc calls, libpci for PCI names, udev's hwdb for USB names.
std::unique_ptr<System> MakeRealSystem();

// Names from a pci.ids file through libpci, as the live system reads them
// when udev's database lacks them. A file libpci cannot parse gives no names.
IdNames PciNamesFromIdsFile(const std::string& ids_file, unsigned vendor, unsigned device);

// Answers from the JSON file `<root>/live.json`:
//   {"now": 1700000000, "utc_offset_minutes": 540,
//    "uname": {"sysname": "Linux", "nodename": ..., "release": ..., "version": ..., "machine": ...},
//    "sysinfo": {"uptime": 1234, "total_ram": ..., "free_ram": ..., "total_swap": ..., "free_swap": ..., "processes":
//    90}, "locale": "C.UTF-8", "interfaces": [{"name": "eth0", "family": "inet"|"inet6", "address": "...", "prefix":
//    24}], "statvfs": {"/":
//    {"size": ..., "available": ..., "block_size": 4096, "name_max": 255}}, "pci": {"8086:0d57": ["Intel Corporation",
//    "..."]}, "pci_classes": {"060000": "Host bridge"}, "usb": {"1d6b:0002": ["Linux Foundation", "2.0 root hub"]},
//    "cpuid": {"1.0": [eax, ebx, ecx, edx], "8000001d.2": [...]}, (leaf.subleaf in hex: recorded answers)
//    "pnp": {"DEL": "Dell Inc."}}
// Every part is optional; a missing or malformed file answers as a machine
// without these sources.
std::unique_ptr<System> MakeTreeSystem(const std::string& root);

}  // namespace wmi::lx
