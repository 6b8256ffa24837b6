// SPDX-License-Identifier: GPL-3.0-or-later
// Stored byte layouts of the volume description and of scan nodes in both layouts.
#include <gtest/gtest.h>

#include "ScanRecordCodec.h"

namespace restora {
namespace {

TEST(ScanRecordCodec, VolumeInfoFatLayoutBytes) {
  VolumeInfo v;
  v.kind = SourceKind::Fat32;
  v.totalSectors = 0x0102030405060708ull;
  v.fatEntryCount = 0x11;
  v.fat1Sector = 0x22;
  v.fat2Sector = 0x33;
  v.clusterBaseSector = 0x44;
  v.fatNodeCounter = 0xA1B2C3D4;
  v.sectorsPerFat = 0x5566;
  v.fatKind = 2;
  v.fatSectorsPerCluster = 8;
  v.mftCluster = 0xDEAD;  // the other layout's fields are not stored
  const auto b = SerializeVolumeInfo(v);
  ASSERT_EQ(b.size(), 69u);
  EXPECT_EQ(b[0], 2);
  for (int i = 1; i < 9; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[17], 0x08);
  EXPECT_EQ(b[24], 0x01);
  EXPECT_EQ(b[25], 0x11);
  EXPECT_EQ(b[33], 0x22);
  EXPECT_EQ(b[41], 0x33);
  EXPECT_EQ(b[49], 0x44);
  EXPECT_EQ(b[57], 0xD4);
  EXPECT_EQ(b[60], 0xA1);
  EXPECT_EQ(b[61], 0x66);
  EXPECT_EQ(b[62], 0x55);
  EXPECT_EQ(b[63], 2);
  EXPECT_EQ(b[64], 8);
  for (int i = 65; i < 69; ++i) EXPECT_EQ(b[i], 0) << i;
  const VolumeInfo back = ParseVolumeInfo(b);
  EXPECT_EQ(back.fatNodeCounter, v.fatNodeCounter);
  EXPECT_EQ(back.clusterBaseSector, 0x44u);
  EXPECT_EQ(back.mftCluster, 0u);
}

TEST(ScanRecordCodec, VolumeInfoNtfsLayoutBytes) {
  VolumeInfo v;
  v.kind = SourceKind::Ntfs;
  v.mftCluster = 4;
  v.mftMirrorCluster = 5;
  v.serialNumber = 6;
  v.nodeCounter = 0x01020304;
  v.sectorsPerRecord = 2;
  v.sectorsPerIndexBuffer = 8;
  v.ntfsSectorsPerCluster = 16;
  const auto b = SerializeVolumeInfo(v);
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[25], 4);
  EXPECT_EQ(b[33], 5);
  EXPECT_EQ(b[41], 6);
  EXPECT_EQ(b[49], 4);
  EXPECT_EQ(b[52], 1);
  EXPECT_EQ(b[53], 2);
  EXPECT_EQ(b[54], 8);
  EXPECT_EQ(b[55], 16);
  for (int i = 56; i < 69; ++i) EXPECT_EQ(b[i], 0) << i;
  const VolumeInfo back = ParseVolumeInfo(b);
  EXPECT_EQ(back.nodeCounter, v.nodeCounter);
  EXPECT_EQ(back.ntfsSectorsPerCluster, 16u);
}

TEST(ScanRecordCodec, NodeLayoutsAndLinkTokens) {
  ScanNode parent, child, sibling;
  ScanNode n;
  n.next = &sibling;
  n.firstChild = nullptr;
  n.parent = &parent;
  n.name = u"a.txt";
  n.nameLength = 5;
  n.size = 0x0A0B0C0D0E0F1011ull;
  n.location = 0x77;
  n.created = 0x88;
  n.modified = 0x99;
  n.id = 0x12345678;
  n.parentId = 0x9ABCDEF0;
  n.attributes = 0x0120;
  n.status = 1;
  n.checked = 1;
  n.carveSource = 2;
  n.firstCluster = 0xCAFE;
  n.createdDate = 0x1111;
  n.modifiedDate = 0x2222;

  const auto ntfs = SerializeScanNode(n, SourceKind::Ntfs);
  EXPECT_NE(ntfs[0], 0);   // next set
  EXPECT_EQ(ntfs[4], 0);   // no first child
  EXPECT_NE(ntfs[8], 0);   // parent set
  EXPECT_EQ(ntfs[12], 0x77);
  EXPECT_EQ(ntfs[20], 0x88);
  EXPECT_EQ(ntfs[28], 0x99);
  EXPECT_EQ(ntfs[36], 0x11);
  EXPECT_EQ(ntfs[44], 0x78);
  EXPECT_EQ(ntfs[48], 0xF0);
  EXPECT_NE(ntfs[52], 0);  // name set
  EXPECT_EQ(ntfs[56], 0x20);
  EXPECT_EQ(ntfs[57], 0x01);
  EXPECT_EQ(ntfs[58], 1);
  EXPECT_EQ(ntfs[59], 5);
  EXPECT_EQ(ntfs[60], 1);
  EXPECT_EQ(ntfs[61], 2);

  const auto fat = SerializeScanNode(n, SourceKind::Fat16);
  EXPECT_EQ(fat[12], 0x11);
  EXPECT_EQ(fat[19], 0x0A);
  EXPECT_EQ(fat[20], 0x78);
  EXPECT_EQ(fat[24], 0xFE);
  EXPECT_EQ(fat[28], 0xF0);
  EXPECT_NE(fat[32], 0);
  EXPECT_EQ(fat[36], 5);
  EXPECT_EQ(fat[40], 0x11);
  EXPECT_EQ(fat[44], 0x22);
  EXPECT_EQ(fat[46], 1);
  EXPECT_EQ(fat[47], 0x20);  // the attribute byte
  for (int i = 48; i < 60; ++i) EXPECT_EQ(fat[i], 0) << i;

  ScanNode back;
  const StoredLinks links = ParseScanNode(fat, SourceKind::Fat16, back);
  EXPECT_TRUE(links.hasNext);
  EXPECT_FALSE(links.hasFirstChild);
  EXPECT_EQ(back.size, n.size);
  EXPECT_EQ(back.firstCluster, 0xCAFEu);
  EXPECT_EQ(back.modifiedDate, 0x2222u);
  EXPECT_EQ(back.carveSource, 2);
  EXPECT_EQ(back.location, 0u);  // not part of the FAT layout

  ScanNode backNtfs;
  ParseScanNode(ntfs, SourceKind::Disk, backNtfs);  // a disk reads the NTFS layout
  EXPECT_EQ(backNtfs.location, 0x77u);
  EXPECT_EQ(backNtfs.attributes, 0x0120u);
  EXPECT_EQ(backNtfs.parentId, 0x9ABCDEF0u);
}

}  // namespace
}  // namespace restora
