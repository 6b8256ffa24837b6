// SPDX-License-Identifier: GPL-3.0-or-later
// The wizard as a user walks it: the main page, each job's pages, Cancel's question, the shared
// start-up box, the drive trees, a drive that cannot be opened, and the unsaved scan.
#include <QAbstractButton>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "CWizardDriveSelectionPage.h"
#include "CWizardMainPage.h"
#include "CWizardSheet.h"
#include "SimpleImagePage.h"
#include "ScanDriver.h"
#include "SourceOpener.h"
#include "TextCodec.h"

using namespace restora;

namespace {

class RecordingHost : public WizardHost {
 public:
  explicit RecordingHost(EngineState& engine) : m_engine(engine) {}
  void addLogEntry(const std::shared_ptr<WizardLogEntry>& entry) override {
    calls << "log " + entry->processText + " | " + entry->description;
    last = entry;
  }
  bool scanInfoUnsaved() const override { return unsaved; }
  void saveScanInformation() override {
    calls << QString("save with %1 tree").arg(m_engine.scanRoot != nullptr ? "a" : "no");
    unsaved = false;
  }
  void discardScan() override {
    calls << "discard";
    unsaved = false;
  }
  void showHelp(const QString&) override {}

  QStringList calls;
  bool unsaved = false;
  std::shared_ptr<WizardLogEntry> last;

 private:
  EngineState& m_engine;
};

const QString kMachine = QStringLiteral(RESTORA_SOURCE_DIR "/tests/drives/fixtures/machine");

InventorySources FixtureSources() {
  InventorySources sources;
  sources.sysRoot = (kMachine + "/sys").toStdString();
  sources.udevDataRoot = (kMachine + "/udev").toStdString();
  sources.deviceRoot = (kMachine + "/dev").toStdString();
  sources.mountInfoPath = "/nonexistent";
  return sources;
}

// One disk holding one FAT volume, both backed by image files, so a walk can open them.
DriveInventory ImageInventory(const QString& volume, const QString& disk) {
  DriveInventory inventory;
  DiskRecord diskRecord;
  diskRecord.label = "Disk # 0 (1.00 MB))";
  diskRecord.model = "Image Disk";
  diskRecord.interfaceType = "SCSI";
  diskRecord.partitionsText = "1";
  diskRecord.partitionCount = 1;
  diskRecord.devicePath = disk.toStdString();
  inventory.disks.push_back(diskRecord);
  PartitionRecord partition;
  partition.label = "Disk #0, Partition #0 (1.00 MB))";
  partition.logicalDriveCount = 1;
  inventory.partitions.push_back(partition);
  LogicalDriveRecord drive;
  drive.label = volume.toStdString() + " (1.00 MB))";
  drive.fileSystem = "FAT";
  drive.volumeSerialNumber = "ABCD1234";
  drive.driveType = 3;
  drive.devicePath = volume.toStdString();
  inventory.logicalDrives.push_back(drive);
  return inventory;
}

bool Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

class WizardTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void mainPageButtonsAndTexts();
  void jobPaths_data();
  void jobPaths();
  void cancelAnsweredNoKeepsEverything();
  void startupBoxIsOneSettingForAllPages();
  void logicalTreeOfFixtureMachine();
  void physicalTreeOfFixtureMachine();
  void driveThatCannotBeOpenedKeepsThePage();
  void unsavedScanIsOfferedBeforeItIsFreed();

 private:
  CWizardSheet* makeSheet(const InventorySources& sources = FixtureSources());
  QAbstractButton* button(QWizard::WizardButton which) const { return m_sheet->button(which); }
  bool usable(QWizard::WizardButton which) const { return button(which)->isVisible() && button(which)->isEnabled(); }
  CWizardMainPage* mainPage() const { return static_cast<CWizardMainPage*>(m_sheet->page(CWizardSheet::kMainPage)); }
  CWizardDriveSelectionPage* drivePage() const {
    return static_cast<CWizardDriveSelectionPage*>(m_sheet->page(CWizardSheet::kDriveSelectionPage));
  }
  QTreeWidgetItem* findItem(const QString& prefix) const;
  void choose(int job);

