// SPDX-License-Identifier: GPL-3.0-or-later
// The images of folders and files in both views, drawn at 16 × 16 and 32 × 32: live entries in
// colour, deleted ones greyed with a red mark.
#pragma once

#include <QIcon>

namespace restora {

enum class NodeImage { LiveFolder = 0, LiveFolderOpen, DeletedFolder, DeletedFolderOpen, LiveFile, DeletedFile };

// The icon of one image; made once per process (needs a running QGuiApplication).
const QIcon& NodeIcon(NodeImage image);

}  // namespace restora
