// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard sheet: pages, the shared start-up setting, Cancel's question and help.
#include "CWizardSheet.h"

#include <QSettings>

#include "CWizardDriveSelectionPage.h"
#include "CWizardImagePage.h"
#include "CWizardMainPage.h"
#include "CWizardSignaturesPage.h"
#include "SheetPages.h"

namespace restora {

namespace {

#define RESTORA_STARTUP_SETTINGS(name)                                                                     \
  QSettings name(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ferrolin Restora 1.0"), \
                 QStringLiteral("Ferrolin Restora"))
constexpr const char* kStartupKey = "QX_Restora_Wizard/QX_Restora_StartUp";

CWizardSheet::KeptInventory& KeptDrives() {
  static CWizardSheet::KeptInventory kept;
  return kept;
}

// The kept inventory, taken anew from sources; a failure is told once the sheet exists.
DriveInventory Retaken(const InventorySources& sources) {
  CWizardSheet::TakeInventory(sources);
  return KeptDrives().drives;
}

}  // namespace

CWizardSheet::CWizardSheet(EngineState& engine, WizardHost& host, DriveInventory drives, QWidget* parent)
    : QWizard(parent), inventory(std::move(drives)), m_engine(engine), m_host(host) {
  setWindowTitle(QStringLiteral("Ferrolin Restora Wizard"));
  setWizardStyle(QWizard::ModernStyle);
  setOptions(QWizard::HaveHelpButton | QWizard::NoBackButtonOnStartPage);
  setMinimumSize(640, 480);
  m_pages = std::make_unique<SheetPages>(*this);
  m_imagePage = new CWizardImagePage(*m_pages, ImageSourceDisks(inventory));
  m_fileTypePage = new CWizardSignaturesPage(*m_pages);
  m_imagePage->setProperty("helpTopic", QStringLiteral("::/") + QLatin1String(CWizardImagePage::kHelpTopic));
  m_fileTypePage->setProperty("helpTopic", QStringLiteral("::/") + QLatin1String(CWizardSignaturesPage::kHelpTopic));
  setPage(kMainPage, new CWizardMainPage(this));
  setPage(kDriveSelectionPage, new CWizardDriveSelectionPage(this));
  setPage(kImagePage, m_imagePage);
  setPage(kFileTypePage, m_fileTypePage);
  setStartId(kMainPage);

  RESTORA_STARTUP_SETTINGS(settings);
  runWizardOnStartup = settings.value(kStartupKey, 0).toInt() != 0 ? 1 : 0;

  connect(this, &QWizard::currentIdChanged, this, &CWizardSheet::onCurrentIdChanged);
  connect(this, &QWizard::helpRequested, this, &CWizardSheet::onHelpRequested);
}

CWizardSheet::CWizardSheet(EngineState& engine, WizardHost& host, const InventorySources& sources, QWidget* parent)
    : CWizardSheet(engine, host, Retaken(sources), parent) {
  if (!Kept().error.isEmpty()) {
    ask(QMessageBox::Critical, QStringLiteral("Ferrolin NTFS"),
        QStringLiteral("Failed to read the drive inventory: %1").arg(Kept().error), QMessageBox::Ok);
  }
}

CWizardSheet::~CWizardSheet() {
  RESTORA_STARTUP_SETTINGS(settings);
  settings.setValue(kStartupKey, runWizardOnStartup);
}

InventorySources& CWizardSheet::DefaultInventorySources() {
  static InventorySources sources;
  return sources;
}

const CWizardSheet::KeptInventory& CWizardSheet::Kept() { return KeptDrives(); }

int CWizardSheet::TakeInventory(const InventorySources& sources) {
  KeptInventory& kept = KeptDrives();
  kept = KeptInventory{};
  std::string error;
  if (EnumerateDrives(sources, kept.drives, &error)) return 1;
  kept.drives = DriveInventory{};
  kept.error = QString::fromStdString(error.empty() ? std::string("unknown error") : error);
  return 0;
}

bool CWizardSheet::RunOnStartupSetting() {
  RESTORA_STARTUP_SETTINGS(settings);
  return settings.value(kStartupKey, 0).toInt() != 0;
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

void CWizardSheet::accept() {
  if (jobChoice == kCreateImage) {
    imageFolder = m_imagePage->imageFolder();
    imageFileName = m_imagePage->imageFileName();
  }
  QWizard::accept();
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
