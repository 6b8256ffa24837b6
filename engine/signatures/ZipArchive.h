// SPDX-License-Identifier: GPL-3.0-or-later
// Zip archives and the documents built on them (Office Open XML, OpenDocument, EPUB, Java and
// Android packages), read from a found file's bounded bytes.
#pragma once

#include <cstdint>
#include <string_view>

#include "FileBytes.h"

namespace restora {

struct ZipArchiveInfo {
  uint64_t end = 0;              // the end of the end-of-central-directory record and its
                                 // comment; 0 when the walk did not reach it
  std::string_view type = "zip"; // docx, xlsx, pptx, odt, ods, odp, epub, apk, jar or zip
};

// Walks the local entries from the start (stepping over their data by the recorded sizes, or
// to their data descriptor), then the central directory and the end records, and names the type
// by the entries: "[Content_Types].xml" with entries under "word/", "xl/" or "ppt/"; a first
// entry "mimetype" holding an OpenDocument or EPUB media type; "AndroidManifest.xml" with
// "classes.dex"; "META-INF/MANIFEST.MF". Entries seen before a damaged part still count.
ZipArchiveInfo ReadZipArchive(FileBytes& bytes);

}  // namespace restora
