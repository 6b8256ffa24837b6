// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a destination folder lies on the storage a source device reads: saving there would
// overwrite the very data being recovered.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace restora {

// The block devices a device is built on: the device itself, the whole disk of a partition, and
// (for device-mapper, RAID and similar) the devices it is made of, with their disks in turn,
// read from sysRoot ("/sys"; tests pass a fixture tree).
std::vector<dev_t> UnderlyingDevices(dev_t device, const std::string& sysRoot);

// True when writing to a file system on one of destinationDevices can change sourceDevice:
// either lies on the other (a partition of the source disk, the disk of a source partition, a
// volume built on the source), or both are loop devices over the same file.
bool DevicesOverlap(dev_t sourceDevice, const std::vector<dev_t>& destinationDevices, const std::string& sysRoot);

// Checks a source path against a destination folder. A source that is not a block device (an
// image file) never overlaps: new files do not take the blocks of an existing file. Otherwise the
// folder's file system device, and the device its mount names in mountInfo, are compared with
// DevicesOverlap. Returns 1 and sets *reason when saving there is refused, 0 when it is fine.
int DestinationOnSourceDevice(const std::string& sourcePath, const std::string& folder, std::string* reason,
                              const std::string& sysRoot = "/sys",
                              const std::string& mountInfo = "/proc/self/mountinfo");

}  // namespace restora
