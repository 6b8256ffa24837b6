// SPDX-License-Identifier: GPL-3.0-or-later
// The scan information file (".qxs"): the volume description and the whole scan tree.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "EngineState.h"

namespace restora {

// The first 8 bytes of every scan information file: "TAF-" and the u32 0x000055AA.
constexpr std::array<uint8_t, 8> kScanFileSignature{0x54, 0x41, 0x46, 0x2D, 0xAA, 0x55, 0x00, 0x00};

// After the tree of a disk scanned partition by partition: the partitions block, "PARTITNS".
constexpr std::array<uint8_t, 8> kPartitionBlockSignature{0x50, 0x41, 0x52, 0x54, 0x49, 0x54, 0x4E, 0x53};

// Writes volumeInfo, volumePath and the tree to path (an existing file is replaced). Writing
// changes nothing in memory. A disk scanned partition by partition is written as a disk whose
// root holds the partitions' top folders, empty, followed by the partitions block: per partition
// its number, start, length, description and the tree below its top folder in its own layout.
// Readers that know no partitions block read such a file as the disk with those empty folders.
// Returns 1 when the file was created and every byte written, 0 when
// it could not be created or a write failed (a full disk, for example).
int WriteScanInfo(EngineState& state, const std::string& path);

// The same content written to a stream. Returns 1 when the stream took every byte, 0 otherwise.
int WriteScanInfoTo(const EngineState& state, std::ostream& out);

// Replaces volumeInfo, the start of volumePath and scanRoot with the content of the file at path.
// The tree that was current before (scanRoot, null or a live tree of state.pool) is freed first;
// the source stays open as it was. Any file is safe to read: a file cut short, a length that runs
// past the end or a folder flag without its block ends the lists there, and the tree holds the
// whole records the file held. A partitions block fills state.partitions (without readers: the
// caller opens each partition again before it saves from it). Returns 1 on success, 0 when the file cannot be opened or does not
// start with the signature (then nothing has changed).
int ReadScanInfo(EngineState& state, const std::string& path);

// The same reading from a stream positioned at the file's first byte.
int ReadScanInfoFrom(EngineState& state, std::istream& in);

}  // namespace restora
