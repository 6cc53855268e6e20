#!/usr/bin/env python3
"""Writes the synthetic trees the Linux backend tests read: laptop/ (USB
devices, a SATA disk with partitions, a USB stick), server/ (two processor
packages, several NICs with IPv6, a USB hub, NVMe, NFS, utmp logins) and
broken/ (unreadable, missing and malformed files). Run it from this folder
after changing it: python3 make_synthetic.py"""
import json, os, shutil, struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Tree:
    def __init__(self, name):
        self.root = os.path.join(HERE, name)
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.root)

    def path(self, p):
        return self.root + p

    def file(self, p, text):
        os.makedirs(os.path.dirname(self.path(p)), exist_ok=True)
        mode = "wb" if isinstance(text, bytes) else "w"
        with open(self.path(p), mode) as f:
            f.write(text)

    def files(self, base, values):
        for k, v in values.items():
            self.file(base + "/" + k, v if isinstance(v, bytes) else str(v) + "\n")

    def dir(self, p):
        os.makedirs(self.path(p), exist_ok=True)

    def link(self, p, target):
        """A relative symbolic link at p to the absolute in-tree path target."""
        os.makedirs(os.path.dirname(self.path(p)), exist_ok=True)
        os.makedirs(os.path.dirname(self.path(target)) or self.root, exist_ok=True)
        os.symlink(os.path.relpath(target, os.path.dirname(p)), self.path(p))

    def live(self, data):
        with open(self.path("/live.json"), "w") as f:
            json.dump(data, f, indent=1, sort_keys=True)
            f.write("\n")


def cpuinfo(cpus):
    """cpus: list of dicts with processor, physical id, core id, ..."""
    out = []
    for c in cpus:
        out.append("".join("%s\t: %s\n" % (k, v) for k, v in c.items()))
    return "\n".join(out) + "\n"


def x86(n, pkg, core, siblings, cores, name, vendor, family, model, stepping, mhz):
    return {"processor": n, "vendor_id": vendor, "cpu family": family, "model": model, "model name": name,
            "stepping": stepping, "cpu MHz": mhz, "physical id": pkg, "siblings": siblings, "core id": core,
            "cpu cores": cores,
            "flags": "fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 clflush dts acpi mmx "
                     "fxsr sse sse2 ss ht tm pbe syscall nx lm vmx ept"}


def cache(t, cpu, idx, level, typ, size, ways, sets, shared):
    t.files("/sys/devices/system/cpu/cpu%d/cache/index%d" % (cpu, idx),
            {"level": level, "type": typ, "size": size, "coherency_line_size": 64, "ways_of_associativity": ways,
             "number_of_sets": sets, "shared_cpu_list": shared})


def pci(t, addr, vendor, device, cls, driver=None, subsys=(0, 0), rev=0, resource=None):
    dev = "/sys/devices/pci0000:00/" + addr
    t.files(dev, {"vendor": "0x%04x" % vendor, "device": "0x%04x" % device, "class": "0x%06x" % cls,
                  "subsystem_vendor": "0x%04x" % subsys[0], "subsystem_device": "0x%04x" % subsys[1],
                  "revision": "0x%02x" % rev})
    if resource:
        t.file(dev + "/resource", resource)
    if driver:
        t.dir("/sys/bus/pci/drivers/" + driver)
        t.link(dev + "/driver", "/sys/bus/pci/drivers/" + driver)
    t.link("/sys/bus/pci/devices/" + addr, dev)
    return dev


def usb(t, parent, name, vid, pid, product=None, manufacturer=None, serial=None, cls=0, driver=None, version=None):
    dev = parent + "/" + name
    values = {"idVendor": "%04x" % vid, "idProduct": "%04x" % pid, "bDeviceClass": "%02x" % cls}
    if product: values["product"] = product
    if manufacturer: values["manufacturer"] = manufacturer
    if serial: values["serial"] = serial
    if version: values["version"] = version
    t.files(dev, values)
    if driver:
        iface = dev + "/" + ("%s-0" % name[3:] if name.startswith("usb") else name) + ":1.0"
        t.dir("/sys/bus/usb/drivers/" + driver)
        t.link(iface + "/driver", "/sys/bus/usb/drivers/" + driver)
        t.link("/sys/bus/usb/devices/" + os.path.basename(iface), iface)
    t.link("/sys/bus/usb/devices/" + name, dev)
    return dev


def net(t, name, index, dev, mac, mtu=1500, typ=1, flags="0x1003", carrier=1, speed=None, driver=None,
        uevent="", extra=()):
    base = dev + "/net/" + name if dev else "/sys/devices/virtual/net/" + name
    values = {"ifindex": index, "address": mac, "mtu": mtu, "type": typ, "flags": flags,
              "uevent": "INTERFACE=%s\nIFINDEX=%d\n%s" % (name, index, uevent)}
    if carrier is not None: values["carrier"] = carrier
    if speed is not None: values["speed"] = speed
    t.files(base, values)
    for e in extra:
        t.dir(base + "/" + e)
    if dev:
        t.link(base + "/device", dev)
        if driver:
            t.dir("/sys/bus/pci/drivers/" + driver)
            if not os.path.lexists(t.path(dev + "/driver")):
                t.link(dev + "/driver", "/sys/bus/pci/drivers/" + driver)
    t.link("/sys/class/net/" + name, base)


def block(t, name, dev_path, size, dev, removable=0, model=None, vendor=None, parts=(), serial=None, lbs=512,
          base=None):
    base = base or dev_path + "/block/" + name
    t.files(base, {"size": size, "removable": removable, "ro": 0, "dev": dev, "queue/logical_block_size": lbs})
    if serial: t.file(base + "/serial", serial + "\n")
    if model: t.file(dev_path + "/model", model + "\n")
    if vendor: t.file(dev_path + "/vendor", vendor + "\n")
    t.link(base + "/device", dev_path)
    for i, (start, psize, pdev) in enumerate(parts, 1):
        pname = name + ("p%d" % i if name[-1].isdigit() else "%d" % i)
        t.files(base + "/" + pname, {"partition": i, "start": start, "size": psize, "dev": pdev})
    t.link("/sys/block/" + name, base)


def mountinfo(lines):
    return "".join("%d %d %s %s %s %s - %s %s %s\n" % (i + 20, 1, *l) for i, l in enumerate(lines))


def utmp_record(typ, pid, line, user, host, session, sec, usec):
    # glibc's struct utmp on 64-bit Linux: 384 bytes.
    return struct.pack("<hxxi32s4s32s256shhiii4i20x", typ, pid, line.encode(), line[-4:].encode(), user.encode(),
                       host.encode(), 0, 0, session, sec, usec, 0, 0, 0, 0)


PROC_COMMON = {
    "/proc/sys/kernel/pid_max": "4194304\n",
    "/proc/sys/net/ipv4/ip_default_ttl": "64\n",
    "/proc/sys/net/ipv4/tcp_keepalive_time": "7200\n",
    "/proc/sys/net/ipv4/tcp_keepalive_intvl": "75\n",
    "/proc/sys/net/ipv4/tcp_syn_retries": "6\n",
    "/proc/sys/net/ipv4/tcp_retries2": "15\n",
    "/proc/sys/net/ipv4/ip_no_pmtu_disc": "0\n",
}


