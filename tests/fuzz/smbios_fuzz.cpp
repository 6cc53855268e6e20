// libFuzzer target over the SMBIOS table walk and the classes made from it.
// The input is laid out as `dmidecode --dump-bin` writes a table (and as the
// seeds in seeds/smbios are): the entry point in the first 32 bytes, the
// table from offset 0x20. Each input is walked directly, then written as a
// tree's /sys/firmware/dmi/tables and read through every firmware class
// (the probes and cooling devices among them).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "wmi/linux/linux_provider.h"
#include "wmi/linux/smbios.h"
#include "wmi/linux/smbios_probes.h"
#include "wmi/provider.h"

namespace {

constexpr std::size_t kEntrySize = 0x20;

const std::filesystem::path& Root() {
  static const std::filesystem::path root = [] {
    auto r = std::filesystem::temp_directory_path() / ("pcinfo-smbios-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(r / "sys/firmware/dmi/tables");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Root(), ignored);
    });
    return r;
  }();
  return root;
}

void Write(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> all(data, size);
  std::span<const std::uint8_t> entry = all.first(std::min(size, kEntrySize));
  std::span<const std::uint8_t> table = size > kEntrySize ? all.subspan(kEntrySize) : std::span<const std::uint8_t>();

  wmi::lx::SmbiosTable t = wmi::lx::ParseSmbios(entry, table);
  for (const wmi::lx::SmbiosStructure& s : t.structures)
    for (std::size_t offset = 0; offset < 0x60; ++offset) {
      (void)s.String(offset);
      (void)s.Qword(offset);
    }
  // The probe and cooling device decoders on every structure, whatever its type says.
  for (wmi::lx::SmbiosStructure s : t.structures) {
    for (std::uint8_t type : {wmi::lx::kSmbiosVoltageProbe, wmi::lx::kSmbiosCoolingDevice,
                              wmi::lx::kSmbiosTemperatureProbe, wmi::lx::kSmbiosCurrentProbe}) {
      s.type = type;
      (void)wmi::lx::DecodeSmbiosProbe(s);
      if (auto d = wmi::lx::DecodeSmbiosCoolingDevice(s)) (void)wmi::lx::CoolingKindOf(d->device_type);
    }
  }

  auto dir = Root() / "sys/firmware/dmi/tables";
  Write(dir / "smbios_entry_point", entry);
  Write(dir / "DMI", table);
  auto provider = wmi::lx::LinuxProvider::ForTree(Root().string());
  auto c = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
  for (const char* cls :
       {"Win32_BIOS", "Win32_BaseBoard", "Win32_SystemEnclosure", "Win32_PortConnector", "Win32_SystemSlot",
        "Win32_OnBoardDevice", "Win32_PhysicalMemoryArray", "Win32_PhysicalMemory", "Win32_SMBIOSMemory",
        "Win32_PortableBattery", "Win32_CacheMemory", "Win32_TemperatureProbe", "Win32_VoltageProbe",
        "Win32_CurrentProbe", "Win32_Fan", "Win32_HeatPipe", "Win32_Refrigeration"}) {
    auto rs = c->ExecQuery(std::string("Select * from ") + cls, wmi::kCategoryFlags);
    while (rs->Next()) {
    }
  }
  // The processors of the populated sockets, and the computer system and its product.
  for (const char* cls : {"Win32_Processor", "Win32_ComputerSystem", "Win32_ComputerSystemProduct"}) {
    auto rs = c->ExecQuery(std::string("Select * from ") + cls, wmi::kCategoryFlags);
    while (rs->Next()) {
    }
  }
  return 0;
}
