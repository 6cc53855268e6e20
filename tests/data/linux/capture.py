#!/usr/bin/env python3
"""Captures the files the Linux backend reads from this machine into a tree
for tests: python3 capture.py DEST

Only the files the backend reads are copied (small text files from /proc,
/sys, /etc and /run); sysfs symbolic links are recreated as relative links
inside the tree. No device node is copied or opened. The live calls
(getifaddrs, statvfs, uname, sysinfo, the clock) and the ID database names of
the PCI and USB devices found are written to DEST/live.json, the file the
tree seam of wmi/linux/system.h reads."""
import glob, json, os, subprocess, sys, time

DEST = os.path.abspath(sys.argv[1])
done = set()


def dest(p):
    return DEST + p


def copy_link(p):
    """Recreates the symbolic link p; returns its absolute target."""
    target = os.readlink(p)
    absolute = os.path.normpath(os.path.join(os.path.dirname(p), target))
    d = dest(p)
    os.makedirs(os.path.dirname(d), exist_ok=True)
    if not os.path.lexists(d):
        os.symlink(os.path.relpath(absolute, os.path.dirname(p)), d)
    return absolute


def copy(p, follow_final=True, limit=1 << 20):
    """Copies p (a file, up to limit bytes, or a directory as an empty
    directory), with every symbolic link on its way recreated and followed."""
    if p in done:
        return
    done.add(p)
    parts = p.strip("/").split("/")
    cur = ""
    for i, part in enumerate(parts):
        cur = cur + "/" + part
        last = i == len(parts) - 1
        if os.path.islink(cur):
            target = copy_link(cur)
            if last and not follow_final:
                return
            rest = "/".join(parts[i + 1:])
            copy(os.path.join(target, rest) if rest else target, follow_final, limit)
            return
    if os.path.isdir(p):
        os.makedirs(dest(p), exist_ok=True)
    elif os.path.isfile(p):
        try:
            with open(p, "rb") as f:
                data = f.read(limit) if limit else f.read()
        except OSError:
            return
        os.makedirs(os.path.dirname(dest(p)), exist_ok=True)
        with open(dest(p), "wb") as f:
            f.write(data)


def each(pattern, follow_final=True):
    for p in sorted(glob.glob(pattern)):
        copy(p, follow_final)


for f in ["cpuinfo", "stat", "uptime", "meminfo", "interrupts", "dma", "ioports", "iomem", "cmdline",
          "net/route", "net/ipv6_route", "tty/driver/serial", "sys/kernel/hostname", "sys/kernel/pid_max"]:
    copy("/proc/" + f)
for f in ["ip_default_ttl", "tcp_keepalive_time", "tcp_keepalive_intvl", "tcp_syn_retries", "tcp_retries2",
          "ip_no_pmtu_disc"]:
    copy("/proc/sys/net/ipv4/" + f)
# /proc/self is a link to the reading process: its mountinfo is stored as a plain file.
os.makedirs(dest("/proc/self"), exist_ok=True)
with open("/proc/self/mountinfo") as src, open(dest("/proc/self/mountinfo"), "w") as out:
    out.write(src.read())
for pid in os.listdir("/proc"):
    if pid.isdigit():
        os.makedirs(dest("/proc/" + pid), exist_ok=True)

for f in ["os-release", "hostname", "resolv.conf", "default/locale", "locale.conf", "timezone", "samba/smb.conf",
          "sssd/sssd.conf"]:
    copy("/etc/" + f)
each("/run/systemd/seats/*")
copy("/sys/firmware/acpi/pm_profile")
for t in ["XSDT", "RSDT", "FACP"]:
    copy("/sys/firmware/acpi/tables/" + t)
# dpkg's database: the status file, and each package's file list as an empty file with its time.
copy("/var/lib/dpkg/status")
for p in sorted(glob.glob("/var/lib/dpkg/info/*.list")):
    os.makedirs(os.path.dirname(dest(p)), exist_ok=True)
    open(dest(p), "w").close()
    os.utime(dest(p), (os.stat(p).st_mtime, os.stat(p).st_mtime))
# rpm's database, in whichever format the machine keeps it, whole (tens of
# megabytes on a large install); /var/lib/rpm is often a link to the other.
for folder in ["/usr/lib/sysimage/rpm", "/var/lib/rpm"]:
    for f in ["rpmdb.sqlite", "Packages.db", "Packages"]:
        copy(folder + "/" + f, limit=None)
copy("/run/systemd/resolve/resolv.conf")
each("/run/systemd/sessions/*")
each("/run/systemd/netif/leases/*")
for f in ["/run/utmp", "/var/run/utmp"]:
    copy(f)
each("/run/udev/data/b*")
each("/dev/disk/by-label/*", follow_final=False)
each("/dev/disk/by-uuid/*", follow_final=False)

cpu = "/sys/devices/system/cpu/cpu[0-9]*"
each(cpu + "/topology/physical_package_id")
each(cpu + "/topology/core_id")
for f in ["level", "type", "size", "coherency_line_size", "ways_of_associativity", "number_of_sets",
          "shared_cpu_list"]:
    each(cpu + "/cache/index*/" + f)
each(cpu + "/cpufreq/scaling_cur_freq")
each(cpu + "/cpufreq/cpuinfo_max_freq")
each(cpu + "/cpufreq/base_frequency")

for f in ["size", "removable", "ro", "dev", "serial", "queue/logical_block_size", "device/model", "device/vendor",
          "device/serial", "device/firmware_rev", "device/rev"]:
    each("/sys/block/*/" + f)
for f in ["partition", "start", "size", "dev"]:
    each("/sys/block/*/*/" + f)

