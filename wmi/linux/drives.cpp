// Removable-media drives: Win32_CDROMDrive (/sys/block/sr* and the drive
// table of /proc/sys/dev/cdrom/info), Win32_TapeDrive (/sys/class/scsi_tape),
// Win32_FloppyDrive (/sys/block/fd*) and Win32_FloppyController (the
// firmware's PNP0700 or PNP0604 device).
#include <cstdio>

#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"

namespace wmi::lx {

namespace {

// The SCSI device a block or tape device hangs off: vendor, model, revision and its h:c:t:l address.
struct ScsiDevice {
  std::optional<std::string> vendor, model, rev;
  std::optional<std::string> path;
  int host = -1, channel = -1, target = -1, lun = -1;
  std::string Name() const {
    std::string n = vendor.value_or("");
    if (model) n += (n.empty() ? "" : " ") + *model;
    return n;
  }
};

ScsiDevice ReadScsi(const Tree& tree, const std::string& device_link) {
  ScsiDevice s;
  s.path = tree.Resolve(device_link);
  s.vendor = Printable(tree.Line(device_link + "/vendor"));
  s.model = Printable(tree.Line(device_link + "/model"));
  s.rev = Printable(tree.Line(device_link + "/rev"));
  if (s.path) std::sscanf(Basename(*s.path).c_str(), "%d:%d:%d:%d", &s.host, &s.channel, &s.target, &s.lun);
  return s;
}

void ScsiAddress(Builder& b, const ScsiDevice& s) {
  if (s.host < 0) return;
  b.Int("SCSIPort", s.host).Int("SCSIBus", s.channel).Int("SCSITargetId", s.target).Int("SCSILogicalUnit", s.lun);
}

// A SCSI-style hardware id: "SCSI\CDROM&VEN_HL-DT-ST&PROD_DVDRAM_GH24NSD1\1:0:0:0".
std::string ScsiId(const char* type, const ScsiDevice& s, const std::string& fallback) {
  auto part = [](std::optional<std::string> v) {
    std::string o = v.value_or("");
    for (char& c : o)
      if (c == ' ') c = '_';
    return o;
  };
  std::string addr = s.path ? Basename(*s.path) : fallback;
  return std::string("SCSI\\") + type + "&VEN_" + part(s.vendor) + "&PROD_" + part(s.model) + "\\" + addr;
}

// What a CD-ROM and a tape drive share: the device and PnP ids, the name
// (vendor and model, else `kind`) and the maker.
void ScsiDrive(Builder& b, const char* type, const ScsiDevice& s, const std::string& name, const char* kind) {
  std::string id = ScsiId(type, s, name);
  std::string label = s.Name();
  b.Device(id, label.empty() ? kind : label, kind);
  b.Text("PNPDeviceID", id).Text("Manufacturer", s.vendor).Int("Availability", 3);
}

// The columns of /proc/sys/dev/cdrom/info: for each drive name, its "Can ..." flags.
std::map<std::string, std::map<std::string, bool>> CdromTable(const Tree& tree) {
  std::map<std::string, std::map<std::string, bool>> out;
  std::vector<std::string> drives;
  for (const std::string& line : Lines(tree.Read("/proc/sys/dev/cdrom/info").value_or(""))) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = Trim(line.substr(0, colon));
    auto values = Words(line.substr(colon + 1));
    if (key == "drive name") {
      drives = values;
      continue;
    }
    for (std::size_t i = 0; i < values.size() && i < drives.size(); ++i) out[drives[i]][key] = values[i] == "1";
  }
  return out;
}

}  // namespace

