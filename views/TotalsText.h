// SPDX-License-Identifier: GPL-3.0-or-later
// The status-bar texts of the tree's totals and of the selection.
#pragma once

#include <QString>
#include <cstdint>

namespace restora {

// "Total %7.3f KB in %u Files in %u Folders" (or "Selected …"), in KB below 1,048,576 bytes,
// in MB below 1,073,741,824 bytes and in GB above.
QString TotalsText(const char* word, uint64_t bytes, uint32_t files, uint32_t folders);

}  // namespace restora
