// SPDX-License-Identifier: GPL-3.0-or-later
// The FAT directory scan: the folder walk from the root that lists deleted files and the folders
// leading to them, and the cluster chain walker that the recovery writer reuses.
#pragma once

#include <cstdint>

#include "EngineState.h"
#include "FatChain.h"
#include "FatOrphans.h"

namespace restora {

// Replaces state.clusterChain with the chain that starts at firstCluster (see the FatTable
// overload in FatChain.h, which keeps loaded FAT sectors across calls).
// Returns 1 when the chain is complete, 0 when a FAT sector cannot be read or memory ran out (the
// chain built so far stays).
int BuildClusterChain(EngineState& state, uint32_t firstCluster);

// Reads the entries of folder, along its cluster chain (or the FAT16 root area when its
// firstCluster is 1), into the state's pending list: deleted files and folders, and every entry
// when withinDeletedFolder (the folder is deleted or lies below a deleted folder). Reads runs of
// adjacent clusters at once; a cluster that cannot be read counts as zeros and so ends the
// folder. Clusters after the folder's end are not read. Returns 1 when the chain was complete,
// 0 when a FAT sector could not be read (the clusters of the chain found so far were still read).
// When walked is given, every cluster of the folder's chain is recorded there with the folder's
// first cluster.
int ReadFolder(EngineState& state, FatTable& table, ScanNode* folder, bool withinDeletedFolder,
               WalkedFolderClusters* walked = nullptr);

// Reads folder and every folder below it into the tree: deleted files, every folder, and every
// entry of a deleted folder and of the folders below it (they keep the marks they had when the
// folder was deleted, live ones included); folders that end up with no children are removed
// again. Counts files found in totalBytes and files walked in fileCount, reports both as
// progress before each child and asks KeepRunning there. A folder is not read again below
// itself (a loop through its own or an ancestor's cluster) nor more than kMaxWalksPerFolder
// times in one walk (clusters shared by many folder entries would multiply a subtree). Works
// without recursion, so any depth is safe.
// When walked is given, the folder clusters read are recorded there (for FatOrphanSearch).
// Returns 1 when done, 0 when keepRunning stopped it or memory ran out (what was attached so
// far stays).
int WalkFolder(EngineState& state, ScanNode* folder, WalkedFolderClusters* walked = nullptr);

constexpr uint32_t kMaxWalksPerFolder = 16;

}  // namespace restora
