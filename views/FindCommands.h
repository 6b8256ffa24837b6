// SPDX-License-Identifier: GPL-3.0-or-later
// The Find and Find Next commands over the result views: runs the dialog, searches the scan
// tree and shows each hit by opening its folder in both views and painting its row.
#pragma once

#include <QObject>

#include "EngineState.h"
#include "FindSession.h"

class QWidget;

namespace restora {

class CTXtndListView;
class CTXtndTreeView;

class FindCommands final : public QObject {
  Q_OBJECT
 public:
  FindCommands(EngineState& state, CTXtndTreeView* tree, CTXtndListView* list, QObject* parent = nullptr);

  // Tools > Find: enabled while no job runs and the tree holds items.
  bool CanFind() const;
  // Tools > Find Next: enabled while no job runs and the last search found something.
  bool CanFindNext() const;
  FindSession& Session() { return session_; }

  // Searches with settings as if the dialog had been confirmed with them, or goes on with the
  // last settings; shows the hit in the views. Returns the hit, null when nothing (more) was found.
  ScanNode* FindWith(const FindSettings& settings);
  ScanNode* FindNextHit();
  // The menu commands: run the dialog (Find) and search, or search on. Return the hit; when
  // there is none, entryNotFound was emitted.
  ScanNode* OnFind(QWidget* dialogParent);
  ScanNode* OnFindNext();

 signals:
  // Nothing (more) was found; the frame tells the user "Entry not found".
  void entryNotFound();

 public slots:
  // The tree was replaced: every remembered node is stale.
  void Reset();

 private:
  ScanNode* Show(ScanNode* hit);

  EngineState& state_;
  CTXtndTreeView* tree_;
  CTXtndListView* list_;
  FindSession session_;
};

}  // namespace restora
