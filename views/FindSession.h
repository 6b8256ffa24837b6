// SPDX-License-Identifier: GPL-3.0-or-later
// Find and Find Next over a scan tree: name patterns with "*" and "?", optional case and size
// filters, and the set of entries already reported so that Find Next moves on.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "ScanModel.h"

namespace restora {

// Whether name matches pattern: "?" matches one character, "*" any run; once a "*" has been
// passed, the end of the pattern matches whatever is left of the name. Without matchCase every
// character is compared with bit 0x20 set, so letters compare without regard to case.
bool MatchName(std::u16string_view pattern, std::u16string_view name, bool matchCase);

enum class SizeMode { AtMost, AtLeast };

struct FindSettings {
  std::u16string findText;
  bool matchCase = false;
  bool sizeFilterOn = false;
  SizeMode sizeMode = SizeMode::AtMost;
  uint32_t sizeKB = 1;
};

class FindSession {
 public:
  // Starts a new Find: forgets what was reported and searches from the top.
  ScanNode* Find(const FindSettings& settings, ScanNode* root);
  // The next entry not reported before, from the top of the tree; null when there is none, which
  // turns Find Next off until the next Find.
  ScanNode* FindNext(ScanNode* root);
  bool CanFindNext() const { return findNextOn_; }
  // The entry last reported (null for none).
  const ScanNode* LastFound() const { return lastFound_; }
  const FindSettings& Settings() const { return settings_; }
  // Forgets every node: the tree was replaced.
  void Reset();

 private:
  bool Accepts(const ScanNode& node) const;
  ScanNode* Search(ScanNode* root);

  FindSettings settings_;
  std::unordered_set<const ScanNode*> foundList_;
  const ScanNode* lastFound_ = nullptr;
  bool findNextOn_ = false;
};

}  // namespace restora
