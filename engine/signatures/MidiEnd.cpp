// SPDX-License-Identifier: GPL-3.0-or-later
// Standard MIDI files: the header chunk, then as many chunks as it counts tracks.
#include "FormatEnds.h"

namespace restora {

uint64_t MidiEnd(FileBytes& bytes) {
  uint32_t headerLength = 0;
  uint16_t tracks = 0;
  if (!bytes.Equals(0, "MThd") || !bytes.U32BE(4, headerLength) || headerLength < 6 || !bytes.U16BE(10, tracks)) {
    return 0;
  }
  uint64_t at = 8 + uint64_t{headerLength};
  for (uint16_t track = 0; track < tracks; ++track) {
    uint32_t length = 0;
    if (!bytes.U32BE(at + 4, length)) return 0;
    at += 8 + uint64_t{length};
  }
  return tracks > 0 && bytes.Holds(0, at) ? at : 0;
}

}  // namespace restora