  QTemporaryDir m_folder;
  QString m_volume;  // a FAT16 image where HELLO.TXT was deleted
  QString m_disk;    // an image of a disk
  std::unique_ptr<EngineState> m_engine;
  std::unique_ptr<RecordingHost> m_host;
  CWizardSheet* m_sheet = nullptr;
  QStringList m_prompts;
  QMessageBox::StandardButton m_answer = QMessageBox::Yes;
};

void WizardTest::initTestCase() {
  qputenv("XDG_CONFIG_HOME", m_folder.filePath("config").toLocal8Bit());
  m_volume = m_folder.filePath("volume.img");
  m_disk = m_folder.filePath("disk.img");
  QFile hello(m_folder.filePath("HELLO.TXT"));
  QVERIFY(hello.open(QIODevice::WriteOnly));
  hello.write("hello from the wizard test\n");
  hello.close();
  if (!Run("mkfs.fat", {"-C", "-F", "16", m_volume, "16384"}) || !Run("mcopy", {"-i", m_volume, hello.fileName(), "::"}) ||
      !Run("mdel", {"-i", m_volume, "::HELLO.TXT"})) {
    QSKIP("mkfs.fat, mcopy and mdel are needed");
  }
  QFile disk(m_disk);
  QVERIFY(disk.open(QIODevice::WriteOnly));
  QVERIFY(disk.resize(1 << 20));
}

void WizardTest::init() {
  m_engine = std::make_unique<EngineState>();
  m_host = std::make_unique<RecordingHost>(*m_engine);
  m_prompts.clear();
  m_answer = QMessageBox::Yes;
}

void WizardTest::cleanup() {
  delete m_sheet;
  m_sheet = nullptr;
  QSettings(QSettings::IniFormat, QSettings::UserScope, "Ferrolin Restora 1.0", "Ferrolin Restora").clear();
}

CWizardSheet* WizardTest::makeSheet(const InventorySources& sources) {
  m_sheet = new CWizardSheet(*m_engine, *m_host, sources);
  m_sheet->setPrompt([this](QMessageBox::Icon, const QString& caption, const QString& text, QMessageBox::StandardButtons) {
    m_prompts << caption + ": " + text;
    return m_answer;
  });
  m_sheet->show();
  return m_sheet;
}

QTreeWidgetItem* WizardTest::findItem(const QString& prefix) const {
  for (QTreeWidgetItemIterator it(drivePage()->tree()); *it != nullptr; ++it) {
    if ((*it)->text(0).startsWith(prefix)) return *it;
  }
  return nullptr;
}

void WizardTest::choose(int job) {
  mainPage()->optionButton(job)->click();
  button(QWizard::NextButton)->click();
}

void WizardTest::mainPageButtonsAndTexts() {
  makeSheet();
  QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kMainPage));
  QVERIFY(!usable(QWizard::NextButton));
  QVERIFY(!usable(QWizard::BackButton));
  QVERIFY(!usable(QWizard::FinishButton));
  QCOMPARE(mainPage()->infoPanel()->lines().first(), QString("HDRPlease select appropriate option "));
  const QStringList labels = {"Fast File Recovery", "Lost File Recovery", "       Advanced File Recovery", "Create Image"};
  for (int job = 1; job <= 4; ++job) QCOMPARE(mainPage()->optionButton(job)->text(), labels[job - 1]);

  mainPage()->optionButton(kAdvancedFileRecovery)->click();
  QCOMPARE(m_sheet->jobChoice, uint8_t(kAdvancedFileRecovery));
  QCOMPARE(mainPage()->captionText(), QString("Advanced File Recovery"));
  QCOMPARE(mainPage()->infoPanel()->lines().first(), QString("HDRAdvanced File Recovery"));
  QVERIFY(usable(QWizard::NextButton));
  // Back from the next page finds the choice and Next still there.
  button(QWizard::NextButton)->click();
  button(QWizard::BackButton)->click();
  QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kMainPage));
  QVERIFY(mainPage()->optionButton(kAdvancedFileRecovery)->isChecked());
  QVERIFY(usable(QWizard::NextButton));
}

