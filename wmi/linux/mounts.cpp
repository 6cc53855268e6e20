// Win32_LogicalDisk and Win32_LogicalDiskToPartition from /proc/self/mountinfo,
// statvfs and /sys/block.
#include <algorithm>
#include <cctype>
#include <set>

#include "wmi/linux/backend.h"
#include "wmi/linux/block.h"

namespace wmi::lx {

namespace {

struct Mount {
  std::string dev;     // "8:1"
  std::string root;    // the mounted directory of the file system ("/" unless a bind mount)
  std::string point;   // "/home"
  std::string fstype;  // "ext4"
  std::string source;  // "/dev/sda1"
  bool read_only = false;
};

// Octal escapes of mountinfo (\040 for a blank).
std::string Unescape(const std::string& s) {
  std::string o;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isdigit(static_cast<unsigned char>(s[i + 2])) && std::isdigit(static_cast<unsigned char>(s[i + 3]))) {
      o += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      o += s[i];
    }
  }
  return o;
}

std::vector<Mount> ReadMounts(const Tree& tree) {
  std::vector<Mount> mounts;
  // Line by line: hosts with tens of thousands of mounts have a mountinfo of many megabytes.
  bool read = tree.EachLine("/proc/self/mountinfo", [&](std::string_view line) {
    auto w = Words(line);
    auto dash = std::find(w.begin(), w.end(), "-");
    if (w.size() < 6 || dash == w.end() || w.end() - dash < 3) return;
    Mount m;
    m.dev = w[2];
    m.root = Unescape(w[3]);
    m.point = Unescape(w[4]);
    m.read_only = StartsWith(w[5], "ro") && (w[5].size() == 2 || w[5][2] == ',');
    m.fstype = *(dash + 1);
    m.source = Unescape(*(dash + 2));
    mounts.push_back(std::move(m));
  });
  if (!read) {
    tree.EachLine("/proc/mounts", [&](std::string_view line) {
      auto w = Words(line);
      if (w.size() < 4) return;
      mounts.push_back({"", "/", Unescape(w[1]), w[2], Unescape(w[0]), StartsWith(w[3], "ro")});
    });
  }
  return mounts;
}

bool IsNetwork(const std::string& fs) {
  static const std::set<std::string> kNet = {"nfs",   "nfs4",       "cifs", "smb3",      "smbfs",          "ncpfs",
                                             "9p",    "fuse.sshfs", "ceph", "glusterfs", "fuse.glusterfs", "afs",
                                             "davfs", "fuse.davfs2"};
  return kNet.count(fs) > 0;
}

bool IsRealFileSystem(const Mount& m) {
  if (m.root != "/") return false;  // a bind mount of a directory: its file system is listed where it is mounted whole
  if (IsNetwork(m.fstype)) return true;
  if (m.fstype == "zfs") return true;
  if (m.fstype == "overlay") return m.point == "/";
  if (!StartsWith(m.source, "/dev/") || StartsWith(m.source, "/dev/loop") || StartsWith(m.source, "/dev/ram") ||
      StartsWith(m.source, "/dev/zram"))
    return false;
  static const std::set<std::string> kPseudo = {
      "proc",    "sysfs",       "devtmpfs", "devpts",     "tmpfs",    "cgroup",  "cgroup2", "securityfs",
      "debugfs", "tracefs",     "pstore",   "bpf",        "configfs", "fusectl", "mqueue",  "hugetlbfs",
      "autofs",  "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",     "ramfs",   "swap"};
  return kPseudo.count(m.fstype) == 0;
}

// The real file systems, one per mount point (a later mount on the same point hides the earlier one).
std::vector<Mount> RealMounts(const Tree& tree) {
  std::vector<Mount> out;
  for (const Mount& m : ReadMounts(tree)) {
    if (!IsRealFileSystem(m)) continue;
    out.erase(std::remove_if(out.begin(), out.end(), [&](const Mount& o) { return o.point == m.point; }), out.end());
    out.push_back(m);
  }
  return out;
}

// The /dev/disk/by-label (or by-uuid) entry that points at a block device.
std::optional<std::string> ByLink(const Tree& tree, const char* dir, const std::string& dev_name) {
  std::string base = std::string("/dev/disk/") + dir;
  for (const std::string& e : tree.List(base)) {
    auto target = tree.Link(base + "/" + e);
    if (!target || Basename(*target) != dev_name) continue;
    std::string v;  // udev writes \x20 for a blank
    for (std::size_t i = 0; i < e.size(); ++i) {
      if (e[i] == '\\' && i + 3 < e.size() && e[i + 1] == 'x') {
        if (auto h = ParseHex(e.substr(i + 2, 2))) {
          v += static_cast<char>(*h);
          i += 3;
          continue;
        }
      }
      v += e[i];
    }
    return v;
  }
  return std::nullopt;
}

