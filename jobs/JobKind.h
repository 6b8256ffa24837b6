// SPDX-License-Identifier: GPL-3.0-or-later
// The four kinds of long job a front end runs on the open source.
#pragma once

#include <cstdint>

namespace restora {

enum class JobKind : uint8_t {
  DirectoryScanJob = 0,    // the directory scan of the open volume or image
  SaveJob = 1,             // the recovery writer: saves every checked entry
  SignatureSearchJob = 2,  // the directory scan and the search for known file types (a disk: the search alone)
  ImagingJob = 3,          // copies the open volume into an image file
};

}  // namespace restora
