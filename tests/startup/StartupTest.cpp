// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start: the wizard at start-up with the tip over it, the setting as the wizard
// left it, no wizard without the setting, and one instance only (a second program started
// beside the first shows its message and ends).
#include <QApplication>
#include <QCheckBox>
#include <QWizard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CRecoveryApp.h"
#include "MainFrame.h"
#include "SingleInstance.h"

using namespace restora;

class StartupTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  QString iniPath() const { return m_dir.filePath(QStringLiteral("Ferrolin Restora 1.0/Ferrolin Restora.ini")); }
  void setStored(const QString& key, int value) {
    QSettings(iniPath(), QSettings::IniFormat).setValue(key, value);
  }
  static QDialog* visibleWizard() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* wizard = qobject_cast<QWizard*>(widget); wizard != nullptr && wizard->isVisible()) return wizard;
    }
    return nullptr;
  }
  // Closes a dialog as Cancel answered with Yes would.
  static void closeDialog(QWidget* widget) {
    if (auto* dialog = qobject_cast<QDialog*>(widget)) dialog->done(QDialog::Rejected);
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
  }
  void init() { QFile::remove(iniPath()); }

  // Unticking the start-up box in the start-up wizard and cancelling it stores 0.
  void wizardAtStartupUnderTheTip() {
    setStored(QStringLiteral("QX_Restora_Wizard/QX_Restora_StartUp"), 1);
    setStored(QStringLiteral("Tips/StartUp"), 1);
    bool tipOverWizard = false;
    bool wizardShown = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      QDialog* wizard = visibleWizard();
      wizardShown = wizardShown || wizard != nullptr;
      if (modal->objectName() == QLatin1String("TipOfTheDay")) {
        tipOverWizard = wizard != nullptr;
        QMetaObject::invokeMethod(modal, "accept");
      } else if (modal == wizard && tipOverWizard) {
        // The user unticks "Run wizard on startup" and cancels.
        wizard->findChild<QCheckBox*>()->click();
        closeDialog(modal);
      }
    });
    poll.start(20);
    QTimer::singleShot(5000, [] { closeDialog(QApplication::activeModalWidget()); });
    CRecoveryApp app;
    QVERIFY(app.InitInstance(m_dir.path()));
    QVERIFY(wizardShown);
    QVERIFY(tipOverWizard);
    QCOMPARE(CRecoveryApp::ReadRunWizardOnStartup(), 0);
  }

  void noWizardWithoutTheSetting() {
    setStored(QStringLiteral("Tips/StartUp"), 0);
    bool modalSeen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        modalSeen = true;
        closeDialog(modal);
      }
    });
    poll.start(20);
    CRecoveryApp app;
    QVERIFY(app.InitInstance(m_dir.path()));
    QVERIFY(!modalSeen);
    QVERIFY(app.Frame()->isVisible());
    QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("QX_Restora_Wizard/QX_Restora_StartUp")), QVariant(0));
  }

  void lockOutcomes() {
    SingleInstance first;
    QCOMPARE(first.Acquire(m_dir.path()), SingleInstance::Outcome::First);
    SingleInstance second;
    QCOMPARE(second.Acquire(m_dir.path()), SingleInstance::Outcome::AlreadyRunning);
    SingleInstance nowhere;
    QCOMPARE(nowhere.Acquire(m_dir.filePath(QStringLiteral("missing/folder"))), SingleInstance::Outcome::Failed);
  }

  // Two programs on an X server: the second shows "Error" with the message, ends after OK, and
  // the first keeps running.
  void secondInstanceEnds() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
      QSKIP("needs an X server and xdotool");
    }
    QTemporaryDir home;
    QDir().mkpath(home.filePath(QStringLiteral("config/Ferrolin Restora 1.0")));
    QSettings(home.filePath(QStringLiteral("config/Ferrolin Restora 1.0/Ferrolin Restora.ini")), QSettings::IniFormat)
        .setValue(QStringLiteral("Tips/StartUp"), 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(RESTORA_PROGRAM), {});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SingleInstance::LockPath(home.path())), 10000);
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(RESTORA_PROGRAM), {});
    QVERIFY(second.waitForStarted());
    QByteArray told;
    QTRY_VERIFY_WITH_TIMEOUT((told += second.readAllStandardError()).contains("Ferrolin Quillion already running."), 10000);
    QProcess press;
    QString pressed;
    for (int attempt = 0; attempt < 50 && second.state() == QProcess::Running; ++attempt) {
      press.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                         QStringLiteral("w=$(xdotool search --pid %1 --name '^Error$' | head -n 1); "
                                                        "[ -n \"$w\" ] && xdotool windowfocus --sync \"$w\" key Return")
                                             .arg(second.processId())});
      press.waitForFinished();
      if (press.exitCode() == 0) break;
      QTest::qWait(100);
    }
    const bool ended = second.waitForFinished(10000);
    const bool firstRuns = first.state() == QProcess::Running;
    first.terminate();
    first.waitForFinished(5000);
    if (second.state() == QProcess::Running) second.kill();
    QVERIFY(press.exitCode() == 0);
    QVERIFY(ended);
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(firstRuns);
  }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
