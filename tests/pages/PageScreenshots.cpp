// SPDX-License-Identifier: GPL-3.0-or-later
// Writes pictures of the file-type page and the image page, each in a wizard frame, for the
// documentation: page-screenshots OUTPUT_FOLDER (run on an X server; see scripts/page-screenshots.sh).
#include <QApplication>
#include <QDir>
#include <QComboBox>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWizard>

#include "CWizardImagePage.h"
#include "CWizardSignaturesPage.h"
#include "ImageDestination.h"
#include "PageTestHost.h"
#include "SignatureFile.h"

using namespace restora;

namespace {

void Save(QWizard& wizard, const QString& file) {
  wizard.resize(760, 560);
  wizard.show();
  QApplication::processEvents();
  QTimer::singleShot(300, [&] { QApplication::exit(); });
  QApplication::exec();
  wizard.grab().save(file);
  wizard.hide();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);

  test::PageTestHost host;
  if (OpenSignatureFile(host.state, std::filesystem::path(RESTORA_SIGNATURE_FILE).parent_path()) &&
      ReadSignatureList(host.state)) {
    host.types = host.state.signatureList;
  }
  {
    QWizard wizard;
    wizard.setWizardStyle(QWizard::ClassicStyle);
    wizard.setOption(QWizard::HaveHelpButton);
    auto* page = new CWizardSignaturesPage(host);
    wizard.addPage(page);
    wizard.show();
    page->categoryBox()->setCurrentText(QStringLiteral("Documents"));
    page->onSelectAll();
    Save(wizard, out + QStringLiteral("/file-type-page.png"));
  }
  {
    std::vector<ImageSourceDisk> disks{
        {QStringLiteral("Disk # 0 [Loop device]"),
         {{QStringLiteral("/dev/loop3 (64.00 MB))"), QStringLiteral("PHOTOS"), QStringLiteral("FAT32"),
           QStringLiteral("5A1C2E07"), QStringLiteral("41.17 MB"), QStringLiteral("4096.00 B"), QStringLiteral("/dev/loop3")}}},
        {QStringLiteral("Disk # 1 [Loop device]"),
         {{QStringLiteral("/dev/loop4p1 (48.00 MB))"), QStringLiteral("Archive"), QStringLiteral("NTFS"),
           QStringLiteral("6C3F19A2"), QStringLiteral("30.52 MB"), QStringLiteral("4096.00 B"), QStringLiteral("/dev/loop4p1")},
          {QStringLiteral("/dev/loop4p2 (15.00 MB))"), QStringLiteral("NOTES"), QStringLiteral("FAT"),
           QStringLiteral("1E2D3C4B"), QStringLiteral("14.71 MB"), QStringLiteral("2048.00 B"), QStringLiteral("/dev/loop4p2")}}}};
    QWizard wizard;
    wizard.setWizardStyle(QWizard::ClassicStyle);
    wizard.setOption(QWizard::HaveHelpButton);
    auto* page = new CWizardImagePage(host, disks);
    wizard.addPage(page);
    page->setFileChooser([](QWidget*, const QString& name) { return QDir::homePath() + u'/' + name + QStringLiteral(".qxi"); });
    wizard.show();
    QApplication::processEvents();
    QTreeWidgetItem* drive = page->driveTree()->topLevelItem(0)->child(1)->child(0);
    page->driveTree()->setCurrentItem(drive);
    page->onDestinationButton();
    Save(wizard, out + QStringLiteral("/image-page.png"));
  }
  return 0;
}
