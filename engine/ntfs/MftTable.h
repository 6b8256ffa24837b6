// SPDX-License-Identifier: GPL-3.0-or-later
// The master file table seen as one run of bytes through its extents: where record n lies on the
// volume, and reads of one record or of many consecutive records at once.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "EngineState.h"

namespace restora {

class MftTable {
 public:
  // Takes the extents (mftRuns) and the record and cluster sizes from state.
  explicit MftTable(EngineState& state);

  // Whole records the extents hold (a partial record at the end does not count).
  uint64_t RecordCount() const { return recordCount_; }
  size_t RecordBytes() const { return recordBytes_; }

  // The volume sector where record n starts. Returns false when n lies past the table or its
  // extent's position does not fit 64 bits.
  bool RecordSector(uint64_t n, uint64_t& sector) const;

  // The first record at or after n with a byte inside the first sourceBytes bytes of the volume;
  // records wholly past the source's end can only read as zeros. RecordCount() when none.
  uint64_t NextRecordWithin(uint64_t n, uint64_t sourceBytes) const;

  // Reads count records from first into buffer (count × RecordBytes() bytes); what lies past the
  // source's end reads as zeros. A record may span two extents. Returns 1 when every read
  // succeeded, 0 when one failed or a record lies outside the table or in a sparse extent.
  [[nodiscard]] int ReadRecords(uint64_t first, uint64_t count, std::span<uint8_t> buffer) const;

 private:
  struct Extent {
    uint64_t tableByte = 0;   // where the extent starts in the table
    uint64_t bytes = 0;       // its length
    uint64_t volumeByte = 0;  // where it starts on the volume
    bool placed = false;      // false for a sparse extent or one past 64-bit positions
  };
  // The extent that holds table byte position; extents_.size() when none does.
  size_t ExtentAt(uint64_t position) const;

  EngineState& state_;
  std::vector<Extent> extents_;
  size_t recordBytes_ = 0;
  uint64_t recordCount_ = 0;
};

}  // namespace restora
