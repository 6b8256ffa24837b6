// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartupCheckBox.h"

namespace restora {

StartupCheckBox::StartupCheckBox(int& value, QWidget* parent)
    : QCheckBox(QStringLiteral("&Run wizard on startup"), parent), m_value(value) {
  refresh();
  connect(this, &QCheckBox::clicked, this, [this](bool checked) { m_value = checked ? 1 : 0; });
}

void StartupCheckBox::refresh() { setChecked(m_value != 0); }

}  // namespace restora
