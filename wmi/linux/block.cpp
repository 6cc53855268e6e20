// Win32_DiskDrive and Win32_DiskPartition from /sys/block (udev's database in
// /run/udev/data for serial numbers where sysfs has none).
#include "wmi/linux/block.h"

#include <algorithm>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"

namespace wmi::lx {

namespace {

bool IsDiskName(const std::string& n) {
  for (const char* skip : {"loop", "ram", "zram", "dm-", "md", "sr", "fd", "nbd", "zd"})
    if (StartsWith(n, skip)) return false;
  return true;
}

std::optional<std::string> UdevProperty(const Tree& tree, const std::string& dev, const char* key) {
  auto data = tree.Read("/run/udev/data/b" + dev);
  if (!data) return std::nullopt;
  std::string prefix = std::string("E:") + key + "=";
  for (const std::string& line : Lines(*data))
    if (StartsWith(line, prefix)) {
      std::string v = Trim(line.substr(prefix.size()));
      if (!v.empty()) return v;
    }
  return std::nullopt;
}

}  // namespace

std::vector<BlockDisk> ReadDisks(const Tree& tree) {
  std::vector<BlockDisk> disks;
  for (const std::string& name : tree.List("/sys/block")) {
    if (!IsDiskName(name)) continue;
    std::string dir = "/sys/block/" + name;
    BlockDisk d;
    d.name = name;
    auto sectors = tree.Number(dir + "/size", 0, INT64_MAX / 512);  // 512-byte sectors, whatever the block size
    d.removable = tree.Number(dir + "/removable").value_or(0) == 1;
    d.read_only = tree.Number(dir + "/ro").value_or(0) == 1;
    if (!sectors || *sectors < 0) continue;
    if (*sectors == 0 && !d.removable) continue;  // an unused device slot (nbd, empty virtual disks)
    d.sectors = static_cast<std::uint64_t>(*sectors);
    d.logical_block = tree.Number(dir + "/queue/logical_block_size", 512, 1 << 16).value_or(512);
    d.dev = tree.Line(dir + "/dev").value_or("");
    d.device = tree.Resolve(dir + "/device");
    d.model = tree.Line(dir + "/device/model");
    d.vendor = tree.Line(dir + "/device/vendor");
    if (d.vendor && StartsWith(*d.vendor, "0x")) d.vendor.reset();  // virtio gives its PCI vendor number
    d.serial = tree.Line(dir + "/serial");
    if (!d.serial) d.serial = tree.Line(dir + "/device/serial");
    if (!d.serial && !d.dev.empty()) d.serial = UdevProperty(tree, d.dev, "ID_SERIAL_SHORT");
    d.firmware = tree.Line(dir + "/device/firmware_rev");
    if (!d.firmware) d.firmware = tree.Line(dir + "/device/rev");
    for (const std::string& part : tree.List(dir)) {
      std::string pdir = dir + "/" + part;
      auto number = StartsWith(part, name) ? tree.Number(pdir + "/partition") : std::nullopt;
      if (!number) continue;
      BlockPartition p;
      p.name = part;
      p.number = *number;
      p.start = static_cast<std::uint64_t>(tree.Number(pdir + "/start", 0, INT64_MAX / 512).value_or(0));
      p.sectors = static_cast<std::uint64_t>(tree.Number(pdir + "/size", 0, INT64_MAX / 512).value_or(0));
      p.dev = tree.Line(pdir + "/dev").value_or("");
      d.partitions.push_back(p);
    }
    std::sort(d.partitions.begin(), d.partitions.end(),
              [](const BlockPartition& a, const BlockPartition& b) { return a.start < b.start; });
    disks.push_back(std::move(d));
  }
  return disks;
}

namespace {

// A part of a device id: blanks as '_', upper case, nothing that separates the id's parts.
std::string IdPart(std::string_view s) {
  std::string o = Upper(Trim(s));
  for (char& c : o)
    if (c == ' ' || c == '\\' || c == '&') c = '_';
  return o;
}

// The disk's own device id, in the forms Windows gives disks:
//   USBSTOR\DISK&VEN_v&PROD_p&REV_r\<serial of the USB device>&<LUN>   for USB disks,
//   SCSI\DISK&VEN_v&PROD_p\<kernel name>                                for the others (SATA, SAS, NVMe, virtio).
// The vendor is the device's own; NVMe and virtio disks, which name none, take NVME and VIRTIO.
std::string DiskDeviceId(Context& ctx, const BlockDisk& d, bool usb, const std::vector<std::string>& hctl) {
  std::string vendor = d.vendor.value_or("");
  if (vendor.empty() && StartsWith(d.name, "nvme")) vendor = "NVME";
  if (vendor.empty() && d.device && d.device->find("/virtio") != std::string::npos) vendor = "VIRTIO";
  std::string id =
      std::string(usb ? "USBSTOR" : "SCSI") + "\\DISK&VEN_" + IdPart(vendor) + "&PROD_" + IdPart(d.model.value_or(""));
  if (usb) {
    if (d.firmware) id += "&REV_" + IdPart(*d.firmware);
    std::string instance = d.name;
    for (const UsbDevice& u : ctx.Usb())
      if (d.device && StartsWith(*d.device, u.sysfs + "/")) instance = u.device_id.substr(u.device_id.rfind('\\') + 1);
    return id + "\\" + instance + "&" + (hctl.size() == 4 ? hctl[3] : "0");
  }
  return id + "\\" + d.name;
}

}  // namespace

std::string PartitionId(std::size_t disk, std::size_t partition) {
  return "Disk #" + std::to_string(disk) + ", Partition #" + std::to_string(partition);
}

InstanceList BuildDiskDrives(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  std::vector<BlockDisk> disks = ReadDisks(tree);
  for (std::size_t index = 0; index < disks.size(); ++index) {
    const BlockDisk& d = disks[index];
    std::string path = d.device.value_or("");
    std::string interface = "SCSI";
    if (path.find("/usb") != std::string::npos)
      interface = "USB";
    else if (path.find("/ata") != std::string::npos)
      interface = "IDE";
    else if (path.find("/ieee1394") != std::string::npos || path.find("/firewire") != std::string::npos)
      interface = "1394";

    std::optional<std::string> model = d.model;  // the disk's own: virtio and xen disks have none
    std::optional<std::string> manufacturer;
    if (d.vendor && *d.vendor != "ATA") {
      manufacturer = d.vendor;
      if (model && !StartsWith(*model, *d.vendor)) model = *d.vendor + " " + *model;
    }
    // SCSI address H:C:T:L, where the disk hangs on a SCSI device.
    auto hctl = Split(Basename(path), ':');
    bool scsi = hctl.size() == 4 &&
                std::all_of(hctl.begin(), hctl.end(), [](const std::string& s) { return ParseInt(s).has_value(); });
    if (!scsi) hctl.clear();
    Builder b(def, ctx);
    std::string node = "/dev/" + d.name;
    b.Device(node, node, "Disk drive");
    b.Text("Caption", model.value_or(node));
    b.Text("Model", model);
    b.Text("Manufacturer", manufacturer.value_or("(Standard disk drives)"));
    b.Text("SerialNumber", d.serial).Text("FirmwareRevision", d.firmware);
    b.Text("PNPDeviceID", DiskDeviceId(ctx, d, interface == "USB", hctl));
    b.Int("Index", static_cast<std::int64_t>(index));
    b.Text("InterfaceType", interface);
    b.Text("MediaType", d.removable ? "Removable Media" : "Fixed hard disk media");
    b.Bool("MediaLoaded", d.sectors > 0);
    // Windows' geometry: 255 heads and 63 sectors a track, and the size is what the geometry holds,
    // the whole cylinders (up to 8 MB less than the disk's raw size).
    std::uint64_t bytes = d.sectors * 512;  // ReadDisks keeps sectors below INT64_MAX / 512
    std::uint64_t bps = static_cast<std::uint64_t>(d.logical_block);
    std::uint64_t cylinders = bytes / (255ull * 63ull * bps);
    b.Int("BytesPerSector", d.logical_block);
    b.Int("SectorsPerTrack", 63).Int("TracksPerCylinder", 255).Int("TotalHeads", 255);
    b.Big("TotalCylinders", cylinders).Big("TotalTracks", cylinders * 255);
    b.Big("TotalSectors", cylinders * 255 * 63).Big("Size", cylinders * 255 * 63 * bps);
    b.Int("Partitions", static_cast<std::int64_t>(d.partitions.size()));
    std::vector<std::int64_t> caps = {3};
    std::vector<std::string> descs = {"Random Access"};
    if (!d.read_only) {
      caps.push_back(4);
      descs.push_back("Supports Writing");
    }
    if (d.removable) {
      caps.push_back(7);
      descs.push_back("Supports Removable Media");
    }
    b.Ints("Capabilities", caps).Texts("CapabilityDescriptions", descs);
    if (scsi) {
      b.Int("SCSIPort", ParseInt(hctl[0])).Int("SCSIBus", ParseInt(hctl[1]));
      b.Int("SCSITargetId", ParseInt(hctl[2])).Int("SCSILogicalUnit", ParseInt(hctl[3]));
    }
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildDiskPartitions(const ClassDef& def, Context& ctx) {
  InstanceList out;
  std::vector<BlockDisk> disks = ReadDisks(ctx.tree());
  for (std::size_t di = 0; di < disks.size(); ++di) {
    const BlockDisk& d = disks[di];
    for (std::size_t pi = 0; pi < d.partitions.size(); ++pi) {
      const BlockPartition& p = d.partitions[pi];
      Builder b(def, ctx);
      std::string id = PartitionId(di, pi);
      b.Device(id, id, "/dev/" + p.name);
      b.Int("DiskIndex", static_cast<std::int64_t>(di)).Int("Index", static_cast<std::int64_t>(pi));
      b.Big("BlockSize", 512).Big("NumberOfBlocks", p.sectors);
      b.Big("Size", p.sectors * 512).Big("StartingOffset", p.start * 512);
      b.Bool("PrimaryPartition", p.number >= 1 && p.number <= 4);
      out.push_back(b.Build());
    }
  }
  return out;
}

}  // namespace wmi::lx
