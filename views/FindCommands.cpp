// SPDX-License-Identifier: GPL-3.0-or-later
// Find commands over the two result views.
#include "FindCommands.h"

#include "CFindDialog.h"
#include "CTXtndListView.h"
#include "CTXtndTreeView.h"

namespace restora {

FindCommands::FindCommands(EngineState& state, CTXtndTreeView* tree, CTXtndListView* list, QObject* parent)
    : QObject(parent), state_(state), tree_(tree), list_(list) {
  connect(tree_, &CTXtndTreeView::treeReplaced, this, &FindCommands::Reset);
}

bool FindCommands::CanFind() const { return state_.keepRunning == 0 && !tree_->IsEmpty(); }

bool FindCommands::CanFindNext() const { return state_.keepRunning == 0 && session_.CanFindNext(); }

ScanNode* FindCommands::FindWith(const FindSettings& settings) {
  return Show(session_.Find(settings, state_.scanRoot));
}

ScanNode* FindCommands::FindNextHit() { return Show(session_.FindNext(state_.scanRoot)); }

ScanNode* FindCommands::OnFind(QWidget* dialogParent) {
  if (!CanFind()) return nullptr;
  CFindDialog dialog(dialogParent);
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  return FindWith(dialog.Settings());
}

ScanNode* FindCommands::OnFindNext() { return CanFindNext() ? FindNextHit() : nullptr; }

ScanNode* FindCommands::Show(ScanNode* hit) {
  if (hit == nullptr) {
    list_->ShowFound(nullptr);
    emit entryNotFound();
    return nullptr;
  }
  // An entry without a parent link lies directly below the root.
  ScanNode* folder = hit->parent != nullptr ? hit->parent : state_.scanRoot;
  tree_->OnShowFoundFolder(folder);
  list_->OnShowFolder(folder->firstChild);
  list_->ShowFound(hit);
  return hit;
}

void FindCommands::Reset() {
  session_.Reset();
  list_->ShowFound(nullptr);
}

}  // namespace restora
