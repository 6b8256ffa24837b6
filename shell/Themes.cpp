// SPDX-License-Identifier: GPL-3.0-or-later
// Palettes of the colour themes. "Native XP" keeps the desktop's own style and palette.
#include "Themes.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace restora {

namespace {

struct ThemeColours {
  const char* name;
  QRgb window;     // frames, bars and dialogs
  QRgb base;       // lists and trees
  QRgb highlight;  // selection
  QRgb button;
};

constexpr ThemeColours kThemes[kThemeCount] = {
    {"Office 2000", 0xd4d0c8, 0xffffff, 0x0a246a, 0xd4d0c8},
    {"Office XP", 0xf0eee8, 0xffffff, 0x316ac5, 0xeeebe5},
    {"Office 2003", 0xdde8f7, 0xffffff, 0x316ac5, 0xc4daf6},
    {"Native XP", 0, 0, 0, 0},
    {"Whidbey", 0xf5f4ea, 0xffffff, 0xc1d2ee, 0xece9d8},
    {"Office 2007", 0xd6e4f5, 0xffffff, 0xffd77c, 0xe3eefc},
    {"Ribbon", 0xc9d9ee, 0xffffff, 0x3d7bc8, 0xdbe6f4},
};

}  // namespace

QString ThemeName(int index) {
  if (index < 0 || index >= kThemeCount) return {};
  return QString::fromLatin1(kThemes[index].name);
}

void ApplyApplicationTheme(int index) {
  static const QString nativeStyle = QApplication::style()->name();
  static const QPalette nativePalette = QApplication::palette();
  if (index < 0 || index >= kThemeCount) index = kDefaultTheme;
  const ThemeColours& theme = kThemes[index];
  if (theme.window == 0) {
    QApplication::setStyle(QStyleFactory::create(nativeStyle));
    QApplication::setPalette(nativePalette);
    return;
  }
  if (QApplication::style()->name().compare(QStringLiteral("fusion"), Qt::CaseInsensitive) != 0) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  }
  QPalette palette;
  palette.setColor(QPalette::Window, QColor(theme.window));
  palette.setColor(QPalette::Base, QColor(theme.base));
  palette.setColor(QPalette::AlternateBase, QColor(theme.window).lighter(106));
  palette.setColor(QPalette::Button, QColor(theme.button));
  palette.setColor(QPalette::Highlight, QColor(theme.highlight));
  palette.setColor(QPalette::HighlightedText, QColor(theme.highlight).lightness() > 160 ? Qt::black : Qt::white);
  palette.setColor(QPalette::WindowText, Qt::black);
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  palette.setColor(QPalette::ToolTipBase, QColor(0xffffe1));
  palette.setColor(QPalette::ToolTipText, Qt::black);
  QApplication::setPalette(palette);
}

}  // namespace restora