void WizardTest::jobPaths_data() {
  QTest::addColumn<int>("job");
  QTest::addColumn<QString>("choice");  // text the chosen tree item starts with
  QTest::addColumn<QList<int>>("pages");
  QTest::addColumn<QString>("description");
  QTest::newRow("fast") << int(kFastFileRecovery) << "/" << QList<int>{0, 1} << "Disk Processing: Fast File Search";
  QTest::newRow("lost") << int(kLostFileRecovery) << "/" << QList<int>{0, 1, 3} << "file type(s) to search";
  QTest::newRow("advanced") << int(kAdvancedFileRecovery) << "Disk # 0" << QList<int>{0, 1, 3}
                            << "file type(s) to search";
  QTest::newRow("image") << int(kCreateImage) << "" << QList<int>{0, 2} << "";
}

void WizardTest::jobPaths() {
  QFETCH(int, job);
  QFETCH(QString, choice);
  QFETCH(QList<int>, pages);
  QFETCH(QString, description);
  makeSheet();
  m_sheet->inventory = ImageInventory(m_volume, m_disk);
  QList<int> visited{m_sheet->currentId()};
  choose(job);
  visited << m_sheet->currentId();
  if (job == kCreateImage) {
    QVERIFY(!usable(QWizard::FinishButton));
    button(QWizard::BackButton)->click();
    QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kMainPage));
    button(QWizard::NextButton)->click();
    auto* image = static_cast<SimpleImagePage*>(m_sheet->page(CWizardSheet::kImagePage));
    image->driveBox()->setCurrentIndex(0);
    image->folderEdit()->setText(m_folder.path());
    QVERIFY(usable(QWizard::FinishButton));
    button(QWizard::FinishButton)->click();
    QCOMPARE(visited, pages);
    QCOMPARE(m_sheet->result(), int(QDialog::Accepted));
    QCOMPARE(m_sheet->imageFolder, m_folder.path());
    QVERIFY(m_engine->deviceHandle != nullptr);
    QCOMPARE(m_host->calls.last(), "log Imaging Disk :" + m_volume + " (1.00 MB)),  Serial:ABCD1234 | To Location " +
                                       m_folder.path());
    return;
  }
  const QWizard::WizardButton forward = job == kFastFileRecovery ? QWizard::FinishButton : QWizard::NextButton;
  QVERIFY(!usable(forward));
  drivePage()->tree()->setCurrentItem(findItem(choice));
  QVERIFY(usable(forward));
  button(forward)->click();
  if (job != kFastFileRecovery) {
    visited << m_sheet->currentId();
    QVERIFY2(!m_sheet->allFileTypes.empty(), qPrintable(m_prompts.join("; ")));
    button(QWizard::FinishButton)->click();
    QVERIFY(!m_engine->signatureList.empty());
  }
  QCOMPARE(visited, pages);
  QCOMPARE(m_sheet->result(), int(QDialog::Accepted));
  QVERIFY(m_prompts.isEmpty());
  QVERIFY(m_engine->deviceHandle != nullptr);
  QCOMPARE(m_engine->volumeInfo.kind == SourceKind::Disk, job == kAdvancedFileRecovery);
  QVERIFY(m_host->last != nullptr);
  QCOMPARE(m_host->last->processText, "Selected " + QString::fromStdString(job == kAdvancedFileRecovery
                                                                              ? m_sheet->inventory.disks[0].label
                                                                              : m_sheet->inventory.logicalDrives[0].label));
  QVERIFY2(m_host->last->description.endsWith(description), qPrintable(m_host->last->description));
}

