// SPDX-License-Identifier: GPL-3.0-or-later
// The seven colour themes of the View menu, as Qt styles and palettes.
#pragma once

#include <QString>

namespace restora {

constexpr int kThemeCount = 7;
constexpr int kDefaultTheme = 2;  // Office 2003

// "Office 2000", "Office XP", "Office 2003", "Native XP", "Whidbey", "Office 2007", "Ribbon".
QString ThemeName(int index);

// Applies theme index to the whole application (style and palette).
void ApplyApplicationTheme(int index);

}  // namespace restora
