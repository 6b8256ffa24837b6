// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard sheet: pages, the shared start-up setting, Cancel's question and help.
#include "CWizardSheet.h"

#include <QSettings>

#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "SimpleImagePage.h"
#include "FileTypeSlotPage.h"

namespace restora {

namespace {

#define RESTORA_STARTUP_SETTINGS(name)                                                                     \
  QSettings name(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ferrolin Restora 1.0"), \
                 QStringLiteral("Ferrolin Restora"))
constexpr const char* kStartupKey = "QX_Restora_Wizard/QX_Restora_StartUp";

}  // namespace

CWizardSheet::CWizardSheet(EngineState& engine, WizardHost& host, const InventorySources& sources, QWidget* parent)
    : QWizard(parent), m_engine(engine), m_host(host) {
  setWindowTitle(QStringLiteral("Ferrolin Restora Wizard"));
  setWizardStyle(QWizard::ModernStyle);
  setOptions(QWizard::HaveHelpButton | QWizard::NoBackButtonOnStartPage);
  setMinimumSize(640, 480);
  setPage(kMainPage, new CWizardMainPage(this));
  setPage(kDriveSelectionPage, new CWizardDriveSelectionPage(this));
  setPage(kImagePage, new SimpleImagePage(this));
  setPage(kFileTypePage, new FileTypeSlotPage(this));
  setStartId(kMainPage);

  std::string error;
  if (!EnumerateDrives(sources, inventory, &error)) {
    ask(QMessageBox::Critical, QStringLiteral("Ferrolin NTFS"),
        QStringLiteral("Failed to read the drive inventory: %1").arg(QString::fromStdString(error)), QMessageBox::Ok);
  }
  RESTORA_STARTUP_SETTINGS(settings);
  runWizardOnStartup = settings.value(kStartupKey, 0).toInt() != 0 ? 1 : 0;

  connect(this, &QWizard::currentIdChanged, this, &CWizardSheet::onCurrentIdChanged);
  connect(this, &QWizard::helpRequested, this, &CWizardSheet::onHelpRequested);
}

CWizardSheet::~CWizardSheet() {
  RESTORA_STARTUP_SETTINGS(settings);
  settings.setValue(kStartupKey, runWizardOnStartup);
}

InventorySources& CWizardSheet::DefaultInventorySources() {
  static InventorySources sources;
  return sources;
}

bool CWizardSheet::RunOnStartupSetting() {
  RESTORA_STARTUP_SETTINGS(settings);
  return settings.value(kStartupKey, 0).toInt() != 0;
}

void CWizardSheet::setPage(int id, QWizardPage* page) {
  if (QWizard::page(id) != nullptr) {
    QWizardPage* old = QWizard::page(id);
    removePage(id);
    old->deleteLater();
  }
  QWizard::setPage(id, page);
}

QMessageBox::StandardButton CWizardSheet::ask(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons) {
  if (m_prompt) return m_prompt(icon, caption, text, buttons);
  QMessageBox box(icon, caption, text, buttons, isVisible() ? this : nullptr);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CWizardSheet::offerToSaveScan() {
  if (!m_host.scanInfoUnsaved()) return;
  if (ask(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Do you want to save scan information?"),
          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) == QMessageBox::Yes) {
    m_host.saveScanInformation();
  }
}

void CWizardSheet::reject() {
  if (ask(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Do you want to close wizard?"),
          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
    QWizard::reject();
  }
}

void CWizardSheet::onCurrentIdChanged(int id) {
  if (auto* page = qobject_cast<WizardPageBase*>(QWizard::page(id))) page->activate();
}

void CWizardSheet::onHelpRequested() {
  if (auto* page = qobject_cast<WizardPageBase*>(currentPage())) {
    m_host.showHelp(page->helpTopic());
  } else if (currentPage() != nullptr) {
    m_host.showHelp(currentPage()->property("helpTopic").toString());
  }
}

}  // namespace restora