std::optional<std::string> Udev(const Tree& tree, const std::string& dev, const char* key) {
  if (dev.empty()) return std::nullopt;
  auto data = tree.Read("/run/udev/data/b" + dev);
  if (!data) return std::nullopt;
  std::string prefix = std::string("E:") + key + "=";
  for (const std::string& line : Lines(*data))
    if (StartsWith(line, prefix) && line.size() > prefix.size()) return line.substr(prefix.size());
  return std::nullopt;
}

struct Placement {
  std::optional<std::size_t> disk, partition;
};

Placement Locate(const Mount& m, const std::vector<BlockDisk>& disks) {
  std::string name = StartsWith(m.source, "/dev/") ? Basename(m.source) : "";
  for (std::size_t di = 0; di < disks.size(); ++di) {
    const BlockDisk& d = disks[di];
    if (d.name == name || (!m.dev.empty() && d.dev == m.dev)) return {di, std::nullopt};
    for (std::size_t pi = 0; pi < d.partitions.size(); ++pi)
      if (d.partitions[pi].name == name || (!m.dev.empty() && d.partitions[pi].dev == m.dev)) return {di, pi};
  }
  return {};
}

}  // namespace

InstanceList BuildLogicalDisks(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<BlockDisk> disks = ReadDisks(tree);
  InstanceList out;
  for (const Mount& m : RealMounts(tree)) {
    Placement at = Locate(m, disks);
    bool removable =
        at.disk && (disks[*at.disk].removable || disks[*at.disk].device.value_or("").find("/usb") != std::string::npos);
    std::int64_t type = 3;
    if (IsNetwork(m.fstype))
      type = 4;
    else if (m.fstype == "iso9660" || m.fstype == "udf" || StartsWith(m.source, "/dev/sr"))
      type = 5;
    else if (removable)
      type = 2;
    static const char* const kDescriptions[] = {"Unknown",          "No Root Directory",  "Removable Disk",
                                                "Local Fixed Disk", "Network Connection", "CD-ROM Disc"};
    Builder b(def, ctx);
    b.Text("DeviceID", m.point).Text("Name", m.point).Text("Caption", m.point);
    b.Text("Description", kDescriptions[type]);
    b.Int("DriveType", type);
    if (type == 3)
      b.Int("MediaType", 12);
    else if (type == 2)
      b.Int("MediaType", 11);
    b.Text("FileSystem", m.fstype);
    b.Int("Access", m.read_only ? 1 : 3);
    if (type == 4) b.Text("ProviderName", m.source);
    if (auto st = ctx.system().FileSystem(m.point)) {
      // Free bytes in all, as Windows counts them: the blocks ext4 reserves for root are free space too.
      b.Big("Size", st->size).Big("FreeSpace", st->free);
      if (st->block_size) {
        b.Big("BlockSize", st->block_size);
        b.Big("NumberOfBlocks", st->size / st->block_size);
      }
      if (st->name_max) b.Int("MaximumComponentLength", static_cast<std::int64_t>(st->name_max));
    }
    std::string dev_name = StartsWith(m.source, "/dev/") ? Basename(m.source) : "";
    std::string dev = m.dev;
    if (at.disk) dev = at.partition ? disks[*at.disk].partitions[*at.partition].dev : disks[*at.disk].dev;
    std::optional<std::string> label = Udev(tree, dev, "ID_FS_LABEL");
    if (!label && !dev_name.empty()) label = ByLink(tree, "by-label", dev_name);
    std::optional<std::string> uuid = Udev(tree, dev, "ID_FS_UUID");
    if (!uuid && !dev_name.empty()) uuid = ByLink(tree, "by-uuid", dev_name);
    b.Text("VolumeName", label).Text("VolumeSerialNumber", uuid);
    b.Bool("Compressed", false).Bool("SupportsFileBasedCompression", m.fstype == "btrfs");
    b.Int("ConfigManagerErrorCode", std::nullopt);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildLogicalDiskToPartition(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<BlockDisk> disks = ReadDisks(tree);
  InstanceList out;
  for (const Mount& m : RealMounts(tree)) {
    Placement at = Locate(m, disks);
    if (!at.disk || !at.partition) continue;
    const BlockPartition& p = disks[*at.disk].partitions[*at.partition];
    Builder b(def, ctx);
    b.Text("Antecedent", ObjectPath(ctx, "Win32_DiskPartition", "DeviceID", PartitionId(*at.disk, *at.partition)));
    b.Text("Dependent", ObjectPath(ctx, "Win32_LogicalDisk", "DeviceID", m.point));
    b.Big("StartingAddress", p.start * 512);
    if (p.sectors > 0) b.Big("EndingAddress", (p.start + p.sectors) * 512 - 1);
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
