// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start (run on a private X server): the wizard at start-up with the tip over it,
// the setting as the wizard left it, no wizard without the setting, and one instance only (a
// second program started beside the first shows its message and ends).
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWizard>

#include "CRecoveryApp.h"
#include "MainFrame.h"
#include "SingleInstance.h"

using namespace restora;

class StartupTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QTimer m_poll;

  void setStored(const QString& folder, const QString& key, int value) {
    QSettings(folder + QStringLiteral("/Ferrolin Restora 1.0/Ferrolin Restora.ini"), QSettings::IniFormat).setValue(key, value);
  }
  // Calls seen with every modal window shown while the program starts.
  void watchModals(const std::function<void(QWidget*)>& seen) {
    m_poll.disconnect();
    connect(&m_poll, &QTimer::timeout, [seen] {
      if (QWidget* modal = QApplication::activeModalWidget()) seen(modal);
    });
    m_poll.start(20);
  }
  static void cancel(QWidget* widget) {
    if (auto* dialog = qobject_cast<QDialog*>(widget)) dialog->done(QDialog::Rejected);
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
  }

  // Unticking the start-up box in the start-up wizard and cancelling it stores 0; the next start
  // shows the main window alone.
  void wizardAtStartupUnderTheTip() {
    setStored(m_dir.path(), QStringLiteral("QX_Restora_Wizard/QX_Restora_StartUp"), 1);
    setStored(m_dir.path(), QStringLiteral("Tips/StartUp"), 1);
    bool tipOverWizard = false;
    watchModals([&](QWidget* modal) {
      QWidget* wizard = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QWizard*>(widget) != nullptr && widget->isVisible()) wizard = widget;
      }
      if (modal->objectName() == QLatin1String("TipOfTheDay")) {
        tipOverWizard = wizard != nullptr;
        QMetaObject::invokeMethod(modal, "accept");
      } else if (modal == wizard && tipOverWizard) {
        wizard->findChild<QCheckBox*>()->click();
        cancel(modal);
      }
    });
    QTimer::singleShot(5000, [] { cancel(QApplication::activeModalWidget()); });
    {
      CRecoveryApp app;
      QVERIFY(app.InitInstance(m_dir.path()));
    }
    QVERIFY(tipOverWizard);
    QCOMPARE(CRecoveryApp::ReadRunWizardOnStartup(), 0);

    setStored(m_dir.path(), QStringLiteral("Tips/StartUp"), 0);
    bool modalSeen = false;
    watchModals([&](QWidget* modal) { modalSeen = true, cancel(modal); });
    CRecoveryApp app;
    QVERIFY(app.InitInstance(m_dir.path()));
    QVERIFY(!modalSeen);
    QVERIFY(app.Frame()->isVisible());
  }

  // Two programs: the second shows "Error" with the message, ends after OK, the first runs on.
  void secondInstanceEnds() {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) QSKIP("needs xdotool");
    QTemporaryDir home;
    setStored(home.filePath(QStringLiteral("config")), QStringLiteral("Tips/StartUp"), 0);
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QProcess first, second, press;
    first.setProcessEnvironment(environment);
    second.setProcessEnvironment(environment);
    first.start(QStringLiteral(RESTORA_PROGRAM), {});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SingleInstance::LockPath(home.path())), 10000);
    second.start(QStringLiteral(RESTORA_PROGRAM), {});
    QByteArray told;
    QTRY_VERIFY_WITH_TIMEOUT((told += second.readAllStandardError()).contains("Ferrolin Quillion already running."), 10000);
    const QString enter = QStringLiteral("w=$(xdotool search --pid %1 --name '^Error$' | head -n 1); "
                                         "[ -n \"$w\" ] && xdotool windowfocus --sync \"$w\" key Return");
    for (int attempt = 0; attempt < 50 && second.state() == QProcess::Running; ++attempt) {
      press.start(QStringLiteral("sh"), {QStringLiteral("-c"), enter.arg(second.processId())});
      press.waitForFinished();
      if (press.exitCode() == 0) break;
      QTest::qWait(100);
    }
    const bool ended = second.waitForFinished(10000);
    const bool firstRuns = first.state() == QProcess::Running;
    first.terminate();
    first.waitForFinished(5000);
    if (!ended) second.kill();
    QCOMPARE(press.exitCode(), 0);
    QVERIFY(ended);
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(firstRuns);
  }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
