// Captures of many made-up machines, made from one real capture: each has its
// own host name, machine id, serial numbers, number of memory modules (1 to 4)
// and their size, disk model, BIOS version, free space on C: and capture
// time. For the inventory tests and the export benchmark.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "wmi/provider.h"
#include "wmi/recorded/snapshot.h"

namespace testing_support {

inline std::string MachineName(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "PC-%04d", n);
  return buffer;
}

// Memory modules machine n has: 1 to 4, of 4 GiB each when n % 5 is 0, else 8 GiB.
inline int MachineModules(int n) { return n % 4 + 1; }
inline long long MachineModuleSize(int n) { return n % 5 == 0 ? 4294967296LL : 8589934592LL; }
// The BIOS version: P4.20, P4.25 or P4.30.
inline std::string MachineBios(int n) { return "P4." + std::to_string(20 + n % 3 * 5); }
// Drive C: is over 90 % full when n % 10 is 0.
inline bool MachineDiskFull(int n) { return n % 10 == 0; }
// The month of the capture: 1 to 12, plus `later` months.
inline std::string MachineCaptured(int n, int later = 0) {
  const int month = (n + later) % 12 + 1;
  return "2026-" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "-15T00:30:00Z";
}

// Capture `later` of machine n is made `later` months after the first.
inline wmi::Snapshot MachineCapture(const wmi::Snapshot& base, int n, int later = 0) {
  const std::string name = MachineName(n);
  const int month = (n + later) % 12 + 1;
  wmi::Snapshot s;
  char id[64];
  std::snprintf(id, sizeof id, "6c4f9a2e-0000-4000-8000-%012d", n);
  s.header = wmi::CaptureHeader{MachineCaptured(n, later), "pcinfo-cli test", "wmi", id};
  for (const wmi::RecordedNamespace& ns : base.namespaces) {
    wmi::RecordedNamespace copy{ns.name, {}};
    for (const wmi::RecordedClass& c : ns.classes) {
      wmi::RecordedClass cls{c.name, {}, c.types};
      const bool memory = wmi::EqualsIgnoreCase(c.name, "Win32_PhysicalMemory");
      const int count = memory && !c.instances.empty() ? MachineModules(n) : static_cast<int>(c.instances.size());
      for (int i = 0; i < count; ++i) {
        std::vector<wmi::Property> props = c.instances[i % c.instances.size()].Properties();
        for (wmi::Property& p : props) {
          const std::string& key = p.name;
          auto is = [&](const char* k) { return wmi::EqualsIgnoreCase(key, k); };
          if (is("CSName") || is("SystemName") || is("DNSHostName") ||
              (is("Name") && wmi::EqualsIgnoreCase(c.name, "Win32_ComputerSystem")))
            p.value = name;
          else if (is("SerialNumber"))
            p.value = name + "-" + c.name + "-" + std::to_string(i);
          else if (is("LocalDateTime"))
            p.value = "2026" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "15093000.000000+540";
          else if (memory && is("Capacity"))
            p.value = std::to_string(MachineModuleSize(n));
          else if (wmi::EqualsIgnoreCase(c.name, "Win32_BIOS") && is("SMBIOSBIOSVersion"))
            p.value = MachineBios(n);
          else if (wmi::EqualsIgnoreCase(c.name, "Win32_LogicalDisk") && is("FreeSpace") && i == 0 &&
                   MachineDiskFull(n))
            p.value = "16106127155";
          else if (memory && is("Tag"))
            p.value = "Physical Memory " + std::to_string(i);
          else if (memory && is("BankLabel"))
            p.value = "BANK " + std::to_string(i);
          else if (wmi::EqualsIgnoreCase(c.name, "Win32_DiskDrive") && is("Model"))
            p.value = "Disk Model " + std::to_string(n % 7);
        }
        cls.instances.emplace_back(std::move(props));
      }
      copy.classes.push_back(std::move(cls));
    }
    s.namespaces.push_back(std::move(copy));
  }
  return s;
}

}  // namespace testing_support