for f in ["ifindex", "type", "mtu", "flags", "carrier", "speed", "address", "uevent", "tun_flags", "wireless",
          "phy80211", "device/driver"]:
    each("/sys/class/net/*/" + f)
each("/sys/class/net/*/device")

for f in ["vendor", "device", "subsystem_vendor", "subsystem_device", "revision", "class", "resource", "driver"]:
    each("/sys/bus/pci/devices/*/" + f)
for f in ["idVendor", "idProduct", "bDeviceClass", "product", "manufacturer", "serial", "version"]:
    each("/sys/bus/usb/devices/*/" + f)
each("/sys/bus/usb/devices/*/*:*/driver")
for f in ["hid", "status", "physical_node/driver"]:
    each("/sys/bus/acpi/devices/*/" + f)
each("/sys/bus/acpi/devices/*/physical_node")
each("/sys/bus/pnp/devices/*/id")
each("/sys/class/pci_bus/*/device")
for t in ["ttyS*", "ttyUSB*", "ttyACM*", "ttyAMA*"]:
    for f in ["type", "line", "uartclk"]:
        each("/sys/class/tty/" + t + "/" + f)
    for link in glob.glob("/sys/class/tty/" + t + "/device"):
        copy(link)
        path = os.path.realpath(link)
        while path != "/":  # the ACPI node above the port names its PnP id
            copy(path + "/firmware_node/hid")
            path = os.path.dirname(path)


# The live calls.
def mounts():
    with open("/proc/self/mountinfo") as f:
        for line in f:
            w = line.split()
            yield w[4].encode().decode("unicode_escape")


statvfs = {}
for m in mounts():
    if m.startswith(("/proc", "/sys", "/dev", "/run", "/mnt/sandboxing")):
        continue
    try:
        s = os.statvfs(m)
    except OSError:
        continue
    statvfs[m] = {"size": s.f_blocks * s.f_frsize, "available": s.f_bavail * s.f_frsize,
                  "free": s.f_bfree * s.f_frsize, "block_size": s.f_bsize, "name_max": s.f_namemax}

interfaces = []
try:
    for link in json.loads(subprocess.run(["ip", "-j", "addr"], capture_output=True, text=True).stdout):
        for a in link.get("addr_info", []):
            if a.get("family") in ("inet", "inet6"):
                interfaces.append({"name": link["ifname"], "family": a["family"], "address": a["local"],
                                   "prefix": a["prefixlen"]})
except (OSError, ValueError):
    pass

u = os.uname()
mem = {}
with open("/proc/meminfo") as f:
    for line in f:
        k, v = line.split(":", 1)
        mem[k] = int(v.split()[0]) * 1024
with open("/proc/uptime") as f:
    uptime = int(float(f.read().split()[0]))


def id_names(path, ids):
    """Names of (vendor, device) pairs from an ID database file (pci.ids format)."""
    out, classes = {}, {}
    if not os.path.exists(path):
        return out, classes
    vendor = None
    cls = sub = None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            if line.startswith("C "):
                cls, sub = line[2:4], None
                classes[cls + "0000"] = line[6:].strip()
                vendor = None
                continue
            if cls and line.startswith("\t") and not line.startswith("\t\t"):
                sub = line[1:3]
                classes[cls + sub + "00"] = line[5:].strip()
                continue
            if not line.startswith("\t"):
                cls = None
                vendor = (line[:4].lower(), line[6:].strip())
            elif vendor and not line.startswith("\t\t"):
                dev = line[1:5].lower()
                if (vendor[0], dev) in ids:
                    out["%s:%s" % (vendor[0], dev)] = [vendor[1], line[7:].strip()]
            if vendor:
                for v, d in ids:
                    if v == vendor[0]:
                        out.setdefault("%s:%s" % (v, d), [vendor[1]])
    return out, classes


def read_hex(p):
    try:
        with open(p) as f:
            return f.read().strip().lower().replace("0x", "")
    except OSError:
        return None


pci_ids = {(read_hex(d + "/vendor"), read_hex(d + "/device")) for d in glob.glob("/sys/bus/pci/devices/*")}
usb_ids = {(read_hex(d + "/idVendor"), read_hex(d + "/idProduct")) for d in glob.glob("/sys/bus/usb/devices/*")
           if ":" not in d}
pci, classes = id_names("/usr/share/misc/pci.ids", pci_ids)
wanted = {read_hex(d + "/class")[:4] + "00" for d in glob.glob("/sys/bus/pci/devices/*")}
usb, _ = id_names("/usr/share/misc/usb.ids", usb_ids)

live = {
    "now": int(time.time()),
    "utc_offset_minutes": time.localtime().tm_gmtoff // 60,
    "uname": {"sysname": u.sysname, "nodename": u.nodename, "release": u.release, "version": u.version,
              "machine": u.machine},
    "sysinfo": {"uptime": uptime, "total_ram": mem.get("MemTotal", 0), "free_ram": mem.get("MemFree", 0),
                "total_swap": mem.get("SwapTotal", 0), "free_swap": mem.get("SwapFree", 0),
                "processes": len([p for p in os.listdir("/proc") if p.isdigit()])},
    "interfaces": interfaces,
    "statvfs": statvfs,
    "pci": pci,
    "pci_classes": {k: v for k, v in classes.items() if k in wanted},
    "usb": usb,
    "locale": next((os.environ[v] for v in ("LC_ALL", "LC_CTYPE", "LANG") if os.environ.get(v)), ""),
}
with open(os.path.join(DEST, "live.json"), "w") as f:
    json.dump(live, f, indent=1, sort_keys=True)
    f.write("\n")

# Git keeps no empty folders: mark each one so the tree survives a clone.
for folder, dirs, files in os.walk(DEST):
    if not dirs and not files:
        open(os.path.join(folder, ".keep"), "w").close()
