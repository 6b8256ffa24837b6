// SPDX-License-Identifier: GPL-3.0-or-later
// Byte counts in the unit a user reads best.
#include "TotalsText.h"

namespace restora {

QString TotalsText(const char* word, uint64_t bytes, uint32_t files, uint32_t folders) {
  const char* unit = "GB";
  double value = static_cast<double>(bytes) / 1073741824.0;
  if (bytes < 1048576ULL) {
    unit = "KB";
    value = static_cast<double>(bytes) / 1024.0;
  } else if (bytes < 1073741824ULL) {
    unit = "MB";
    value = static_cast<double>(bytes) / 1048576.0;
  }
  return QString::asprintf("%s %7.3f %s in %u Files in %u Folders", word, value, unit, files, folders);
}

}  // namespace restora
