// SPDX-License-Identifier: GPL-3.0-or-later
// The "Run wizard on startup" box every page shows: one choice shared by all pages.
#pragma once

#include <QCheckBox>

namespace restora {

class StartupCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  // value is the sheet's shared choice (0 or 1); a click stores the box's new state there at once.
  StartupCheckBox(int& value, QWidget* parent = nullptr);
  // Shows the shared choice (on every activation of a page).
  void refresh();

 private:
  int& m_value;
};

}  // namespace restora
