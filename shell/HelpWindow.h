// SPDX-License-Identifier: GPL-3.0-or-later
// The help window: the HTML pages shipped with the program, one per topic.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace restora {

class HelpWindow : public QDialog {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);
  // Shows a topic page ("fastfilerecovery.htm"); the table of contents when page is empty.
  void ShowTopic(const QString& page);
  QString CurrentSource() const;

 private:
  QTextBrowser* m_browser = nullptr;
};

}  // namespace restora
