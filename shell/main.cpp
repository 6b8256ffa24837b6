// SPDX-License-Identifier: GPL-3.0-or-later
// restora: the desktop program.
#include <QApplication>

#include "CRecoveryApp.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Ferrolin Restora 1.0"));
  QApplication::setApplicationName(QStringLiteral("Ferrolin Restora"));
  QApplication::setApplicationVersion(QStringLiteral("1.0.1"));
  Q_INIT_RESOURCE(restora);
  restora::CRecoveryApp recoveryApp;
  if (!recoveryApp.InitInstance()) return 1;
  return app.exec();
}
