// Captures of many made-up machines, made from one real capture: each has its
// own host name, serial numbers, number of memory modules (1 to 4), disk model
// and capture time. For the inventory tests and the export benchmark.
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

// Memory modules machine n has: 1 to 4.
inline int MachineModules(int n) { return n % 4 + 1; }

inline wmi::Snapshot MachineCapture(const wmi::Snapshot& base, int n) {
  const std::string name = MachineName(n);
  wmi::Snapshot s;
  for (const wmi::RecordedNamespace& ns : base.namespaces) {
    wmi::RecordedNamespace copy{ns.name, {}};
    for (const wmi::RecordedClass& c : ns.classes) {
      wmi::RecordedClass cls{c.name, {}};
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
            p.value = "2026" + std::string(n % 12 < 9 ? "0" : "") + std::to_string(n % 12 + 1) + "15093000.000000+540";
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