void WizardTest::cancelAnsweredNoKeepsEverything() {
  makeSheet();
  choose(kFastFileRecovery);
  drivePage()->tree()->setCurrentItem(findItem("/dev/sda1"));
  m_answer = QMessageBox::No;
  button(QWizard::CancelButton)->click();
  QCOMPARE(m_prompts, QStringList{"Confirm: Do you want to close wizard?"});
  QVERIFY(m_sheet->isVisible());
  QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kDriveSelectionPage));
  QCOMPARE(m_sheet->jobChoice, uint8_t(kFastFileRecovery));
  QCOMPARE(drivePage()->selectedIndex(), 0);
  QVERIFY(usable(QWizard::FinishButton));

  m_answer = QMessageBox::Yes;
  m_sheet->close();  // the close box asks the same question
  QVERIFY(!m_sheet->isVisible());
  QCOMPARE(m_sheet->result(), int(QDialog::Rejected));
  QVERIFY(m_host->calls.isEmpty());
}

void WizardTest::startupBoxIsOneSettingForAllPages() {
  makeSheet();
  QVERIFY(!mainPage()->startupBox()->isChecked());
  mainPage()->startupBox()->click();
  choose(kLostFileRecovery);
  QVERIFY(drivePage()->startupBox()->isChecked());
  drivePage()->startupBox()->click();
  button(QWizard::BackButton)->click();
  QVERIFY(!mainPage()->startupBox()->isChecked());
  mainPage()->startupBox()->click();
  m_answer = QMessageBox::Yes;
  button(QWizard::CancelButton)->click();
  delete m_sheet;
  m_sheet = nullptr;
  QCOMPARE(QSettings(QSettings::IniFormat, QSettings::UserScope, "Ferrolin Restora 1.0", "Ferrolin Restora")
               .value("QX_Restora_Wizard/QX_Restora_StartUp")
               .toInt(),
           1);
  makeSheet();
  QVERIFY(mainPage()->startupBox()->isChecked());
}

void WizardTest::logicalTreeOfFixtureMachine() {
  makeSheet();
  choose(kFastFileRecovery);
  QTreeWidget* tree = drivePage()->tree();
  QCOMPARE(drivePage()->captionText(), QString("Please select logical drive to process"));
  QCOMPARE(tree->topLevelItemCount(), 1);
  QTreeWidgetItem* root = tree->topLevelItem(0);
  QCOMPARE(root->text(0), QString("My Computer"));
  // disk item text, then its drives with their item images
  const QList<QPair<QString, QStringList>> expected = {
      {"Disk # 0 [WDC WD800JD-75MSA3]", {"/dev/sda1 (512.00 MB))"}},
      {"Disk # 1 [Cruzer]", {"/dev/sdb (1.00 GB)"}},
      {"Disk # 2 [Flash Disk]", {}},
      {"Disk # 3 [Loop device evidence.img]", {}}};
  QCOMPARE(root->childCount(), expected.size());
  for (int i = 0; i < expected.size(); ++i) {
    QTreeWidgetItem* disk = root->child(i);
    QCOMPARE(disk->text(0), expected[i].first);
    QStringList drives;
    for (int j = 0; j < disk->childCount(); ++j) drives << disk->child(j)->text(0);
    QCOMPARE(drives, expected[i].second);
  }
  QCOMPARE(findItem("/dev/sda1")->data(0, CWizardDriveSelectionPage::kImageRole).toInt(), 3);
  QCOMPARE(findItem("/dev/sdb")->data(0, CWizardDriveSelectionPage::kImageRole).toInt(), 2);

  tree->setCurrentItem(findItem("/dev/sdb"));
  QCOMPARE(findItem("/dev/sdb")->checkState(0), Qt::Checked);
  QCOMPARE(findItem("/dev/sda1")->checkState(0), Qt::Unchecked);
  QCOMPARE(drivePage()->captionText(), QString("Selected /dev/sdb (1.00 GB)"));
  QCOMPARE(drivePage()->infoPanel()->lines(),
           (QStringList{"HDRInformation: /dev/sdb (1.00 GB)", "", "Volume Name: MY STICK", "File System: FAT",
                        "Serial Number: 0BADF00D", "Free Space: N/A", "Block Size: N/A"}));
  QVERIFY(usable(QWizard::FinishButton));
  tree->setCurrentItem(findItem("Disk # 1"));  // a disk item is no choice
  QVERIFY(!usable(QWizard::FinishButton));
  QCOMPARE(findItem("/dev/sdb")->checkState(0), Qt::Unchecked);
  QCOMPARE(drivePage()->infoPanel()->lines().first(), QString("HDRFast File Recovery"));

  // Every activation rebuilds the tree with nothing chosen.
  tree->setCurrentItem(findItem("/dev/sdb"));
  button(QWizard::BackButton)->click();
  button(QWizard::NextButton)->click();
  QCOMPARE(drivePage()->selectedIndex(), int(CWizardDriveSelectionPage::kNothingChosen));
  QCOMPARE(findItem("/dev/sdb")->checkState(0), Qt::Unchecked);
}

