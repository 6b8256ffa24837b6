// SPDX-License-Identifier: GPL-3.0-or-later
// The end readers of the single formats, each over a found file's bounded bytes. Each returns
// the file's length, or 0 when the structure is damaged or does not close within the bound.
#pragma once

#include <cstdint>
#include <string_view>

#include "FileBytes.h"

namespace restora {

uint64_t JpegEnd(FileBytes& bytes);     // segments to the end-of-image marker
uint64_t PngEnd(FileBytes& bytes);      // chunks to IEND
uint64_t GifEnd(FileBytes& bytes);      // blocks to the trailer
uint64_t BmpEnd(FileBytes& bytes);      // the header's file size
uint64_t TiffEnd(FileBytes& bytes);     // the furthest image data or tag value of every IFD
uint64_t RafEnd(FileBytes& bytes);      // Fujifilm raw: the furthest of its three parts
uint64_t PsdEnd(FileBytes& bytes);      // the sections and the image data
// RIFF (form "WAVE", "AVI " or "WEBP"): the RIFF size, and for AVI the AVIX parts after it.
uint64_t RiffEnd(FileBytes& bytes, std::string_view form);
// ISO media and JPEG 2000 files: top-level boxes while they are known box types. essential is
// the box whose presence makes the file complete ("moov", "meta" or "jp2c").
uint64_t IsoMediaEnd(FileBytes& bytes, std::string_view essential);
uint64_t PdfEnd(FileBytes& bytes);      // the last "%%EOF" and its line break (also PostScript)
uint64_t RtfEnd(FileBytes& bytes);      // the brace that closes the first group
uint64_t Mp3End(FileBytes& bytes);      // ID3 tag, MPEG frames, trailing tags
uint64_t OggEnd(FileBytes& bytes);      // pages until every logical stream has ended
uint64_t FlacEnd(FileBytes& bytes);     // metadata blocks and frames to the last sample
uint64_t MidiEnd(FileBytes& bytes);     // the header's count of track chunks
uint64_t SqliteEnd(FileBytes& bytes);   // page size × page count
uint64_t SevenZipEnd(FileBytes& bytes); // start header: next header's offset and size
uint64_t RarEnd(FileBytes& bytes);      // RAR 1.5-4 and 5 blocks to the end-of-archive block
uint64_t CabEnd(FileBytes& bytes);      // the cabinet's size field
uint64_t TarEnd(FileBytes& bytes);      // entries, the two zero blocks and the record padding
uint64_t ZstdEnd(FileBytes& bytes);     // one frame's blocks and checksum
uint64_t MatroskaEnd(FileBytes& bytes); // the EBML header and the segment
uint64_t FlvEnd(FileBytes& bytes);      // tags while their back-pointers agree
uint64_t MpegPsEnd(FileBytes& bytes);   // packs and packets to the end code or their last
uint64_t AsfEnd(FileBytes& bytes);      // the file properties' file size
uint64_t ChmEnd(FileBytes& bytes);      // the header section's file size
uint64_t DjvuEnd(FileBytes& bytes);     // the FORM chunk
uint64_t PstEnd(FileBytes& bytes);      // the header's end-of-file offset
uint64_t PeEnd(FileBytes& bytes);       // sections and the certificate table
uint64_t ElfEnd(FileBytes& bytes);      // sections, segments and the section table
uint64_t CompoundFileEnd(FileBytes& bytes);  // the highest sector the allocation table uses
uint64_t ZipEnd(FileBytes& bytes);      // local entries, central directory, end record
uint64_t GzipEnd(FileBytes& bytes);     // members: DEFLATE blocks and the trailer
uint64_t Bzip2End(FileBytes& bytes);    // streams to their end marks
uint64_t XzEnd(FileBytes& bytes);       // streams: blocks, index and footer

}  // namespace restora
