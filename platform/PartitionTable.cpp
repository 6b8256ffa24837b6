// SPDX-License-Identifier: GPL-3.0-or-later
// Partition tables through libblkid.
#include "PartitionTable.h"

#include <blkid/blkid.h>

#include <cstdio>
#include <memory>

namespace restora {

namespace {

struct ProbeDeleter {
  void operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }
};
using Probe = std::unique_ptr<blkid_struct_probe, ProbeDeleter>;

// A probe over bytes [offset, offset + length) of fd; length 0 means to the source's end.
Probe NewProbe(int fd, uint64_t offset, uint64_t length) {
  Probe probe(blkid_new_probe());
  if (!probe) return probe;
  if (blkid_probe_set_device(probe.get(), fd, static_cast<blkid_loff_t>(offset), static_cast<blkid_loff_t>(length)) != 0) {
    probe.reset();
  }
  return probe;
}

}  // namespace

int ReadPartitionTable(int fd, PartitionTable* table, std::string* error) {
  *table = PartitionTable{};
  Probe probe = NewProbe(fd, 0, 0);
  if (!probe) {
    if (error != nullptr) *error = "cannot probe the source for a partition table";
    return 0;
  }
  blkid_probe_enable_superblocks(probe.get(), 0);
  blkid_probe_enable_partitions(probe.get(), 1);
  blkid_partlist list = blkid_probe_get_partitions(probe.get());
  if (list == nullptr) return 1;  // no table: the source is something else
  blkid_parttable root = blkid_partlist_get_table(list);
  if (root == nullptr) return 1;
  const char* scheme = blkid_parttable_get_type(root);
  table->scheme = scheme != nullptr ? scheme : "unknown";
  const int count = blkid_partlist_numof_partitions(list);
  for (int i = 0; i < count; ++i) {
    blkid_partition partition = blkid_partlist_get_partition(list, i);
    if (partition == nullptr) continue;
    PartitionEntry entry;
    const int number = blkid_partition_get_partno(partition);
    entry.number = number > 0 ? static_cast<uint32_t>(number) : static_cast<uint32_t>(i + 1);
    const blkid_loff_t start = blkid_partition_get_start(partition);
    const blkid_loff_t size = blkid_partition_get_size(partition);
    entry.startSector = start > 0 ? static_cast<uint64_t>(start) : 0;
    entry.sectorCount = size > 0 ? static_cast<uint64_t>(size) : 0;
    if (const char* type = blkid_partition_get_type_string(partition); type != nullptr) {
      entry.type = type;
    } else {
      char text[8];
      std::snprintf(text, sizeof text, "0x%02x", blkid_partition_get_type(partition) & 0xFF);
      entry.type = text;
    }
    if (const char* name = blkid_partition_get_name(partition); name != nullptr) entry.name = name;
    entry.extended = blkid_partition_is_extended(partition) != 0;
    table->entries.push_back(std::move(entry));
  }
  return 1;
}

std::string ProbeFileSystemName(int fd, uint64_t startSector, uint64_t sectorCount) {
  if (startSector > UINT64_MAX / 512 || sectorCount > UINT64_MAX / 512 || sectorCount == 0) return {};
  Probe probe = NewProbe(fd, startSector * 512, sectorCount * 512);
  if (!probe) return {};
  blkid_probe_enable_partitions(probe.get(), 0);
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
  if (blkid_do_safeprobe(probe.get()) != 0) return {};
  const char* value = nullptr;
  if (blkid_probe_lookup_value(probe.get(), "TYPE", &value, nullptr) != 0 || value == nullptr) return {};
  std::string name = value;
  if (blkid_probe_lookup_value(probe.get(), "VERSION", &value, nullptr) == 0 && value != nullptr && name == "vfat") {
    name += std::string(" (") + value + ")";
  }
  return name;
}

}  // namespace restora
