// SPDX-License-Identifier: GPL-3.0-or-later
// The table from a found file's extension to the reader of its format.
#include "FileEnd.h"

#include <utility>

#include "FormatEnds.h"

namespace restora {

namespace {

using Reader = uint64_t (*)(FileBytes&);

// Extensions of the zip family share one reader; so do the ISO media types.
uint64_t WaveEnd(FileBytes& bytes) { return RiffEnd(bytes, "WAVE"); }
uint64_t AviEnd(FileBytes& bytes) { return RiffEnd(bytes, "AVI "); }
uint64_t WebpEnd(FileBytes& bytes) { return RiffEnd(bytes, "WEBP"); }
uint64_t MovieEnd(FileBytes& bytes) { return IsoMediaEnd(bytes, "moov"); }
uint64_t HeifEnd(FileBytes& bytes) { return IsoMediaEnd(bytes, "meta"); }
uint64_t Jpeg2000End(FileBytes& bytes) { return IsoMediaEnd(bytes, "jp2c"); }

constexpr std::pair<std::string_view, Reader> kReaders[] = {
    {"jpg", JpegEnd},      {"png", PngEnd},         {"gif", GifEnd},        {"bmp", BmpEnd},
    {"tif", TiffEnd},      {"cr2", TiffEnd},        {"raf", RafEnd},        {"psd", PsdEnd},
    {"wav", WaveEnd},      {"avi", AviEnd},         {"webp", WebpEnd},      {"mp4", MovieEnd},
    {"mov", MovieEnd},     {"3gp", MovieEnd},       {"m4a", MovieEnd},      {"cr3", MovieEnd},
    {"heic", HeifEnd},     {"jp2", Jpeg2000End},    {"pdf", PdfEnd},        {"ps", PdfEnd},
    {"rtf", RtfEnd},       {"mp3", Mp3End},         {"ogg", OggEnd},        {"flac", FlacEnd},
    {"mid", MidiEnd},      {"db", SqliteEnd},       {"7z", SevenZipEnd},    {"rar", RarEnd},
    {"cab", CabEnd},       {"tar", TarEnd},         {"zst", ZstdEnd},       {"mkv", MatroskaEnd},
    {"flv", FlvEnd},       {"mpg", MpegPsEnd},      {"wmv", AsfEnd},        {"chm", ChmEnd},
    {"djvu", DjvuEnd},     {"pst", PstEnd},         {"exe", PeEnd},         {"elf", ElfEnd},
    {"doc", CompoundFileEnd}, {"xls", CompoundFileEnd}, {"ppt", CompoundFileEnd}, {"zip", ZipEnd},
    {"docx", ZipEnd},      {"xlsx", ZipEnd},        {"pptx", ZipEnd},       {"odt", ZipEnd},
    {"ods", ZipEnd},       {"odp", ZipEnd},         {"epub", ZipEnd},       {"jar", ZipEnd},
    {"apk", ZipEnd},       {"gz", GzipEnd},         {"bz2", Bzip2End},      {"xz", XzEnd},
};

}  // namespace

uint64_t FindFileEnd(std::string_view extension, FileBytes& bytes) {
  for (const auto& [name, reader] : kReaders) {
    if (name != extension) continue;
    const uint64_t end = reader(bytes);
    return end <= bytes.Bound() ? end : 0;
  }
  return 0;
}

std::vector<std::string_view> TypesWithEnds() {
  std::vector<std::string_view> types;
  for (const auto& entry : kReaders) types.push_back(entry.first);
  return types;
}

bool EndIsLastMarker(std::string_view extension) { return extension == "pdf" || extension == "ps"; }

}  // namespace restora
