// SPDX-License-Identifier: GPL-3.0-or-later
// The NTFS directory scan: every record of the master file table, deleted files hung under their
// rebuilt folder paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "EngineState.h"
#include "MftTable.h"
#include "NtfsBitmap.h"
#include "NtfsFolderIndex.h"

namespace restora {

// Counters a caller may ask the scan to keep (tests and benchmarks).
struct NtfsScanStats {
  uint64_t recordsRead = 0;        // records taken from the source (each counted once)
  uint64_t deletedFiles = 0;       // deleted records with a size and a name
  uint64_t folderLookups = 0;      // searches for a parent folder in the tree
  uint64_t searchDisagreements = 0;  // index answers that differed from FindNodeById (cross-check)
  uint64_t droppedChains = 0;      // files whose folder chain ended below the root folder's record
};

// How the scan reads; the defaults are what the program uses.
struct NtfsScanTuning {
  size_t chunkBytes = size_t{1} << 20;  // read at once, rounded down to whole records (one at least)
  bool crossCheckSearch = false;         // also run FindNodeById for every lookup and compare
  NtfsScanStats* stats = nullptr;
};

// Scans the whole table below scanRoot: deleted files with a size and a name are hung under
// their folders, rebuilt from the table up to the root folder (record 5), with placeholder
// folders "#<record>" under the root where a parent cannot be read as a folder. Reports one
// progress step per record (records done, records per cluster × the table's clusters).
// Returns 1 when it ran to the end, 0 when keepRunning stopped it (or there is no root, or memory
// ran out; the tree then keeps what was attached).
int ScanMft(EngineState& state);
int ScanMft(EngineState& state, const NtfsScanTuning& tuning);

// The scan's working state; one instance runs one scan over state.scanRoot.
class MftScanner {
 public:
  MftScanner(EngineState& state, const NtfsScanTuning& tuning);

  // Reads every record in order and hangs each deleted file into the tree. Returns 1 when it
  // ran to the end, 0 when keepRunning stopped it.
  int Run();

  // Hangs node (a deleted file, or a folder chain topped by it, not yet in the tree) under its
  // parent folder, building the missing folders from their records, or placeholders, up to a
  // folder already in the tree or the root. A chain that ends below record 5 is dropped and its
  // nodes, node included, freed. A looping chain ends at a placeholder for the record met twice.
  // Returns 1 when node is in the tree, 0 when it was dropped.
  int AttachToParent(ScanNode* node);

 private:
  void ScanRecord(uint64_t number, std::span<uint8_t> record);
  // Takes names and sizes that a file's base record lacks from its extension records.
  void ReadExtensions(Bytes record, uint32_t first, ScanNode& node);
  // A folder node for record number, read from the table, or a placeholder when the record is no
  // usable folder. child is the node whose parent it becomes.
  ScanNode* MakeFolder(uint32_t number, const ScanNode& child, bool seenOnThisClimb);
  void DropChain(ScanNode* top);

  EngineState& state_;
  NtfsScanTuning tuning_;
  NtfsScanStats ownStats_;
  NtfsScanStats& stats_;
  MftTable table_;
  NtfsBitmap bitmap_;
  NtfsFolderIndex index_;
  std::vector<uint8_t> extensionRecord_;
  std::vector<uint8_t> folderRecord_;
  // Per folder record met while climbing: the climb that last met it, or kLeadsNowhere once its
  // chain is known to end below record 5.
  std::unordered_map<uint32_t, uint64_t> climbMarks_;
  uint64_t climb_ = 0;
};

}  // namespace restora
