// Internals shared by the sources of the Linux backend: the context every
// instance builder reads from, the instance builder that types values by the
// class schema, and the helpers several sources share. The builders are
// named in classes.inc, one file per source.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wmi/instance.h"
#include "wmi/linux/schema.h"
#include "wmi/linux/system.h"
#include "wmi/linux/tree.h"

namespace wmi::lx {

struct SmbiosTable;

// A PCI device, read from /sys/bus/pci/devices.
struct PciDevice {
  std::string address;  // "0000:00:03.0"
  std::string sysfs;    // resolved path inside the tree
  unsigned vendor = 0, device = 0, subsystem_vendor = 0, subsystem_device = 0, revision = 0;
  unsigned class_code = 0;  // 0xCCSSPP
  std::string device_id;    // PCI\VEN_...&DEV_...&SUBSYS_...&REV_..\...
  std::optional<std::string> vendor_name, device_name, driver;
};

// A USB device (not an interface), read from /sys/bus/usb/devices.
struct UsbDevice {
  std::string name;   // "1-1.2", "usb1"
  std::string sysfs;  // resolved path inside the tree
  unsigned vendor = 0, product = 0, device_class = 0;
  std::string device_id;  // USB\VID_xxxx&PID_yyyy\instance
  std::optional<std::string> product_name, manufacturer, driver;
  bool root_hub = false;
};

// What one connection reads from: the tree, the live calls, and what several
// builders share (parsed once per connection).
class Context {
 public:
  Context(Tree tree, System& system) : tree_(std::move(tree)), system_(system) {}

  const Tree& tree() const { return tree_; }
  System& system() { return system_; }

  const std::string& HostName();
  std::optional<std::int64_t> BootTime();  // seconds since the epoch
  // A WMI datetime of `t` (seconds since the epoch) in the local time zone;
  // nullopt for a time a WMI datetime cannot hold (before 1601, after 9999).
  std::optional<std::string> DateTime(std::int64_t t, int micros = 0);

  // Devices on the PCI and USB buses (pci.cpp, usb.cpp), read once.
  const std::vector<PciDevice>& Pci();
  const std::vector<UsbDevice>& Usb();
  // The WMI device id of the PCI or USB device at or above a sysfs device path, if any.
  std::optional<std::string> DeviceIdAbove(const std::string& sysfs_path);
  // The firmware's SMBIOS table (firmware.cpp), read once; empty where it cannot be read.
  const SmbiosTable& Smbios();
  // The print server's queues and jobs (printers.cpp), asked once; nullopt without a server.
  const std::optional<PrintServerState>& PrintServer();

 private:
  Tree tree_;
  System& system_;
  std::optional<std::string> host_name_;
  std::optional<std::optional<std::int64_t>> boot_time_;
  std::optional<std::vector<PciDevice>> pci_;
  std::optional<std::vector<UsbDevice>> usb_;
  std::shared_ptr<const SmbiosTable> smbios_;
  std::optional<std::optional<PrintServerState>> print_server_;
};

// Builds one instance with every property of its class, Null where nothing is set.
class Builder {
 public:
  Builder(const ClassDef& def, Context& ctx);

  // Sets a property, typed by the schema: 64-bit integers, datetimes and
  // references become text; an integer outside its CIM type's range is Null;
  // control characters in text are replaced (CleanText). A name the class
  // lacks is a programming error (std::logic_error). nullopt leaves the property Null.
  Builder& Set(std::string_view name, Value v);
  Builder& Text(std::string_view name, std::optional<std::string> v);
  Builder& Int(std::string_view name, std::optional<std::int64_t> v);
  Builder& Big(std::string_view name, std::optional<std::uint64_t> v);
  Builder& Bool(std::string_view name, std::optional<bool> v);
  Builder& Texts(std::string_view name, std::optional<std::vector<std::string>> v);
  Builder& Ints(std::string_view name, std::optional<std::vector<std::int64_t>> v);
  // The common device properties: Caption, Description and Name (all `name`
  // unless a description is given), DeviceID, Status "OK" and the rest of a working device.
  Builder& Device(const std::string& device_id, const std::string& name, std::optional<std::string> description = {});

  Instance Build();

 private:
  std::size_t Index(std::string_view name) const;
  const ClassDef& def_;
  std::vector<Value> values_;
};

// An object path as WMI writes it: \\HOST\root\cimv2:Class.Key="value", with
// backslashes and quotes in the value escaped by a backslash.
std::string ObjectPath(Context& ctx, std::string_view class_name, std::string_view key, std::string_view value);

// Helpers shared by several sources.
std::vector<PciDevice> ReadPciDevices(Context& ctx);  // pci.cpp
std::vector<UsbDevice> ReadUsbDevices(Context& ctx);  // usb.cpp
// Class GUID and PnP class name of a PCI class code.
std::pair<std::optional<std::string>, std::optional<std::string>> PciPnpClass(unsigned class_code);

}  // namespace wmi::lx
