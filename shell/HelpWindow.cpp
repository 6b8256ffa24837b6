// SPDX-License-Identifier: GPL-3.0-or-later
// Help pages from the program's resources; links to the web open in the desktop's browser.
#include "HelpWindow.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace restora {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Ferrolin Restora Help"));
  m_browser = new QTextBrowser(this);
  m_browser->setOpenExternalLinks(true);
  m_browser->setSearchPaths({QStringLiteral(":/restora/help")});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_browser);
  resize(640, 520);
}

void HelpWindow::ShowTopic(const QString& page) {
  m_browser->setSource(QUrl(QStringLiteral("qrc:/restora/help/") + (page.isEmpty() ? QStringLiteral("contents.htm") : page)));
}

QString HelpWindow::CurrentSource() const { return m_browser->source().toString(); }

}  // namespace restora