CORPUS = os.path.join(HERE, "corpus")
EDIDS = os.path.join(HERE, "..", "edid")


def corpus_dir(t, src, dst, skip=()):
    """Copies the files of a corpus folder (see corpus/SOURCES.md) to dst in the tree."""
    for name in sorted(os.listdir(os.path.join(CORPUS, src))):
        path = os.path.join(CORPUS, src, name)
        if os.path.isfile(path) and name not in skip:
            with open(path, "rb") as f:
                t.file(dst + "/" + name, f.read())


def edid(name):
    with open(os.path.join(EDIDS, name), "rb") as f:
        return f.read()


def drm_card(t, dev, card, driver, connectors):
    """A DRM card below a device with its connectors: (name, status, enabled, dpms, modes, edid bytes)."""
    base = dev + "/drm/" + card
    t.dir(base)
    t.link(base + "/device", dev)
    for name, status, enabled, dpms, modes, data in connectors:
        c = base + "/" + card + "-" + name
        t.files(c, {"status": status, "enabled": enabled, "dpms": dpms})
        t.file(c + "/modes", "".join(m + "\n" for m in modes))
        t.file(c + "/edid", data)
        t.link("/sys/class/drm/" + card + "-" + name, c)
    t.link("/sys/class/drm/" + card, base)


def hwmon(t, dev, n, values):
    base = dev + "/hwmon/hwmon%d" % n
    t.files(base, values)
    t.link(base + "/device", dev)
    t.link("/sys/class/hwmon/hwmon%d" % n, base)
    return base


def input_devices(blocks):
    """/proc/bus/input/devices from (bus, vendor, product, name, phys, sysfs, {bitmap: words})."""
    out = []
    for bus, vendor, product, name, phys, sysfs, caps in blocks:
        lines = ["I: Bus=%04x Vendor=%04x Product=%04x Version=0001" % (bus, vendor, product),
                 'N: Name="%s"' % name, "P: Phys=%s" % phys, "S: Sysfs=%s" % sysfs, "U: Uniq=",
                 "H: Handlers=event0"]
        lines += ["B: %s=%s" % (k, v) for k, v in caps.items()]
        out.append("\n".join(lines) + "\n")
    return "\n".join(out) + "\n"


