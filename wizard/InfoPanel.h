// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard's information panel: a list of lines where a line that begins with "HDR" is a
// heading, shown bold without those three letters.
#pragma once

#include <QListWidget>
#include <QStringList>

namespace restora {

class InfoPanel : public QListWidget {
  Q_OBJECT
 public:
  explicit InfoPanel(QWidget* parent = nullptr);
  void setLines(const QStringList& lines);
  const QStringList& lines() const { return m_lines; }

 private:
  QStringList m_lines;
};

}  // namespace restora
