// Block devices as /sys/block shows them, shared by the disk and the logical disk builders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wmi/linux/tree.h"

namespace wmi::lx {

struct BlockPartition {
  std::string name;  // "sda1"
  std::int64_t number = 0;
  std::uint64_t start = 0, sectors = 0;  // in 512-byte sectors
  std::string dev;                       // "8:1"
};

struct BlockDisk {
  std::string name;  // "sda"
  std::uint64_t sectors = 0;
  std::int64_t logical_block = 512;
  bool removable = false, read_only = false;
  std::string dev;                    // "8:0"
  std::optional<std::string> device;  // resolved sysfs path of the device behind it
  std::optional<std::string> model, vendor, serial, firmware;
  std::vector<BlockPartition> partitions;  // by start
};

// The disks Win32_DiskDrive lists (loop, ram, zram, device-mapper, md, optical and floppy left out), in name order.
std::vector<BlockDisk> ReadDisks(const Tree& tree);
std::string PartitionId(std::size_t disk, std::size_t partition);

}  // namespace wmi::lx
