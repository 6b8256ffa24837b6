// SPDX-License-Identifier: GPL-3.0-or-later
// Refusing output files that would land on the source being read.
#pragma once

#include <string>

namespace restora::cli {

// Why writing the file out would change the source, or empty when it would not: out is the
// source itself (under any name), or the source is a block device that holds the file system
// out would be written to (directly, or as the disk of that partition).
std::string WhyOutputTouchesSource(const std::string& source, const std::string& out);

}  // namespace restora::cli
