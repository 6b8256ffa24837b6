// SPDX-License-Identifier: GPL-3.0-or-later
// Panel texts of the wizard.
#include "WizardTexts.h"

namespace restora {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const QStringList kFileTypeLines = {"Select the file type extensions ", "you are looking to recover, this option ",
                                    "would try and locate lost files on ", "file type basis."};

}  // namespace

QString OptionLabel(int job) {
  switch (job) {
    case kFastFileRecovery: return QStringLiteral("Fast File Recovery");
    case kLostFileRecovery: return QStringLiteral("Lost File Recovery");
    case kAdvancedFileRecovery: return QStringLiteral("       Advanced File Recovery");
    case kCreateImage: return QStringLiteral("Create Image");
    default: return {};
  }
}

QStringList OptionDescription(int job) {
  switch (job) {
    case kFastFileRecovery:
      return {"HDRFast File Recovery", "",
              "Reads the directory entries of the file system and lists the files and folders that were "
              "deleted, with the folders that lead to them. It takes seconds to minutes.",
              "",
              "Use it first, soon after files were deleted, while the space they held has not been reused.", "",
              "Applies to logical drives only (FAT16, FAT32 and NTFS)."};
    case kLostFileRecovery:
      return {"HDRLost File Recovery", "",
              "A quick scan of the directory entries followed by a signature search: every cluster is "
              "compared with the first bytes of the file types you select, so files whose entries are "
              "gone are found too.",
              "",
              "Use it when Fast File Recovery does not find what you lost.", "",
              "Applies to logical drives only (FAT16, FAT32 and NTFS)."};
    case kAdvancedFileRecovery:
      return {"HDRAdvanced File Recovery", "",
              "A signature search over a whole physical disk, sector by sector, for the file types you "
              "select. It does not need a file system.",
              "",
              "Use it when the file system is badly damaged, or the drive was formatted or "
              "re-partitioned.",
              "", "Applies to physical drives only."};
    case kCreateImage:
      return {"HDRCreate Image", "HDRCreate disk Image", "",
              "Copies a logical drive sector by sector into an image file, a mirror of the drive that "
              "can later be scanned with Image Processing instead of the drive.",
              "",
              "Image a drive before you recover from it, so nothing on it changes while you work, and "
              "make sure the destination has enough free space for the whole drive."};
    default:
      return {"HDRPlease select appropriate option ", "",
              "Fast file recovery: recovers deleted files instantly from a FAT or NTFS drive.", "",
              "Lost File Recovery: recovers deleted and lost files from a FAT or NTFS drive by a "
              "combination of scanning methods.",
              "",
              "Advanced File Recovery: for severe file-system damage, or a formatted or re-partitioned "
              "drive; recovers files by their file type.",
              "", "Create Image: creates an image of a logical drive as a file."};
  }
}

QStringList JobDescription(int job) {
  switch (job) {
    case kFastFileRecovery:
      return {"HDRFast File Recovery", "Select the logical drive from where ", "you need to recover files and then ",
              "select the \u201cFinish\u201d button to start ", "the scanning of the drive."};
    case kLostFileRecovery:
      return QStringList{"HDRLost File Recovery", "Select the logical drive from where",
                         "you need to recover files and then", "select the \u201cNext\u201d button to proceed.", ""} +
             kFileTypeLines;
    case kAdvancedFileRecovery:
      return QStringList{"HDRAdvanced File Recovery", "Select the physical drive from where",
                         "you need to recover files and then", "select the \u201cNext\u201d button to proceed.", ""} +
             kFileTypeLines;
    default:
      return {};
  }
}

QStringList DriveInformation(const LogicalDriveRecord& drive) {
  return {"HDRInformation: " + Q(drive.label),          "",
          "Volume Name: " + Q(drive.volumeName),         "File System: " + Q(drive.fileSystem),
          "Serial Number: " + Q(drive.volumeSerialNumber), "Free Space: " + Q(drive.freeSpace),
          "Block Size: " + Q(drive.blockSize)};
}

QStringList DiskInformation(const DiskRecord& disk) {
  return {"HDRInformation: " + Q(disk.model),        "",
          "Name: " + Q(disk.model),                  "Serial Number: " + Q(disk.serialText),
          "Interface Type: " + Q(disk.interfaceType), "Media Type: " + Q(disk.mediaType),
          "Partitions :" + Q(disk.partitionsText),   "Total Cylinders: " + Q(disk.cylindersText),
          "Total Heads: " + Q(disk.headsText),       "Total Sectors: " + Q(disk.sectorsText)};
}

}  // namespace restora