def bits(*numbers):
    """A capability bitmap as the kernel prints it: 64-bit words, most significant first."""
    words = [0] * (max(numbers) // 64 + 1)
    for n in numbers:
        words[n // 64] |= 1 << (n % 64)
    return " ".join("%x" % w for w in reversed(words))


KEYBOARD_KEYS = list(range(1, 89)) + list(range(183, 195))  # Esc ... F12, F13-F24
EV_KEY_REP = bits(0, 1, 4, 17, 20)  # SYN KEY MSC LED REP
MOUSE = {"EV": bits(0, 1, 2, 4), "KEY": bits(0x110, 0x111, 0x112, 0x113, 0x114), "REL": bits(0, 1, 6, 8)}
TOUCHPAD = {"PROP": bits(0, 2), "EV": bits(0, 1, 3), "KEY": bits(0x110, 0x111, 0x145, 0x14a, 0x14d, 0x14e, 0x14f),
            "ABS": bits(0, 1, 24, 47, 53, 54, 57)}
TRACKPOINT = {"PROP": bits(0, 5), "EV": bits(0, 1, 2), "KEY": bits(0x110, 0x111, 0x112), "REL": bits(0, 1)}
POWER_BUTTON = {"EV": bits(0, 1), "KEY": bits(116)}


def alsa_codec(name, vendor, subsystem):
    return "Codec: %s\nAddress: 0\nAFG Function Id: 0x1 (unsol 1)\nVendor Id: 0x%08x\nSubsystem Id: 0x%08x\n" \
           "Revision Id: 0x100002\n" % (name, vendor, subsystem)


def laptop_peripherals(t, ahci):
    """The laptop's display, battery, sensors, input devices, sound, drives and legacy ports."""
    # Display: the integrated GPU drives the eDP panel (an LG Display panel without a product name);
    # HDMI is disconnected.
    gpu = pci(t, "0000:00:02.0", 0x8086, 0x9b41, 0x030000, "i915", (0x17aa, 0x2292), rev=0x02,
              resource="0x00000000a0000000 0x00000000a0ffffff 0x0000000000140204\n"
                       "0x0000000090000000 0x000000009fffffff 0x000000000014220c\n"
                       "0x0000000000003000 0x000000000000303f 0x0000000000040101\n")
    panel = edid("Digital_LG-Display_LGD0000_09163E9A6BF1.bin")
    drm_card(t, gpu, "card0", "i915", [
        ("eDP-1", "connected", "enabled", "On", ["1366x768", "1024x768"], panel),
        ("HDMI-A-1", "disconnected", "disabled", "Off", [], b""),
    ])
    t.dir("/sys/devices/virtual/graphics/fbcon")
    t.files(gpu + "/graphics/fb0", {"bits_per_pixel": 32})
    t.link(gpu + "/graphics/fb0/device", gpu)
    t.link("/sys/class/graphics/fb0", gpu + "/graphics/fb0")
    t.file("/sys/module/i915/parameters/modeset", "-1\n")
    # Power: the battery of the node_exporter fixture (a ThinkPad's, its model name ending in stray bytes),
    # the AC adapter, and the battery's own hwmon (voltage and current).
    bat = "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0A08:00/device:00/PNP0C09:00/PNP0C0A:00/power_supply/BAT0"
    corpus_dir(t, "node_exporter/power_supply/BAT0", bat)
    t.link("/sys/class/power_supply/BAT0", bat)
    ac = "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/ACPI0003:00/power_supply/AC"
    t.files(ac, {"type": "Mains", "online": 0})
    t.link("/sys/class/power_supply/AC", ac)
    hwmon(t, bat, 3, {"name": "BAT0", "in0_input": 11660, "curr1_input": 428})
    # A wireless mouse's own battery is no system battery.
    mouse_bat = "/sys/devices/virtual/power_supply/hidpp_battery_0"
    t.files(mouse_bat, {"type": "Battery", "scope": "Device", "capacity_level": "Normal", "status": "Discharging",
                        "model_name": "MX Anywhere 2S"})
    t.link("/sys/class/power_supply/hidpp_battery_0", mouse_bat)
    # Sensors: the coretemp chip of the node_exporter fixture, the ThinkPad fan with its PWM control.
    coretemp = "/sys/devices/platform/coretemp.0"
    t.dir(coretemp)
    corpus_dir(t, "node_exporter/hwmon/coretemp.0", coretemp + "/hwmon/hwmon1")
    t.link(coretemp + "/hwmon/hwmon1/device", coretemp)
    t.link("/sys/class/hwmon/hwmon1", coretemp + "/hwmon/hwmon1")
    hwmon(t, "/sys/devices/platform/thinkpad_hwmon", 2,
          {"name": "thinkpad", "fan1_input": 2379, "pwm1": 128, "pwm1_enable": 2, "temp1_input": 47000})
    # Input: the built-in keyboard, touchpad and TrackPoint on the PS/2 controller, the USB receiver's mouse,
    # and the power button (no keyboard).
    t.file("/proc/bus/input/devices", input_devices([
        (0x11, 0x0001, 0x0001, "AT Translated Set 2 keyboard", "isa0060/serio0/input0",
         "/devices/platform/i8042/serio0/input/input3",
         {"PROP": "0", "EV": EV_KEY_REP, "KEY": bits(*KEYBOARD_KEYS), "MSC": "10", "LED": "7"}),
        (0x11, 0x0002, 0x0007, "SynPS/2 Synaptics TouchPad", "isa0060/serio1/input0",
         "/devices/platform/i8042/serio1/input/input5", TOUCHPAD),
        (0x11, 0x0002, 0x000a, "TPPS/2 IBM TrackPoint", "synaptics-pt/serio0/input0",
         "/devices/platform/i8042/serio1/serio2/input/input6", TRACKPOINT),
        (0x03, 0x046d, 0xc52b, "Logitech USB Receiver Mouse", "usb-0000:00:14.0-1/input1",
         "/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.1/0003:046D:C52B.0002/input/input8", MOUSE),
        (0x19, 0x0000, 0x0001, "Power Button", "PNP0C0C/button/input0",
         "/devices/LNXSYSTM:00/LNXPWRBN:00/input/input2", POWER_BUTTON),
    ]))
    t.files("/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0303:00", {"hid": "PNP0303"})
    t.link("/sys/bus/acpi/devices/PNP0303:00", "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0303:00")
    t.file("/etc/default/keyboard", 'XKBMODEL="jp106"\nXKBLAYOUT="jp"\nXKBVARIANT=""\nXKBOPTIONS=""\n')
    # Sound: the PCH's HD Audio controller with a Realtek codec and the GPU's HDMI codec.
    hda = pci(t, "0000:00:1f.3", 0x8086, 0x02c8, 0x040380, "snd_hda_intel", (0x17aa, 0x2292))
    t.dir(hda + "/sound/card0")
    t.link(hda + "/sound/card0/device", hda)
    t.link("/sys/class/sound/card0", hda + "/sound/card0")
    t.file("/proc/asound/cards", " 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                                 "                      HDA Intel PCH at 0xea230000 irq 163\n")
    t.file("/proc/asound/card0/codec#0", alsa_codec("Realtek ALC257", 0x10ec0257, 0x17aa2292))
    t.file("/proc/asound/card0/codec#2", alsa_codec("Intel Kabylake HDMI", 0x8086280b, 0x80860101))
    # Drives: a DVD writer on the second SATA port, an LTO tape drive on the third (the procfs fixture's
    # st0 with its mode variants), a floppy drive on the platform controller.
    dvd = ahci + "/ata2/host1/target1:0:0/1:0:0:0"
    t.files(dvd, {"vendor": "HL-DT-ST", "model": "DVDRAM GU90N    ", "rev": "A1C2", "type": 5})
    t.files(dvd + "/block/sr0", {"size": 8388608, "removable": 1, "ro": 0, "dev": "11:0"})
    t.link(dvd + "/block/sr0/device", dvd)
    t.link("/sys/block/sr0", dvd + "/block/sr0")
    t.file("/proc/sys/dev/cdrom/info",
           "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n\ndrive name:\t\tsr0\ndrive speed:\t\t24\n"
           "drive # of slots:\t1\nCan close tray:\t\t1\nCan open tray:\t\t1\nCan lock tray:\t\t1\n"
           "Can change speed:\t1\nCan select disk:\t0\nCan read multisession:\t1\nCan read MCN:\t\t1\n"
           "Reports media changed:\t1\nCan play audio:\t\t1\nCan write CD-R:\t\t1\nCan write CD-RW:\t1\n"
           "Can read DVD:\t\t1\nCan write DVD-R:\t1\nCan write DVD-RAM:\t1\nCan read MRW:\t\t1\n"
           "Can write MRW:\t\t1\nCan write RAM:\t\t1\n\n")
    tape = ahci + "/ata3/host2/target2:0:0/2:0:0:0"
    t.files(tape, {"vendor": "HP", "model": "Ultrium 5-SCSI", "rev": "Z21W", "type": 1})
    for name in ("st0", "st0l", "st0m", "st0a", "nst0", "nst0l", "nst0m", "nst0a"):
        t.files(tape + "/scsi_tape/" + name, {"dev": "9:0"})
        t.link(tape + "/scsi_tape/" + name + "/device", tape)
        t.link("/sys/class/scsi_tape/" + name, tape + "/scsi_tape/" + name)
    t.files("/sys/devices/platform/floppy.0/block/fd0", {"size": 2880, "removable": 1, "dev": "2:0"})
    t.link("/sys/block/fd0", "/sys/devices/platform/floppy.0/block/fd0")
    for hid in ("PNP0700", "PNP0400"):
        t.files("/sys/devices/LNXSYSTM:00/LNXSYBUS:00/%s:00" % hid, {"hid": hid})
        t.link("/sys/bus/acpi/devices/%s:00" % hid, "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/%s:00" % hid)
    t.files("/proc/sys/dev/parport/parport0", {"base-addr": "888\t1912", "irq": 7, "dma": -1,
                                                "modes": "PCSPP,TRISTATE,EPP"})


def laptop():
    t = Tree("laptop")
    for p, v in PROC_COMMON.items():
        t.file(p, v)
    t.file("/proc/sys/kernel/hostname", "yuki-laptop\n")
    cpus = [x86(n, 0, n % 4, 8, 4, "Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz", "GenuineIntel", 6, 142, 12,
                "2303.998") for n in range(8)]
    t.file("/proc/cpuinfo", cpuinfo(cpus))
    for n in range(8):
        base = "/sys/devices/system/cpu/cpu%d" % n
        t.files(base + "/topology", {"physical_package_id": 0, "core_id": n % 4})
        t.files(base + "/cpufreq", {"scaling_cur_freq": 2304000, "cpuinfo_max_freq": 4900000,
                                    "base_frequency": 1800000})
        sib = "%d,%d" % (n % 4, n % 4 + 4)
        cache(t, n, 0, 1, "Data", "32K", 8, 64, sib)
        cache(t, n, 1, 1, "Instruction", "32K", 8, 64, sib)
        cache(t, n, 2, 2, "Unified", "256K", 4, 1024, sib)
        cache(t, n, 3, 3, "Unified", "8192K", 16, 8192, "0-7")
    t.file("/proc/stat", "cpu  1 2 3 4\nbtime 1700000000\nprocesses 1234\n")
    t.file("/proc/uptime", "3600.50 7000.00\n")
    t.file("/proc/meminfo", "MemTotal:       16227180 kB\nMemFree:         8000000 kB\nMemAvailable:   12000000 kB\n"
                            "SwapTotal:       2097148 kB\nSwapFree:        2097148 kB\n")
    for pid in (1, 2, 345, 1001):
        t.dir("/proc/%d" % pid)
    t.file("/proc/cmdline", "BOOT_IMAGE=/vmlinuz root=UUID=1111 ro quiet splash\n")
    # Interrupts, as a user without privileges sees them (counts are public, addresses hidden).
    t.file("/proc/interrupts",
           "            CPU0       CPU1       CPU2       CPU3       CPU4       CPU5       CPU6       CPU7       \n"
           "   0:          7          0          0          0          0          0          0          0  IR-IO-APIC    2-edge      timer\n"
           "   9:          0         12          0          0          0          0          0          0  IR-IO-APIC    9-fasteoi   acpi\n"
           " 125:          0          0       4567          0          0          0          0          0  IR-PCI-MSI 327680-edge      xhci_hcd\n"
           " 126:          0          0          0        890          0          0          0          0  IR-PCI-MSI 376832-edge      ahci[0000:00:17.0]\n"
           " 127:        100          0          0          0          0          0          0          0  IR-PCI-MSI 333824-edge      iwlwifi\n"
           " NMI:          0          0          0          0          0          0          0          0   Non-maskable interrupts\n"
           " LOC:      12345      12345      12345      12345      12345      12345      12345      12345   Local timer interrupts\n")
    t.file("/proc/dma", " 4: cascade\n")
    t.file("/proc/ioports", "0000-0000 : PCI Bus 0000:00\n  0000-0000 : dma1\n  0000-0000 : pic1\n0000-0000 : PCI conf1\n")
    t.file("/proc/iomem", "00000000-00000000 : Reserved\n00000000-00000000 : System RAM\n  00000000-00000000 : Kernel code\n"
                          "00000000-00000000 : PCI Bus 0000:00\n")
    # Serial: the legacy ttyS0 has no UART behind it; ttyS4 is the chipset's LPSS UART (a 16550A on MMIO).
    t.file("/proc/tty/driver/serial", "serinfo:1.0 driver revision:\n0: uart:unknown port:000003F8 irq:4\n"
                                      "4: uart:16550A mmio:0xB1218000 irq:20 tx:0 rx:0\n")
    t.files("/sys/devices/platform/serial8250/tty/ttyS0", {"type": 0, "line": 0, "uartclk": 0})
    t.link("/sys/class/tty/ttyS0", "/sys/devices/platform/serial8250/tty/ttyS0")
    t.files("/sys/devices/pci0000:00/0000:00:1e.0/dw-apb-uart.2/tty/ttyS4", {"type": 4, "line": 4, "uartclk": 1843200})
    t.link("/sys/class/tty/ttyS4", "/sys/devices/pci0000:00/0000:00:1e.0/dw-apb-uart.2/tty/ttyS4")
    t.dir("/sys/devices/virtual/tty/tty0")
    t.link("/sys/class/tty/tty0", "/sys/devices/virtual/tty/tty0")

    # PCI: host bridge, xHCI, SATA AHCI, Wi-Fi.
    pci(t, "0000:00:00.0", 0x8086, 0x9b61, 0x060000, subsys=(0x17aa, 0x2292), rev=0x0c)
    xhci = pci(t, "0000:00:14.0", 0x8086, 0x02ed, 0x0c0330, "xhci_hcd", (0x17aa, 0x2292))
    ahci = pci(t, "0000:00:17.0", 0x8086, 0x02d3, 0x010601, "ahci", (0x17aa, 0x2292))
    # A CardBus bridge (TI PCIxx12) for the ExpressCard/PC Card slot.
    pci(t, "0000:04:00.0", 0x104c, 0x8039, 0x060700, "yenta_cardbus", (0x17aa, 0x2292))
    wifi = pci(t, "0000:00:14.3", 0x8086, 0x02f0, 0x028000, "iwlwifi", (0x8086, 0x0074))
    t.link("/sys/class/pci_bus/0000:00/device", "/sys/devices/pci0000:00")
    # USB: a root hub, a wireless mouse receiver and a USB stick.
    root = usb(t, xhci, "usb1", 0x1d6b, 0x0002, "xHCI Host Controller", "Linux 6.1.0 xhci-hcd", "0000:00:14.0",
               cls=9, driver="hub", version=" 2.00")
    usb(t, root, "1-1", 0x046d, 0xc52b, "USB Receiver", "Logitech", cls=0, driver="usbhid")
    stick = usb(t, root, "1-2", 0x0781, 0x5567, "Cruzer Blade", "SanDisk", "4C530001230508116455", driver="usb-storage")
    # Disks: a SATA SSD with three partitions, a removable USB stick with one.
    sata = ahci + "/ata1/host0/target0:0:0/0:0:0:0"
    block(t, "sda", sata, 1000215216, "8:0", model="Samsung SSD 860", vendor="ATA",
          parts=[(2048, 1048576, "8:1"), (1050624, 997109760, "8:2"), (998160384, 2054832, "8:3")])
    t.file("/run/udev/data/b8:0", "E:ID_SERIAL=Samsung_SSD_860_S3Z9NB0K123456A\nE:ID_SERIAL_SHORT=S3Z9NB0K123456A\n")
    t.file("/run/udev/data/b8:2", "E:ID_FS_TYPE=ext4\nE:ID_FS_LABEL=root\nE:ID_FS_UUID=1111-2222\n")
    stick_disk = stick + "/1-2:1.0/host1/target1:0:0/1:0:0:0"
    block(t, "sdb", stick_disk, 30031872, "8:16", removable=1, model="Cruzer Blade", vendor="SanDisk",
          parts=[(32, 30031840, "8:17")])
    t.dir("/dev")
    os.makedirs(t.path("/dev/disk/by-label"))
    os.symlink("../../sdb1", t.path("/dev/disk/by-label/MY\\x20STICK"))
    os.symlink("../../sda1", t.path("/dev/disk/by-label/EFI"))
    os.makedirs(t.path("/dev/disk/by-uuid"))
    os.symlink("../../sdb1", t.path("/dev/disk/by-uuid/ABCD-1234"))
    block(t, "loop0", "/sys/devices/virtual/block/loop0", 1024, "7:0")
    laptop_peripherals(t, ahci)
    # Firmware: the SMBIOS table of a real ThinkPad (tests/data/smbios, see its README), as root reads it.
    w510 = os.path.join(HERE, "..", "smbios", "uroot-Lenovo-ThinkPad-W510", "sys", "firmware", "dmi", "tables")
    for name in ("smbios_entry_point", "DMI"):
        with open(os.path.join(w510, name), "rb") as f:
            t.file("/sys/firmware/dmi/tables/" + name, f.read())
    t.file("/proc/self/mountinfo", mountinfo([
        ("0:21", "/", "/proc", "rw,nosuid", "proc", "proc", "rw"),
        ("0:22", "/", "/sys", "rw,nosuid", "sysfs", "sysfs", "rw"),
        ("8:2", "/", "/", "rw,relatime", "ext4", "/dev/sda2", "rw,errors=remount-ro"),
        ("8:1", "/", "/boot/efi", "rw,relatime", "vfat", "/dev/sda1", "rw,fmask=0077"),
        ("0:25", "/", "/run", "rw,nosuid", "tmpfs", "tmpfs", "rw,size=1622720k"),
        ("7:0", "/", "/snap/core/1", "ro,nodev", "squashfs", "/dev/loop0", "ro"),
        ("8:17", "/", "/media/yuki/MY\\040STICK", "rw,nosuid", "vfat", "/dev/sdb1", "rw,uid=1000"),
        ("8:2", "/var/lib/docker", "/home/yuki/docker", "rw", "ext4", "/dev/sda2", "rw"),
    ]))
    # Network: Wi-Fi with DHCP through NetworkManager, and loopback.
    net(t, "lo", 1, None, "00:00:00:00:00:00", mtu=65536, typ=772, flags="0x9")
    net(t, "wlp0s20f3", 3, wifi, "a0:b1:c2:d3:e4:f5", flags="0x1003", speed=None, driver="iwlwifi",
        uevent="DEVTYPE=wlan\n", extra=["wireless", "phy80211"])
    t.file("/proc/net/route",
           "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
           "wlp0s20f3\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
           "wlp0s20f3\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n")
    t.file("/proc/net/ipv6_route", "")
    t.file("/etc/resolv.conf", "# Generated by NetworkManager\nsearch home.arpa\nnameserver 192.168.1.1\n")
    t.file("/var/lib/NetworkManager/internal-0123-wlp0s20f3.lease", "ADDRESS=192.168.1.23\n")
    # The OS.
    t.file("/etc/os-release", 'PRETTY_NAME="Ubuntu 22.04.3 LTS"\nNAME="Ubuntu"\nVERSION_ID="22.04"\n'
                              'VERSION="22.04.3 LTS (Jammy Jellyfish)"\nID=ubuntu\n')
    t.file("/etc/default/locale", 'LANG="ja_JP.UTF-8"\n')
    # Two logind sessions: the user's desktop and the greeter.
    t.file("/run/systemd/sessions/2", "UID=1000\nUSER=yuki\nACTIVE=1\nTYPE=wayland\nCLASS=user\nSERVICE=gdm-password\n"
                                      "REALTIME=1700000123456789\n")
    t.file("/run/systemd/sessions/c1", "UID=125\nUSER=gdm\nTYPE=wayland\nCLASS=greeter\nSERVICE=gdm-launch-environment\n"
                                       "REALTIME=1700000050000000\n")
    t.file("/run/systemd/sessions/2.ref", "")
    t.live({
        "now": 1700003600, "utc_offset_minutes": 540,
        "uname": {"sysname": "Linux", "nodename": "yuki-laptop", "release": "6.2.0-37-generic",
                  "version": "#38~22.04.1-Ubuntu SMP PREEMPT_DYNAMIC Thu Nov  2 18:01:13 UTC 2", "machine": "x86_64"},
        "sysinfo": {"uptime": 3600, "total_ram": 16616632320, "free_ram": 8192000000, "total_swap": 2147479552,
                    "free_swap": 2147479552, "processes": 4},
        "interfaces": [
            {"name": "lo", "family": "inet", "address": "127.0.0.1", "prefix": 8},
            {"name": "wlp0s20f3", "family": "inet", "address": "192.168.1.23", "prefix": 24},
            {"name": "wlp0s20f3", "family": "inet6", "address": "fe80::1234:5678:9abc:def0", "prefix": 64},
        ],
        "statvfs": {
            "/": {"size": 502468108288, "available": 123456789504, "free": 148580191232, "block_size": 4096, "name_max": 255},
            "/boot/efi": {"size": 535805952, "available": 529399808, "block_size": 4096, "name_max": 1530},
            "/media/yuki/MY STICK": {"size": 15359541248, "available": 15000000000, "block_size": 16384,
                                     "name_max": 1530},
        },
        "pci": {"8086:9b61": ["Intel Corporation", "Comet Lake-U v1 4c Host Bridge/DRAM Controller"],
                "8086:02ed": ["Intel Corporation", "Comet Lake PCH-LP USB 3.1 xHCI Host Controller"],
                "8086:02d3": ["Intel Corporation", "Comet Lake SATA AHCI Controller"],
                "8086:02f0": ["Intel Corporation", "Comet Lake PCH-LP CNVi WiFi"],
                "8086:9b41": ["Intel Corporation", "CometLake-U GT2 [UHD Graphics]"],
                "8086:02c8": ["Intel Corporation", "Comet Lake PCH-LP cAVS"],
                "10ec:0257": ["Realtek Semiconductor Co., Ltd."],
                "8086:280b": ["Intel Corporation"]},
        "usb": {"046d:c52b": ["Logitech, Inc.", "Unifying Receiver"]},
        "pnp": {"LGD": "LG Display"},
    })


def server():
    t = Tree("server")
    for p, v in PROC_COMMON.items():
        t.file(p, v)
    t.file("/etc/hostname", "db01\n")
    cpus = []
    for pkg in (0, 1):
        for core in (0, 1):
            for thread in (0, 1):
                n = len(cpus)
                cpus.append(x86(n, pkg, core, 4, 2, "Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz", "GenuineIntel", 6,
                                85, 7, "2100.000"))
    t.file("/proc/cpuinfo", cpuinfo(cpus))
    for n, c in enumerate(cpus):
        pkg_cpus = "%d-%d" % (c["physical id"] * 4, c["physical id"] * 4 + 3)
        sib = "%d-%d" % (n - n % 2, n - n % 2 + 1)
        t.files("/sys/devices/system/cpu/cpu%d/topology" % n,
                {"physical_package_id": c["physical id"], "core_id": c["core id"]})
        cache(t, n, 0, 1, "Data", "32K", 8, 64, sib)
        cache(t, n, 1, 1, "Instruction", "32K", 8, 64, sib)
        cache(t, n, 2, 2, "Unified", "1024K", 16, 1024, sib)
        cache(t, n, 3, 3, "Unified", "28160K", 11, 40960, pkg_cpus)
    t.file("/proc/stat", "cpu  1 2 3 4\nbtime 1699990000\n")
    t.file("/proc/meminfo", "MemTotal:       394857712 kB\nMemFree:        100000000 kB\n")
    t.file("/proc/cmdline", "root=/dev/nvme0n1p2 console=tty0 console=ttyS0,115200n8\n")
    t.file("/proc/interrupts",
           "           CPU0       CPU1       CPU2       CPU3       CPU4       CPU5       CPU6       CPU7\n"
           "  4:         10          0          0          0          0          0          0          0   IO-APIC   4-edge      ttyS0\n"
           " 16:          0          0          0          0          0          0          0          0   IO-APIC  16-fasteoi   ehci_hcd:usb1, i801_smbus\n"
           " 40:       9999          0          0          0          0          0          0          0   PCI-MSI 524288-edge      eno1-TxRx-0\n"
           "ERR:          0\n")
    t.file("/proc/dma", " 2: floppy\n 4: cascade\n")
    t.file("/proc/ioports", "0000-0cf7 : PCI Bus 0000:00\n  0000-001f : dma1\n  02f8-02ff : serial\n  03f8-03ff : serial\n"
                            "0cf8-0cff : PCI conf1\n1000-1fff : PCI Bus 0000:01\n  1000-101f : 0000:01:00.0\n")
    t.file("/proc/iomem",
           "00000000-00000fff : Reserved\n00001000-0009ffff : System RAM\n000a0000-000bffff : PCI Bus 0000:00\n"
           "00100000-5fffffff : System RAM\n  01000000-01e00fff : Kernel code\n"
           "90000000-9fffffff : PCI Bus 0000:00\n  90000000-9007ffff : 0000:01:00.0\n    90000000-9007ffff : igb\n"
           "  c0000000-c00fffff : 0000:00:1f.0\n"
           "fec00000-fec003ff : IOAPIC 0\nfed00000-fed003ff : HPET 0\n  fed00000-fed003ff : PNP0103:00\n")
    t.file("/proc/tty/driver/serial", "serinfo:1.0 driver revision:\n"
                                      "0: uart:16550A port:000003F8 irq:4 tx:1234 rx:56 RTS|DTR\n"
                                      "1: uart:unknown port:000002F8 irq:3\n")
    # Serial ports: ttyS0 (a 16550A on ACPI PNP0501), ttyS1 (no UART behind it), ttyUSB0 (an FTDI adapter).
    t.files("/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0501:00", {"hid": "PNP0501", "status": 15})
    port = "/sys/devices/pnp0/00:03"
    t.link(port + "/firmware_node", "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0501:00")
    t.dir("/sys/bus/pnp/drivers/serial")
    t.link(port + "/driver", "/sys/bus/pnp/drivers/serial")
    t.file(port + "/id", "PNP0501\n")
    t.link("/sys/bus/pnp/devices/00:03", port)
    t.link("/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0501:00/physical_node", port)
    t.link("/sys/bus/acpi/devices/PNP0501:00", "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0501:00")
    t.files("/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0103:00", {"hid": "PNP0103"})
    t.link("/sys/bus/acpi/devices/PNP0103:00", "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0103:00")
    t.files("/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00", {"hid": "PNP0C0A", "status": 0})
    t.link("/sys/bus/acpi/devices/PNP0C0A:00", "/sys/devices/LNXSYSTM:00/LNXSYBUS:00/PNP0C0A:00")
    t.files("/sys/devices/LNXSYSTM:00/LNXCPU:00", {"hid": "LNXCPU"})
    t.link("/sys/bus/acpi/devices/LNXCPU:00", "/sys/devices/LNXSYSTM:00/LNXCPU:00")
    t.files(port + "/00:03:0/00:03:0.0/tty/ttyS0", {"type": 4, "line": 0, "uartclk": 1843200})
    t.link(port + "/00:03:0/00:03:0.0/tty/ttyS0/device", port + "/00:03:0/00:03:0.0")
    t.link("/sys/class/tty/ttyS0", port + "/00:03:0/00:03:0.0/tty/ttyS0")
    t.files("/sys/devices/platform/serial8250/tty/ttyS1", {"type": 0, "line": 1, "uartclk": 1843200})
    t.link("/sys/class/tty/ttyS1", "/sys/devices/platform/serial8250/tty/ttyS1")

    # PCI: host bridge, a PCI bridge to bus 1 with the first NIC, a second NIC, an EHCI controller, NVMe, CardBus.
    pci(t, "0000:00:00.0", 0x8086, 0x2020, 0x060000, subsys=(0x15d9, 0x095d), rev=0x04)
    pci(t, "0000:00:1c.0", 0x8086, 0xa190, 0x060400, "pcieport", rev=0xf9)
    nic1 = "/sys/devices/pci0000:00/0000:00:1c.0/0000:01:00.0"
    t.files(nic1, {"vendor": "0x8086", "device": "0x1533", "class": "0x020000", "subsystem_vendor": "0x15d9",
                   "subsystem_device": "0x1533", "revision": "0x03"})
    t.file(nic1 + "/resource", "0x0000000090000000 0x000000009007ffff 0x0000000000040200\n"
                               "0x0000000000001000 0x000000000000101f 0x0000000000040101\n")
    t.dir("/sys/bus/pci/drivers/igb")
    t.link(nic1 + "/driver", "/sys/bus/pci/drivers/igb")
    t.link("/sys/bus/pci/devices/0000:01:00.0", nic1)
    t.link("/sys/class/pci_bus/0000:00/device", "/sys/devices/pci0000:00")
    t.link("/sys/class/pci_bus/0000:01/device", "/sys/devices/pci0000:00/0000:00:1c.0")
    nic2 = pci(t, "0000:00:1f.6", 0x8086, 0x15b8, 0x020000, "e1000e", (0x15d9, 0x15b8))
    ehci = pci(t, "0000:00:1a.0", 0x8086, 0xa1ad, 0x0c0320, "ehci-pci")
    nvme = pci(t, "0000:00:1d.0", 0x144d, 0xa808, 0x010802, "nvme", (0x144d, 0xa801))
    pci(t, "0000:00:1e.0", 0x1217, 0x7134, 0x060700, None)
    pci(t, "0000:00:1f.0", 0x8086, 0xa1c8, 0x0c0500, None,
        resource="0x00000000c0000000 0x00000000c00fffff 0x0000000000042208\n")
    # USB: a root hub, a hub below it with a keyboard, and an FTDI serial adapter.
    root = usb(t, ehci, "usb1", 0x1d6b, 0x0002, "EHCI Host Controller", "Linux 5.15.0 ehci_hcd", "0000:00:1a.0",
               cls=9, driver="hub", version=" 2.00")
    hub = usb(t, root, "1-1", 0x05e3, 0x0610, "USB2.0 Hub", "GenesysLogic", cls=9, driver="hub")
    usb(t, hub, "1-1.1", 0x413c, 0x2113, "Dell KB216 Wired Keyboard", None, driver="usbhid")
    ftdi = usb(t, hub, "1-1.2", 0x0403, 0x6001, "FT232R USB UART", "FTDI", "A50285BI", driver="ftdi_sio")
    tty_usb = ftdi + "/1-1.2:1.0/ttyUSB0"
    t.dir(tty_usb + "/tty/ttyUSB0")
    t.link(tty_usb + "/tty/ttyUSB0/device", tty_usb)
    t.link("/sys/class/tty/ttyUSB0", tty_usb + "/tty/ttyUSB0")
    # Disk: NVMe with two partitions; NFS share mounted.
    ctrl = nvme + "/nvme/nvme0"
    t.files(ctrl, {"model": "SAMSUNG MZVL2512HCJQ-00B00", "serial": "S675NX0T123456", "firmware_rev": "GXA7801Q"})
    block(t, "nvme0n1", ctrl, 1000215216, "259:0", base=ctrl + "/nvme0n1",
          parts=[(2048, 2201600, "259:1"), (2203648, 998010880, "259:2")])
    t.file("/proc/self/mountinfo", mountinfo([
        ("259:2", "/", "/", "rw,relatime", "xfs", "/dev/nvme0n1p2", "rw"),
        ("259:1", "/", "/boot", "rw,relatime", "ext4", "/dev/nvme0n1p1", "rw"),
        ("0:50", "/", "/mnt/share", "rw,relatime", "nfs4", "nas01:/export/share", "rw,vers=4.2"),
        ("0:51", "/", "/sys/fs/cgroup", "rw", "cgroup2", "cgroup2", "rw"),
    ]))
    # Network: two Intel NICs (one down), a bridge with IPv6 only, loopback.
    net(t, "lo", 1, None, "00:00:00:00:00:00", mtu=65536, typ=772, flags="0x9")
    net(t, "eno1", 2, nic1, "ac:1f:6b:00:00:01", flags="0x1003", speed=1000, driver="igb")
    net(t, "eno2", 3, nic2, "ac:1f:6b:00:00:02", flags="0x1002", carrier=None, driver="e1000e")
    net(t, "br0", 4, None, "02:42:ac:11:00:01", flags="0x1003", carrier=0, uevent="DEVTYPE=bridge\n",
        extra=["bridge"])
    t.file("/proc/net/route",
           "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
           "eno1\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
           "eno1\t0000000A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n")
    t.file("/proc/net/ipv6_route",
           "00000000000000000000000000000000 00 00000000000000000000000000000000 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003     eno1\n"
           "20010db8000100000000000000000000 40 00000000000000000000000000000000 00 00000000000000000000000000000000 00000100 00000001 00000000 00000001     eno1\n")
    t.file("/etc/resolv.conf", "nameserver 127.0.0.53\noptions edns0 trust-ad\nsearch corp.example example.com\n")
    t.file("/run/systemd/resolve/resolv.conf", "nameserver 10.0.0.2\nnameserver 2001:db8:1::53\n"
                                               "search corp.example example.com\n")
    t.file("/run/systemd/netif/leases/2", "ADDRESS=10.0.0.10\nSERVER_ADDRESS=10.0.0.1\n")
    t.file("/etc/os-release", 'PRETTY_NAME="Rocky Linux 9.3 (Blue Onyx)"\nNAME="Rocky Linux"\nVERSION="9.3 (Blue Onyx)"\n')
    t.file("/etc/locale.conf", "LANG=en_US.UTF-8\n")
    # Logins from utmp: one on the console, one over ssh, and a record that is no login.
    t.file("/run/utmp", utmp_record(2, 0, "~", "reboot", "", 0, 1699990000, 0) +
           utmp_record(7, 1201, "tty1", "root", "", 1201, 1699990100, 250000) +
           utmp_record(7, 2345, "pts/0", "admin", "192.0.2.50", 2345, 1700000000, 0))
    t.live({
        "now": 1700001000, "utc_offset_minutes": -300,
        "uname": {"sysname": "Linux", "nodename": "db01", "release": "5.14.0-362.8.1.el9_3.x86_64",
                  "version": "#1 SMP PREEMPT_DYNAMIC Wed Nov 8 17:36:32 UTC 2023", "machine": "x86_64"},
        "interfaces": [
            {"name": "lo", "family": "inet", "address": "127.0.0.1", "prefix": 8},
            {"name": "lo", "family": "inet6", "address": "::1", "prefix": 128},
            {"name": "eno1", "family": "inet", "address": "10.0.0.10", "prefix": 24},
            {"name": "eno1", "family": "inet", "address": "10.0.0.11", "prefix": 32},
            {"name": "eno1", "family": "inet6", "address": "2001:db8:1::10", "prefix": 64},
            {"name": "eno1", "family": "inet6", "address": "fe80::ae1f:6bff:fe00:1", "prefix": 64},
            {"name": "br0", "family": "inet6", "address": "fd12:3456::1", "prefix": 48},
        ],
        "statvfs": {
            "/": {"size": 510880000000, "available": 400000000000, "block_size": 4096, "name_max": 255},
            "/boot": {"size": 1020000000, "available": 700000000, "block_size": 4096, "name_max": 255},
            "/mnt/share": {"size": 8000000000000, "available": 2500000000000, "block_size": 1048576,
                           "name_max": 255},
        },
        "pci": {"8086:2020": ["Intel Corporation", "Sky Lake-E DMI3 Registers"],
                "8086:1533": ["Intel Corporation", "I210 Gigabit Network Connection"],
                "8086:15b8": ["Intel Corporation", "Ethernet Connection (2) I219-V"],
                "8086:a1ad": ["Intel Corporation", "C620 Series Chipset Family USB 2.0 EHCI Controller"],
                "144d:a808": ["Samsung Electronics Co Ltd", "NVMe SSD Controller SM981/PM981/PM983"],
                "1217:7134": ["O2 Micro, Inc."]},
        "pci_classes": {"060700": "CardBus bridge", "060400": "PCI bridge"},
        "usb": {"05e3:0610": ["Genesys Logic, Inc.", "Hub"]},
    })


def desktop():
    """A desktop with a Radeon card (the procfs fixture's) driving a Dell monitor, a second monitor whose
    EDID arrived corrupted, the nct6779 chip of the node_exporter fixture, USB keyboard, mouse, audio and
    modem, and a UPS."""
    t = Tree("desktop")
    t.file("/proc/sys/kernel/hostname", "kobo-desktop\n")
    gpu = "/sys/devices/pci0000:00/0000:00:03.1/0000:09:00.0"
    corpus_dir(t, "procfs/drm/card0-device", gpu)
    t.dir("/sys/bus/pci/drivers/amdgpu")
    t.link(gpu + "/driver", "/sys/bus/pci/drivers/amdgpu")
    t.link("/sys/bus/pci/devices/0000:09:00.0", gpu)
    with open(os.path.join(CORPUS, "procfs/drm/card1/card1-DP-5/edid"), "rb") as f:
        corrupted = f.read()
    drm_card(t, gpu, "card0", "amdgpu", [
        ("DP-1", "connected", "enabled", "On", ["1920x1080", "1280x1024"], edid("Digital_Dell_DEL40A6_D301AE358F74.bin")),
        ("DP-2", "connected", "enabled", "Standby", ["1920x1200"], corrupted),
        ("HDMI-A-1", "disconnected", "disabled", "Off", [], b""),
    ])
    t.file("/sys/module/amdgpu/version", "5.18.13\n")
    # A render-only card of no display device is no adapter.
    nct = "/sys/devices/platform/nct6775.656"
    t.dir(nct)
    corpus_dir(t, "node_exporter/hwmon/nct6775.656", nct + "/hwmon/hwmon0")
    t.link(nct + "/hwmon/hwmon0/device", nct)
    t.link("/sys/class/hwmon/hwmon0", nct + "/hwmon/hwmon0")
    xhci = pci(t, "0000:00:14.0", 0x1022, 0x149c, 0x0c0330, "xhci_hcd")
    root = usb(t, xhci, "usb1", 0x1d6b, 0x0002, "xHCI Host Controller", "Linux 6.1.0 xhci-hcd", "0000:00:14.0",
               cls=9, driver="hub", version=" 2.00")
    usb(t, root, "1-1", 0x413c, 0x2113, "Dell KB216 Wired Keyboard", "Dell", driver="usbhid")
    usb(t, root, "1-2", 0x046d, 0xc077, "USB Optical Mouse", "Logitech", driver="usbhid")
    audio = usb(t, root, "1-3", 0x0d8c, 0x0014, "USB Audio Device", "C-Media Electronics Inc.",
                driver="snd-usb-audio")
    modem = usb(t, root, "1-4", 0x0572, 0x1329, "USB Modem", "Conexant", "12345678", cls=2, driver="cdc_acm")
    t.files(modem + "/1-4:1.0", {"bInterfaceClass": "02", "bInterfaceSubClass": "02", "bInterfaceProtocol": "01"})
    t.dir(modem + "/1-4:1.0/tty/ttyACM0")
    t.link(modem + "/1-4:1.0/tty/ttyACM0/device", modem + "/1-4:1.0")
    t.link("/sys/class/tty/ttyACM0", modem + "/1-4:1.0/tty/ttyACM0")
    # A CDC-ACM serial adapter (protocol 0) is no modem.
    acm = usb(t, root, "1-5", 0x2341, 0x0043, "Arduino Uno", "Arduino", cls=2, driver="cdc_acm")
    t.files(acm + "/1-5:1.0", {"bInterfaceClass": "02", "bInterfaceSubClass": "02", "bInterfaceProtocol": "00"})
    t.dir(acm + "/1-5:1.0/tty/ttyACM1")
    t.link(acm + "/1-5:1.0/tty/ttyACM1/device", acm + "/1-5:1.0")
    t.link("/sys/class/tty/ttyACM1", acm + "/1-5:1.0/tty/ttyACM1")
    t.dir(audio + "/1-3:1.0/sound/card1")
    t.link(audio + "/1-3:1.0/sound/card1/device", audio + "/1-3:1.0")
    t.link("/sys/class/sound/card1", audio + "/1-3:1.0/sound/card1")
    t.file("/proc/asound/cards", " 1 [Device         ]: USB-Audio - USB Audio Device\n"
                                 "                      C-Media Electronics Inc. USB Audio Device at usb-0000:00:14.0-3, full speed\n")
    t.file("/proc/bus/input/devices", input_devices([
        (0x03, 0x413c, 0x2113, "Dell KB216 Wired Keyboard", "usb-0000:00:14.0-1/input0",
         "/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/0003:413C:2113.0001/input/input1",
         {"EV": EV_KEY_REP, "KEY": bits(*range(1, 89)), "LED": "7"}),
        (0x03, 0x046d, 0xc077, "Logitech USB Optical Mouse", "usb-0000:00:14.0-2/input0",
         "/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:046D:C077.0002/input/input2",
         {"EV": bits(0, 1, 2, 4), "KEY": bits(0x110, 0x111, 0x112), "REL": bits(0, 1, 8)}),
    ]))
    t.file("/etc/vconsole.conf", "KEYMAP=de-latin1-nodeadkeys\n")
    ups = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-6/1-6:1.0/power_supply/ups"
    t.files(ups, {"type": "UPS", "status": "Discharging", "capacity": 64, "capacity_level": "Normal",
                  "model_name": "Back-UPS ES 700G", "present": 1, "time_to_empty_now": 1800})
    t.link("/sys/class/power_supply/ups", ups)
    t.live({
        "now": 1700003600, "utc_offset_minutes": 60,
        "uname": {"sysname": "Linux", "nodename": "kobo-desktop", "release": "6.1.0-13-amd64",
                  "version": "#1 SMP PREEMPT_DYNAMIC Debian 6.1.55-1", "machine": "x86_64"},
        "pci": {"1002:687f": ["Advanced Micro Devices, Inc. [AMD/ATI]", "Vega 10 XL/XT [Radeon RX Vega 56/64]"],
                "1022:149c": ["Advanced Micro Devices, Inc. [AMD]", "Matisse USB 3.0 Host Controller"]},
        "pnp": {"DEL": "Dell Inc."},
    })


def broken():
    """Files that are missing, unreadable (directories or dangling links where files belong) or malformed."""
    t = Tree("broken")
    t.file("/proc/cpuinfo", b"\x00\xff\xfe garbage without any colon\n:::\nprocessor\t: x\n")
    t.dir("/proc/meminfo")  # a directory where a file belongs: cannot be read as one
    t.file("/proc/stat", "btime notanumber\n")
    t.file("/proc/interrupts", "")
    t.file("/proc/dma", "x: y\n-3: negative\n")
    t.file("/proc/ioports", "zzzz-yyyy : nonsense\n0100-0010 : reversed\n  0060-0060\n")
    t.file("/proc/iomem", "no colon here\nffffffffffffffffff-0 : too long\n")
    t.file("/proc/self/mountinfo", "1 2 3\n- - -\n20 1 8:1 / /data rw - ext4\n")
    t.file("/proc/net/route", "Iface\tDestination\nbad\tline\n")
    t.file("/proc/net/ipv6_route", "short line\n")
    t.file("/etc/os-release", "")
    t.dir("/etc/resolv.conf")
    t.file("/proc/tty/driver/serial", "garbage\n0: uart\n")
    t.dir("/sys/class/tty/ttyS0/type")
    t.files("/sys/devices/system/cpu/cpu0/cache/index0", {"level": "one", "type": "Data", "size": "lots"})
    t.files("/sys/devices/system/cpu/cpu0/cache/index1", {"level": 2, "type": "Unified", "size": "xK",
                                                          "shared_cpu_list": "9-1,a"})
    t.files("/sys/block/sda", {"size": "abc", "removable": 0})
    t.files("/sys/block/sdb", {"size": "-5"})
    t.files("/sys/block/sdc", {"size": 2048, "removable": "x", "queue/logical_block_size": 0})
    t.dir("/sys/block/sdc/sdc1/partition")
    os.makedirs(t.path("/sys/bus/pci/devices"))
    os.symlink("../../../devices/pci0000:00/0000:00:09.0", t.path("/sys/bus/pci/devices/0000:00:09.0"))  # dangling
    t.files("/sys/bus/pci/devices/0000:00:0a.0", {"vendor": "0xzzzz", "device": "0x1234"})
    t.files("/sys/bus/pci/devices/0000:00:0b.0", {"vendor": "0x8086", "device": "0x1234", "class": "bogus"})
    t.files("/sys/bus/usb/devices/1-1", {"idVendor": "", "idProduct": "1"})
    t.files("/sys/class/net/eth0", {"mtu": "-", "address": "not-a-mac"})
    t.files("/sys/class/net/eth1", {"ifindex": 7, "mtu": "9000x", "address": "00:11:22:33:44:55", "flags": "zz"})
    t.files("/sys/bus/acpi/devices/PNP0501:00", {"hid": "", "status": "x"})
    t.file("/run/systemd/sessions/5", b"\xff\xfe\x00REALTIME=abc\nREMOTE=1\n")
    t.file("/run/utmp", b"\x07\x00" + b"\x00" * 98)  # shorter than one record
    with open(t.path("/live.json"), "w") as f:
        f.write('{"now": "soon", "uname": [1, 2], "interfaces": {"x": 1}, "statvfs": {"/data": 5},')


laptop()
server()
desktop()
broken()

# Git keeps no empty folders: mark each one so the trees survive a clone.
for tree in ("laptop", "server", "desktop", "broken"):
    for folder, dirs, files in os.walk(os.path.join(HERE, tree)):
        if not dirs and not files:
            open(os.path.join(folder, ".keep"), "w").close()