void WizardTest::physicalTreeOfFixtureMachine() {
  makeSheet();
  choose(kAdvancedFileRecovery);
  QCOMPARE(drivePage()->captionText(), QString("Please select physical drive to process"));
  QTreeWidgetItem* root = drivePage()->tree()->topLevelItem(0);
  QStringList texts;
  QList<int> images;
  for (int i = 0; i < root->childCount(); ++i) {
    texts << root->child(i)->text(0);
    images << root->child(i)->data(0, CWizardDriveSelectionPage::kImageRole).toInt();
  }
  QCOMPARE(texts, (QStringList{"Disk # 0 (74.53 GB)", "Disk # 1 (1.00 GB)", "Disk # 2 (14.84 GB)", "Disk # 3 (10.00 MB))"}));
  QCOMPARE(images, (QList<int>{1, 2, 2, 2}));  // only the IDE disk shows the first disk image
  drivePage()->tree()->setCurrentItem(root->child(0));
  QVERIFY(drivePage()->infoPanel()->lines().contains("Partitions :2"));
  QVERIFY(usable(QWizard::NextButton));
}

void WizardTest::driveThatCannotBeOpenedKeepsThePage() {
  for (const int job : {int(kFastFileRecovery), int(kLostFileRecovery)}) {
    makeSheet();
    m_sheet->inventory = ImageInventory(m_folder.filePath("gone.img"), m_disk);
    choose(job);
    drivePage()->tree()->setCurrentItem(findItem("/"));
    button(job == kFastFileRecovery ? QWizard::FinishButton : QWizard::NextButton)->click();
    QCOMPARE(m_sheet->currentId(), int(CWizardSheet::kDriveSelectionPage));
    QCOMPARE(m_prompts.size(), 1);
    QVERIFY2(m_prompts[0].startsWith("Error: Failed to open drive " + m_folder.filePath("gone.img")),
             qPrintable(m_prompts[0]));
    QVERIFY(m_engine->deviceHandle == nullptr);
    QVERIFY(m_host->last == nullptr);
    delete m_sheet;
    m_sheet = nullptr;
    m_prompts.clear();
  }
}

void WizardTest::unsavedScanIsOfferedBeforeItIsFreed() {
  std::string error;
  QVERIFY(OpenSourcePath(*m_engine, m_volume.toStdString(), false, &error));
  m_engine->keepRunning = 1;
  QVERIFY(ScanSource(*m_engine, 0));
  m_host->unsaved = true;
  makeSheet();
  m_sheet->inventory = ImageInventory(m_volume, m_disk);
  choose(kLostFileRecovery);
  drivePage()->tree()->setCurrentItem(findItem("/"));
  button(QWizard::NextButton)->click();
  QCOMPARE(m_prompts, QStringList{"Confirm: Do you want to save scan information?"});
  QCOMPARE(m_host->calls.mid(0, 2), (QStringList{"save with a tree", "discard"}));
  QVERIFY(m_engine->scanRoot == nullptr);  // the old tree is gone once the views let go of it
}

QTEST_MAIN(WizardTest)
#include "WizardTest.moc"
