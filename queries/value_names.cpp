#include "queries/value_names.h"

#include "wmi/text.h"

namespace queries {

namespace {

// Win32_SystemEnclosure.ChassisTypes (CIM_Chassis), codes 1 to 24.
constexpr ValueName kChassisTypes[] = {
    {1, "Other", "その他"},
    {2, "Unknown", "不明"},
    {3, "Desktop", "デスクトップ"},
    {4, "Low Profile Desktop", "ロープロファイル デスクトップ"},
    {5, "Pizza Box", "ピザボックス"},
    {6, "Mini Tower", "ミニタワー"},
    {7, "Tower", "タワー"},
    {8, "Portable", "ポータブル"},
    {9, "Laptop", "ラップトップ"},
    {10, "Notebook", "ノートPC"},
    {11, "Hand Held", "ハンドヘルド"},
    {12, "Docking Station", "ドッキング ステーション"},
    {13, "All in One", "オールインワン"},
    {14, "Sub Notebook", "サブノートPC"},
    {15, "Space-Saving", "省スペース"},
    {16, "Lunch Box", "ランチボックス"},
    {17, "Main System Chassis", "メイン システム シャーシ"},
    {18, "Expansion Chassis", "拡張シャーシ"},
    {19, "SubChassis", "サブシャーシ"},
    {20, "Bus Expansion Chassis", "バス拡張シャーシ"},
    {21, "Peripheral Chassis", "周辺機器シャーシ"},
    {22, "Storage Chassis", "ストレージ シャーシ"},
    {23, "Rack Mount Chassis", "ラックマウント シャーシ"},
    {24, "Sealed-Case PC", "密閉型 PC"},
};

// Win32_ComputerSystem.PCSystemType; 8 (Maximum) only bounds the map.
constexpr ValueName kPcSystemTypes[] = {
    {0, "Unspecified", "未指定"},
    {1, "Desktop", "デスクトップ"},
    {2, "Mobile", "モバイル"},
    {3, "Workstation", "ワークステーション"},
    {4, "Enterprise Server", "エンタープライズ サーバー"},
    {5, "SOHO Server", "SOHO サーバー"},
    {6, "Appliance PC", "アプライアンス PC"},
    {7, "Performance Server", "パフォーマンス サーバー"},
    {8, "Maximum", "最大"},
};

// Win32_PhysicalMemory.MemoryType (CIM_PhysicalMemory): 0 to 22, 24 and 25.
constexpr ValueName kMemoryTypes[] = {
    {0, "Unknown", "不明"},
    {1, "Other", "その他"},
    {2, "DRAM", "DRAM"},
    {3, "Synchronous DRAM", "Synchronous DRAM"},
    {4, "Cache DRAM", "Cache DRAM"},
    {5, "EDO", "EDO"},
    {6, "EDRAM", "EDRAM"},
    {7, "VRAM", "VRAM"},
    {8, "SRAM", "SRAM"},
    {9, "RAM", "RAM"},
    {10, "ROM", "ROM"},
    {11, "Flash", "Flash"},
    {12, "EEPROM", "EEPROM"},
    {13, "FEPROM", "FEPROM"},
    {14, "EPROM", "EPROM"},
    {15, "CDRAM", "CDRAM"},
    {16, "3DRAM", "3DRAM"},
    {17, "SDRAM", "SDRAM"},
    {18, "SGRAM", "SGRAM"},
    {19, "RDRAM", "RDRAM"},
    {20, "DDR", "DDR"},
    {21, "DDR2", "DDR2"},
    {22, "DDR2 FB-DIMM", "DDR2 FB-DIMM"},
    {24, "DDR3", "DDR3"},
    {25, "FBD2", "FBD2"},
};

// Win32_PhysicalMemory.SMBIOSMemoryType: the class page gives it as the raw
// Memory Type of the SMBIOS Memory Device (type 17), so its map is the SMBIOS
// reference's; it names the types MemoryType has no code for (DDR4 on).
constexpr ValueName kSmbiosMemoryTypes[] = {
    {1, "Other", "その他"},   {2, "Unknown", "不明"},
    {3, "DRAM", "DRAM"},      {4, "EDRAM", "EDRAM"},
    {5, "VRAM", "VRAM"},      {6, "SRAM", "SRAM"},
    {7, "RAM", "RAM"},        {8, "ROM", "ROM"},
    {9, "Flash", "Flash"},    {10, "EEPROM", "EEPROM"},
    {11, "FEPROM", "FEPROM"}, {12, "EPROM", "EPROM"},
    {13, "CDRAM", "CDRAM"},   {14, "3DRAM", "3DRAM"},
    {15, "SDRAM", "SDRAM"},   {16, "SGRAM", "SGRAM"},
    {17, "RDRAM", "RDRAM"},   {18, "DDR", "DDR"},
    {19, "DDR2", "DDR2"},     {20, "DDR2 FB-DIMM", "DDR2 FB-DIMM"},
    {24, "DDR3", "DDR3"},     {25, "FBD2", "FBD2"},
    {26, "DDR4", "DDR4"},     {27, "LPDDR", "LPDDR"},
    {28, "LPDDR2", "LPDDR2"}, {29, "LPDDR3", "LPDDR3"},
    {30, "LPDDR4", "LPDDR4"}, {31, "Logical non-volatile device", "論理不揮発性デバイス"},
    {32, "HBM", "HBM"},       {33, "HBM2", "HBM2"},
    {34, "DDR5", "DDR5"},     {35, "LPDDR5", "LPDDR5"},
    {36, "HBM3", "HBM3"},
};

// Win32_PhysicalMemory.FormFactor (CIM_Chip), 0 to 23.
constexpr ValueName kFormFactors[] = {
    {0, "Unknown", "不明"},
    {1, "Other", "その他"},
    {2, "SIP", "SIP"},
    {3, "DIP", "DIP"},
    {4, "ZIP", "ZIP"},
    {5, "SOJ", "SOJ"},
    {6, "Proprietary", "独自仕様"},
    {7, "SIMM", "SIMM"},
    {8, "DIMM", "DIMM"},
    {9, "TSOP", "TSOP"},
    {10, "PGA", "PGA"},
    {11, "RIMM", "RIMM"},
    {12, "SODIMM", "SODIMM"},
    {13, "SRIMM", "SRIMM"},
    {14, "SMD", "SMD"},
    {15, "SSMP", "SSMP"},
    {16, "QFP", "QFP"},
    {17, "TQFP", "TQFP"},
    {18, "SOIC", "SOIC"},
    {19, "LCC", "LCC"},
    {20, "PLCC", "PLCC"},
    {21, "BGA", "BGA"},
    {22, "FPBGA", "FPBGA"},
    {23, "LGA", "LGA"},
};

// Win32_Processor.Architecture.
constexpr ValueName kArchitectures[] = {
    {0, "x86", "x86"}, {1, "MIPS", "MIPS"}, {2, "Alpha", "Alpha"}, {3, "PowerPC", "PowerPC"},
    {5, "ARM", "ARM"}, {6, "ia64", "ia64"}, {9, "x64", "x64"},
};

// Win32_LogicalDisk.DriveType.
constexpr ValueName kDriveTypes[] = {
    {0, "Unknown", "不明"},
    {1, "No Root Directory", "ルート ディレクトリなし"},
    {2, "Removable Disk", "リムーバブル ディスク"},
    {3, "Local Disk", "ローカル ディスク"},
    {4, "Network Drive", "ネットワーク ドライブ"},
    {5, "Compact Disc", "CD/DVD ドライブ"},
    {6, "RAM Disk", "RAM ディスク"},
};

constexpr ValueMap kMaps[] = {
    {"Win32_SystemEnclosure", "ChassisTypes", kChassisTypes},
    {"Win32_ComputerSystem", "PCSystemType", kPcSystemTypes},
    {"Win32_PhysicalMemory", "MemoryType", kMemoryTypes},
    {"Win32_PhysicalMemory", "SMBIOSMemoryType", kSmbiosMemoryTypes},
    {"Win32_PhysicalMemory", "FormFactor", kFormFactors},
    {"Win32_Processor", "Architecture", kArchitectures},
    {"Win32_LogicalDisk", "DriveType", kDriveTypes},
};

}  // namespace

std::span<const ValueMap> ValueMaps() { return kMaps; }

std::optional<std::string_view> ValueNameOf(std::string_view class_name, std::string_view property, std::int64_t code,
                                            Language language) {
  for (const ValueMap& map : kMaps) {
    if (!wmi::EqualsIgnoreCase(map.class_name, class_name) || !wmi::EqualsIgnoreCase(map.property, property)) continue;
    for (const ValueName& n : map.names)
      if (n.code == code) return language == Language::Japanese ? n.japanese : n.english;
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace queries
