// SPDX-License-Identifier: GPL-3.0-or-later
// Pattern matching and the depth-first search of Find.
#include "FindSession.h"

#include <vector>

namespace restora {

bool MatchName(std::u16string_view pattern, std::u16string_view name, bool matchCase) {
  const auto same = [matchCase](char16_t a, char16_t b) {
    return matchCase ? a == b : (a | 0x20) == (b | 0x20);
  };
  size_t p = 0;
  size_t s = 0;
  while (s < name.size() && (p >= pattern.size() || pattern[p] != u'*')) {
    if (p >= pattern.size() || (pattern[p] != u'?' && !same(pattern[p], name[s]))) return false;
    ++p;
    ++s;
  }
  size_t starResume = 0;
  size_t nameResume = 0;
  while (s < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      if (++p == pattern.size()) return true;
      starResume = p;
      nameResume = s + 1;
    } else if (p >= pattern.size()) {
      return true;
    } else if (pattern[p] == u'?' || same(pattern[p], name[s])) {
      ++p;
      ++s;
    } else {
      p = starResume;
      s = nameResume++;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool FindSession::Accepts(const ScanNode& node) const {
  if (!MatchName(settings_.findText, node.name, settings_.matchCase)) return false;
  if (foundList_.contains(&node)) return false;
  if (!settings_.sizeFilterOn) return true;
  const uint64_t kb = node.size / 1024;
  return settings_.sizeMode == SizeMode::AtMost ? kb <= settings_.sizeKB : kb >= settings_.sizeKB;
}

// Depth first: an entry, then everything below it, then its next sibling.
ScanNode* FindSession::Search(ScanNode* root) {
  if (root == nullptr) return nullptr;
  std::vector<ScanNode*> resume{root->firstChild};
  while (!resume.empty()) {
    ScanNode* node = resume.back();
    resume.pop_back();
    if (node == nullptr) continue;
    if (Accepts(*node)) {
      foundList_.insert(node);
      lastFound_ = node;
      return node;
    }
    resume.push_back(node->next);
    resume.push_back(node->firstChild);
  }
  return nullptr;
}

ScanNode* FindSession::Find(const FindSettings& settings, ScanNode* root) {
  settings_ = settings;
  foundList_.clear();
  lastFound_ = nullptr;
  findNextOn_ = true;
  return FindNext(root);
}

ScanNode* FindSession::FindNext(ScanNode* root) {
  if (!findNextOn_) return nullptr;
  ScanNode* hit = Search(root);
  if (hit == nullptr) {
    findNextOn_ = false;
    lastFound_ = nullptr;
  }
  return hit;
}

void FindSession::Reset() {
  foundList_ = {};
  lastFound_ = nullptr;
  findNextOn_ = false;
}

}  // namespace restora