InstanceList BuildCdromDrives(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  auto table = CdromTable(tree);
  InstanceList out;
  for (const std::string& name : tree.List("/sys/block")) {
    if (!StartsWith(name, "sr")) continue;
    std::string dir = "/sys/block/" + name;
    ScsiDevice s = ReadScsi(tree, dir + "/device");
    Builder b(def, ctx);
    ScsiDrive(b, "CDROM", s, name, "CD-ROM Drive");
    b.Text("Drive", "/dev/" + name).Text("Id", "/dev/" + name);
    b.Text("RevisionLevel", s.rev).Text("MfrAssignedRevisionLevel", s.rev);
    ScsiAddress(b, s);
    auto flags = table.count(name) ? table[name] : std::map<std::string, bool>{};
    bool dvd_writer = flags["Can write DVD-R"] || flags["Can write DVD-RAM"];
    bool cd_writer = flags["Can write CD-R"] || flags["Can write CD-RW"];
    b.Text("MediaType", dvd_writer              ? "DVD Writer"
                        : cd_writer             ? "CD Writer"
                        : flags["Can read DVD"] ? "DVD-ROM"
                                                : "CD-ROM");
    // Capabilities: 3 random access, 4 supports writing, 7 supports removable media.
    std::vector<std::int64_t> caps{3, 7};
    std::vector<std::string> descr{"Random Access", "Supports Removable Media"};
    if (dvd_writer || cd_writer) {
      caps.insert(caps.begin() + 1, 4);
      descr.insert(descr.begin() + 1, "Supports Writing");
    }
    b.Ints("Capabilities", caps).Texts("CapabilityDescriptions", descr);
    // The kernel shows a size only while a disc is in the drive.
    if (auto sectors = tree.Number(dir + "/size")) {
      b.Bool("MediaLoaded", *sectors > 0);
      if (*sectors > 0) b.Big("Size", static_cast<std::uint64_t>(*sectors) * 512);
    }
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildTapeDrives(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  for (const std::string& name : tree.List("/sys/class/scsi_tape")) {
    // st0 only: nst0 (no rewind) and the mode variants st0l, st0m, st0a are the same drive.
    if (!StartsWith(name, "st") || name.size() < 3 || !ParseInt(name.substr(2))) continue;
    std::string dir = "/sys/class/scsi_tape/" + name;
    ScsiDevice s = ReadScsi(tree, dir + "/device");
    Builder b(def, ctx);
    ScsiDrive(b, "SEQUENTIAL", s, name, "Tape drive");
    b.Text("Id", "/dev/" + name);
    // Capabilities: 2 sequential access, 7 supports removable media.
    b.Ints("Capabilities", std::vector<std::int64_t>{2, 7});
    b.Texts("CapabilityDescriptions", std::vector<std::string>{"Sequential Access", "Supports Removable Media"});
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildFloppyDrives(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  for (const std::string& name : tree.List("/sys/block")) {
    if (!StartsWith(name, "fd") || name.size() < 3 || !ParseInt(name.substr(2))) continue;
    Builder b(def, ctx);
    b.Device("FDC\\GENERIC_FLOPPY_DRIVE\\" + name, "Floppy disk drive");
    b.Ints("Capabilities", std::vector<std::int64_t>{3, 7});
    b.Texts("CapabilityDescriptions", std::vector<std::string>{"Random Access", "Supports Removable Media"});
    if (auto sectors = tree.Number("/sys/block/" + name + "/size"); sectors && *sectors > 0)
      b.Big("MaxMediaSize", static_cast<std::uint64_t>(*sectors) / 2);  // kilobytes
    b.Text("PNPDeviceID", "FDC\\GENERIC_FLOPPY_DRIVE\\" + name).Int("Availability", 3);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildFloppyControllers(const ClassDef& def, Context& ctx) {
  for (const char* hid : {"PNP0700", "PNP0604"}) {
    auto a = FindAcpi(ctx.tree(), hid);
    if (!a) continue;
    Builder b(def, ctx);
    b.Device(a->device_id, "Standard floppy disk controller");
    b.Text("PNPDeviceID", a->device_id).Int("Availability", 3).Bool("PowerManagementSupported", false);
    b.Int("ProtocolSupported", 7);  // flexible diskette
    return {b.Build()};
  }
  return {};
}

}  // namespace wmi::lx
